// Which image keys are listed, and the parent of a listed one.
#include "pages/ifeo/ifeo_rules.h"

#include "common/registry_rules.h"

namespace ifeo {

bool IsListedImageKey(const std::wstring& name) { return name != kSampleKey; }

bool ParentOfImageKey(const std::wstring& key, const std::wstring& imageName, std::wstring& parent) {
  if (imageName.empty() || key.size() < imageName.size() + 2) return false;
  size_t cut = key.size() - imageName.size();
  if (key.compare(cut, std::wstring::npos, imageName) != 0 || key[cut - 1] != L'\\') return false;
  parent = key.substr(0, cut - 1);
  return true;
}

bool ParseGlobalFlag(unsigned long type, const unsigned char* data, size_t size, unsigned long& flags) {
  if (type == 4 && size >= 4) {  // REG_DWORD
    flags = static_cast<unsigned long>(data[0] | (data[1] << 8) | (data[2] << 16)) | (static_cast<unsigned long>(data[3]) << 24);
    return true;
  }
  if (type != 1 && type != 2) return false;  // REG_SZ, REG_EXPAND_SZ
  std::wstring text = common::TextUpToZero(data, size);
  size_t i = 0;
  while (i < text.size() && text[i] == L' ') ++i;
  int base = 10;
  if (text.size() >= i + 2 && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
    base = 16;
    i += 2;
  }
  unsigned long long v = 0;
  size_t digits = 0;
  for (; i < text.size(); ++i, ++digits) {
    wchar_t c = text[i];
    int d = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : c >= L'A' && c <= L'F' ? c - L'A' + 10 : 99;
    if (d >= base) break;
    v = (v * base + d) & 0xFFFFFFFFull;
  }
  if (digits == 0) return false;
  flags = static_cast<unsigned long>(v);
  return true;
}

std::wstring GlobalFlagText(unsigned long flags) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring hex;
  for (int i = 7; i >= 0; --i) hex += kHex[(flags >> (i * 4)) & 0xF];
  return L"GlobalFlag 0x" + hex + L": 映像退出时启动 SilentProcessExit 的 MonitorProcess";
}

}  // namespace ifeo
