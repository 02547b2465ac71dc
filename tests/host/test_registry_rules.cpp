// Key paths, value names with NUL characters, value data as text, the two registry views, and the
// keys of the startup-item and IFEO pages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/registry_rules.h"
#include "common/shell_rules.h"
#include "pages/autorun/autorun_rules.h"
#include "pages/ifeo/ifeo_rules.h"

using namespace common;
using namespace std::string_literals;

TEST(RegistryKeyPath, SplitsAtTheFirstBackslashAndKnowsTwoRootsExactly) {
  KeyPathParts p = SplitKeyPath(L"HKEY_CURRENT_USER\\Software\\Run");
  EXPECT_EQ(p.root, RegRoot::CurrentUser);
  EXPECT_EQ(p.key, L"Software\\Run");
  p = SplitKeyPath(L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Run");
  EXPECT_EQ(p.root, RegRoot::LocalMachine);
  EXPECT_EQ(p.key, L"Software\\WOW6432Node\\Run");
  // Any other root, and a path without a key (which would open the root itself and act on its values).
  for (const wchar_t* path : {L"hkey_local_machine\\Software", L"HKEY_USERS\\.DEFAULT", L"HKLM\\Software", L"",
                              L"HKEY_CURRENT_USER", L"HKEY_CURRENT_USER\\", L"\\Software"})
    EXPECT_EQ(SplitKeyPath(path).root, RegRoot::Unknown) << path;
  EXPECT_EQ(RootPrefix(RegRoot::CurrentUser), L"HKEY_CURRENT_USER\\");
  EXPECT_EQ(RootPrefix(RegRoot::LocalMachine), L"HKEY_LOCAL_MACHINE\\");
  EXPECT_EQ(RootPrefix(RegRoot::Unknown), L"");
}

TEST(ValueNameCell, NulsShowVisiblyBackslashesThatCouldBeMisreadAreDoubledAndEveryCellMapsBack) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"\0Hidden"s, L"\\0Hidden"}, {L"a\0b\0"s, L"a\\0b\\0"}, {L"", L""}, {L"C:\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
      {L"trailing\\", L"trailing\\"},
      {L"a\\0b", L"a\\\\0b"},    // a literal backslash-zero
      {L"\\\0"s, L"\\\\\\0"},    // a backslash before a NUL
      {L"x\\\\y", L"x\\\\\\y"},  // two backslashes before a letter
  };
  for (const auto& [name, cell] : cases) {
    EXPECT_EQ(ShowValueName(name), cell);
    EXPECT_EQ(ValueNameFromCell(cell), name) << std::string(cell.begin(), cell.end());
  }
  // Every name of up to six characters over the alphabet that matters maps back from its own cell
  // (so no two names share a cell).
  const wchar_t alphabet[] = {L'\\', L'0', L'\0', L'a'};
  std::vector<std::wstring> names = {L""};
  for (size_t i = 0; names[i].size() < 6; ++i)
    for (wchar_t c : alphabet) names.push_back(names[i] + c);
  for (const auto& n : names) {
    const std::wstring cell = ShowValueName(n);
    EXPECT_EQ(cell.find(L'\0'), std::wstring::npos);
    ASSERT_EQ(ValueNameFromCell(cell), n) << "cell " << std::string(cell.begin(), cell.end());
  }
}

TEST(ValueDataText, TextEndsAtTheFirstZeroWithinTheBytesReturned) {
  for (uint32_t type : {1u, 2u, 7u}) EXPECT_TRUE(IsTextType(type)) << type;   // REG_SZ, _EXPAND_SZ, _MULTI_SZ
  for (uint32_t type : {0u, 3u, 4u}) EXPECT_FALSE(IsTextType(type)) << type;  // REG_NONE, _BINARY, _DWORD
  const unsigned char multi[] = {'a', 0, 0x2D, 0x4E, 0, 0, 'b', 0, 0, 0, 0, 0}, unterminated[] = {'C', 0, ':', 0};
  EXPECT_EQ(TextUpToZero(multi, sizeof multi), L"a中");
  EXPECT_EQ(TextUpToZero(unterminated, sizeof unterminated), L"C:");
  EXPECT_EQ(TextUpToZero(unterminated, 3), L"C");  // an odd last byte is no character
  EXPECT_EQ(TextUpToZero(unterminated, 0), L"");
  // Other types end at their first zero byte.
  const unsigned char binary[] = {'e', 'v', 'i', 'l', 0, 'x'};
  EXPECT_EQ(BytesUpToZero(binary, sizeof binary), "evil");
  EXPECT_EQ(BytesUpToZero(binary, 2), "ev");
  EXPECT_EQ(BytesUpToZero(binary + 4, 2), "");
}

