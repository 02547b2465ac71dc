// The one routine that writes a repair or write-protect value and tells the user the outcome.
#include "app/repair.h"

#include "ui/handle.h"
#include "ui/msgbox.h"

namespace app {
namespace {

HKEY RootKey(RepairRoot root) { return root == RepairRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

bool WriteDword(HKEY key, const wchar_t* name, std::uint32_t data) {
  const DWORD value = data;
  return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
         ERROR_SUCCESS;
}

}  // namespace

bool RunRepair(HWND owner, const RepairRow& row) {
  // The 64-bit view: these are the values a 64-bit Explorer and shell read; 32-bit Windows ignores it.
  ui::CRegKey key;
  const LONG opened = ::RegCreateKeyExW(RootKey(row.root), row.subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_WRITE | KEY_WOW64_64KEY, nullptr, key.put(), nullptr);
  const wchar_t* failed = nullptr;
  if (opened != ERROR_SUCCESS || !WriteDword(key.get(), row.value, row.data))
    failed = row.value;
  else if (row.secondValue && !WriteDword(key.get(), row.secondValue, row.data))
    failed = row.secondValue;
  if (failed) {
    ui::ShowMessage(owner, RepairFailureText(row, failed), L"错误", MB_OK | MB_ICONERROR);
    return false;
  }
  ui::ShowMessage(owner, row.message, L"提示", MB_OK | MB_ICONINFORMATION);
  return true;
}

}  // namespace app
