// Command line to path column.
#include "common/path_rules.h"

#include <cwctype>

namespace common {

std::wstring CleanCommandPath(const std::wstring& commandLine) {
  std::wstring s;
  for (wchar_t c : commandLine)
    if (c != L'"') s += c;
  while (!s.empty() && std::iswspace(static_cast<wint_t>(s.back()))) s.pop_back();
  if (size_t slash = s.find(L'/'); slash != std::wstring::npos) return s.substr(0, slash);
  if (size_t dash = s.find(L" -"); dash != std::wstring::npos) return s.substr(0, dash + 1);
  return s;
}

}  // namespace common
