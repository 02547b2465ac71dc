// The command table of the repair and USB write-protect commands, and the failure text.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/repair_rules.h"

using app::RepairRoot;

namespace {

struct Expected {
  unsigned id;
  RepairRoot root;
  std::wstring subkey, value, secondValue;
  std::uint32_t data;
  std::wstring message;
};

const std::wstring kSystem = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const std::wstring kFolder = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\";

const Expected kExpected[] = {
    {32889, RepairRoot::kLocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies",
     L"WriteProtect", L"", 1, L"U盘写保护开启"},
    {32890, RepairRoot::kLocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies",
     L"WriteProtect", L"", 0, L"U盘写保护关闭"},
    {32891, RepairRoot::kCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
     L"NoFolderOptions", L"", 0, L"文件夹选项修复成功!"},
    {32892, RepairRoot::kLocalMachine, kFolder + L"Hidden\\SHOWALL", L"CheckedValue", L"DefaultValue", 1,
     L"显示\"所有文件和文件夹修复\"成功!"},
    {32893, RepairRoot::kLocalMachine, kFolder + L"SuperHidden", L"CheckedValue", L"", 0,
     L"修复\"显示受保护的操作系统文件\"成功!"},
    {32894, RepairRoot::kCurrentUser, kSystem, L"DisableTaskMgr", L"", 0, L"修复\"任务管理器\"成功!"},
    {32895, RepairRoot::kCurrentUser, kSystem, L"Disableregistrytools", L"", 0, L"修复\"注册表编辑器\"成功!"},
    {32896, RepairRoot::kCurrentUser, kSystem, L"DisableCMD", L"", 0, L"修复CMD成功!"},
};

}  // namespace

TEST(RepairRules, TableHoldsTheEightRowsInMenuOrderWithExactNames) {
  auto table = app::RepairTable();
  ASSERT_EQ(table.size(), std::size(kExpected));
  for (size_t i = 0; i < table.size(); ++i) {
    const app::RepairRow& row = table[i];
    const Expected& want = kExpected[i];
    SCOPED_TRACE(want.id);
    EXPECT_EQ(row.id, want.id);
    EXPECT_EQ(row.root, want.root);
    EXPECT_EQ(std::wstring(row.subkey), want.subkey);  // compared case-sensitively
    EXPECT_EQ(std::wstring(row.value), want.value);
    EXPECT_EQ(row.secondValue ? std::wstring(row.secondValue) : std::wstring(), want.secondValue);
    EXPECT_EQ(row.data, want.data);
    EXPECT_EQ(std::wstring(row.message), want.message);
  }
}

TEST(RepairRules, EachCommandFindsItsOwnRowAndNoOtherCommandHasOne) {
  std::set<unsigned> ids;
  for (const Expected& want : kExpected) {
    const app::RepairRow* row = app::FindRepairRow(want.id);
    ASSERT_NE(row, nullptr) << want.id;
    EXPECT_EQ(row->id, want.id);
    ids.insert(row->id);
  }
  EXPECT_EQ(ids.size(), std::size(kExpected));
  for (unsigned other : {0u, 32771u, 32773u, 32888u, 32897u, 32899u, 32900u})
    EXPECT_EQ(app::FindRepairRow(other), nullptr) << other;
}

TEST(RepairRules, RootNamesAndFailureTextNameTheValueAndAdministrativeRights) {
  EXPECT_STREQ(app::RootName(RepairRoot::kLocalMachine), L"HKEY_LOCAL_MACHINE");
  EXPECT_STREQ(app::RootName(RepairRoot::kCurrentUser), L"HKEY_CURRENT_USER");

  const app::RepairRow* showAll = app::FindRepairRow(32892);
  ASSERT_NE(showAll, nullptr);
  const std::wstring text = app::RepairFailureText(*showAll, showAll->secondValue);
  EXPECT_NE(text.find(L"失败"), std::wstring::npos);
  EXPECT_NE(text.find(L"管理员权限"), std::wstring::npos);
  EXPECT_NE(text.find(L"HKEY_LOCAL_MACHINE\\" + kFolder + L"Hidden\\SHOWALL\\DefaultValue"), std::wstring::npos);
  EXPECT_EQ(text.find(L"CheckedValue"), std::wstring::npos);

  const std::wstring cmd = app::RepairFailureText(*app::FindRepairRow(32896), L"DisableCMD");
  EXPECT_NE(cmd.find(L"HKEY_CURRENT_USER\\" + kSystem + L"\\DisableCMD"), std::wstring::npos);
  EXPECT_EQ(cmd.find(showAll->message), std::wstring::npos);
}
