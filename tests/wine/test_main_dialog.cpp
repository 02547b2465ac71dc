// The main dialog: tabs, pages, switching, Enter and Escape, closing.
#include <gtest/gtest.h>

#include "tests/wine/test_util.h"

TEST(MainDialog, ShowsOnePageOfSixTabsBelowTheTabRowAndEnterNeverCloses) {
  wt::MainDialog main;
  CWardletDlg& dlg = main.dlg();
  EXPECT_EQ(dlg.GetWindowText(), L"Wardlet");
  ASSERT_EQ(dlg.m_tab.GetItemCount(), 6);
  EXPECT_EQ(dlg.m_tab.GetCurSel(), 0);
  const ui::CListCtrl& processes = dlg.m_processPage.ProcessList();
  EXPECT_TRUE(dlg.m_processPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_windowPage.IsWindowVisible());
  EXPECT_GT(processes.GetItemCount(), 0);
  EXPECT_EQ(processes.GetColumnCount(), 10);
  EXPECT_EQ(dlg.m_processPage.ModuleList().GetColumnCount(), 3);
  EXPECT_EQ(dlg.m_servicePage.List().GetItemCount(), 0);  // the other pages fill when shown
  EXPECT_EQ(dlg.m_portPage.List().GetItemCount(), 0);

  RECT tab = dlg.m_tab.GetClientRect(), page;
  ::GetWindowRect(dlg.m_ifeoPage.GetSafeHwnd(), &page);
  ::MapWindowPoints(HWND_DESKTOP, dlg.m_tab.GetSafeHwnd(), reinterpret_cast<POINT*>(&page), 2);
  EXPECT_EQ(page.left, tab.left - 1);
  EXPECT_EQ(page.top, tab.top + 21);
  EXPECT_EQ(page.right, tab.right - 1);
  EXPECT_EQ(page.bottom, tab.bottom - 1);

  // Switching shows one page; the process list is refilled on return (a marker row goes).
  main.SelectTab(4);
  EXPECT_TRUE(dlg.m_ifeoPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_processPage.IsWindowVisible());
  processes.InsertItem(0, L"marker");
  main.SelectTab(0);
  EXPECT_TRUE(dlg.m_processPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_ifeoPage.IsWindowVisible());
  EXPECT_EQ(wt::FindRow(processes, 0, L"marker"), -1);

  // Enter, and Escape in a page, keep the dialog and the page.
  dlg.SendMessage(WM_COMMAND, IDOK, 0);
  ::SetFocus(processes.GetSafeHwnd());
  dlg.m_processPage.SendMessage(WM_COMMAND, IDCANCEL, 0);
  dlg.SendMessage(WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(::IsWindow(dlg.GetSafeHwnd()));
  EXPECT_TRUE(dlg.m_processPage.IsWindowVisible());

  dlg.ShowPage(7);  // outside the tabs: hides all
  EXPECT_FALSE(dlg.m_processPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_portPage.IsWindowVisible());
}

TEST(MainDialog, EscapeOnTheTabsAndFileExitEndTheDialog) {
  {
    wt::MainDialog main;
    HWND page = main.dlg().m_processPage.GetSafeHwnd();
    ::SetFocus(main.dlg().m_tab.GetSafeHwnd());
    main.dlg().SendMessage(WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(::IsWindow(page));
    EXPECT_EQ(main.dlg().GetSafeHwnd(), nullptr);
  }
  wt::MainDialog main;
  main.dlg().SendMessage(WM_COMMAND, IDM_FILE_EXIT, 0);
  EXPECT_EQ(main.dlg().GetSafeHwnd(), nullptr);
}
