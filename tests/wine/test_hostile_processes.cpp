// The process commands against processes that work against them: a child that rewrites its
// loader entry to name another file, rows whose process has made way for another, critical and
// system processes, and bars whose file name other programs share.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "pages/process/process_actions.h"
#include "pages/process/process_info.h"
#include "pages/process/process_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
using Tab = wt::ProcessTab;
const std::wstring kIfeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr UINT kQuestion = MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING;

std::wstring Debugger(const std::wstring& name) {
  return rt::ReadString(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + name, L"Debugger");
}
bool Running(const wt::Child& child) { return ::WaitForSingleObject(child.pi.hProcess, 0) == WAIT_TIMEOUT; }
DWORD EndedCode(const wt::Child& child) {
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(child.pi.hProcess, 5000) == WAIT_OBJECT_0) ::GetExitCodeProcess(child.pi.hProcess, &code);
  return code;
}
std::wstring SystemDir() {
  wchar_t dir[MAX_PATH] = {};
  ::GetSystemDirectoryW(dir, MAX_PATH);
  return dir;
}

// Records message boxes like wt::MessageLog, answering questions (Yes/No boxes) with answer.
struct Answering {
  std::vector<wt::MessageLog::Entry> entries;
  int answer;
  explicit Answering(int a) : answer(a) {
    ui::SetMessageHook([this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
      entries.push_back({owner, text, caption, style});
      return (style & MB_TYPEMASK) == MB_YESNO ? answer : IDOK;
    });
  }
  ~Answering() { ui::SetMessageHook(nullptr); }
};

// Marks the processes of the given PIDs critical while it lives (the system here cannot).
struct CriticalPids {
  std::vector<DWORD> pids;
  std::vector<DWORD> asked;  // the processes of the handles the check was made on
  explicit CriticalPids(std::vector<DWORD> p) : pids(std::move(p)) {
    process::SetCriticalQueryHook([this](HANDLE h) {
      asked.push_back(h ? ::GetProcessId(h) : 0);
      return std::find(pids.begin(), pids.end(), asked.back()) != pids.end() && asked.back() != 0;
    });
  }
  ~CriticalPids() { process::SetCriticalQueryHook(nullptr); }
};

// The first module path of the process's module snapshot: what its loader entry says.
std::wstring LoaderImage(DWORD pid) {
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
  MODULEENTRY32W me{};
  me.dwSize = sizeof(me);
  return snap && ::Module32FirstW(snap.get(), &me) ? me.szExePath : L"";
}
}  // namespace

// The child names a decoy in its loader entry and its process parameters: the row, the lookup the
// window and port pages use, the module list's first row and the path commands all take the real
// file, and force deletion deletes the real file and leaves the decoy.
TEST(HostileProcesses, ARewrittenLoaderEntryDoesNotMoveTheCommandsToTheDecoy) {
  wt::TempDir dir;
  const std::wstring real = dir.path() + L"wardlet_real.exe";
  ASSERT_TRUE(::CopyFileW((wt::ExeDir() + L"wardlet_masquerade.exe").c_str(), real.c_str(), FALSE));
  const std::wstring decoy = wt::CopyChild(dir, L"wardlet_decoy.exe");
  ASSERT_FALSE(decoy.empty());
  wt::Child child(wt::Quoted(real) + L" " + wt::Quoted(decoy) + L" image");
  ASSERT_TRUE(child.started());
  bool rewritten = false;
  for (int i = 0; i < 250 && !rewritten; ++i, ::Sleep(20)) rewritten = wt::SamePath(LoaderImage(child.pid()), decoy);
  ASSERT_TRUE(rewritten) << "the child's loader entry still reads " << LoaderImage(child.pid()).size();

  auto lookedUp = process::FindProcessImagePath(child.pid());
  ASSERT_TRUE(lookedUp);
  EXPECT_TRUE(wt::SamePath(*lookedUp, real));
  Tab t;
  const int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  EXPECT_TRUE(wt::SamePath(t.list.GetItemText(row, Tab::kPath), real));
  t.Click(row);
  ASSERT_GT(t.modules.GetItemCount(), 1);
  EXPECT_TRUE(wt::SamePath(t.modules.GetItemText(0, Tab::kModulePath), real));
  EXPECT_EQ(t.modules.GetItemText(0, Tab::kModuleName), L"wardlet_real.exe");

  {
    wt::ShellLog shell;
    wt::MessageLog log;
    for (UINT command : {IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE, IDM_PROCESS_COPY_PATH})
      wt::RunRowCommand(t.page, t.list, row, command);
    ASSERT_EQ(shell.requests.size(), 2u);
    EXPECT_TRUE(wt::SamePath(shell.requests[0].file, real));
    EXPECT_NE(shell.requests[1].parameters.find(t.list.GetItemText(row, Tab::kPath)), std::wstring::npos);
    EXPECT_TRUE(wt::SamePath(wt::ClipboardText(), real));
  }

  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORCE_DELETE);
  EXPECT_EQ(EndedCode(child), 1u);
  EXPECT_FALSE(wt::FileExists(real));
  EXPECT_TRUE(wt::FileExists(decoy));
  EXPECT_TRUE(log.entries.empty());
}

