// The command-line-to-path rule of the service and startup-item pages.
#include <gtest/gtest.h>

#include "common/path_rules.h"

using common::CleanCommandPath;

TEST(CleanCommandPath, KeepsPlainPathsWhole) {
  EXPECT_EQ(CleanCommandPath(L"C:\\WINDOWS\\system32\\ctfmon.exe"), L"C:\\WINDOWS\\system32\\ctfmon.exe");
  EXPECT_EQ(CleanCommandPath(L"C:\\Tools\\my-svc.exe"), L"C:\\Tools\\my-svc.exe");
  EXPECT_EQ(CleanCommandPath(L"rundll32.exe C:\\x.dll,Start"), L"rundll32.exe C:\\x.dll,Start");
  EXPECT_EQ(CleanCommandPath(L""), L"");
}

TEST(CleanCommandPath, CutsAtSwitchesKeepingTheBlank) {
  EXPECT_EQ(CleanCommandPath(L"C:\\WINDOWS\\system32\\svchost.exe -k netsvcs"), L"C:\\WINDOWS\\system32\\svchost.exe ");
  EXPECT_EQ(CleanCommandPath(L"\"C:\\Program Files\\App\\svc.exe\" /run"), L"C:\\Program Files\\App\\svc.exe ");
  EXPECT_EQ(CleanCommandPath(L"C:\\My-Tools\\app.exe -min"), L"C:\\My-Tools\\app.exe ");
  EXPECT_EQ(CleanCommandPath(L"C:/Tools/a.exe"), L"C:");
}

TEST(CleanCommandPath, DropsQuotesAndTrailingBlanks) {
  EXPECT_EQ(CleanCommandPath(L"\"C:\\Program Files\\App\\app.exe\""), L"C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(CleanCommandPath(L"\"C:\\a b\\x.exe\" run  \t"), L"C:\\a b\\x.exe run");
  EXPECT_EQ(CleanCommandPath(L"\"\""), L"");
}