// The command-line column hides nothing: text after a NUL, every string of a multi-string, numbers
// and bytes.
TEST(ValueDataText, RawTextShowsTheDataWhole) {
  const unsigned char multi[] = {'a', 0, 0x2D, 0x4E, 0, 0, 'b', 0, 0, 0, 0, 0};
  EXPECT_EQ(RawDataText(7, multi, sizeof multi), L"a\u4e2d\\0b");
  const unsigned char hidden[] = {'C', 0, ':', 0, 0, 0, 'e', 0, 'v', 0, 0, 0};
  EXPECT_EQ(RawDataText(1, hidden, sizeof hidden), L"C:\\0ev");
  const unsigned char slashZero[] = {'a', 0, '\\', 0, '0', 0};  // a literal backslash-zero stays apart
  EXPECT_EQ(RawDataText(1, slashZero, sizeof slashZero), L"a\\\\0");
  const unsigned char dword[] = {0x00, 0x02, 0, 0}, qword[] = {1, 0, 0, 0, 0, 0, 0, 0x80};
  EXPECT_EQ(RawDataText(4, dword, sizeof dword), L"0x00000200 (512)");
  EXPECT_EQ(RawDataText(11, qword, sizeof qword), L"0x8000000000000001 (9223372036854775809)");
  EXPECT_EQ(RawDataText(4, dword, 3), L"00 02 00");  // a short DWORD is shown as bytes
  const unsigned char binary[] = {'e', 'v', 0, 0xFF};
  EXPECT_EQ(RawDataText(3, binary, sizeof binary), L"65 76 00 FF");
  EXPECT_EQ(RawDataText(3, binary, 0), L"");
  EXPECT_EQ(RawDataText(1, binary, 0), L"");
}

