// Texts handed to Explorer, the browser and Registry Editor.
#include "common/shell_rules.h"

namespace common {

std::wstring ExplorerSelectArgument(const std::wstring& path) {
  // No file name holds a double quote; one in the text could only close the quoting early.
  std::wstring quoted = L"/select,\"";
  for (wchar_t c : path)
    if (c != L'"') quoted += c;
  return quoted + L"\"";
}

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        char32_t lo = static_cast<char32_t>(text[i + 1]);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
          ++i;
        }
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;  // no UTF-8 form
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string PercentEncode(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                 b == '-' || b == '_' || b == '.' || b == '~';
    if (plain) {
      out += static_cast<char>(b);
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

std::wstring SearchAddress(const std::wstring& text) {
  std::wstring address = L"https://www.google.com/search?hl=zh-CN&q=";
  for (char c : PercentEncode(WideToUtf8(text))) address += static_cast<wchar_t>(c);
  return address;
}

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
wchar_t FoldCase(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }
// Whether text at `at` starts with head, letters compared without case and either slash as a separator.
bool StartsWithAt(const std::wstring& text, size_t at, const std::wstring& head) {
  if (at > text.size() || text.size() - at < head.size()) return false;
  for (size_t i = 0; i < head.size(); ++i) {
    const wchar_t a = text[at + i], b = head[i];
    if (IsSeparator(a) && IsSeparator(b)) continue;
    if (FoldCase(a) != FoldCase(b)) return false;
  }
  return true;
}
}  // namespace

std::wstring NativeViewPath(const std::wstring& path, const std::wstring& windowsDirectory, bool wow64) {
  if (!wow64) return path;
  std::wstring windows = windowsDirectory;
  while (!windows.empty() && IsSeparator(windows.back())) windows.pop_back();
  if (windows.empty()) return path;
  const size_t start = path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;
  const std::wstring folder = windows + L"\\System32";
  if (!StartsWithAt(path, start, folder)) return path;
  const size_t end = start + folder.size();
  if (end < path.size() && !IsSeparator(path[end])) return path;  // System32x, System32.old
  return path.substr(0, end - 8) + L"Sysnative" + path.substr(end);
}

std::wstring PlainFinalPath(const std::wstring& finalPath) {
  if (finalPath.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + finalPath.substr(8);
  if (finalPath.rfind(L"\\\\?\\", 0) == 0 && finalPath.size() >= 6 && finalPath[5] == L':') return finalPath.substr(4);
  return finalPath;
}

std::wstring IfeoSubKey(const std::wstring& imageName) {
  return L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" + imageName;
}

std::wstring IfeoKeyPath(const std::wstring& imageName) { return L"HKEY_LOCAL_MACHINE\\" + IfeoSubKey(imageName); }

}  // namespace common
