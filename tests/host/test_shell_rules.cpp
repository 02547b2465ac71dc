// Texts the shell actions hand to Explorer and the browser.
#include <gtest/gtest.h>

#include "common/shell_rules.h"

using namespace common;

TEST(ShellRules, ExplorerGetsThePathAsOneQuotedArgument) {
  EXPECT_EQ(ExplorerSelectArgument(L"C:\\a\\b.exe"), L"/select,\"C:\\a\\b.exe\"");
  // Commas and switch-like text stay inside the quotes.
  EXPECT_EQ(ExplorerSelectArgument(L"C:\\a,/root,C:\\evil\\x.exe"), L"/select,\"C:\\a,/root,C:\\evil\\x.exe\"");
  EXPECT_EQ(ExplorerSelectArgument(L""), L"/select,\"\"");
  // A quote in the text cannot end the quoting early.
  EXPECT_EQ(ExplorerSelectArgument(L"C:\\a\" /e,\"C:\\b"), L"/select,\"C:\\a /e,C:\\b\"");
  EXPECT_EQ(ExplorerSelectArgument(L"C:\\文件\\程序.exe"), L"/select,\"C:\\文件\\程序.exe\"");
}

TEST(ShellRules, Utf8AndPercentEncoding) {
  const std::wstring emoji(1, static_cast<wchar_t>(0x1F600)), loneSurrogate(1, static_cast<wchar_t>(0xD800));
  for (const auto& [wide, utf8] : {std::pair<std::wstring, std::string>{L"", ""}, {L"abc", "abc"},
                                   {L"\u00e9", "\xC3\xA9"}, {L"中", "\xE4\xB8\xAD"}, {emoji, "\xF0\x9F\x98\x80"},
                                   {loneSurrogate, "\xEF\xBF\xBD"}})
    EXPECT_EQ(WideToUtf8(wide), utf8) << utf8;
  // Only unreserved characters stay as they are.
  for (const auto& [bytes, encoded] : {std::pair<std::string, std::string>{"AZaz09-_.~", "AZaz09-_.~"},
                                       {"a b&c.exe", "a%20b%26c.exe"}, {"=+/?#%", "%3D%2B%2F%3F%23%25"},
                                       {"\xE4\xB8\xAD", "%E4%B8%AD"}, {std::string("\x00\x7F\xFF", 3), "%00%7F%FF"}})
    EXPECT_EQ(PercentEncode(bytes), encoded) << bytes;
}

TEST(ShellRules, SearchAddressCarriesTheWholeTextInTheQuery) {
  const std::wstring prefix = L"https://www.google.com/search?hl=zh-CN&q=";
  EXPECT_EQ(SearchAddress(L"notepad.exe"), prefix + L"notepad.exe");
  // The ampersand does not start a parameter of its own: the name is searched whole.
  EXPECT_EQ(SearchAddress(L"a b&c.exe"), prefix + L"a%20b%26c.exe");
  EXPECT_EQ(SearchAddress(L"a&q=x"), prefix + L"a%26q%3Dx");
  EXPECT_EQ(SearchAddress(L""), prefix);
  EXPECT_EQ(SearchAddress(L"迅雷.exe"), prefix + L"%E8%BF%85%E9%9B%B7.exe");
}

// Under WOW64 only the Windows directory's own System32 goes through Sysnative; the case of the
// path is kept, and every other path (SysWOW64, a System32 elsewhere, a longer name) is left alone.
TEST(ShellRules, System32ReachedThroughSysnativeUnderWow64Only) {
  const std::wstring win = L"C:\\Windows";
  for (const auto& [path, native] : {
           std::pair<const wchar_t*, const wchar_t*>{L"C:\\Windows\\System32\\x.exe", L"C:\\Windows\\Sysnative\\x.exe"},
           {L"c:\\WINDOWS\\system32\\drivers\\etc\\hosts", L"c:\\WINDOWS\\Sysnative\\drivers\\etc\\hosts"},
           {L"C:/Windows/SYSTEM32/x.dll", L"C:/Windows/Sysnative/x.dll"},
           {L"C:\\Windows\\System32", L"C:\\Windows\\Sysnative"},
           {L"C:\\Windows\\System32\\", L"C:\\Windows\\Sysnative\\"},
           {L"\\\\?\\C:\\Windows\\System32\\x.exe", L"\\\\?\\C:\\Windows\\Sysnative\\x.exe"}}) {
    EXPECT_EQ(NativeViewPath(path, win, true), native) << path;
    EXPECT_EQ(NativeViewPath(path, win, false), path) << path;
    EXPECT_EQ(NativeViewPath(path, win + L"\\", true), native) << path;
  }
  for (const wchar_t* other : {L"C:\\Windows\\SysWOW64\\x.exe", L"C:\\foo\\System32\\x.exe", L"D:\\Windows\\System32\\x",
                               L"C:\\Windows\\System32x\\a", L"C:\\Windows\\System32.old", L"C:\\Windows\\Sysnative\\x",
                               L"C:\\Windowsx\\System32\\x", L"System32\\x.exe", L"\\\\server\\C$\\Windows\\System32\\x",
                               L"C:\\Windows", L"C:\\Windows\\", L""})
    EXPECT_EQ(NativeViewPath(other, win, true), other) << other;
  EXPECT_EQ(NativeViewPath(L"C:\\Windows\\System32\\x", L"", true), L"C:\\Windows\\System32\\x");
}

TEST(ShellRules, FinalPathsWrittenPlainly) {
  EXPECT_EQ(PlainFinalPath(L"\\\\?\\C:\\Windows\\SysWOW64\\x.exe"), L"C:\\Windows\\SysWOW64\\x.exe");
  EXPECT_EQ(PlainFinalPath(L"\\\\?\\UNC\\server\\share\\x"), L"\\\\server\\share\\x");
  for (const wchar_t* other : {L"C:\\a", L"\\\\?\\Volume{1}\\a", L"", L"\\\\?\\"})
    EXPECT_EQ(PlainFinalPath(other), other) << other;
}
