// Text conversions through the system's code-page tables.
#include "ui/text.h"

#include <windows.h>

namespace ui {
namespace {
std::wstring Widen(UINT codePage, std::string_view s) {
  if (s.empty()) return {};
  int n = ::MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (n > 0) ::MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}
}  // namespace

std::wstring FromUtf8(std::string_view s) { return Widen(CP_UTF8, s); }
std::wstring FromGbk(std::string_view s) { return Widen(936, s); }

std::string ToUtf8(std::wstring_view s) {
  if (s.empty()) return {};
  int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                          nullptr);
  return out;
}

std::wstring IntText(long long n) { return std::to_wstring(n); }

}  // namespace ui
