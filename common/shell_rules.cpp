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

std::wstring IfeoSubKey(const std::wstring& imageName) {
  return L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\" + imageName;
}

std::wstring IfeoKeyPath(const std::wstring& imageName) { return L"HKEY_LOCAL_MACHINE\\" + IfeoSubKey(imageName); }

}  // namespace common
