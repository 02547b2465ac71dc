// Cases a review of the pages added: texts that must reach the user whole, and confirmations that
// must only follow what was really done.
#include <gtest/gtest.h>

#include <string>

#include "pages/port/port_rules.h"
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

// The network-information library is the system's own: a DLL of that name planted beside the
// program is never loaded (it would run with the program's rights).
TEST(Review, PortPageLoadsTheNetworkLibraryFromTheSystemOnly) {
  const std::wstring name = L"wardlet_review_plant.dll";
  const std::wstring planted = wt::ExeDir() + name;
  ASSERT_TRUE(::CopyFileW((wt::ExeDir() + L"wardlet_child.exe").c_str(), planted.c_str(), FALSE));
  {
    wt::MessageLog messages;
    wt::ShellLog shell;
    wt::MainDialog main;
    CPortPage::SetNetworkLibrary(name);
    main.SelectTab(5);
    CPortPage::SetNetworkLibrary(L"iphlpapi.dll");
    EXPECT_TRUE(messages.Has(port::kLibraryMissingText));
    EXPECT_FALSE(messages.Has(port::kTablesMissingText));
  }
  EXPECT_TRUE(::DeleteFileW(planted.c_str()));
}
