// Folder and temporary-name rules of the force deletion.
#include <gtest/gtest.h>

#include <set>

#include "common/force_delete_rules.h"

using namespace common;

TEST(ForceDeleteRules, FolderKeepsDriveAndTrailingSeparator) {
  EXPECT_EQ(FolderOf(L"C:\\a\\b.exe"), L"C:\\a\\");
  EXPECT_EQ(FolderOf(L"D:\\x.txt"), L"D:\\");
  EXPECT_EQ(FolderOf(L"C:x.txt"), L"C:");
  EXPECT_EQ(FolderOf(L"x.txt"), L"");
  EXPECT_EQ(FolderOf(L""), L"");
  EXPECT_EQ(FolderOf(L"\\\\server\\share\\f"), L"\\\\server\\share\\");
}

TEST(ForceDeleteRules, TempNameNeverReplacesAnExistingFile) {
  std::set<std::wstring> present;
  auto exists = [&](const std::wstring& n) { return present.count(n) > 0; };
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.tmp");
  present.insert(L"C:\\a\\Morvane.tmp");
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.1.tmp");
  present.insert(L"C:\\a\\Morvane.1.tmp");
  present.insert(L"C:\\a\\Morvane.2.tmp");
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.3.tmp");
  EXPECT_EQ(FreeTempName(L"", exists), L"Morvane.tmp");
}
