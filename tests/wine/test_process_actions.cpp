// The process menu's actions on the real process page: end process, forbid running, force delete.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shell_rules.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

constexpr int kName = 1, kPid = 3, kPath = 9;

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Copies the child program into dir under name and returns its path.
std::wstring CopyChild(const wt::TempDir& dir, const std::wstring& name) {
  std::wstring to = dir.path() + name;
  EXPECT_TRUE(::CopyFileW((wt::ExeDir() + L"wardlet_child.exe").c_str(), to.c_str(), FALSE));
  return to;
}

// A file name no other test or run uses.
std::wstring UniqueExeName(const std::wstring& stem) {
  static int n = 0;
  return stem + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++n) + L".exe";
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

DWORD ExitCode(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process, &code);
  return code;
}

// Names left in dir that start with "Morvane".
std::vector<std::wstring> TempNamesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"Morvane*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return names;
}

// The "Debugger" value of an IFEO key, or nothing when the key or value is missing.
bool ReadDebugger(const std::wstring& subKey, std::wstring& value) {
  wchar_t buf[512] = {};
  DWORD size = sizeof(buf);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, subKey.c_str(), L"Debugger", RRF_RT_REG_SZ, nullptr, buf, &size) !=
      ERROR_SUCCESS)
    return false;
  value = buf;
  return true;
}

// PID of a child that has ended and whose process object is gone (Wine keeps it a moment).
DWORD GonePid() {
  DWORD pid;
  {
    wt::Child child(Quoted(wt::ExeDir() + L"wardlet_child.exe") + L" sleep 0");
    if (!child.started()) return 0;
    ::WaitForSingleObject(child.pi.hProcess, 10000);
    pid = child.pid();
  }
  for (int i = 0; i < 500; ++i) {
    ui::CHandle h(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!h) return pid;
    ::Sleep(20);
  }
  return 0;
}

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The main dialog with its process page, refilled after the children a test started.
struct ProcessPageFixture {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  int RowOf(DWORD pid) {
    page.RefreshProcessList();
    return wt::FindRow(list, kPid, std::to_wstring(pid));
  }
};

}  // namespace

TEST(ProcessActions, EndProcessEndsTheChildWithExitCodeOneAndDropsItsRow) {
  wt::Child child(Quoted(wt::ExeDir() + L"wardlet_child.exe"));
  ASSERT_TRUE(child.started());
  ProcessPageFixture f;
  int row = f.RowOf(child.pid());
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_KILL);
  ASSERT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(child.pi.hProcess), 1u);
  EXPECT_EQ(wt::FindRow(f.list, kPid, std::to_wstring(child.pid())), -1);
  EXPECT_TRUE(log.entries.empty());
}

TEST(ProcessActions, EndingTheProgramItselfOnlyRefusesAndRefills) {
  ProcessPageFixture f;
  int row = f.RowOf(::GetCurrentProcessId());
  ASSERT_GE(row, 0);
  int marker = f.list.InsertItem(f.list.GetItemCount(), L"marker");
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_KILL);
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"自杀嗦");
  EXPECT_EQ(log.entries[0].caption, L"提示");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(log.entries[0].owner, f.page.GetSafeHwnd());
  EXPECT_GE(marker, 0);
  EXPECT_EQ(wt::FindRow(f.list, 0, L"marker"), -1);  // the list was refilled
  EXPECT_GE(wt::FindRow(f.list, kPid, std::to_wstring(::GetCurrentProcessId())), 0);
}

TEST(ProcessActions, EndingAProcessThatIsGoneReportsAFailure) {
  ProcessPageFixture f;
  int row = f.RowOf(::GetCurrentProcessId());
  ASSERT_GE(row, 0);
  // The row's PID cell is the command's only record: a process that has ended since.
  const DWORD gone = GonePid();
  ASSERT_NE(gone, 0u);
  f.list.SetItemText(row, kPid, std::to_wstring(gone));
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_KILL);
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"进程结束失败!");
  EXPECT_EQ(log.entries[0].caption, L"警告");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(log.entries[0].owner, f.page.GetSafeHwnd());
}

