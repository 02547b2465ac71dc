// The command-line-to-path rule of the service and startup-item pages, the driver image-path rule,
// and the folder, temporary-name and exact-path rules of the force deletion.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "common/force_delete_rules.h"
#include "common/path_rules.h"

using namespace common;

namespace {
// A file system of a few files, with C:\windows\system32 on the search path of bare names.
PathLookup FakeLookup() {
  static const std::set<std::wstring> files = {
      L"C:\\windows\\system32\\svchost.exe",  L"C:\\windows\\system32\\cmd.exe",
      L"C:\\windows\\system32\\rundll32.exe", L"C:\\Program Files\\App\\app.exe",
      L"C:\\Program.exe",                     L"C:\\ProgramData\\Microsoft -Update\\svc.exe",
      L"C:\\Users\\Public\\evil.exe",         L"C:\\Tools\\svc.exe",
      L"C:\\a b\\x.exe",                      L"C:\\Tools\\run"};
  PathLookup lookup;
  lookup.windowsDir = L"C:\\windows";
  lookup.variable = [](const std::wstring& name) -> std::optional<std::wstring> {
    if (name == L"SystemRoot") return L"C:\\windows";
    if (name == L"ProgramFiles") return L"C:\\Program Files";
    return std::nullopt;
  };
  lookup.findFile = [](const std::wstring& name) -> std::wstring {
    if (files.count(name)) return name;
    if (name.find(L'\\') == std::wstring::npos && files.count(L"C:\\windows\\system32\\" + name))
      return L"C:\\windows\\system32\\" + name;
    return L"";
  };
  return lookup;
}
}  // namespace

TEST(CommandPath, FindsTheFileWindowsStarts) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      // Forward slashes inside a path are separators; a slash after a blank starts a switch.
      {L"C:/Users/Public/evil.exe", L"C:\\Users\\Public\\evil.exe"},
      {L"C:/Users/Public/evil.exe /quiet", L"C:\\Users\\Public\\evil.exe"},
      {L"C:\\Tools\\svc.exe /run -k x", L"C:\\Tools\\svc.exe"},
      // A folder named with " -" is part of the path when the file is there.
      {L"C:\\ProgramData\\Microsoft -Update\\svc.exe", L"C:\\ProgramData\\Microsoft -Update\\svc.exe"},
      {L"C:\\ProgramData\\Microsoft -Update\\svc.exe -k netsvcs", L"C:\\ProgramData\\Microsoft -Update\\svc.exe"},
      // The interpreter is the file; the command line column shows the rest.
      {L"cmd.exe /c start evil.exe", L"C:\\windows\\system32\\cmd.exe"},
      {L"cmd /c start evil.exe", L"C:\\windows\\system32\\cmd.exe"},
      {L"rundll32.exe C:\\x.dll,Start", L"C:\\windows\\system32\\rundll32.exe"},
      // Unquoted blanks: the shortest part that names a file, with ".exe" added as Windows adds it.
      {L"C:\\Program Files\\App\\app.exe -x", L"C:\\Program.exe"},
      {L"C:\\a b\\x.exe tray", L"C:\\a b\\x.exe"},
      {L"C:\\a b\\x tray", L"C:\\a b\\x.exe"},
      // Quoted: the quoted text whole, whatever exists.
      {L"\"C:\\Program Files\\App\\app.exe\" /min", L"C:\\Program Files\\App\\app.exe"},
      {L"\"C:\\Program Files\\Gone\\gone.exe\" -x", L"C:\\Program Files\\Gone\\gone.exe"},
      {L"  \"C:\\a b\\x.exe\"run", L"C:\\a b\\x.exe"},
      {L"\"C:\\a b\\x", L"C:\\a b\\x.exe"},
      {L"\"C:/Tools/svc.exe\"", L"C:\\Tools\\svc.exe"},
      // Nothing exists: the first word.
      {L"C:\\Gone Folder\\gone.exe -x", L"C:\\Gone"},
      {L"C:\\my-tools\\svc-host.exe -k x", L"C:\\my-tools\\svc-host.exe"},
      {L"C:\\x\\app.exe \t\r\n", L"C:\\x\\app.exe"},
      // Environment references are expanded before the line is parsed.
      {L"%SystemRoot%\\system32\\svchost.exe -k netsvcs", L"C:\\windows\\system32\\svchost.exe"},
      {L"%ProgramFiles%\\App\\app.exe -x", L"C:\\Program.exe"},
      {L"\"%ProgramFiles%\\App\\app.exe\" -x", L"C:\\Program Files\\App\\app.exe"},
      {L"%NotSet%\\x.exe", L"%NotSet%\\x.exe"},
      {L"100%\\x.exe", L"100%\\x.exe"},
      // The kernel's forms.
      {L"\\SystemRoot\\system32\\svchost.exe -k x", L"C:\\windows\\system32\\svchost.exe"},
      {L"\\??\\C:\\Tools\\svc.exe", L"C:\\Tools\\svc.exe"},
      {L"\"\\??\\C:\\Tools\\svc.exe\" /x", L"C:\\Tools\\svc.exe"},
      // Other space characters belong to the name: they may end a real file name.
      {L"C:\\Windows\\System32\\svchost.exe\u3000", L"C:\\Windows\\System32\\svchost.exe\u3000"},
      {L"\"C:\\x\\app.exe\u00A0\"", L"C:\\x\\app.exe\u00A0"},
      {L"C:\\" + std::wstring(300, L'd') + L"\\x.exe", L"C:\\" + std::wstring(300, L'd') + L"\\x.exe"},
      {L"\"\"", L""},
      {L"", L""},
      {L"   ", L""},
      {L" /only-switches -x", L""},
  };
  const PathLookup lookup = FakeLookup();
  for (const auto& [line, path] : cases) EXPECT_EQ(CommandPath(line, lookup), path) << line;
}

