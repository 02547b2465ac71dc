// The process menu's actions on the real process page: end process, forbid running, force delete.
#include <gtest/gtest.h>

#include <vector>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
using Tab = wt::ProcessTab;
const std::wstring kIfeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

// A file name no other test or run uses.
std::wstring UniqueExeName(const std::wstring& stem) {
  static int n = 0;
  return stem + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++n) + L".exe";
}

// The exit code of a child that has ended; STILL_ACTIVE while it runs.
DWORD EndedCode(const wt::Child& child) {
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(child.pi.hProcess, 0) == WAIT_OBJECT_0) ::GetExitCodeProcess(child.pi.hProcess, &code);
  return code;
}

std::wstring Debugger(const std::wstring& key) { return rt::ReadString(HKEY_LOCAL_MACHINE, key, L"Debugger"); }

// Creates a lasting key under HKEY_LOCAL_MACHINE (the registry refuses one below a volatile key).
LONG MakeLastingKey(const std::wstring& path) {
  ui::CRegKey key;
  return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                           key.put(), nullptr);
}
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
  t.list.SetItemText(row, Tab::kPid, L"-5");
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
  wt::KeyCleanup cleanup{HKEY_LOCAL_MACHINE, key};
  for (UINT command : {IDM_PROCESS_KILL, IDM_PROCESS_FORBID}) {
    int row = t.RowOf(::GetCurrentProcessId());
    t.list.InsertItem(t.list.GetItemCount(), L"marker");
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, command);
    EXPECT_EQ(log.entries, wt::Shown(t.page, L"自杀嗦", L"提示", MB_ICONINFORMATION)) << command;
    EXPECT_EQ(wt::FindRow(t.list, 0, L"marker"), -1);  // refilled
    EXPECT_GE(wt::FindRow(t.list, Tab::kPid, std::to_wstring(::GetCurrentProcessId())), 0);
    EXPECT_EQ(Debugger(key), L"<missing>");
  }
}

// Forbidding writes the marker, ends the process and confirms; a new key is volatile, an existing
// lasting key is overwritten and keeps its kind.
TEST(ProcessActions, ForbidRunningWritesTheMarkerEndsTheProcessAndConfirms) {
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "over an existing lasting key" : "new key");
    wt::TempDir dir;
    const std::wstring name = UniqueExeName(L"wardlet_forbid");
    const std::wstring exe = wt::CopyChild(dir, name);
    const std::wstring key = kIfeo + L"\\" + name;
    wt::KeyCleanup cleanup{HKEY_LOCAL_MACHINE, key};
    if (existing) {
      ASSERT_EQ(MakeLastingKey(key), ERROR_SUCCESS);
      const wchar_t old[] = L"C:\\other.exe";
      ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Debugger", REG_SZ, old, sizeof(old)), 0);
    }
    wt::Child child(wt::Quoted(exe));
    ASSERT_TRUE(child.started());
    Tab t;
    int row = t.RowOf(child.pid());
    ASSERT_GE(row, 0);
    ASSERT_EQ(t.list.GetItemText(row, Tab::kName), name);
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORBID);
    EXPECT_EQ(Debugger(key), L"Forbid by Morvane");
    EXPECT_EQ(log.entries, wt::Shown(t.page, L"成功禁止程序" + name + L"的再次运行!", L"提示", MB_ICONINFORMATION));
    EXPECT_EQ(EndedCode(child), 1u);
    EXPECT_EQ(wt::FindRow(t.list, Tab::kPid, std::to_wstring(child.pid())), -1);
    EXPECT_EQ(MakeLastingKey(key + L"\\probe"), existing ? ERROR_SUCCESS : ERROR_CHILD_MUST_BE_VOLATILE);
  }
}

// Force deletion ends the child (waiting for it) and deletes its running executable; a
// "Morvane.tmp" that was in the folder before is left as it was. A missing file is reported, the
// process ended all the same.
TEST(ProcessActions, ForceDeleteEndsTheChildAndDeletesItsExecutable) {
  enum Case { kAlone, kBesideTemp, kMissing };
  for (Case c : {kAlone, kBesideTemp, kMissing}) {
    SCOPED_TRACE(c);
    wt::TempDir dir;
    const std::wstring exe = wt::CopyChild(dir, UniqueExeName(L"wardlet_doomed"));
    ASSERT_TRUE(c != kBesideTemp || wt::WriteText(dir.path() + L"Morvane.tmp", "keep"));
    wt::Child child(wt::Quoted(exe));
    ASSERT_TRUE(child.started());
    Tab t;
    int row = t.RowOf(child.pid());
    ASSERT_GE(row, 0);
    ASSERT_TRUE(wt::SamePath(t.list.GetItemText(row, Tab::kPath), exe));
    if (c == kMissing) t.list.SetItemText(row, Tab::kPath, dir.path() + L"missing.exe");
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORCE_DELETE);
    EXPECT_EQ(wt::FileExists(exe), c == kMissing);
    EXPECT_EQ(wt::TempNamesIn(dir.path()), std::vector<std::wstring>(c == kBesideTemp ? 1 : 0, L"Morvane.tmp"));
    EXPECT_EQ(wt::ReadText(dir.path() + L"Morvane.tmp"), c == kBesideTemp ? "keep" : "(missing)");
    EXPECT_EQ(EndedCode(child), 1u);
    EXPECT_EQ(wt::FindRow(t.list, Tab::kPid, std::to_wstring(child.pid())), -1);
    EXPECT_EQ(log.entries, c == kMissing ? wt::Shown(t.page, L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR)
                                         : wt::Messages{});
  }
}
