// The process menu's actions on the real process page: end process, forbid running, force delete.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shell_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

using Tab = wt::ProcessTab;

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

// The "Debugger" value of an IFEO key; "<missing>" when the key or value is missing.
std::wstring Debugger(const std::wstring& subKey) { return rt::ReadString(HKEY_LOCAL_MACHINE, subKey, L"Debugger"); }

// PID of a child that has ended and whose process object is gone (Wine keeps it a moment).
DWORD GonePid() {
  DWORD pid = 0;
  {
    wt::Child child(wt::Quoted(wt::ChildExe()) + L" sleep 0");
    if (!child.started() || ::WaitForSingleObject(child.pi.hProcess, 10000) != WAIT_OBJECT_0) return 0;
    pid = child.pid();
  }
  for (int i = 0; i < 500; ++i, ::Sleep(20))
    if (!ui::CHandle(::OpenProcess(SYNCHRONIZE, FALSE, pid))) return pid;
  return 0;
}

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Creates a lasting key under HKEY_LOCAL_MACHINE (the registry refuses one below a volatile key).
LONG MakeLastingKey(const std::wstring& path) {
  ui::CRegKey key;
  return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                           key.put(), nullptr);
}

}  // namespace

// Ending a child: it ends with exit code 1 and its row goes. A process gone since (the row's PID
// cell is the command's only record) is reported.
TEST(ProcessActions, EndProcessEndsTheChildAndReportsAProcessThatIsGone) {
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

  const DWORD gone = GonePid();
  ASSERT_NE(gone, 0u);
  row = t.RowOf(::GetCurrentProcessId());
  ASSERT_GE(row, 0);
  t.list.SetItemText(row, Tab::kPid, std::to_wstring(gone));
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_KILL);
  EXPECT_EQ(log.entries, wt::Shown(t.page, L"进程结束失败!", L"警告", MB_ICONERROR));
}

TEST(ProcessActions, EndingOrForbiddingTheProgramItselfOnlyRefusesAndRefills) {
  Tab t;
  const std::wstring name = t.list.GetItemText(t.RowOf(::GetCurrentProcessId()), Tab::kName);
  ASSERT_FALSE(name.empty());
  const std::wstring subKey = common::IfeoSubKey(name);
  ASSERT_EQ(Debugger(subKey), L"<missing>") << "an IFEO entry for the test program exists already";
  wt::KeyCleanup cleanup(HKEY_LOCAL_MACHINE, subKey);
  for (UINT command : {IDM_PROCESS_KILL, IDM_PROCESS_FORBID}) {
    SCOPED_TRACE(command);
    int row = t.RowOf(::GetCurrentProcessId());
    ASSERT_GE(row, 0);
    t.list.InsertItem(t.list.GetItemCount(), L"marker");
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, command);
    EXPECT_EQ(log.entries, wt::Shown(t.page, L"自杀嗦", L"提示", MB_ICONINFORMATION));
    EXPECT_EQ(wt::FindRow(t.list, 0, L"marker"), -1);  // the list was refilled
    EXPECT_GE(wt::FindRow(t.list, Tab::kPid, std::to_wstring(::GetCurrentProcessId())), 0);
    EXPECT_EQ(Debugger(subKey), L"<missing>");
  }
}

