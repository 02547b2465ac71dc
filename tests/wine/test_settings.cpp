// The program's own settings: kept under the current user, read back by name, and a missing or
// mistyped setting reads as its default.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/settings.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\WardletSettingsTest";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    common::SetSettingsKey(kTestKey);
  }
  void TearDown() override {
    common::SetSettingsKey({});
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
  }
};

TEST_F(SettingsTest, NumbersAndTextsReadBackAndMissingOrMistypedGiveTheDefault) {
  EXPECT_EQ(common::ReadSetting(L"Sort", 7), 7u);
  EXPECT_EQ(common::ReadSettingText(L"Database", L"QQwry.dat"), L"QQwry.dat");

  common::WriteSetting(L"Sort", 0x80000003);
  common::WriteSettingText(L"Database", L"数据\\ipv6wry.db");
  EXPECT_EQ(common::ReadSetting(L"Sort", 7), 0x80000003u);
  EXPECT_EQ(common::ReadSettingText(L"Database"), L"数据\\ipv6wry.db");

  // A text where a number is expected, and the reverse, are not taken.
  EXPECT_EQ(common::ReadSetting(L"Database", 5), 5u);
  EXPECT_EQ(common::ReadSettingText(L"Sort", L"x"), L"x");

  // The settings live under the key given, and nowhere else.
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD value = 0, size = sizeof(value);
  EXPECT_EQ(::RegQueryValueExW(key, L"Sort", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 0x80000003u);
  ::RegCloseKey(key);
}

}  // namespace