TEST(ProcessActions, ForbidRunningWritesTheVolatileMarkerEndsTheProcessAndConfirms) {
  wt::TempDir dir;
  const std::wstring name = UniqueExeName(L"wardlet_forbid");
  const std::wstring exe = CopyChild(dir, name);
  const std::wstring subKey = common::IfeoSubKey(name);
  wt::KeyCleanup cleanup(HKEY_LOCAL_MACHINE, subKey);
  wt::Child child(Quoted(exe));
  ASSERT_TRUE(child.started());
  ProcessPageFixture f;
  int row = f.RowOf(child.pid());
  ASSERT_GE(row, 0);
  ASSERT_EQ(f.list.GetItemText(row, kName), name);

  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_FORBID);
  std::wstring debugger;
  ASSERT_TRUE(ReadDebugger(subKey, debugger));
  EXPECT_EQ(debugger, L"Forbid by Morvane");
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"成功禁止程序" + name + L"的再次运行!");
  EXPECT_EQ(log.entries[0].caption, L"提示");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_ICONINFORMATION));
  ASSERT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(child.pi.hProcess), 1u);
  EXPECT_EQ(wt::FindRow(f.list, kPid, std::to_wstring(child.pid())), -1);

  // The key is volatile: the registry refuses a lasting key below it.
  {
    ui::CRegKey key, probe;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_ALL_ACCESS, key.put()), ERROR_SUCCESS);
    EXPECT_EQ(::RegCreateKeyExW(key.get(), L"probe", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                                probe.put(), nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
  }

  // Starting the program again: Windows starts the "debugger" named by the marker, which does not
  // exist, so the start fails. Wine's loader does not read the Debugger value: the program runs.
  wt::Child again(Quoted(exe) + L" sleep 0");
  if (UnderWine()) {
    ASSERT_TRUE(again.started());
    EXPECT_EQ(::WaitForSingleObject(again.pi.hProcess, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(again.pi.hProcess), 0u);
  } else {
    EXPECT_FALSE(again.started());
  }
}

TEST(ProcessActions, ForbidRunningOverwritesAnExistingLastingKey) {
  wt::TempDir dir;
  const std::wstring name = UniqueExeName(L"wardlet_forbid");
  const std::wstring exe = CopyChild(dir, name);
  const std::wstring subKey = common::IfeoSubKey(name);
  wt::KeyCleanup cleanup(HKEY_LOCAL_MACHINE, subKey);
  {
    ui::CRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    const wchar_t old[] = L"C:\\other.exe";
    ::RegSetValueExW(key.get(), L"Debugger", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof(old));
  }
  wt::Child child(Quoted(exe));
  ASSERT_TRUE(child.started());
  ProcessPageFixture f;
  int row = f.RowOf(child.pid());
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_FORBID);
  std::wstring debugger;
  ASSERT_TRUE(ReadDebugger(subKey, debugger));
  EXPECT_EQ(debugger, L"Forbid by Morvane");
  EXPECT_TRUE(log.Has(L"成功禁止程序" + name + L"的再次运行!"));
  // The key keeps its kind: a lasting key below it is allowed.
  ui::CRegKey probe;
  EXPECT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (subKey + L"\\probe").c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, probe.put(), nullptr),
            ERROR_SUCCESS);
}

TEST(ProcessActions, ForbidRunningOnTheProgramItselfWritesNothing) {
  ProcessPageFixture f;
  int row = f.RowOf(::GetCurrentProcessId());
  ASSERT_GE(row, 0);
  const std::wstring name = f.list.GetItemText(row, kName);
  ASSERT_FALSE(name.empty());
  const std::wstring subKey = common::IfeoSubKey(name);
  std::wstring before;
  ASSERT_FALSE(ReadDebugger(subKey, before)) << "an IFEO entry for the test program exists already";
  wt::KeyCleanup cleanup(HKEY_LOCAL_MACHINE, subKey);
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_FORBID);
  std::wstring after;
  EXPECT_FALSE(ReadDebugger(subKey, after));
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"自杀嗦");
  EXPECT_EQ(log.entries[0].caption, L"提示");
}

