// The module list of the real process page: filled by a click on the process list.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "tests/wine/test_util.h"

namespace {

constexpr int kPid = 3;
constexpr int kModuleName = 1, kModulePath = 2;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

int FindModule(const ui::CListCtrl& modules, const std::wstring& name) {
  for (int i = 0; i < modules.GetItemCount(); ++i)
    if (SameText(modules.GetItemText(i, kModuleName), name)) return i;
  return -1;
}

// Waits (bounded) until the child's loader has mapped kernel32.dll, so that its modules are all
// there before the page lists them.
bool WaitForKernel32(DWORD pid) {
  for (int i = 0; i < 250; ++i) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap != INVALID_HANDLE_VALUE) {
      MODULEENTRY32W me{};
      me.dwSize = sizeof(me);
      bool found = false;
      for (BOOL ok = ::Module32FirstW(snap, &me); ok && !found; ok = ::Module32NextW(snap, &me))
        found = SameText(me.szModule, L"kernel32.dll");
      ::CloseHandle(snap);
      if (found) return true;
    }
    ::Sleep(20);
  }
  return false;
}

// Rows numbered 1, 2, … in order.
void ExpectNumbered(const ui::CListCtrl& list) {
  for (int i = 0; i < list.GetItemCount(); ++i) ASSERT_EQ(list.GetItemText(i, 0), std::to_wstring(i + 1));
}

struct ModulePage {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  const ui::CListCtrl& modules = page.ModuleList();
  // Selects the row and clicks it, as the user does.
  void Click(int row) {
    wt::SelectRow(list, row);
    wt::ClickRow(page, list, row);
  }
};

}  // namespace

TEST(ProcessModules, AClickListsTheModulesOfTheProcessExecutableFirst) {
  const std::wstring childExe = wt::ExeDir() + L"wardlet_child.exe";
  wt::Child child(Quoted(childExe));
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(WaitForKernel32(child.pid()));
  ModulePage p;
  p.page.RefreshProcessList();
  int row = wt::FindRow(p.list, kPid, std::to_wstring(child.pid()));
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  p.Click(row);
  ASSERT_GE(p.modules.GetItemCount(), 2);
  ExpectNumbered(p.modules);
  EXPECT_EQ(p.modules.GetItemText(0, kModuleName), L"wardlet_child.exe");
  EXPECT_TRUE(SameText(p.modules.GetItemText(0, kModulePath), childExe)) << p.modules.GetItemText(0, kModulePath);
  int k32 = FindModule(p.modules, L"kernel32.dll");
  ASSERT_GT(k32, 0);
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_TRUE(SameText(p.modules.GetItemText(k32, kModulePath), std::wstring(system) + L"\\kernel32.dll"))
      << p.modules.GetItemText(k32, kModulePath);
  // The test program's own modules are not among them.
  EXPECT_EQ(FindModule(p.modules, L"wardlet_tests.exe"), -1);
  EXPECT_TRUE(log.entries.empty());

  // A refill of the process list keeps the module list; a right click fills it anew.
  const int count = p.modules.GetItemCount();
  p.page.RefreshProcessList();
  EXPECT_EQ(p.modules.GetItemCount(), count);
  EXPECT_EQ(p.modules.GetItemText(0, kModuleName), L"wardlet_child.exe");
  int own = wt::FindRow(p.list, kPid, std::to_wstring(::GetCurrentProcessId()));
  ASSERT_GE(own, 0);
  wt::RunRowCommand(p.page, p.list, own, 0);
  EXPECT_TRUE(SameText(p.modules.GetItemText(0, kModulePath), OwnPath()));
}

TEST(ProcessModules, NoSelectionAndPidZeroListTheProgramsOwnModules) {
  ModulePage p;
  ASSERT_GT(p.list.GetItemCount(), 0);
  p.modules.InsertItem(0, L"stale");
  p.Click(-1);  // a click on the empty area leaves no row selected
  ASSERT_GT(p.modules.GetItemCount(), 1);
  EXPECT_TRUE(SameText(p.modules.GetItemText(0, kModulePath), OwnPath()));
  EXPECT_GT(FindModule(p.modules, L"kernel32.dll"), 0);
  ExpectNumbered(p.modules);

  // The idle process's row reads PID 0; where the system lists none, a row is given that PID.
  int idle = wt::FindRow(p.list, kPid, L"0");
  if (idle < 0) {
    idle = 0;
    p.list.SetItemText(idle, kPid, L"0");
  }
  p.modules.InsertItem(0, L"stale");
  p.Click(idle);
  ASSERT_GT(p.modules.GetItemCount(), 1);
  EXPECT_TRUE(SameText(p.modules.GetItemText(0, kModulePath), OwnPath()));
  ExpectNumbered(p.modules);
}

TEST(ProcessModules, AProcessThatIsGoneEmptiesTheList) {
  ModulePage p;
  p.Click(-1);
  ASSERT_GT(p.modules.GetItemCount(), 0);
  int row = wt::FindRow(p.list, kPid, std::to_wstring(::GetCurrentProcessId()));
  ASSERT_GE(row, 0);
  p.list.SetItemText(row, kPid, L"-5");  // no such process
  wt::MessageLog log;
  p.Click(row);
  EXPECT_EQ(p.modules.GetItemCount(), 0);
  EXPECT_TRUE(log.entries.empty());
}
