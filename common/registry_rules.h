// Platform-free texts of registry keys and values: key paths and their roots, value names with
// NUL characters shown visibly, value data shown as text, and the 32-bit registry view.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace common {

enum class RegRoot { Unknown, CurrentUser, LocalMachine };

// "HKEY_CURRENT_USER\" or "HKEY_LOCAL_MACHINE\"; empty for an unknown root.
std::wstring RootPrefix(RegRoot root);

// A key path text split at its first backslash. The root name is compared exactly; a path without
// a backslash or without a key after it has an unknown root.
struct KeyPathParts {
  RegRoot root = RegRoot::Unknown;
  std::wstring key;
};
KeyPathParts SplitKeyPath(const std::wstring& path);

// A value name as its cell shows it: each NUL character as "\0", and a backslash that stands
// before "0", a NUL or another backslash doubled, so that every cell maps back to one name.
std::wstring ShowValueName(const std::wstring& name);
// The exact name behind a cell written by ShowValueName.
std::wstring ValueNameFromCell(const std::wstring& cell);

// Value types whose data is UTF-16 text (REG_SZ, REG_EXPAND_SZ, REG_LINK, REG_MULTI_SZ).
bool IsTextType(uint32_t type);
// UTF-16 (little-endian) data up to its first zero unit, never past size; an odd last byte is
// not part of the text.
std::wstring TextUpToZero(const unsigned char* data, size_t size);
// Bytes up to the first zero byte, never past size.
std::string BytesUpToZero(const unsigned char* data, size_t size);

// Data whole, as the command-line column shows it: text types all their characters, the
// terminators at the end left off and each NUL inside written "\0" (as ShowValueName writes
// names); a DWORD or QWORD as hexadecimal and decimal; any other type as its bytes in hexadecimal.
std::wstring RawDataText(uint32_t type, const unsigned char* data, size_t size);

// Whether the kernel's name of an opened key lies under a WOW6432Node key (the 32-bit view).
bool IsWow64Redirected(const std::wstring& kernelName);
// The key as the 32-bit view stores it: "WOW6432Node\" after its first element.
std::wstring Wow64KeyPath(const std::wstring& key);
// The path shown for root\key opened in some view: the key itself, or its WOW6432Node form when
// the kernel's name of the opened key says it was redirected.
std::wstring ShownKeyPath(RegRoot root, const std::wstring& key, const std::wstring& kernelName);

// Whether a key opened in one view is listed: a kernel name not met before in this fill (compared
// without regard to case) is; a key whose name cannot be told is listed from the 64-bit view only,
// since it might be the same key seen twice.
bool FirstSighting(std::vector<std::wstring>& seen, const std::wstring& kernelName, bool view64);

// Adds the names of one walk over a key to those gathered from earlier walks: each name once
// (compared without regard to case, as the registry compares them), in the order first met.
void MergeNames(std::vector<std::wstring>& gathered, const std::vector<std::wstring>& walk);

}  // namespace common
