// The module list of the real process page: filled by a click on the process list.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

using Tab = wt::ProcessTab;

int FindModule(const ui::CListCtrl& modules, const std::wstring& name) {
  for (int i = 0; i < modules.GetItemCount(); ++i)
    if (wt::SamePath(modules.GetItemText(i, Tab::kModuleName), name)) return i;
  return -1;
}

// Waits (bounded) until the child's loader has mapped kernel32.dll, so that its modules are all
// there before the page lists them.
bool WaitForKernel32(DWORD pid) {
  for (int i = 0; i < 250; ++i) {
    ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    MODULEENTRY32W me{};
    me.dwSize = sizeof(me);
    for (BOOL ok = snap && ::Module32FirstW(snap.get(), &me); ok; ok = ::Module32NextW(snap.get(), &me))
      if (wt::SamePath(me.szModule, L"kernel32.dll")) return true;
    ::Sleep(20);
  }
  return false;
}

// The list holds more than one module, numbered 1, 2, … in order, the test program's first.
void ExpectOwnModules(const ui::CListCtrl& modules) {
  ASSERT_GT(modules.GetItemCount(), 1);
  for (int i = 0; i < modules.GetItemCount(); ++i) ASSERT_EQ(modules.GetItemText(i, 0), std::to_wstring(i + 1));
  EXPECT_TRUE(wt::SamePath(modules.GetItemText(0, Tab::kModulePath), wt::OwnPath()));
  EXPECT_GT(FindModule(modules, L"kernel32.dll"), 0);
}

}  // namespace

TEST(ProcessModules, AClickListsTheModulesOfTheProcessOrOfTheProgramItself) {
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(WaitForKernel32(child.pid()));
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  t.Click(row);
  ASSERT_GE(t.modules.GetItemCount(), 2);
  for (int i = 0; i < t.modules.GetItemCount(); ++i) ASSERT_EQ(t.modules.GetItemText(i, 0), std::to_wstring(i + 1));
  EXPECT_EQ(t.modules.GetItemText(0, Tab::kModuleName), L"wardlet_child.exe");
  EXPECT_TRUE(wt::SamePath(t.modules.GetItemText(0, Tab::kModulePath), wt::ChildExe()))
      << t.modules.GetItemText(0, Tab::kModulePath);
  int k32 = FindModule(t.modules, L"kernel32.dll");
  ASSERT_GT(k32, 0);
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_TRUE(wt::SamePath(t.modules.GetItemText(k32, Tab::kModulePath), std::wstring(system) + L"\\kernel32.dll"))
      << t.modules.GetItemText(k32, Tab::kModulePath);
  // The test program's own modules are not among them.
  EXPECT_EQ(FindModule(t.modules, L"wardlet_tests.exe"), -1);
  EXPECT_TRUE(log.entries.empty());

  // A refill of the process list keeps the module list; a right click fills it anew.
  const int count = t.modules.GetItemCount();
  t.page.RefreshProcessList();
  EXPECT_EQ(t.modules.GetItemCount(), count);
  EXPECT_EQ(t.modules.GetItemText(0, Tab::kModuleName), L"wardlet_child.exe");
  int own = wt::FindRow(t.list, Tab::kPid, std::to_wstring(::GetCurrentProcessId()));
  ASSERT_GE(own, 0);
  wt::RunRowCommand(t.page, t.list, own, 0);
  EXPECT_TRUE(wt::SamePath(t.modules.GetItemText(0, Tab::kModulePath), wt::OwnPath()));

  // No selection and PID 0 list the program's own modules; a process that is gone, none.
  t.modules.InsertItem(0, L"stale");
  t.Click(-1);  // a click on the empty area leaves no row selected
  ExpectOwnModules(t.modules);

  // The idle process's row reads PID 0; where the system lists none, a row is given that PID.
  int idle = wt::FindRow(t.list, Tab::kPid, L"0");
  if (idle < 0) {
    idle = 0;
    t.list.SetItemText(idle, Tab::kPid, L"0");
  }
  t.modules.InsertItem(0, L"stale");
  t.Click(idle);
  ExpectOwnModules(t.modules);

  own = wt::FindRow(t.list, Tab::kPid, std::to_wstring(::GetCurrentProcessId()));
  ASSERT_GE(own, 0);
  t.list.SetItemText(own, Tab::kPid, L"-5");  // no such process
  t.Click(own);
  EXPECT_EQ(t.modules.GetItemCount(), 0);
  EXPECT_TRUE(log.entries.empty());
}
