// The startup-item page's keys and the registry paths shown for them.
#include <gtest/gtest.h>

#include "pages/autorun/autorun_rules.h"

using common::RegRoot;

TEST(AutorunKeys, SixKeysCurrentUserFirstRunBeforeRunOnce) {
  const auto& keys = autorun::RunKeys();
  const std::wstring base = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
  const RegRoot roots[] = {RegRoot::CurrentUser, RegRoot::CurrentUser, RegRoot::LocalMachine,
                           RegRoot::LocalMachine, RegRoot::LocalMachine, RegRoot::LocalMachine};
  const wchar_t* names[] = {L"Run", L"RunOnce", L"Run", L"RunOnce", L"RunServices", L"RunServicesOnce"};
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].root, roots[i]) << i;
    EXPECT_EQ(keys[i].key, base + names[i]) << i;
  }
  EXPECT_EQ(std::wstring(autorun::kUserRunKey), std::wstring(keys[0].key));
}

TEST(AutorunKeys, RegistryPathsAreRootPrefixAndKey) {
  const auto& keys = autorun::RunKeys();
  EXPECT_EQ(common::ShownKeyPath(keys[0].root, keys[0].key, L""),
            L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(common::ShownKeyPath(keys[3].root, keys[3].key, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft"),
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  EXPECT_EQ(common::ShownKeyPath(keys[5].root, keys[5].key, L"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft"),
            L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce");
  // Every shown path splits back into its root and key for delete.
  for (const auto& k : keys) {
    for (const wchar_t* kernel : {L"", L"\\REGISTRY\\MACHINE\\Software\\Wow6432Node\\X"}) {
      const common::KeyPathParts parts = common::SplitKeyPath(common::ShownKeyPath(k.root, k.key, kernel));
      EXPECT_EQ(parts.root, k.root);
      EXPECT_EQ(parts.key.substr(0, 9), L"Software\\");
    }
  }
}