// Forbidding writes the marker, ends the process and confirms; a new key is volatile, an existing
// lasting key is overwritten and keeps its kind. The image-hijack page lists the new entry.
TEST(ProcessActions, ForbidRunningWritesTheMarkerEndsTheProcessAndConfirms) {
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "over an existing lasting key" : "new key");
    wt::TempDir dir;
    const std::wstring name = UniqueExeName(L"wardlet_forbid");
    const std::wstring exe = wt::CopyChild(dir, name);
    const std::wstring subKey = common::IfeoSubKey(name);
    wt::KeyCleanup cleanup(HKEY_LOCAL_MACHINE, subKey);
    if (existing) {
      ASSERT_EQ(MakeLastingKey(subKey), ERROR_SUCCESS);
      const wchar_t old[] = L"C:\\other.exe";
      ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, subKey.c_str(), L"Debugger", REG_SZ, old, sizeof(old)),
                ERROR_SUCCESS);
    }
    wt::Child child(wt::Quoted(exe));
    ASSERT_TRUE(child.started());
    Tab t;
    int row = t.RowOf(child.pid());
    ASSERT_GE(row, 0);
    ASSERT_EQ(t.list.GetItemText(row, Tab::kName), name);
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORBID);
    EXPECT_EQ(Debugger(subKey), L"Forbid by Morvane");
    EXPECT_EQ(log.entries, wt::Shown(t.page, L"成功禁止程序" + name + L"的再次运行!", L"提示", MB_ICONINFORMATION));
    EXPECT_EQ(EndedCode(child), 1u);
    EXPECT_EQ(wt::FindRow(t.list, Tab::kPid, std::to_wstring(child.pid())), -1);
    EXPECT_EQ(MakeLastingKey(subKey + L"\\probe"), existing ? ERROR_SUCCESS : ERROR_CHILD_MUST_BE_VOLATILE);

    // Starting the program again: Windows starts the "debugger" the marker names, which does not
    // exist, so the start fails. Wine's loader does not read the Debugger value: the program runs.
    wt::Child again(wt::Quoted(exe) + L" sleep 0");
    if (UnderWine()) {
      ASSERT_TRUE(again.started());
      EXPECT_EQ(::WaitForSingleObject(again.pi.hProcess, 10000), WAIT_OBJECT_0);
      EXPECT_EQ(EndedCode(again), 0u);
    } else {
      EXPECT_FALSE(again.started());
    }
    if (existing) continue;
    // The entry is listed on the image-hijack page; deleting its row lifts the bar.
    t.main.SelectTab(4);
    const ui::CListCtrl& ifeo = t.main.dlg().m_ifeoPage.List();
    const int entry = wt::FindRow(ifeo, 1, name);
    ASSERT_GE(entry, 0);
    EXPECT_EQ(ifeo.GetItemText(entry, 2), L"Forbid by Morvane");
    EXPECT_EQ(ifeo.GetItemText(entry, 3), common::IfeoKeyPath(name));
    wt::RunRowCommand(t.main.dlg().m_ifeoPage, ifeo, entry, IDM_IFEO_DELETE);
    ui::CRegKey key;
    EXPECT_NE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_EQ(wt::FindRow(ifeo, 1, name), -1);
  }
}

TEST(ProcessActions, ForbidRunningWithoutASelectedRowWritesNothing) {
  std::wstring ifeo = common::IfeoSubKey(L"");
  ifeo.pop_back();  // the IFEO key itself
  ASSERT_EQ(Debugger(ifeo), L"<missing>");
  Tab t;
  wt::SelectRow(t.list, -1);
  wt::MessageLog log;
  t.page.SendMessage(WM_COMMAND, IDM_PROCESS_FORBID, 0);
  EXPECT_EQ(Debugger(ifeo), L"<missing>");
  // No confirmation; ending "PID 0" fails as it does for the end-process command.
  EXPECT_FALSE(log.Has(L"成功禁止程序的再次运行!"));
  EXPECT_TRUE(log.Has(L"进程结束失败!"));
}

// The executable of a running child is deleted once the child has ended; a "Morvane.tmp" that was
// in the folder before is left as it was.
TEST(ProcessActions, ForceDeleteEndsTheChildAndDeletesItsRunningExecutable) {
  for (bool unrelated : {false, true}) {
    SCOPED_TRACE(unrelated ? "beside an unrelated Morvane.tmp" : "alone");
    wt::TempDir dir;
    const std::wstring exe = wt::CopyChild(dir, UniqueExeName(L"wardlet_doomed"));
    ASSERT_TRUE(!unrelated || wt::WriteText(dir.path() + L"Morvane.tmp", "keep"));
    wt::Child child(wt::Quoted(exe));
    ASSERT_TRUE(child.started());
    Tab t;
    int row = t.RowOf(child.pid());
    ASSERT_GE(row, 0);
    ASSERT_FALSE(t.list.GetItemText(row, Tab::kPath).empty());
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORCE_DELETE);
    EXPECT_FALSE(wt::FileExists(exe));
    EXPECT_EQ(wt::TempNamesIn(dir.path()), std::vector<std::wstring>(unrelated ? 1 : 0, L"Morvane.tmp"));
    EXPECT_EQ(wt::ReadText(dir.path() + L"Morvane.tmp"), unrelated ? "keep" : "(missing)");
    EXPECT_EQ(EndedCode(child), 1u);
    EXPECT_EQ(wt::FindRow(t.list, Tab::kPid, std::to_wstring(child.pid())), -1);
    EXPECT_TRUE(log.entries.empty());
  }
}

TEST(ProcessActions, ForceDeleteOfAMissingFileReportsAndStillEndsTheProcess) {
  wt::TempDir dir;
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  t.list.SetItemText(row, Tab::kPath, dir.path() + L"missing.exe");
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_FORCE_DELETE);
  EXPECT_EQ(log.entries, wt::Shown(t.page, L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR));
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(wt::FileExists(wt::ChildExe()));
  EXPECT_TRUE(wt::TempNamesIn(dir.path()).empty());
}