TEST(RegistryViews, RedirectedKeysAreShownUnderWow6432Node) {
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  EXPECT_TRUE(IsWow64Redirected(L"\\REGISTRY\\Machine\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_TRUE(IsWow64Redirected(L"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432NODE"));
  for (const wchar_t* name : {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                              L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Nodes\\X", L""})
    EXPECT_FALSE(IsWow64Redirected(name)) << name;
  EXPECT_EQ(Wow64KeyPath(run), L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(ShownKeyPath(RegRoot::LocalMachine, run, L"\\REGISTRY\\Machine\\Software\\Wow6432Node\\X"),
            L"HKEY_LOCAL_MACHINE\\" + Wow64KeyPath(run));
  EXPECT_EQ(ShownKeyPath(RegRoot::CurrentUser, run, L"\\REGISTRY\\USER\\S-1-5-21-1\\Software\\X"), L"HKEY_CURRENT_USER\\" + run);
  EXPECT_EQ(ShownKeyPath(RegRoot::LocalMachine, run, L""), L"HKEY_LOCAL_MACHINE\\" + run);
}

TEST(RegistryViews, AKeySeenThroughBothViewsIsListedOnce) {
  std::vector<std::wstring> seen;
  EXPECT_TRUE(FirstSighting(seen, L"\\REGISTRY\\USER\\S\\Software\\Run", true));
  EXPECT_FALSE(FirstSighting(seen, L"\\REGISTRY\\USER\\S\\Software\\Run", false));
  EXPECT_FALSE(FirstSighting(seen, L"\\registry\\user\\s\\software\\run", false));
  EXPECT_TRUE(FirstSighting(seen, L"\\REGISTRY\\MACHINE\\Software\\Run", true));
  EXPECT_TRUE(FirstSighting(seen, L"\\REGISTRY\\MACHINE\\Software\\Wow6432Node\\Run", false));
  // A key whose name cannot be told: the 64-bit view is listed, the 32-bit one not.
  EXPECT_TRUE(FirstSighting(seen, L"", true));
  EXPECT_FALSE(FirstSighting(seen, L"", false));
}

TEST(AutorunKeys, SixKeysCurrentUserFirstRunBeforeRunOnceEachShownPathSplittingBack) {
  const auto& keys = autorun::RunKeys();
  const std::wstring base = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
  const RegRoot roots[] = {RegRoot::CurrentUser, RegRoot::CurrentUser, RegRoot::LocalMachine,
                           RegRoot::LocalMachine, RegRoot::LocalMachine, RegRoot::LocalMachine};
  const wchar_t* names[] = {L"Run", L"RunOnce", L"Run", L"RunOnce", L"RunServices", L"RunServicesOnce"};
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].root, roots[i]) << i;
    EXPECT_EQ(keys[i].key, base + names[i]) << i;
    // Delete reads the root and key back from the shown path, redirected or not.
    for (const wchar_t* kernel : {L"", L"\\REGISTRY\\MACHINE\\Software\\Wow6432Node\\X"}) {
      const KeyPathParts parts = SplitKeyPath(ShownKeyPath(keys[i].root, keys[i].key, kernel));
      EXPECT_EQ(parts.root, roots[i]) << i;
      EXPECT_EQ(parts.key.substr(0, 9), L"Software\\") << i;
    }
  }
  EXPECT_EQ(std::wstring(autorun::kUserRunKey), std::wstring(keys[0].key));
}

TEST(IfeoRules, TheSampleKeyIsNeverListedButItsCaseVariantIs) {
  EXPECT_FALSE(ifeo::IsListedImageKey(L"Your Image File Name Here without a path"));
  for (const wchar_t* listed : {L"your image file name here without a path",
                                L"Your Image File Name Here without a path ", L"notepad.exe", L""})
    EXPECT_TRUE(ifeo::IsListedImageKey(listed)) << listed;
}

TEST(IfeoRules, ShownPathsOfImageKeys) {
  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
  EXPECT_EQ(IfeoKeyPath(L"notepad.exe"), L"HKEY_LOCAL_MACHINE\\" + key + L"\\notepad.exe");
  EXPECT_EQ(IfeoSubKey(L"notepad.exe"), key + L"\\notepad.exe");
  EXPECT_EQ(ShownKeyPath(RegRoot::LocalMachine, ifeo::kIfeoKey, L"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432Node\\X"),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" + key.substr(8));
}

TEST(IfeoRules, ParentOfAListedImageKey) {
  std::wstring parent;
  ASSERT_TRUE(ifeo::ParentOfImageKey(std::wstring(ifeo::kIfeoKey) + L"\\notepad.exe", L"notepad.exe", parent));
  EXPECT_EQ(parent, ifeo::kIfeoKey);
  parent = L"unchanged";
  // Not a whole element, compared exactly, no parent, no image name.
  for (const auto& [key, name] : {std::pair<const wchar_t*, const wchar_t*>{L"A\\xb", L"b"}, {L"A\\b", L"B"},
                                  {L"\\b", L"b"}, {L"b", L"b"}, {L"A\\", L""}})
    EXPECT_FALSE(ifeo::ParentOfImageKey(key, name, parent)) << key;
  EXPECT_EQ(parent, L"unchanged");
}

TEST(AutorunLocations, AppInitListsSplitAndLoseOneDllKeepingTheRest) {
  EXPECT_EQ(autorun::SplitDllList(L" C:\\a.dll,C:\\b.dll  c.dll,,"),
            (std::vector<std::wstring>{L"C:\\a.dll", L"C:\\b.dll", L"c.dll"}));
  EXPECT_TRUE(autorun::SplitDllList(L"").empty());
  EXPECT_EQ(autorun::RemoveDll(L"C:\\a.dll,C:\\b.dll,c.dll", L"c:\\B.DLL"), L"C:\\a.dll,c.dll");
  EXPECT_EQ(autorun::RemoveDll(L"a.dll b.dll a.dll", L"a.dll"), L"b.dll");
  EXPECT_EQ(autorun::RemoveDll(L"a.dll", L"a.dll"), L"");
  EXPECT_EQ(autorun::RemoveDll(L"a.dll b.dll", L"x.dll"), L"a.dll b.dll");
}

TEST(AutorunLocations, WinlogonDefaultsAndKeysInEitherView) {
  EXPECT_EQ(autorun::WinlogonDefault(L"Shell", L"C:\\windows\\system32"), L"explorer.exe");
  EXPECT_EQ(autorun::WinlogonDefault(L"USERINIT", L"C:\\windows\\system32"), L"C:\\windows\\system32\\userinit.exe,");
  EXPECT_EQ(autorun::WinlogonDefault(L"Taskman", L"C:\\windows\\system32"), L"");
  EXPECT_TRUE(autorun::IsKey(L"software\\microsoft\\windows nt\\currentversion\\winlogon", autorun::kWinlogonKey));
  EXPECT_TRUE(autorun::IsKey(L"Software\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                             autorun::kWinlogonKey));
  EXPECT_FALSE(autorun::IsKey(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Sub", autorun::kWinlogonKey));
  // The Run keys stay first; every other location is read in both views by the page.
  const auto& others = autorun::OtherLocations();
  ASSERT_EQ(others.size(), 8u);
  EXPECT_EQ(others.front().root, common::RegRoot::CurrentUser);
}

TEST(IfeoRules, GlobalFlagAsADwordOrAsText) {
  unsigned long flags = 0;
  const unsigned char dword[] = {0x00, 0x02, 0, 0};
  EXPECT_TRUE(ifeo::ParseGlobalFlag(4, dword, 4, flags));
  EXPECT_EQ(flags, 0x200ul);
  EXPECT_FALSE(ifeo::ParseGlobalFlag(4, dword, 3, flags));
  const unsigned char hex[] = {'0', 0, 'x', 0, '2', 0, '0', 0, '2', 0, 0, 0};
  EXPECT_TRUE(ifeo::ParseGlobalFlag(1, hex, sizeof hex, flags));
  EXPECT_EQ(flags, 0x202ul);
  const unsigned char dec[] = {'5', 0, '1', 0, '2', 0};
  EXPECT_TRUE(ifeo::ParseGlobalFlag(1, dec, sizeof dec, flags));
  EXPECT_EQ(flags, 512ul);
  const unsigned char junk[] = {'x', 0};
  EXPECT_FALSE(ifeo::ParseGlobalFlag(1, junk, sizeof junk, flags));
  EXPECT_FALSE(ifeo::ParseGlobalFlag(3, dword, 4, flags));
  EXPECT_NE(ifeo::GlobalFlagText(0x200).find(L"0x00000200"), std::wstring::npos);
}

TEST(AutorunLocations, ExecActionsOfATaskDefinition) {
  const std::wstring xml =
      L"<?xml version=\"1.0\"?><Task><Actions Context=\"Author\"><Exec><Command>C:\\a b\\x.exe</Command>"
      L"<Arguments>/q &quot;&amp;&lt;&#x4E2D;&#65;</Arguments></Exec><ComHandler><ClassId>{x}</ClassId></ComHandler>"
      L"<Exec>\r\n  <Command>%windir%\\y.exe</Command></Exec><Exec><Command>broken";
  const std::vector<autorun::ExecAction> actions = autorun::ExecActionsFromXml(xml);
  ASSERT_EQ(actions.size(), 3u);
  EXPECT_EQ(actions[0].command, L"C:\\a b\\x.exe");
  EXPECT_EQ(actions[0].arguments, L"/q \"&<\u4e2dA");
  EXPECT_EQ(actions[1].command, L"%windir%\\y.exe");
  EXPECT_EQ(actions[1].arguments, L"");
  EXPECT_EQ(actions[2].command, L"");  // an element cut short is no command
  EXPECT_TRUE(autorun::ExecActionsFromXml(L"<Task/>").empty());
}
