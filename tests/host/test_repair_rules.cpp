// The command table of the repair and USB write-protect commands, and the failure text.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/repair_rules.h"

using app::RepairRoot;

namespace {

const std::wstring kSystem = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const std::wstring kFolder = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\";
const std::wstring kStorage = L"SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";

// Command, root, subkey, value, second value, data, message; names are compared case-sensitively.
using Row = std::tuple<unsigned, RepairRoot, std::wstring, std::wstring, std::wstring, std::uint32_t, std::wstring>;
const Row kExpected[] = {
    {32889, RepairRoot::kLocalMachine, kStorage, L"WriteProtect", L"", 1, L"U盘写保护开启"},
    {32890, RepairRoot::kLocalMachine, kStorage, L"WriteProtect", L"", 0, L"U盘写保护关闭"},
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

TEST(RepairRules, TableHoldsTheEightRowsInMenuOrderEachFoundByItsCommand) {
  auto table = app::RepairTable();
  ASSERT_EQ(table.size(), std::size(kExpected));
  for (size_t i = 0; i < table.size(); ++i) {
    const app::RepairRow& row = table[i];
    EXPECT_EQ(Row(row.id, row.root, row.subkey, row.value, row.secondValue ? row.secondValue : L"", row.data,
                  row.message),
              kExpected[i]);
    EXPECT_EQ(app::FindRepairRow(row.id), &row) << row.id;
  }
  for (unsigned other : {0u, 32771u, 32773u, 32888u, 32897u, 32899u, 32900u})
    EXPECT_EQ(app::FindRepairRow(other), nullptr) << other;
}

TEST(RepairRules, FailureTextNamesTheRootKeyValueAndAdministrativeRights) {
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
