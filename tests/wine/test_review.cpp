// Cases a review of the pages added: texts that must reach the user whole, and confirmations that
// must only follow what was really done.
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

namespace {
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
}  // namespace

// A command line that ends in a space character other than the C locale's blanks names another
// file than the one without it: the path column keeps it, on the startup page as in the rule.
TEST(Review, StartupPathKeepsTrailingNonAsciiSpace) {
  const std::wstring disguised = L"C:\\Windows\\System32\\svchost.exe\u3000";
  const std::wstring plain = L"C:\\Windows\\System32\\ctfmon.exe \t";
  rt::TestKey run(HKEY_CURRENT_USER, kRun);
  rt::TestValue a(HKEY_CURRENT_USER, kRun, KEY_WOW64_64KEY, L"WardletT Review Disguised", REG_SZ,
                  rt::SzData(disguised));
  rt::TestValue b(HKEY_CURRENT_USER, kRun, KEY_WOW64_64KEY, L"WardletT Review Plain", REG_SZ, rt::SzData(plain));
  ASSERT_TRUE(a.written() && b.written());

  wt::MainDialog main;
  main.SelectTab(3);
  const ui::CListCtrl& list = main.dlg().m_autorunPage.List();
  int row = wt::FindRow(list, 1, L"WardletT Review Disguised");
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.GetItemText(row, 3), disguised);
  row = wt::FindRow(list, 1, L"WardletT Review Plain");
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.GetItemText(row, 3), L"C:\\Windows\\System32\\ctfmon.exe");
}
