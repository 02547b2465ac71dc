// Folder and temporary-name rules of the force deletion.
#include <gtest/gtest.h>

#include <set>

#include "common/force_delete_rules.h"

using namespace common;

TEST(ForceDeleteRules, FolderKeepsDriveAndTrailingSeparator) {
  for (const auto& [path, folder] : {std::pair<const wchar_t*, const wchar_t*>{L"C:\\a\\b.exe", L"C:\\a\\"},
                                     {L"D:\\x.txt", L"D:\\"}, {L"C:x.txt", L"C:"}, {L"x.txt", L""}, {L"", L""},
                                     {L"\\\\server\\share\\f", L"\\\\server\\share\\"}})
    EXPECT_EQ(FolderOf(path), folder) << path;
}

TEST(ForceDeleteRules, TempNameNeverReplacesAnExistingFile) {
  std::set<std::wstring> present;
  auto exists = [&](const std::wstring& n) { return present.count(n) > 0; };
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.tmp");
  present.insert(L"C:\\a\\Morvane.tmp");
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.1.tmp");
  present.insert({L"C:\\a\\Morvane.1.tmp", L"C:\\a\\Morvane.2.tmp"});
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.3.tmp");
  EXPECT_EQ(FreeTempName(L"", exists), L"Morvane.tmp");
}
