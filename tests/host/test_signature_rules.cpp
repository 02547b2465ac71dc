// The signer column's rules: cell texts, colours, the Microsoft rule, refused paths, hex texts.
#include <gtest/gtest.h>

#include "common/signature_rules.h"

using namespace common;

namespace {
SignatureVerdict Signed(const std::wstring& signer, const std::wstring& root) {
  SignatureVerdict v;
  v.state = SignatureState::Signed;
  v.signer = signer;
  v.root = root;
  return v;
}
SignatureVerdict Of(SignatureState state) {
  SignatureVerdict v;
  v.state = state;
  return v;
}
}  // namespace

TEST(SignatureRules, CellTextsAndColoursOfEveryVerdict) {
  EXPECT_EQ(SignatureCellText(Of(SignatureState::Pending)), L"");
  EXPECT_EQ(SignatureCellText(Of(SignatureState::NotSigned)), L"未签名");
  EXPECT_EQ(SignatureCellText(Of(SignatureState::Invalid)), L"签名无效");
  EXPECT_EQ(SignatureCellText(Of(SignatureState::Missing)), L"文件不存在");
  EXPECT_EQ(SignatureCellText(Of(SignatureState::Unchecked)), L"无法检查");
  EXPECT_EQ(SignatureCellText(Signed(L"Wardlet Test Signer", L"Wardlet Test Root")), L"Wardlet Test Signer");

  EXPECT_EQ(SignatureRowClassOf(SignatureState::NotSigned), SignatureRowClass::Warning);
  EXPECT_EQ(SignatureRowClassOf(SignatureState::Invalid), SignatureRowClass::Warning);
  for (auto s : {SignatureState::Pending, SignatureState::Signed, SignatureState::Missing, SignatureState::Unchecked})
    EXPECT_EQ(SignatureRowClassOf(s), SignatureRowClass::Normal);
  EXPECT_NE(std::wstring(kSignatureLegend).find(L"并不证明文件无害"), std::wstring::npos);
}

TEST(SignatureRules, ASignerNamedLikeAVerdictIsShownInQuotes) {
  // A hostile certificate called "未签名" must not read as our own verdict, nor an empty name as pending.
  EXPECT_EQ(SignatureCellText(Signed(L"未签名", L"R")), L"\u201C未签名\u201D");
  EXPECT_EQ(SignatureCellText(Signed(L"签名无效", L"R")), L"\u201C签名无效\u201D");
  EXPECT_EQ(SignatureCellText(Signed(L"", L"R")), L"\u201C\u201D");
  EXPECT_EQ(SignatureCellText(Signed(L"未签名 Ltd", L"R")), L"未签名 Ltd");
}

TEST(SignatureRules, MicrosoftNeedsAMicrosoftSignerAndAMicrosoftRoot) {
  const std::wstring msRoot = L"Microsoft Root Certificate Authority 2010";
  EXPECT_TRUE(IsMicrosoftSigned(Signed(L"Microsoft Windows", msRoot)));
  EXPECT_TRUE(IsMicrosoftSigned(Signed(L"Microsoft Corporation", L"Microsoft Root Certificate Authority")));
  // The name alone, under another root, is any company's certificate.
  EXPECT_FALSE(IsMicrosoftSigned(Signed(L"Microsoft Corporation", L"Wardlet Test Root")));
  EXPECT_FALSE(IsMicrosoftSigned(Signed(L"Microsoftware Ltd", msRoot)));
  EXPECT_FALSE(IsMicrosoftSigned(Signed(L"Contoso", msRoot)));
  EXPECT_FALSE(IsMicrosoftSigned(Signed(L"microsoft corporation", msRoot)));
  // Only a valid signature counts.
  SignatureVerdict invalid = Signed(L"Microsoft Windows", msRoot);
  invalid.state = SignatureState::Invalid;
  EXPECT_FALSE(IsMicrosoftSigned(invalid));
  EXPECT_FALSE(IsMicrosoftSigned(Of(SignatureState::NotSigned)));
}

TEST(SignatureRules, DevicePathsAndPartialPathsAreRefusedUpFront) {
  for (const wchar_t* p : {L"C:\\Windows\\system32\\kernel32.dll", L"c:/tools/a.exe", L"\\\\?\\C:\\a\\b.dll",
                           L"\\\\server\\share\\a.exe", L"\\\\?\\UNC\\server\\share\\a.exe", L"C:\\con-x\\nulls.dll",
                           L"C:\\a\\console.exe", L"D:\\程序\\签名.exe", L"C:\\a\\com10.dll"})
    EXPECT_EQ(RefusePath(p), PathRefusal::None) << p;
  for (const wchar_t* p : {L"\\\\.\\PhysicalDrive0", L"\\\\.\\pipe\\x", L"//./C:", L"\\\\?\\GLOBALROOT\\Device\\Null",
                           L"\\\\?\\globalroot\\device\\harddisk0", L"\\??\\C:\\a.exe", L"\\Device\\HarddiskVolume1\\a.exe",
                           L"\\\\?\\Volume{12345678-0000-0000-0000-000000000000}\\a.exe", L"C:\\a\\NUL",
                           L"C:\\a\\nul.txt", L"C:\\a\\COM1.dll", L"c:\\lpt9", L"C:\\a\\con .exe", L"C:\\CONOUT$",
                           L"C:\\x\\aux\\b.exe", L"\\\\server\\pipe\\x", L"\\\\server\\MailSlot\\x", L"C:\\a\\nul:"})
    EXPECT_EQ(RefusePath(p), PathRefusal::Device) << p;
  for (const wchar_t* p : {L"a.exe", L"system32\\a.dll", L"C:a.exe", L"\\a.exe", L"\\\\server", L"\\\\server\\share",
                           L"C:\\", L"\\\\?\\HarddiskVolume1\\a.exe"})
    EXPECT_EQ(RefusePath(p), PathRefusal::NotFullPath) << p;
  EXPECT_EQ(RefusePath(L""), PathRefusal::Empty);
  EXPECT_EQ(RefusalText(PathRefusal::None), L"");
  for (auto r : {PathRefusal::Empty, PathRefusal::NotFullPath, PathRefusal::Device}) EXPECT_FALSE(RefusalText(r).empty());
}

TEST(SignatureRules, HexAddressesAndCacheKeys) {
  const std::uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff, 0x5c};
  EXPECT_EQ(HexLower(bytes, 5), L"000fa0ff5c");
  EXPECT_EQ(HexLower(bytes, 0), L"");
  const std::wstring hash = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  EXPECT_EQ(VirusTotalAddress(hash), L"https://www.virustotal.com/gui/file/" + hash);
  // Nothing but a hash ever goes into the address.
  EXPECT_EQ(VirusTotalAddress(L"C:\\secret\\file.exe"), L"");
  EXPECT_EQ(VirusTotalAddress(hash.substr(1)), L"");
  std::wstring upper = hash;
  upper[0] = L'B';
  EXPECT_EQ(VirusTotalAddress(upper), L"");
  EXPECT_EQ(VirusTotalAddress(hash.substr(0, 63) + L"?"), L"");
  EXPECT_EQ(FoldPathForCache(L"c:/Windows\\System32/a.DLL"), L"C:\\WINDOWS\\SYSTEM32\\A.DLL");
  EXPECT_EQ(FoldPathForCache(L"C:\\程序\\x"), L"C:\\程序\\X");
}
