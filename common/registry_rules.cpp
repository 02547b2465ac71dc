// Registry key paths, value names and value data as the lists show them.
#include "common/registry_rules.h"

#include <algorithm>
#include <cwctype>

namespace common {
namespace {
constexpr wchar_t kCurrentUser[] = L"HKEY_CURRENT_USER";
constexpr wchar_t kLocalMachine[] = L"HKEY_LOCAL_MACHINE";
constexpr wchar_t kWow64Node[] = L"WOW6432Node";

std::wstring Upper(const std::wstring& s) {
  std::wstring u = s;
  for (auto& c : u) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return u;
}
}  // namespace

std::wstring RootPrefix(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser: return std::wstring(kCurrentUser) + L"\\";
    case RegRoot::LocalMachine: return std::wstring(kLocalMachine) + L"\\";
    default: return {};
  }
}

KeyPathParts SplitKeyPath(const std::wstring& path) {
  KeyPathParts parts;
  size_t slash = path.find(L'\\');
  if (slash == std::wstring::npos || slash + 1 == path.size()) return parts;
  std::wstring rootName = path.substr(0, slash);
  if (rootName == kCurrentUser) parts.root = RegRoot::CurrentUser;
  else if (rootName == kLocalMachine) parts.root = RegRoot::LocalMachine;
  else return parts;
  parts.key = path.substr(slash + 1);
  return parts;
}

std::wstring ShowValueName(const std::wstring& name) {
  std::wstring cell;
  for (size_t i = 0; i < name.size(); ++i) {
    wchar_t c = name[i];
    if (c == L'\0') {
      cell += L"\\0";
    } else if (c == L'\\') {
      wchar_t next = i + 1 < name.size() ? name[i + 1] : L'x';
      cell += (next == L'0' || next == L'\0' || next == L'\\') ? L"\\\\" : L"\\";
    } else {
      cell += c;
    }
  }
  return cell;
}

std::wstring ValueNameFromCell(const std::wstring& cell) {
  std::wstring name;
  for (size_t i = 0; i < cell.size(); ++i) {
    wchar_t c = cell[i];
    if (c == L'\\' && i + 1 < cell.size() && (cell[i + 1] == L'0' || cell[i + 1] == L'\\')) {
      name += cell[i + 1] == L'0' ? L'\0' : L'\\';
      ++i;
    } else {
      name += c;
    }
  }
  return name;
}

bool IsTextType(uint32_t type) { return type == 1 || type == 2 || type == 6 || type == 7; }

std::wstring TextUpToZero(const unsigned char* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::string BytesUpToZero(const unsigned char* data, size_t size) {
  const unsigned char* end = std::find(data, data + size, 0);
  return std::string(data, end);
}

std::wstring RawDataText(uint32_t type, const unsigned char* data, size_t size) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  if (IsTextType(type)) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return ShowValueName(text);
  }
  if ((type == 4 && size == 4) || (type == 11 && size == 8)) {  // REG_DWORD, REG_QWORD
    unsigned long long v = 0;
    for (size_t i = size; i-- > 0;) v = (v << 8) | data[i];
    std::wstring hex;
    for (size_t i = size * 2; i-- > 0;) hex += kHex[(v >> (i * 4)) & 0xF];
    return L"0x" + hex + L" (" + std::to_wstring(v) + L")";
  }
  std::wstring bytes;
  for (size_t i = 0; i < size; ++i) {
    if (i) bytes += L' ';
    bytes += kHex[data[i] >> 4];
    bytes += kHex[data[i] & 0xF];
  }
  return bytes;
}

bool IsWow64Redirected(const std::wstring& kernelName) {
  std::wstring u = Upper(kernelName) + L"\\";
  return u.find(L"\\" + Upper(kWow64Node) + L"\\") != std::wstring::npos;
}

std::wstring Wow64KeyPath(const std::wstring& key) {
  size_t slash = key.find(L'\\');
  if (slash == std::wstring::npos) return key + L"\\" + kWow64Node;
  return key.substr(0, slash + 1) + kWow64Node + key.substr(slash);
}

std::wstring ShownKeyPath(RegRoot root, const std::wstring& key, const std::wstring& kernelName) {
  return RootPrefix(root) + (IsWow64Redirected(kernelName) ? Wow64KeyPath(key) : key);
}

void MergeNames(std::vector<std::wstring>& gathered, const std::vector<std::wstring>& walk) {
  std::vector<std::wstring> known;
  known.reserve(gathered.size() + walk.size());
  for (const std::wstring& name : gathered) known.push_back(Upper(name));
  for (const std::wstring& name : walk) {
    std::wstring u = Upper(name);
    if (std::find(known.begin(), known.end(), u) != known.end()) continue;
    known.push_back(std::move(u));
    gathered.push_back(name);
  }
}

bool FirstSighting(std::vector<std::wstring>& seen, const std::wstring& kernelName, bool view64) {
  if (kernelName.empty()) return view64;
  std::wstring u = Upper(kernelName);
  if (std::find(seen.begin(), seen.end(), u) != seen.end()) return false;
  seen.push_back(u);
  return true;
}

}  // namespace common
