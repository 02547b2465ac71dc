// The IFEO page's key convention, the sample key and the split of a listed key's path.
#include <gtest/gtest.h>

#include "common/registry_rules.h"
#include "common/shell_rules.h"
#include "pages/ifeo/ifeo_rules.h"

TEST(IfeoRules, TheSampleKeyIsNeverListedButItsCaseVariantIs) {
  EXPECT_FALSE(ifeo::IsListedImageKey(L"Your Image File Name Here without a path"));
  EXPECT_TRUE(ifeo::IsListedImageKey(L"your image file name here without a path"));
  EXPECT_TRUE(ifeo::IsListedImageKey(L"Your Image File Name Here without a path "));
  EXPECT_TRUE(ifeo::IsListedImageKey(L"notepad.exe"));
  EXPECT_TRUE(ifeo::IsListedImageKey(L""));
}

TEST(IfeoRules, ShownPathsOfImageKeys) {
  // The shown path of an unredirected image key is the path Registry Editor is sent to.
  EXPECT_EQ(common::ShownKeyPath(common::RegRoot::LocalMachine, ifeo::kIfeoKey, L"") + L"\\notepad.exe",
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe");
  EXPECT_EQ(common::ShownKeyPath(common::RegRoot::LocalMachine, ifeo::kIfeoKey, L"") + L"\\notepad.exe",
            common::IfeoKeyPath(L"notepad.exe"));
  EXPECT_EQ(common::ShownKeyPath(common::RegRoot::LocalMachine, ifeo::kIfeoKey, L"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft"),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options");
}

TEST(IfeoRules, ParentOfAListedImageKey) {
  std::wstring parent;
  ASSERT_TRUE(ifeo::ParentOfImageKey(std::wstring(ifeo::kIfeoKey) + L"\\notepad.exe", L"notepad.exe", parent));
  EXPECT_EQ(parent, ifeo::kIfeoKey);
  ASSERT_TRUE(ifeo::ParentOfImageKey(L"A\\b", L"b", parent));
  EXPECT_EQ(parent, L"A");
  parent = L"unchanged";
  EXPECT_FALSE(ifeo::ParentOfImageKey(L"A\\xb", L"b", parent));   // not a whole element
  EXPECT_FALSE(ifeo::ParentOfImageKey(L"A\\b", L"B", parent));    // compared exactly
  EXPECT_FALSE(ifeo::ParentOfImageKey(L"\\b", L"b", parent));     // no parent
  EXPECT_FALSE(ifeo::ParentOfImageKey(L"b", L"b", parent));
  EXPECT_FALSE(ifeo::ParentOfImageKey(L"A\\", L"", parent));      // no image name
  EXPECT_EQ(parent, L"unchanged");
}