// A row lists child A; A ends outside the program and B starts from the same file. Where B did
// not get A's PID, the row is made to claim B's PID with A's creation time, as a reused PID would.
// End process, force delete and bar then end nothing, delete nothing, write nothing, say so and
// refill the list; B runs on.
TEST(HostileProcesses, ARowWhoseProcessHasMadeWayForAnotherActsOnNothing) {
  wt::TempDir dir;
  const std::wstring name = L"wardlet_stale.exe", exe = wt::CopyChild(dir, name);
  rt::TestKey cleanup(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + name, KEY_WOW64_64KEY, false);
  process::ListedProcess listedA;
  {
    wt::Child a(wt::Quoted(exe));
    ASSERT_TRUE(a.started());
    Tab t;
    listedA = t.ListedAt(t.RowOf(a.pid()));
    ASSERT_EQ(listedA.pid, a.pid());
    ASSERT_NE(listedA.created, 0u);
  }  // A ends here
  wt::Child b(wt::Quoted(exe));
  ASSERT_TRUE(b.started());
  Tab t;
  for (UINT command : {IDM_PROCESS_KILL, IDM_PROCESS_FORCE_DELETE, IDM_PROCESS_FORBID}) {
    int row = t.RowOf(b.pid());
    ASSERT_GE(row, 0);
    ASSERT_NE(t.ListedAt(row).created, listedA.created);
    row = t.EditRow(row, [&](process::ProcessRecord& r) { r.listed = {b.pid(), listedA.created}; });
    t.AddMarkerRow();
    row = wt::FindRow(t.list, Tab::kPid, std::to_wstring(b.pid()));
    Answering log(IDYES);
    CriticalPids critical({b.pid()});  // were it asked, the question would be answered Yes
    wt::RunRowCommand(t.page, t.list, row, command);
    EXPECT_EQ(log.entries, wt::Shown(t.page, process::kProcessGoneText, L"提示", MB_ICONINFORMATION)) << command;
    EXPECT_EQ(wt::FindRow(t.list, 0, L"marker"), -1) << command;  // refilled
    EXPECT_TRUE(Running(b)) << command;
    EXPECT_TRUE(wt::FileExists(exe)) << command;
    EXPECT_TRUE(wt::TempNamesIn(dir.path()).empty()) << command;
    EXPECT_EQ(Debugger(name), L"<missing>") << command;
  }
  // A row filled before the list was refilled (or never) lists no process either.
  const int row = t.EditRow(t.RowOf(b.pid()), [](process::ProcessRecord& r) { r.listed = {}; });
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_KILL);
  EXPECT_TRUE(Running(b));
  EXPECT_EQ(log.entries, wt::Shown(t.page, process::kProcessGoneText, L"提示", MB_ICONINFORMATION));
}

// A process the system marks critical is ended, force deleted or barred only after a question
// that defaults to No; No leaves it running, its file in place and nothing written, Yes goes on.
// The check is made on the handle the command acts through.
TEST(HostileProcesses, CriticalProcessesAreActedOnOnlyAfterAYes) {
  wt::TempDir dir;
  for (UINT command : {IDM_PROCESS_KILL, IDM_PROCESS_FORCE_DELETE, IDM_PROCESS_FORBID}) {
    const std::wstring name = L"wardlet_critical" + std::to_wstring(command) + L".exe";
    const std::wstring exe = wt::CopyChild(dir, name);
    rt::TestKey cleanup(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + name, KEY_WOW64_64KEY, false);
    wt::Child child(wt::Quoted(exe));
    ASSERT_TRUE(child.started());
    Tab t;
    CriticalPids critical({child.pid()});
    const wt::MessageLog::Entry question{t.page, process::CriticalQuestionText(name, child.pid()), L"警告", kQuestion};
    {
      Answering no(IDNO);
      wt::RunRowCommand(t.page, t.list, t.RowOf(child.pid()), command);
      EXPECT_EQ(no.entries, wt::Messages{question}) << command;
      EXPECT_TRUE(Running(child)) << command;
      EXPECT_TRUE(wt::FileExists(exe)) << command;
      EXPECT_EQ(Debugger(name), L"<missing>") << command;
      ASSERT_FALSE(critical.asked.empty());
      EXPECT_EQ(critical.asked.back(), child.pid());
    }
    Answering yes(IDYES);
    wt::RunRowCommand(t.page, t.list, t.RowOf(child.pid()), command);
    ASSERT_FALSE(yes.entries.empty()) << command;
    EXPECT_EQ(yes.entries[0], question) << command;
    EXPECT_EQ(EndedCode(child), 1u) << command;
    EXPECT_EQ(wt::FileExists(exe), command != IDM_PROCESS_FORCE_DELETE) << command;
    EXPECT_EQ(Debugger(name), command == IDM_PROCESS_FORBID ? L"Forbid by Morvane" : L"<missing>") << command;
    EXPECT_EQ(yes.entries.size(), command == IDM_PROCESS_FORBID ? 2u : 1u) << command;  // and the confirmation
  }
}