TEST(ProcessActions, ForbidRunningWithoutASelectedRowWritesNothing) {
  std::wstring ifeo = common::IfeoSubKey(L"");
  ifeo.pop_back();  // the IFEO key itself
  std::wstring before;
  ASSERT_FALSE(ReadDebugger(ifeo, before));
  ProcessPageFixture f;
  wt::SelectRow(f.list, -1);
  wt::MessageLog log;
  f.page.SendMessage(WM_COMMAND, IDM_PROCESS_FORBID, 0);
  std::wstring after;
  EXPECT_FALSE(ReadDebugger(ifeo, after));
  // No confirmation; ending "PID 0" fails as it does for the end-process command.
  EXPECT_FALSE(log.Has(L"成功禁止程序的再次运行!"));
  EXPECT_TRUE(log.Has(L"进程结束失败!"));
}

TEST(ProcessActions, ForceDeleteEndsTheChildAndDeletesItsRunningExecutable) {
  wt::TempDir dir;
  const std::wstring exe = CopyChild(dir, UniqueExeName(L"wardlet_doomed"));
  wt::Child child(Quoted(exe));
  ASSERT_TRUE(child.started());
  ProcessPageFixture f;
  int row = f.RowOf(child.pid());
  ASSERT_GE(row, 0);
  ASSERT_FALSE(f.list.GetItemText(row, kPath).empty());
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_FORCE_DELETE);
  EXPECT_FALSE(FileExists(exe));
  EXPECT_TRUE(TempNamesIn(dir.path()).empty());
  ASSERT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(child.pi.hProcess), 1u);
  EXPECT_EQ(wt::FindRow(f.list, kPid, std::to_wstring(child.pid())), -1);
  EXPECT_TRUE(log.entries.empty());
}

TEST(ProcessActions, ForceDeleteLeavesAnUnrelatedTemporaryFileAlone) {
  wt::TempDir dir;
  const std::wstring exe = CopyChild(dir, UniqueExeName(L"wardlet_doomed"));
  const std::wstring unrelated = dir.path() + L"Morvane.tmp";
  {
    ui::CFileHandle file(::CreateFileW(unrelated.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ::WriteFile(file.get(), "keep", 4, &written, nullptr);
  }
  wt::Child child(Quoted(exe));
  ASSERT_TRUE(child.started());
  ProcessPageFixture f;
  int row = f.RowOf(child.pid());
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_FORCE_DELETE);
  EXPECT_FALSE(FileExists(exe));
  EXPECT_EQ(TempNamesIn(dir.path()), std::vector<std::wstring>{L"Morvane.tmp"});
  ui::CFileHandle file(::CreateFileW(unrelated.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  char text[8] = {};
  DWORD got = 0;
  ASSERT_TRUE(file);
  ::ReadFile(file.get(), text, sizeof(text), &got, nullptr);
  EXPECT_EQ(std::string(text, got), "keep");
  EXPECT_TRUE(log.entries.empty());
}

TEST(ProcessActions, ForceDeleteOfAMissingFileReportsAndStillEndsTheProcess) {
  wt::TempDir dir;
  wt::Child child(Quoted(wt::ExeDir() + L"wardlet_child.exe"));
  ASSERT_TRUE(child.started());
  ProcessPageFixture f;
  int row = f.RowOf(child.pid());
  ASSERT_GE(row, 0);
  f.list.SetItemText(row, kPath, dir.path() + L"missing.exe");
  wt::MessageLog log;
  wt::RunRowCommand(f.page, f.list, row, IDM_PROCESS_FORCE_DELETE);
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"文件删除失败!");
  EXPECT_EQ(log.entries[0].caption, L"错误");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(log.entries[0].owner, f.page.GetSafeHwnd());
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(FileExists(wt::ExeDir() + L"wardlet_child.exe"));
  EXPECT_TRUE(TempNamesIn(dir.path()).empty());
}
