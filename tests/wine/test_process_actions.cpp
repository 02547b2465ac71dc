// The process page's menu commands: end process, forbid running, force delete, and what reaches
// the shell, the clipboard and Registry Editor's last-key setting.
#include <gtest/gtest.h>

#include <thread>

#include "pages/process/process_actions.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
using Tab = wt::ProcessTab;
using Requests = std::vector<common::ShellRequest>;
const std::wstring kIfeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const std::wstring kCopied = L"文件路径已复制到剪贴板!";

// The exit code of a child that has ended; STILL_ACTIVE while it runs.
DWORD EndedCode(const wt::Child& child) {
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(child.pi.hProcess, 0) == WAIT_OBJECT_0) ::GetExitCodeProcess(child.pi.hProcess, &code);
  return code;
}

std::wstring Debugger(const std::wstring& key) { return rt::ReadString(HKEY_LOCAL_MACHINE, key, L"Debugger"); }
}  // namespace

// Ending a child: exit code 1 and its row goes. A PID that names no process (the row's PID cell
// is the command's only record), and forbidding with no row selected (PID 0, no name), are reported
// and write nothing.
TEST(ProcessActions, EndProcessEndsTheChildAndReportsAPidWithoutProcess) {
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_KILL);
  EXPECT_EQ(EndedCode(child), 1u);
  EXPECT_EQ(wt::FindRow(t.list, Tab::kPid, std::to_wstring(child.pid())), -1);
  EXPECT_TRUE(log.entries.empty());

  row = t.RowOf(::GetCurrentProcessId());
  row = t.EditRow(row, [](process::ProcessRecord& r) { r.cells[Tab::kPid] = L"-5"; });
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_KILL);
  const wt::Messages failed = wt::Shown(t.page, L"进程结束失败!", L"警告", MB_ICONERROR);
  EXPECT_EQ(log.entries, failed);

  ASSERT_EQ(Debugger(kIfeo), L"<missing>");
  log.entries.clear();
  wt::SelectRow(t.list, -1);
  t.page.SendMessage(WM_COMMAND, IDM_PROCESS_FORBID, 0);
  EXPECT_EQ(Debugger(kIfeo), L"<missing>");
  EXPECT_EQ(log.entries, failed);
}

TEST(ProcessActions, EndingOrForbiddingTheProgramItselfOnlyRefusesAndRefills) {
  Tab t;
  const std::wstring name = t.list.GetItemText(t.RowOf(::GetCurrentProcessId()), Tab::kName);
  ASSERT_FALSE(name.empty());
  const std::wstring key = kIfeo + L"\\" + name;
  ASSERT_EQ(Debugger(key), L"<missing>") << "an IFEO entry for the test program exists already";
  rt::TestKey cleanup(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, false);
  for (UINT command : {IDM_PROCESS_KILL, IDM_PROCESS_FORBID}) {
    int row = t.RowOf(::GetCurrentProcessId());
    t.AddMarkerRow();
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, command);
    EXPECT_EQ(log.entries, wt::Shown(t.page, L"自杀嗦", L"提示", MB_ICONINFORMATION)) << command;
    EXPECT_EQ(wt::FindRow(t.list, 0, L"marker"), -1);  // refilled
    EXPECT_GE(wt::FindRow(t.list, Tab::kPid, std::to_wstring(::GetCurrentProcessId())), 0);
    EXPECT_EQ(Debugger(key), L"<missing>");
  }
}

// Forbidding writes the marker in a volatile key, ends the process and confirms.
TEST(ProcessActions, ForbidRunningWritesTheMarkerEndsTheProcessAndConfirms) {
  wt::TempDir dir;
  const std::wstring name = L"wardlet_forbid.exe", exe = wt::CopyChild(dir, name), key = kIfeo + L"\\" + name;
  rt::TestKey cleanup(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, false);
  wt::Child child(wt::Quoted(exe));
  ASSERT_TRUE(child.started());
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_EQ(t.list.GetItemText(row, Tab::kName), name);
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORBID);
  EXPECT_EQ(Debugger(key), L"Forbid by Morvane");
  // The confirmation's first line is the old one; on 64-bit Windows it names the view written.
  const std::wstring confirmed = process::BarConfirmationText(name, process::HasTwoRegistryViews());
  EXPECT_EQ(log.entries, wt::Shown(t.page, confirmed, L"提示", MB_ICONINFORMATION));
  EXPECT_EQ(confirmed.substr(0, confirmed.find(L'\n')), L"成功禁止程序" + name + L"的再次运行!");
  BOOL wow = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow);
  EXPECT_EQ(confirmed.find(L"64位视图") != std::wstring::npos, sizeof(void*) == 8 || wow);
  EXPECT_EQ(EndedCode(child), 1u);
  EXPECT_EQ(wt::FindRow(t.list, Tab::kPid, std::to_wstring(child.pid())), -1);
  ui::CRegKey probe;  // the registry refuses a lasting key below a volatile one
  EXPECT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (key + L"\\probe").c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ, nullptr, probe.put(), nullptr),
            ERROR_CHILD_MUST_BE_VOLATILE);
}

// Force deletion ends the child, waiting for it, and deletes its running executable. (The
// temporary names and the failures are force deletion's own tests.)
TEST(ProcessActions, ForceDeleteEndsTheChildAndDeletesItsExecutable) {
  wt::TempDir dir;
  const std::wstring exe = wt::CopyChild(dir, L"wardlet_doomed.exe");
  wt::Child child(wt::Quoted(exe));
  ASSERT_TRUE(child.started());
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_TRUE(wt::SamePath(t.list.GetItemText(row, Tab::kPath), exe));
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORCE_DELETE);
  EXPECT_FALSE(wt::FileExists(exe));
  EXPECT_TRUE(wt::TempNamesIn(dir.path()).empty());
  EXPECT_EQ(EndedCode(child), 1u);
  EXPECT_EQ(wt::FindRow(t.list, Tab::kPid, std::to_wstring(child.pid())), -1);
  EXPECT_TRUE(log.entries.empty());
}

