// Settings under HKEY_CURRENT_USER\Software\Wardlet.
#include "common/settings.h"

#include <vector>

#include "ui/handle.h"

namespace common {
namespace {

std::wstring& SettingsKey() {
  static std::wstring key = L"Software\\Wardlet";
  return key;
}

}  // namespace

void SetSettingsKey(const std::wstring& subkey) { SettingsKey() = subkey.empty() ? L"Software\\Wardlet" : subkey; }

DWORD ReadSetting(const wchar_t* name, DWORD fallback) {
  DWORD value = 0, size = sizeof(value), type = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, SettingsKey().c_str(), name, RRF_RT_REG_DWORD, &type, &value, &size) !=
      ERROR_SUCCESS)
    return fallback;
  return value;
}

std::wstring ReadSettingText(const wchar_t* name, const std::wstring& fallback) {
  DWORD size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, SettingsKey().c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return fallback;
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1);
  size = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_CURRENT_USER, SettingsKey().c_str(), name, RRF_RT_REG_SZ, nullptr, buf.data(), &size) !=
      ERROR_SUCCESS)
    return fallback;
  return std::wstring(buf.data());
}

namespace {
void Write(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ui::CRegKey key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
    return;
  ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
}
}  // namespace

void WriteSetting(const wchar_t* name, DWORD value) { Write(name, REG_DWORD, &value, sizeof(value)); }

void WriteSettingText(const wchar_t* name, const std::wstring& value) {
  Write(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace common
