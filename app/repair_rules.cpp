// The command table of the repair and USB write-protect commands.
#include "app/repair_rules.h"

#include "res/resource.h"

namespace app {
namespace {

constexpr const wchar_t* kStoragePolicies = L"SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
constexpr const wchar_t* kExplorerPolicies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const wchar_t* kSystemPolicies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const wchar_t* kShowAll =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
constexpr const wchar_t* kSuperHidden =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\SuperHidden";

constexpr RepairRow kRows[] = {
    {IDM_USB_PROTECT_ON, RepairRoot::kLocalMachine, kStoragePolicies, L"WriteProtect", nullptr, 1,
     L"U盘写保护开启"},
    {IDM_USB_PROTECT_OFF, RepairRoot::kLocalMachine, kStoragePolicies, L"WriteProtect", nullptr, 0,
     L"U盘写保护关闭"},
    {IDM_REPAIR_FOLDER_OPTIONS, RepairRoot::kCurrentUser, kExplorerPolicies, L"NoFolderOptions", nullptr, 0,
     L"文件夹选项修复成功!"},
    {IDM_REPAIR_SHOW_HIDDEN, RepairRoot::kLocalMachine, kShowAll, L"CheckedValue", L"DefaultValue", 1,
     L"显示\"所有文件和文件夹修复\"成功!"},
    {IDM_REPAIR_SHOW_SUPERHIDDEN, RepairRoot::kLocalMachine, kSuperHidden, L"CheckedValue", nullptr, 0,
     L"修复\"显示受保护的操作系统文件\"成功!"},
    {IDM_REPAIR_TASKMGR, RepairRoot::kCurrentUser, kSystemPolicies, L"DisableTaskMgr", nullptr, 0,
     L"修复\"任务管理器\"成功!"},
    {IDM_REPAIR_REGEDIT, RepairRoot::kCurrentUser, kSystemPolicies, L"Disableregistrytools", nullptr, 0,
     L"修复\"注册表编辑器\"成功!"},
    {IDM_REPAIR_CMD, RepairRoot::kCurrentUser, kSystemPolicies, L"DisableCMD", nullptr, 0, L"修复CMD成功!"},
};

}  // namespace

std::span<const RepairRow> RepairTable() { return kRows; }

const RepairRow* FindRepairRow(unsigned id) {
  for (const RepairRow& row : kRows)
    if (row.id == id) return &row;
  return nullptr;
}

const wchar_t* RootName(RepairRoot root) {
  return root == RepairRoot::kLocalMachine ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

std::wstring RepairFailureText(const RepairRow& row, const wchar_t* value) {
  return std::wstring(L"操作失败: 无法写入注册表值\r\n") + RootName(row.root) + L"\\" + row.subkey + L"\\" + value +
         L"\r\n\r\n可能需要管理员权限，请以管理员身份运行本程序后重试。";
}

}  // namespace app
