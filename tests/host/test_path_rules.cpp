// The command-line-to-path rule of the service and startup-item pages (under each of its names),
// and the folder, temporary-name and exact-path rules of the force deletion.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "common/force_delete_rules.h"
#include "common/path_rules.h"

using namespace common;

TEST(CleanCommandPath, ExamplesAndEdgeCasesOfBothPages) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\WINDOWS\\system32\\ctfmon.exe", L"C:\\WINDOWS\\system32\\ctfmon.exe"},
      {L"C:\\my-tools\\svc.exe", L"C:\\my-tools\\svc.exe"},  // no blank before the hyphen
      {L"rundll32.exe C:\\x.dll,Start", L"rundll32.exe C:\\x.dll,Start"},
      {L"%SystemRoot%\\system32\\x.exe", L"%SystemRoot%\\system32\\x.exe"},  // nothing expanded
      {L"\\??\\C:\\drv.sys", L"\\??\\C:\\drv.sys"},                          // no prefix removed
      {L"C:\\" + std::wstring(300, L'd') + L"\\x.exe", L"C:\\" + std::wstring(300, L'd') + L"\\x.exe"},
      // A " -" switch: cut before the hyphen, the blank stays.
      {L"C:\\WINDOWS\\system32\\svchost.exe -k netsvcs", L"C:\\WINDOWS\\system32\\svchost.exe "},
      {L"C:\\my-tools\\svc-host.exe -k x", L"C:\\my-tools\\svc-host.exe "},
      // A "/" cuts first, the blank before it staying, and nothing is trimmed after the cut.
      {L"\"C:\\Program Files\\App\\svc.exe\" /run", L"C:\\Program Files\\App\\svc.exe "},
      {L"C:\\Tools\\svc.exe /a -k", L"C:\\Tools\\svc.exe "},
      {L"a.exe -x /y", L"a.exe -x "},
      {L"a.exe   /s   ", L"a.exe   "},
      {L"C:/Tools/svc.exe", L"C:"},
      {L"/x", L""},
      // Quotes go wherever they stand, then trailing white space.
      {L"\"C:\\Program Files\\App\\app.exe\" tray", L"C:\\Program Files\\App\\app.exe tray"},
      {L"\"C:\\a b\\x.exe\" run  \t", L"C:\\a b\\x.exe run"},
      {L"\"a b\" -c /d", L"a b -c "},
      {L"\"\"", L""},
      {L"", L""},
      // Only ASCII blanks are trimmed: other space characters may end a real file name, and
      // trimming them would show another file's path (the real svchost.exe, say).
      {L"C:\\x\\app.exe \t\r\n\v\f", L"C:\\x\\app.exe"},
      {L"C:\\Windows\\System32\\svchost.exe\u3000", L"C:\\Windows\\System32\\svchost.exe\u3000"},
      {L"\"C:\\x\\app.exe\u00A0\"", L"C:\\x\\app.exe\u00A0"},
      {L"C:\\x\\app.exe\u2002 \t", L"C:\\x\\app.exe\u2002"},
  };
  for (const auto& [line, path] : cases) {
    EXPECT_EQ(CleanCommandPath(line), path) << line;
    EXPECT_EQ(CleanServicePath(line), path) << line;
    EXPECT_EQ(CleanAutorunPath(line), path) << line;
  }
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
