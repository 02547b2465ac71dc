// The process page's row menus: which menu opens, when, and what it greys.
#include <gtest/gtest.h>

#include "tests/wine/test_util.h"

TEST(RowMenu, MenusOpenOnRowsOnlyAndTheProcessMenuGreysByTheRowsCells) {
  wt::ProcessTab t;
  wt::MenuChooser menu;
  t.Click(-1);  // lists the program's own modules
  ASSERT_GT(t.modules.GetItemCount(), 0);
  wt::RightClickRow(t.page, t.list, -1);
  wt::RightClickRow(t.page, t.modules, -1);
  EXPECT_EQ(menu.opened, 0);

  // A row of the given PID, parent PID and path cells at the top of the list, right-clicked.
  auto open = [&](const wchar_t* pid, const wchar_t* parent, const wchar_t* path) {
    int row = t.list.InsertItem(0, L"0");
    t.list.SetItemText(row, t.kName, L"row.exe");
    t.list.SetItemText(row, t.kPid, pid);
    t.list.SetItemText(row, t.kParent, parent);
    t.list.SetItemText(row, t.kPath, path);
    wt::RunRowCommand(t.page, t.list, row, 0, &menu);
  };
  open(L"1234", L"56", L"");  // no path
  ASSERT_EQ(menu.opened, 1);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_PROCESS));
  EXPECT_EQ(menu.items.size(), 8u);
  EXPECT_EQ(menu.greyed, (std::vector<UINT>{IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE, IDM_PROCESS_COPY_PATH}));
  open(L"4", L"0", L"C:\\x.exe");  // a child of the idle process
  EXPECT_EQ(menu.greyed, (std::vector<UINT>{IDM_PROCESS_KILL, IDM_PROCESS_FORBID}));

  wt::RunRowCommand(t.page, t.modules, 0, 0, &menu);
  EXPECT_EQ(menu.opened, 3);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_MODULE));
  EXPECT_EQ(menu.items.size(), 4u);
  EXPECT_TRUE(menu.greyed.empty());
}
