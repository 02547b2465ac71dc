// The IFEO page's key convention, the sample key and the split of a listed key's path.
#include <gtest/gtest.h>

#include "common/registry_rules.h"
#include "common/shell_rules.h"
#include "pages/ifeo/ifeo_rules.h"

TEST(IfeoRules, TheSampleKeyIsNeverListedButItsCaseVariantIs) {
  EXPECT_FALSE(ifeo::IsListedImageKey(L"Your Image File Name Here without a path"));
  for (const wchar_t* listed : {L"your image file name here without a path",
                                L"Your Image File Name Here without a path ", L"notepad.exe", L""})
    EXPECT_TRUE(ifeo::IsListedImageKey(listed)) << listed;
}

TEST(IfeoRules, ShownPathsOfImageKeys) {
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
  // The shown path of an unredirected image key is the path Registry Editor is sent to.
  EXPECT_EQ(common::ShownKeyPath(common::RegRoot::LocalMachine, ifeo::kIfeoKey, L"") + L"\\notepad.exe",
            L"HKEY_LOCAL_MACHINE\\" + key + L"\\notepad.exe");
  EXPECT_EQ(common::IfeoKeyPath(L"notepad.exe"), L"HKEY_LOCAL_MACHINE\\" + key + L"\\notepad.exe");
  EXPECT_EQ(common::IfeoSubKey(L"notepad.exe"), key + L"\\notepad.exe");
  EXPECT_EQ(common::ShownKeyPath(common::RegRoot::LocalMachine, ifeo::kIfeoKey,
                                 L"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft"),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution "
            L"Options");
}

TEST(IfeoRules, ParentOfAListedImageKey) {
  std::wstring parent;
  ASSERT_TRUE(ifeo::ParentOfImageKey(std::wstring(ifeo::kIfeoKey) + L"\\notepad.exe", L"notepad.exe", parent));
  EXPECT_EQ(parent, ifeo::kIfeoKey);
  ASSERT_TRUE(ifeo::ParentOfImageKey(L"A\\b", L"b", parent));
  EXPECT_EQ(parent, L"A");
  parent = L"unchanged";
  // Not a whole element, compared exactly, no parent, no image name.
  for (const auto& [key, name] : {std::pair<const wchar_t*, const wchar_t*>{L"A\\xb", L"b"}, {L"A\\b", L"B"},
                                  {L"\\b", L"b"}, {L"b", L"b"}, {L"A\\", L""}})
    EXPECT_FALSE(ifeo::ParentOfImageKey(key, name, parent)) << key;
  EXPECT_EQ(parent, L"unchanged");
}
