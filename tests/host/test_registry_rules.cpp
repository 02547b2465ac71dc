// Key paths, value names with NUL characters, value data as text, and the two registry views.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/registry_rules.h"

using namespace common;
using namespace std::string_literals;

TEST(RegistryKeyPath, SplitsAtTheFirstBackslashAndKnowsTwoRootsExactly) {
  KeyPathParts p = SplitKeyPath(L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(p.root, RegRoot::CurrentUser);
  EXPECT_EQ(p.key, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  p = SplitKeyPath(L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  EXPECT_EQ(p.root, RegRoot::LocalMachine);
  EXPECT_EQ(p.key, L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
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
      {L"\0Hidden"s, L"\\0Hidden"}, {L"a\0b\0"s, L"a\\0b\\0"}, {L"\0"s, L"\\0"}, {L"", L""},
      {L"ctfmon", L"ctfmon"}, {L"C:\\Tools\\a.exe", L"C:\\Tools\\a.exe"}, {L"trailing\\", L"trailing\\"},
      {L"输入法", L"输入法"},
      {L"a\\0b", L"a\\\\0b"},    // a literal backslash-zero
      {L"\\\0"s, L"\\\\\\0"},    // a backslash before a NUL
      {L"x\\\\y", L"x\\\\\\y"},  // two backslashes before a letter
  };
  for (const auto& [name, cell] : cases) {
    EXPECT_EQ(ShowValueName(name), cell);
    EXPECT_EQ(ValueNameFromCell(cell), name) << std::string(cell.begin(), cell.end());
  }
  // Every name of up to six characters over the alphabet that matters maps back from its own cell.
  const wchar_t alphabet[] = {L'\\', L'0', L'\0', L'a'};
  std::vector<std::wstring> names = {L""};
  for (size_t i = 0; names[i].size() < 6; ++i)
    for (wchar_t c : alphabet) names.push_back(names[i] + c);
  std::vector<std::wstring> cells;
  for (const auto& n : names) {
    std::wstring cell = ShowValueName(n);
    EXPECT_EQ(cell.find(L'\0'), std::wstring::npos);
    ASSERT_EQ(ValueNameFromCell(cell), n) << "cell " << std::string(cell.begin(), cell.end());
    cells.push_back(cell);
  }
  std::sort(cells.begin(), cells.end());
  EXPECT_EQ(std::adjacent_find(cells.begin(), cells.end()), cells.end());
}

TEST(ValueDataText, TextEndsAtTheFirstZeroWithinTheBytesReturned) {
  for (uint32_t type : {1u, 2u, 7u}) EXPECT_TRUE(IsTextType(type)) << type;   // REG_SZ, _EXPAND_SZ, _MULTI_SZ
  for (uint32_t type : {0u, 3u, 4u}) EXPECT_FALSE(IsTextType(type)) << type;  // REG_NONE, _BINARY, _DWORD
  const unsigned char multi[] = {'a', 0, 0x2D, 0x4E, 0, 0, 'b', 0, 0, 0, 0, 0};
  EXPECT_EQ(TextUpToZero(multi, sizeof multi), L"a中");
  const unsigned char unterminated[] = {'C', 0, ':', 0};
  EXPECT_EQ(TextUpToZero(unterminated, sizeof unterminated), L"C:");
  EXPECT_EQ(TextUpToZero(unterminated, 3), L"C");  // an odd last byte is no character
  EXPECT_EQ(TextUpToZero(unterminated, 0), L"");
  // Other types end at their first zero byte.
  const unsigned char binary[] = {'e', 'v', 'i', 'l', 0, 'x'};
  EXPECT_EQ(BytesUpToZero(binary, sizeof binary), "evil");
  EXPECT_EQ(BytesUpToZero(binary, 2), "ev");
  const unsigned char dword[] = {0x31, 0, 0, 0};
  EXPECT_EQ(BytesUpToZero(dword, sizeof dword), "1");
  EXPECT_EQ(BytesUpToZero(dword + 1, 3), "");
}

TEST(RegistryViews, RedirectedKeysAreShownUnderWow6432Node) {
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  EXPECT_TRUE(IsWow64Redirected(L"\\REGISTRY\\Machine\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_TRUE(IsWow64Redirected(L"\\REGISTRY\\MACHINE\\SOFTWARE\\WOW6432NODE"));
  for (const wchar_t* name : {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                              L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Nodes\\X", L""})
    EXPECT_FALSE(IsWow64Redirected(name)) << name;
  EXPECT_EQ(Wow64KeyPath(run), L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(ShownKeyPath(RegRoot::LocalMachine, run, L"\\REGISTRY\\Machine\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"),
            L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(ShownKeyPath(RegRoot::CurrentUser, run, L"\\REGISTRY\\USER\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
            L"HKEY_CURRENT_USER\\" + run);
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
