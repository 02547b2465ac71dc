// The process list's row menu: which menu opens, when, and what it greys.
#include <gtest/gtest.h>

#include "tests/wine/test_util.h"

namespace {

// Puts a row with the given PID, parent PID and path cells at the top of the process list.
int AddRow(const ui::CListCtrl& list, const wchar_t* pid, const wchar_t* parent, const wchar_t* path) {
  int row = list.InsertItem(0, L"0");
  list.SetItemText(row, 1, L"row.exe");
  list.SetItemText(row, 3, pid);
  list.SetItemText(row, 4, parent);
  list.SetItemText(row, 9, path);
  return row;
}

}  // namespace

TEST(RowMenu, NoMenuBelowTheRows) {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  wt::MenuChooser menu;
  wt::SelectRow(page.ProcessList(), -1);
  wt::RightClickRow(page.GetSafeHwnd(), page.ProcessList(), -1);
  EXPECT_EQ(menu.opened, 0);
  wt::RightClickRow(page.GetSafeHwnd(), page.ModuleList(), -1);
  EXPECT_EQ(menu.opened, 0);
}

TEST(RowMenu, ProcessMenuGreysByTheRowsCells) {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  wt::MenuChooser menu;

  int row = AddRow(list, L"1234", L"56", L"");
  wt::SelectRow(list, row);
  wt::RightClickRow(page.GetSafeHwnd(), list, row);
  ASSERT_EQ(menu.opened, 1);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_PROCESS));
  EXPECT_TRUE(menu.IsGreyed(IDM_PROCESS_PROPERTIES));
  EXPECT_TRUE(menu.IsGreyed(IDM_PROCESS_LOCATE));
  EXPECT_TRUE(menu.IsGreyed(IDM_PROCESS_COPY_PATH));
  EXPECT_FALSE(menu.IsGreyed(IDM_PROCESS_FORCE_DELETE));
  EXPECT_FALSE(menu.IsGreyed(IDM_PROCESS_SEARCH));
  EXPECT_FALSE(menu.IsGreyed(IDM_PROCESS_KILL));

  row = AddRow(list, L"4", L"0", L"C:\\x.exe");
  wt::SelectRow(list, row);
  wt::RightClickRow(page.GetSafeHwnd(), list, row);
  EXPECT_TRUE(menu.IsGreyed(IDM_PROCESS_KILL));
  EXPECT_TRUE(menu.IsGreyed(IDM_PROCESS_FORBID));
  EXPECT_FALSE(menu.IsGreyed(IDM_PROCESS_LOCATE));
  EXPECT_EQ(menu.items.size(), 8u);
}

TEST(RowMenu, ModuleMenuGreysNothing) {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  wt::SelectRow(page.ProcessList(), -1);
  wt::ClickRow(page.GetSafeHwnd(), page.ProcessList(), -1);  // lists the program's own modules
  const ui::CListCtrl& modules = page.ModuleList();
  ASSERT_GT(modules.GetItemCount(), 0);
  wt::MenuChooser menu;
  wt::SelectRow(modules, 0);
  wt::RightClickRow(page.GetSafeHwnd(), modules, 0);
  ASSERT_EQ(menu.opened, 1);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_MODULE));
  EXPECT_EQ(menu.items.size(), 4u);
  EXPECT_TRUE(menu.greyed.empty());
}
