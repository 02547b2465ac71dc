// Bounds and path checks of the force deletion and of the force-delete tool's path text.
#include <gtest/gtest.h>

#include <string>

#include "common/force_delete_rules.h"

using namespace common;

// A folder where every temporary name is taken (a planted one, or a file system that answers
// "exists" to everything) ends the search after a bounded number of names, with no name.
TEST(ForceDeleteRules, TempNameSearchIsBounded) {
  int asked = 0;
  EXPECT_EQ(FreeTempName(L"C:\\a\\", [&](const std::wstring&) { return ++asked, true; }), L"");
  EXPECT_EQ(asked, kTempNameTries);
  // The last name tried is still taken when free.
  const std::wstring last = L"C:\\a\\Morvane." + std::to_wstring(kTempNameTries - 1) + L".tmp";
  EXPECT_EQ(FreeTempName(L"C:\\a\\", [&](const std::wstring& n) { return n != last; }), last);
}

TEST(ForceDeleteRules, OnlyPathsIndependentOfTheCurrentFolderAreAbsolute) {
  for (const wchar_t* absolute : {L"C:\\a\\b.exe", L"z:/x", L"C:\\", L"\\\\server\\share\\x.exe", L"\\\\server\\share",
                                  L"\\\\?\\C:\\a.exe", L"\\\\.\\D:\\a.exe", L"\\\\?\\UNC\\server\\share\\x",
                                  L"\\\\?\\unc\\server\\share"})
    EXPECT_TRUE(IsAbsolutePath(absolute)) << absolute;
  for (const wchar_t* relative :
       {L"", L"x.exe", L"Morvane.tmp", L"C:x.exe", L"C:", L"\\x.exe", L"/x.exe", L"UNC\\server\\share\\x",
        L"..\\x.exe", L".\\x", L"\\\\server", L"\\\\server\\", L"\\\\\\share\\x", L"\\\\?\\", L"\\\\?\\UNC\\server",
        L"\\\\.\\PhysicalDrive0", L"\\\\?\\GLOBALROOT\\Device\\x", L"1:\\a", L" C:\\a", L"\"C:\\a\""})
    EXPECT_FALSE(IsAbsolutePath(relative)) << relative;
}

// Explorer's "copy as path" puts quotes around the path; white space around it goes too. Inside
// the quotes the text is exact: a name that ends in a blank keeps it.
TEST(ForceDeleteRules, ToolPathLosesTheQuotesOfCopyAsPath) {
  for (const auto& [typed, path] : {std::pair<const wchar_t*, const wchar_t*>{L"\"C:\\a b\\x.txt\"", L"C:\\a b\\x.txt"},
                                    {L"  \"C:\\x.txt\"\r\n", L"C:\\x.txt"}, {L"C:\\x.txt", L"C:\\x.txt"},
                                    {L" C:\\x.txt\t", L"C:\\x.txt"}, {L"\"C:\\x.txt \"", L"C:\\x.txt "},
                                    {L"\"\"", L""}, {L"   ", L""}, {L"", L""}, {L"\"", L"\""},
                                    {L"\"C:\\x.txt", L"\"C:\\x.txt"}, {L"\"\"C:\\x\"\"", L"\"C:\\x\""}})
    EXPECT_EQ(ToolPathText(typed), path) << typed;
}