// A child started from a copy whose name and folder hold a blank, an ampersand and a comma: the
// process row's and its module row's commands hand its path and name to the shell whole, and
// copy paths to the clipboard.
TEST(ShellActions, ProcessAndModuleCommandsHandPathsAndNamesToTheShellAndClipboard) {
  wt::TempDir dir;
  const std::wstring name = L"wardlet a&b,c.exe";
  const std::wstring exe = wt::CopyChild(dir, name);
  wt::Child child(wt::Quoted(exe));
  ASSERT_TRUE(child.started());
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  t.Click(row);
  const struct {
    const ui::CListCtrl& list;
    int at, nameColumn, pathColumn;
    UINT menu, properties, locate, search;
  } menus[] = {{t.list, row, Tab::kName, Tab::kPath, IDR_MENU_PROCESS, IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE,
                IDM_PROCESS_SEARCH},  // the executable is the first module:
               {t.modules, 0, Tab::kModuleName, Tab::kModulePath, IDR_MENU_MODULE, IDM_MODULE_PROPERTIES,
                IDM_MODULE_LOCATE, IDM_MODULE_SEARCH}};
  for (const auto& m : menus) {
    const std::wstring path = m.list.GetItemText(m.at, m.pathColumn);
    ASSERT_TRUE(wt::SamePath(path, exe)) << path;
    ASSERT_EQ(m.list.GetItemText(m.at, m.nameColumn), name);
    wt::ShellLog shell;
    wt::MessageLog log;
    wt::MenuChooser seen;
    for (UINT command : {m.properties, m.locate, m.search}) wt::RunRowCommand(t.page, m.list, m.at, command, &seen);
    EXPECT_EQ(seen.lastMenuId, m.menu);
    EXPECT_TRUE(seen.greyed.empty());
    EXPECT_EQ(shell.requests, (Requests{{nullptr, L"properties", path, L"", SW_SHOW, true},
                                        {nullptr, L"open", wt::WindowsProgram(L"Explorer.exe"), L"/select,\"" + path + L"\"",
                                         SW_SHOWMAXIMIZED, false},
                                        {t.page, L"open", L"https://www.google.com/search?hl=zh-CN&q="
                                                          L"wardlet%20a%26b%2Cc.exe", L"", SW_SHOWMAXIMIZED, false}}));
    EXPECT_TRUE(log.entries.empty());
  }
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // none ends it

  // The copy commands put the process's path, and a module's, on the clipboard.
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), t.list.GetItemText(row, Tab::kPath));
  const int last = t.modules.GetItemCount() - 1;
  ASSERT_GT(last, 0);
  wt::RunRowCommand(t.page, t.modules, last, IDM_MODULE_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), t.modules.GetItemText(last, Tab::kModulePath));
  EXPECT_EQ(log.entries, (wt::Messages{{t.page, kCopied, L"提示", MB_ICONINFORMATION},
                                       {t.page, L"模块路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION}}));
}

// Texts outside the ANSI code page and an empty text are copied as Unicode text and confirmed; a
// clipboard another thread holds open is reported and left alone.
TEST(ShellActions, CopyingPutsUnicodeTextAndAClipboardHeldElsewhereIsReported) {
  wt::OwnerWindow owner;
  wt::MessageLog log;
  const wt::Messages confirmed = wt::Shown(owner.hwnd, kCopied, L"提示", MB_ICONINFORMATION);
  for (const std::wstring& text : {std::wstring(L"C:\\程序\\Ωψ✓.exe"), std::wstring()}) {
    log.entries.clear();
    common::CopyTextToClipboard(owner.hwnd, text, kCopied);
    EXPECT_EQ(wt::ClipboardText(), text);
    EXPECT_EQ(log.entries, confirmed);
  }
  common::CopyTextToClipboard(owner.hwnd, L"before", kCopied);
  log.entries.clear();
  ui::CHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ui::CHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    BOOL open = ::OpenClipboard(nullptr);
    ::SetEvent(held.get());
    ::WaitForSingleObject(release.get(), 10000);
    if (open) ::CloseClipboard();
  });
  ::WaitForSingleObject(held.get(), 10000);
  common::CopyTextToClipboard(owner.hwnd, L"after", kCopied);
  ::SetEvent(release.get());
  holder.join();
  EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"打开剪贴板失败!", L"警告", MB_ICONERROR));
  EXPECT_EQ(wt::ClipboardText(), L"before");
}

// Without its settings key Registry Editor is reported and started all the same; the key is not
// created. (The pages' tests open it at a key.)
TEST(ShellActions, RegeditStartsAllTheSameWhenItsSettingsAreMissing) {
  const wchar_t kRegedit[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
  if (rt::KeyExists(HKEY_CURRENT_USER, kRegedit)) GTEST_SKIP() << "Registry Editor's settings exist for this user";
  wt::OwnerWindow owner;
  wt::ShellLog shell;
  wt::MessageLog log;
  common::OpenKeyInRegedit(owner.hwnd, L"HKEY_LOCAL_MACHINE\\Software");
  EXPECT_FALSE(rt::KeyExists(HKEY_CURRENT_USER, kRegedit));
  EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"注册表打开失败", L"错误", MB_ICONERROR));
  EXPECT_EQ(shell.requests, (Requests{{nullptr, L"open", wt::WindowsProgram(L"Regedit.exe"), L"", SW_SHOWMAXIMIZED, false}}));
}
