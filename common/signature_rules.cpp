// Verdict texts, colours, the Microsoft rule and the path refusals of the signer column.
#include "common/signature_rules.h"

#include <array>
#include <vector>

namespace common {
namespace {

const std::array<const wchar_t*, 4> kVerdictTexts = {L"未签名", L"签名无效", L"文件不存在", L"无法检查"};

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  return true;
}

// A reserved DOS device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$), with or
// without an extension or trailing blanks and dots: the system opens the device for any of them.
bool IsReservedName(std::wstring name) {
  if (const size_t dot = name.find(L'.'); dot != std::wstring::npos) name.resize(dot);
  while (!name.empty() && (name.back() == L' ' || name.back() == L':')) name.pop_back();
  std::wstring up;
  for (wchar_t c : name) up += Upper(c);
  if (up == L"CON" || up == L"PRN" || up == L"AUX" || up == L"NUL" || up == L"CONIN$" || up == L"CONOUT$") return true;
  if (up.size() == 4 && (up.starts_with(L"COM") || up.starts_with(L"LPT")) && up[3] >= L'1' && up[3] <= L'9') return true;
  // Superscript digits count too (COM¹, LPT²).
  if (up.size() == 4 && (up.starts_with(L"COM") || up.starts_with(L"LPT")) &&
      (up[3] == 0x00B9 || up[3] == 0x00B2 || up[3] == 0x00B3))
    return true;
  return false;
}

}  // namespace

const wchar_t kSignatureLegend[] =
    L"红字的行：文件未签名或签名无效。有效的签名只说明文件出自签名者且签名后未被改动，并不证明文件无害。";
const wchar_t kHideMicrosoftNotice[] = L"已隐藏微软签名的项（文件菜单中可关闭）";

std::wstring SignatureCellText(const SignatureVerdict& v) {
  switch (v.state) {
    case SignatureState::Pending: return L"";
    case SignatureState::NotSigned: return kVerdictTexts[0];
    case SignatureState::Invalid: return kVerdictTexts[1];
    case SignatureState::Missing: return kVerdictTexts[2];
    case SignatureState::Unchecked: return kVerdictTexts[3];
    case SignatureState::Signed: break;
  }
  bool lookalike = v.signer.empty();
  for (const wchar_t* t : kVerdictTexts) lookalike = lookalike || v.signer == t;
  return lookalike ? L"\u201C" + v.signer + L"\u201D" : v.signer;
}

SignatureRowClass SignatureRowClassOf(SignatureState state) {
  return state == SignatureState::NotSigned || state == SignatureState::Invalid ? SignatureRowClass::Warning
                                                                                : SignatureRowClass::Normal;
}

bool IsMicrosoftSigned(const SignatureVerdict& v) {
  if (v.state != SignatureState::Signed) return false;
  const bool microsoftSigner = v.signer == L"Microsoft" || v.signer.starts_with(L"Microsoft ");
  return microsoftSigner && v.root.starts_with(L"Microsoft Root Certificate Authority");
}

PathRefusal RefusePath(const std::wstring& given) {
  if (given.empty()) return PathRefusal::Empty;
  std::wstring path = given;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  // Object-manager and device namespaces.
  for (const wchar_t* prefix : {L"\\\\.\\", L"\\\\?\\GLOBALROOT", L"\\??\\", L"\\Device\\", L"\\\\?\\Volume{",
                                L"\\GLOBAL??\\", L"\\\\?\\pipe\\", L"\\\\?\\Global\\"})
    if (StartsWithNoCase(path, prefix)) return PathRefusal::Device;
  std::wstring rest;
  if (StartsWithNoCase(path, L"\\\\?\\UNC\\")) {
    rest = L"\\\\" + path.substr(8);
  } else if (StartsWithNoCase(path, L"\\\\?\\")) {
    rest = path.substr(4);
  } else {
    rest = path;
  }
  const bool drive = rest.size() >= 3 && ((Upper(rest[0]) >= L'A' && Upper(rest[0]) <= L'Z') && rest[1] == L':' && (rest[2] == L'\\'));
  const bool unc = rest.size() >= 3 && (rest[0] == L'\\') && (rest[1] == L'\\') && !(rest[2] == L'\\');
  if (!drive && !unc) return PathRefusal::NotFullPath;
  // Split into components; any reserved device name, anywhere, names a device.
  std::wstring part;
  std::vector<std::wstring> parts;
  for (size_t i = unc ? 2 : 3; i <= rest.size(); ++i) {
    if (i == rest.size() || (rest[i] == L'\\')) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += rest[i];
    }
  }
  if (unc) {
    if (parts.size() < 3) return PathRefusal::NotFullPath;  // \\server\share alone is no file
    std::wstring share;
    for (wchar_t c : parts[1]) share += Upper(c);
    if (share == L"PIPE" || share == L"MAILSLOT") return PathRefusal::Device;
  }
  for (const auto& p : parts)
    if (IsReservedName(p)) return PathRefusal::Device;
  if (parts.empty()) return PathRefusal::NotFullPath;
  return PathRefusal::None;
}

std::wstring RefusalText(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::None: return L"";
    case PathRefusal::Empty: return L"没有文件路径";
    case PathRefusal::NotFullPath: return L"不是完整的文件路径";
    case PathRefusal::Device: return L"路径指向设备而不是文件，不作检查";
  }
  return L"";
}

std::wstring HexLower(const std::uint8_t* bytes, std::size_t count) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  hex.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

std::wstring VirusTotalAddress(const std::wstring& sha256) {
  if (sha256.size() != 64) return L"";
  for (wchar_t c : sha256)
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return L"";
  return L"https://www.virustotal.com/gui/file/" + sha256;
}

std::wstring FoldPathForCache(const std::wstring& path) {
  std::wstring folded;
  folded.reserve(path.size());
  for (wchar_t c : path) folded += c == L'/' ? L'\\' : Upper(c);
  return folded;
}

}  // namespace common
