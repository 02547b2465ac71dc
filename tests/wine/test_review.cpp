// The network-information library is the system's own: a DLL of that name planted beside the
// program is never loaded (it would run with the program's rights).
#include <gtest/gtest.h>

#include "pages/port/port_rules.h"
#include "tests/wine/test_util.h"

TEST(Review, PortPageLoadsTheNetworkLibraryFromTheSystemOnly) {
  const std::wstring name = L"wardlet_review_plant.dll", planted = wt::ExeDir() + name;
  ASSERT_TRUE(::CopyFileW(wt::ChildExe().c_str(), planted.c_str(), FALSE));
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
