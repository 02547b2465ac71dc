// Command line to path column.
#include "common/path_rules.h"

namespace common {
namespace {
// The blanks a command line ends with: the C locale's white space. Other space characters (such
// as U+3000 or U+00A0) may end a real file name, so they stay part of the path.
bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
}  // namespace

std::wstring CleanCommandPath(const std::wstring& commandLine) {
  std::wstring s;
  for (wchar_t c : commandLine)
    if (c != L'"') s += c;
  while (!s.empty() && IsBlank(s.back())) s.pop_back();
  if (size_t slash = s.find(L'/'); slash != std::wstring::npos) return s.substr(0, slash);
  if (size_t dash = s.find(L" -"); dash != std::wstring::npos) return s.substr(0, dash + 1);
  return s;
}

}  // namespace common
