// Platform-free rules of the signer column: verdicts and their cell texts, the warning colour,
// which verdicts count as signed by Microsoft, which paths a check refuses up front, hex texts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace common {

enum class SignatureState {
  Pending,    // not checked yet: the cell stays empty until the verdict arrives
  Signed,     // a valid signature, embedded or through a system catalog
  NotSigned,  // no signature and no catalog that holds the file's hash
  Invalid,    // tampered, untrusted, expired or otherwise failing signature
  Missing,    // the file is not there
  Unchecked,  // the check gave up; reason says why
};

struct SignatureVerdict {
  SignatureState state = SignatureState::Pending;
  std::wstring signer;  // Signed: the signer certificate's name
  std::wstring root;    // Signed: the name of the root the signer's chain ends in
  bool viaCatalog = false;
  std::wstring reason;  // Unchecked (and Invalid, when known): plain words for a tooltip or status line
  bool operator==(const SignatureVerdict&) const = default;
};

// The cell text: the signer's name, "未签名", "签名无效", "文件不存在", "无法检查", or empty while
// pending. A signer whose name reads like one of those texts (or is empty) is shown in quotes, so
// a certificate cannot pass itself off as a verdict.
std::wstring SignatureCellText(const SignatureVerdict& verdict);

// How a row is coloured by its file's verdict.
enum class SignatureRowClass { Normal, Warning };
SignatureRowClass SignatureRowClassOf(SignatureState state);
struct RgbColour {
  std::uint8_t r, g, b;
};
constexpr RgbColour kSignatureWarningText{0x9C, 0x00, 0x06};
constexpr RgbColour kSignatureWarningBack{0xFF, 0xE4, 0xC4};

// What the colours mean, for the column heading's tooltip or a line under the list.
extern const wchar_t kSignatureLegend[];

// Signed by Microsoft: a valid signature whose signer is a Microsoft name and whose chain ends in a
// Microsoft root. A signer name alone proves nothing: any certificate authority may issue a
// certificate to a company that calls itself "Microsoft ...".
bool IsMicrosoftSigned(const SignatureVerdict& verdict);

// The setting (a number, 0 or 1) that hides rows signed by Microsoft; off when missing.
constexpr const wchar_t kHideMicrosoftSetting[] = L"HideMicrosoftSigned";
// The notice a page shows while rows are hidden.
extern const wchar_t kHideMicrosoftNotice[];

// Why a path is refused before anything opens it.
enum class PathRefusal { None, Empty, NotFullPath, Device };
// Device and object-manager paths (\\.\, \\?\GLOBALROOT, \??\, \Device\, reserved DOS device
// names such as NUL or COM1 in any folder), remote pipes and mail slots are refused, as are
// relative paths. \\?\C:\... and \\?\UNC\... name ordinary files and pass.
PathRefusal RefusePath(const std::wstring& path);
std::wstring RefusalText(PathRefusal refusal);

// Lower-case hex of bytes.
std::wstring HexLower(const std::uint8_t* bytes, std::size_t count);

// The VirusTotal page of a file's SHA-256 (64 hex digits); empty for anything else.
std::wstring VirusTotalAddress(const std::wstring& sha256);

// The path as the verdict cache keys it: ASCII letters upper-cased and forward slashes made
// backslashes, so the spellings one file gets in different lists meet in one entry.
std::wstring FoldPathForCache(const std::wstring& path);

}  // namespace common
