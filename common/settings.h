// The program's own settings, kept under HKEY_CURRENT_USER\Software\Wardlet: numbers and texts
// by name. A setting that is missing or of another type reads as the default given.
#pragma once
#include <windows.h>

#include <string>

namespace common {

DWORD ReadSetting(const wchar_t* name, DWORD fallback);
std::wstring ReadSettingText(const wchar_t* name, const std::wstring& fallback = {});
// Writes fail silently: a setting that cannot be kept only costs the user a choice.
void WriteSetting(const wchar_t* name, DWORD value);
void WriteSettingText(const wchar_t* name, const std::wstring& value);

// The key under HKEY_CURRENT_USER the settings live in ("Software\Wardlet"); tests point it at a
// key of their own and set it back with an empty text.
void SetSettingsKey(const std::wstring& subkey);

}  // namespace common