TEST(CommandPath, AFolderIsNoFileAndNoLookupFallsBackToTheFirstWord) {
  PathLookup lookup = FakeLookup();
  // The shortest part wins: C:\Tools\svc.exe run starts svc.exe with an argument.
  EXPECT_EQ(CommandPath(L"C:\\Tools\\svc.exe run", lookup), L"C:\\Tools\\svc.exe");
  EXPECT_EQ(CommandPath(L"C:\\Tools\\run now", lookup), L"C:\\Tools\\run");
  EXPECT_EQ(CommandPath(L"C:\\Program Files\\App now", lookup), L"C:\\Program.exe");
  lookup.findFile = nullptr;
  EXPECT_EQ(CommandPath(L"C:\\Program Files\\App\\app.exe -x", lookup), L"C:\\Program");
  EXPECT_EQ(CommandPath(L"C:/Users/Public/evil.exe", lookup), L"C:\\Users\\Public\\evil.exe");
}

TEST(DriverPath, ResolvesImagePathsAsTheKernelDoes) {
  const PathLookup lookup = FakeLookup();
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"\\SystemRoot\\System32\\drivers\\evil.sys", L"C:\\windows\\System32\\drivers\\evil.sys"},
      {L"System32\\drivers\\evil.sys", L"C:\\windows\\System32\\drivers\\evil.sys"},
      {L"system32/drivers/evil.sys", L"C:\\windows\\system32\\drivers\\evil.sys"},
      {L"\\??\\C:\\Tools\\evil.sys", L"C:\\Tools\\evil.sys"},
      {L"C:\\Tools\\evil.sys", L"C:\\Tools\\evil.sys"},
      {L"%SystemRoot%\\evil.sys", L"C:\\windows\\evil.sys"},
      {L"\"C:\\a b\\evil.sys\"", L"C:\\a b\\evil.sys"},
      {L"", L"C:\\windows\\system32\\drivers\\WardletDrv.sys"},
  };
  for (const auto& [image, path] : cases) EXPECT_EQ(DriverPath(image, L"WardletDrv", lookup), path) << image;
}

TEST(IsFileNamed, ComparesTheLastElementWithoutCase) {
  EXPECT_TRUE(IsFileNamed(L"C:\\Windows\\System32\\SVCHOST.EXE", L"svchost.exe"));
  EXPECT_TRUE(IsFileNamed(L"svchost.exe", L"svchost.exe"));
  EXPECT_FALSE(IsFileNamed(L"C:\\x\\svchost.exe.bak", L"svchost.exe"));
  EXPECT_FALSE(IsFileNamed(L"C:\\x\\my_svchost.exe", L"svchost.exe"));
}

TEST(ForceDeleteRules, FolderKeepsDriveAndTrailingSeparator) {
  for (const auto& [path, folder] : {std::pair<const wchar_t*, const wchar_t*>{L"C:\\a\\b.exe", L"C:\\a\\"},
                                     {L"D:\\x.txt", L"D:\\"}, {L"C:x.txt", L"C:"}, {L"x.txt", L""}, {L"", L""},
                                     {L"\\\\server\\share\\f", L"\\\\server\\share\\"}})
    EXPECT_EQ(FolderOf(path), folder) << path;
}

TEST(ForceDeleteRules, TempNameNeverReplacesAnExistingFile) {
  std::set<std::wstring> present;
  auto exists = [&](const std::wstring& n) { return present.count(n) > 0; };
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.tmp");
  present.insert(L"C:\\a\\Morvane.tmp");
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.1.tmp");
  present.insert({L"C:\\a\\Morvane.1.tmp", L"C:\\a\\Morvane.2.tmp"});
  EXPECT_EQ(FreeTempName(L"C:\\a\\", exists), L"C:\\a\\Morvane.3.tmp");
  EXPECT_EQ(FreeTempName(L"", exists), L"Morvane.tmp");
}

// A plainly written full path is used in its exact form, so that a trailing dot or blank of a
// name is kept; anything that needs the ordinary rules (relative, "/", "." or "..") is not.
TEST(ForceDeleteRules, ExactFormOfPlainFullPaths) {
  EXPECT_EQ(ExactPathForm(L"C:\\a\\victim.txt."), L"\\\\?\\C:\\a\\victim.txt.");
  EXPECT_EQ(ExactPathForm(L"d:\\x y\\evil.exe "), L"\\\\?\\d:\\x y\\evil.exe ");
  EXPECT_EQ(ExactPathForm(L"\\\\server\\share\\nul.exe"), L"\\\\?\\UNC\\server\\share\\nul.exe");
  for (const wchar_t* other : {L"", L"x.exe", L"C:x.exe", L"C:\\", L"C:/a/b.exe", L"C:\\a\\..\\b.exe",
                               L"C:\\a\\.\\b.exe", L"C:\\a\\\\b.exe", L"C:\\a\\", L"\\a\\b.exe",
                               L"\\\\?\\C:\\a.exe", L"\\\\.\\C:", L"1:\\a.exe"})
    EXPECT_EQ(ExactPathForm(other), L"") << other;
}
