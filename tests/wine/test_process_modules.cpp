// The module list of the real process page: filled by a click on the process list.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
using Tab = wt::ProcessTab;

int FindModule(const ui::CListCtrl& modules, const std::wstring& name) {
  for (int i = 0; i < modules.GetItemCount(); ++i)
    if (wt::SamePath(modules.GetItemText(i, Tab::kModuleName), name)) return i;
  return -1;
}

// Rows numbered 1, 2, … from the given first module, kernel32.dll among the later ones.
void ExpectModules(const ui::CListCtrl& modules, const std::wstring& first) {
  ASSERT_GT(modules.GetItemCount(), 1);
  for (int i = 0; i < modules.GetItemCount(); ++i) ASSERT_EQ(modules.GetItemText(i, 0), std::to_wstring(i + 1));
  EXPECT_TRUE(wt::SamePath(modules.GetItemText(0, Tab::kModulePath), first)) << modules.GetItemText(0, 2);
  EXPECT_GT(FindModule(modules, L"kernel32.dll"), 0);
}
}  // namespace

TEST(ProcessModules, AClickListsTheModulesOfTheProcessOrOfTheProgramItself) {
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  // Waits until the child's loader has mapped kernel32.dll, so that all its modules are there.
  bool loaded = false;
  for (int i = 0; i < 250 && !loaded; ++i, ::Sleep(20)) {
    ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, child.pid()));
    MODULEENTRY32W me{};
    me.dwSize = sizeof(me);
    for (BOOL ok = snap && ::Module32FirstW(snap.get(), &me); ok && !loaded; ok = ::Module32NextW(snap.get(), &me))
      loaded = wt::SamePath(me.szModule, L"kernel32.dll");
  }
  ASSERT_TRUE(loaded);
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  t.Click(row);
  ExpectModules(t.modules, wt::ChildExe());
  EXPECT_EQ(t.modules.GetItemText(0, Tab::kModuleName), L"wardlet_child.exe");
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring k32 = t.modules.GetItemText(FindModule(t.modules, L"kernel32.dll"), Tab::kModulePath);
  EXPECT_TRUE(wt::SamePath(k32, std::wstring(system) + L"\\kernel32.dll")) << k32;
  EXPECT_EQ(FindModule(t.modules, L"wardlet_tests.exe"), -1);

  // A refill of the process list keeps the module list; a right click fills it anew.
  const int count = t.modules.GetItemCount();
  t.page.RefreshProcessList();
  EXPECT_EQ(t.modules.GetItemCount(), count);
  EXPECT_EQ(t.modules.GetItemText(0, Tab::kModuleName), L"wardlet_child.exe");
  const std::wstring ownPid = std::to_wstring(::GetCurrentProcessId());
  wt::RunRowCommand(t.page, t.list, wt::FindRow(t.list, Tab::kPid, ownPid), 0);
  EXPECT_TRUE(wt::SamePath(t.modules.GetItemText(0, Tab::kModulePath), wt::OwnPath()));

  // No selection and the idle process (PID 0; where the system lists none, a row is given it)
  // list the program's own modules; a process that is gone, none.
  int idle = wt::FindRow(t.list, Tab::kPid, L"0");
  if (idle < 0) t.list.SetItemText(idle = 0, Tab::kPid, L"0");
  for (int clicked : {-1, idle}) {
    t.modules.InsertItem(0, L"stale");
    t.Click(clicked);
    ExpectModules(t.modules, wt::OwnPath());
  }
  int own = wt::FindRow(t.list, Tab::kPid, ownPid);
  ASSERT_GE(own, 0);
  t.list.SetItemText(own, Tab::kPid, L"-5");  // no such process
  t.Click(own);
  EXPECT_EQ(t.modules.GetItemCount(), 0);
  EXPECT_TRUE(log.entries.empty());
}
