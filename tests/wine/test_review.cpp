// Cases a review of the pages added: texts that must reach the user whole, and confirmations that
// must only follow what was really done.
#include <gtest/gtest.h>

#include <string>

#include "common/force_delete.h"
#include "pages/port/port_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

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

// A name that ends in a dot or a blank exists only under its exact form (the ordinary path rules
// drop the ending and name another file): force deletion removes that file and never its twin.
TEST(Review, ForceDeleteTakesTheExactNameNotItsTwin) {
  wt::TempDir dir;
  for (const wchar_t* ending : {L".", L" "}) {
    const std::wstring twin = dir.path() + L"victim.txt";
    const std::wstring exact = twin + ending;
    ui::CFileHandle a(::CreateFileW(twin.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ui::CFileHandle b(::CreateFileW((L"\\\\?\\" + exact).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr));
    ASSERT_TRUE(a && b);
    a.reset();
    b.reset();
    wt::MessageLog messages;
    common::ForceDeleteFile(exact, nullptr);
    EXPECT_TRUE(messages.entries.empty());
    EXPECT_NE(::GetFileAttributesW(twin.c_str()), INVALID_FILE_ATTRIBUTES) << "the twin went";
    EXPECT_EQ(::GetFileAttributesW((L"\\\\?\\" + exact).c_str()), INVALID_FILE_ATTRIBUTES) << "the file stayed";
    ::DeleteFileW(twin.c_str());
    ::DeleteFileW((L"\\\\?\\" + exact).c_str());
  }
}
