// Registry access the string APIs cannot give: the kernel's name of a key, values enumerated and
// deleted by their exact names (NUL characters included), data of any length, both views.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/registry_rules.h"

namespace common {

// The views every list reads, the 64-bit view first. A 32-bit system ignores both flags.
inline constexpr REGSAM kRegistryViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

HKEY RootKey(RegRoot root);

// The kernel's name of an open key, such as \REGISTRY\MACHINE\Software\WOW6432Node\...; empty
// when it cannot be asked.
std::wstring KernelKeyName(HKEY key);

struct RegValue {
  std::wstring name;  // exact, NUL characters included
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// The names of the subkeys of key as one listing. A subkey added or removed during a walk by index
// shifts the indexes after it, so that the walk misses or doubles another: the walk is taken again
// until two walks in a row meet the same names with the key unchanged (or a bound is reached), and
// every name met in any walk is given, each once. A name may belong to a subkey removed meanwhile;
// opening it then fails.
std::vector<std::wstring> SubkeyNames(HKEY key);

// The values of key as one listing, names and data whole, walked again likewise: every value met in
// any walk, each name once, with the data last read.
std::vector<RegValue> Values(HKEY key);

// The value at index, name and data whole: ERROR_SUCCESS, ERROR_NO_MORE_ITEMS past the last
// value, or another error for this index.
LONG EnumValue(HKEY key, DWORD index, RegValue& value);
// The value of this name, data whole.
LONG QueryValue(HKEY key, const wchar_t* name, RegValue& value);
// Deletes the value of exactly this name, also one the string APIs cannot name.
LONG DeleteValueExact(HKEY key, const std::wstring& name);

// Data as a list cell shows it: text types up to their first zero character, other types as
// code-page-936 text up to their first zero byte.
std::wstring DataText(DWORD type, const std::vector<BYTE>& data);

}  // namespace common