// The session's system processes are asked about by their path in the system folder, marked
// critical or not: the real services.exe of this system is asked about and, answered No, runs on.
TEST(HostileProcesses, SessionSystemProcessesOfTheSystemFolderAreAskedAbout) {
  Tab t;
  t.page.RefreshProcessListNow();
  int row = -1;
  for (int i = 0, n = t.list.GetItemCount(); i < n && row < 0; ++i)
    if (wt::SamePath(t.list.GetItemText(i, Tab::kPath), SystemDir() + L"\\services.exe")) row = i;
  if (row < 0) GTEST_SKIP() << "no services.exe of the system folder runs here";
  const DWORD pid = static_cast<DWORD>(process::CellToLong(t.list.GetItemText(row, Tab::kPid)));
  ui::CHandle services(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  ASSERT_TRUE(services);
  Answering no(IDNO);
  for (UINT command : {IDM_PROCESS_KILL, IDM_PROCESS_FORCE_DELETE, IDM_PROCESS_FORBID}) {
    no.entries.clear();
    row = t.RowOf(pid);
    wt::RunRowCommand(t.page, t.list, row, command);
    EXPECT_EQ(no.entries, (wt::Messages{{t.page, process::CriticalQuestionText(L"services.exe", pid), L"警告", kQuestion}}))
        << command;
    EXPECT_EQ(::WaitForSingleObject(services.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  }
  EXPECT_EQ(Debugger(L"services.exe"), L"<missing>");
}

// Barring a file name that a program of the system folder has, or that a process running from
// another folder has, is asked about first, naming those programs; No writes nothing and ends
// nothing. Yes bars the name and ends only the listed process.
TEST(HostileProcesses, BarringANameOtherProgramsShareAsksFirst) {
  std::wstring systemName;
  for (const wchar_t* candidate : {L"hostname.exe", L"whoami.exe", L"expand.exe", L"notepad.exe"})
    if (wt::FileExists(SystemDir() + L"\\" + candidate)) {
      systemName = candidate;
      break;
    }
  ASSERT_FALSE(systemName.empty());
  wt::TempDir one, two;
  {
    const std::wstring exe = wt::CopyChild(one, systemName);
    rt::TestKey cleanup(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + systemName, KEY_WOW64_64KEY, false);
    wt::Child child(wt::Quoted(exe));
    ASSERT_TRUE(child.started());
    Tab t;
    Answering no(IDNO);
    wt::RunRowCommand(t.page, t.list, t.RowOf(child.pid()), IDM_PROCESS_FORBID);
    ASSERT_EQ(no.entries.size(), 1u);
    EXPECT_EQ(no.entries[0].style, kQuestion);
    EXPECT_EQ(no.entries[0].text,
              process::BarQuestionText(systemName, {L"系统文件夹中的 " + SystemDir() + L"\\" + systemName}));
    EXPECT_TRUE(Running(child));
    EXPECT_EQ(Debugger(systemName), L"<missing>");
  }

  const std::wstring name = L"wardlet_twin.exe";
  const std::wstring listedExe = wt::CopyChild(one, name), otherExe = wt::CopyChild(two, name);
  rt::TestKey cleanup(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + name, KEY_WOW64_64KEY, false);
  wt::Child listed(wt::Quoted(listedExe)), other(wt::Quoted(otherExe));
  wt::Child sibling(wt::Quoted(listedExe));  // the same program: not named
  ASSERT_TRUE(listed.started() && other.started() && sibling.started());
  Tab t;
  const int row = t.RowOf(listed.pid());
  const std::wstring otherPath = t.list.GetItemText(t.RowOf(other.pid()), Tab::kPath);
  ASSERT_TRUE(wt::SamePath(otherPath, otherExe));
  const std::wstring question = process::BarQuestionText(
      name, {L"正在运行的 " + otherPath + L"(PID " + std::to_wstring(other.pid()) + L")"});
  {
    Answering no(IDNO);
    wt::RunRowCommand(t.page, t.list, t.RowOf(listed.pid()), IDM_PROCESS_FORBID);
    EXPECT_EQ(no.entries, (wt::Messages{{t.page, question, L"警告", kQuestion}}));
    EXPECT_EQ(Debugger(name), L"<missing>");
    EXPECT_TRUE(Running(listed) && Running(other) && Running(sibling));
  }
  ASSERT_GE(row, 0);
  Answering yes(IDYES);
  wt::RunRowCommand(t.page, t.list, t.RowOf(listed.pid()), IDM_PROCESS_FORBID);
  EXPECT_EQ(yes.entries,
            (wt::Messages{{t.page, question, L"警告", kQuestion},
                          {t.page, process::BarConfirmationText(name, process::HasTwoRegistryViews()), L"提示",
                           MB_ICONINFORMATION}}));
  EXPECT_EQ(Debugger(name), L"Forbid by Morvane");
  EXPECT_EQ(EndedCode(listed), 1u);
  EXPECT_TRUE(Running(other) && Running(sibling));
}
