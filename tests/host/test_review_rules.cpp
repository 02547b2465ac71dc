// Rules a review of the pages tightened: what the path rule trims from a command line, and which
// paths force deletion takes exactly as written.
#include <gtest/gtest.h>

#include "common/force_delete_rules.h"
#include "common/path_rules.h"

using common::CleanCommandPath;

// Only the C locale's blanks end a command line: other space characters may end a real file
// name, and trimming them would show another file's path (the real svchost.exe, say).
TEST(ReviewPathRule, TrimsOnlyAsciiBlanks) {
  const std::wstring disguised = L"C:\\Windows\\System32\\svchost.exe\u3000";
  EXPECT_EQ(CleanCommandPath(disguised), disguised);
  EXPECT_EQ(CleanCommandPath(L"\"C:\\x\\app.exe\u00A0\""), L"C:\\x\\app.exe\u00A0");
  EXPECT_EQ(CleanCommandPath(L"C:\\x\\app.exe\u2002 \t"), L"C:\\x\\app.exe\u2002");
  EXPECT_EQ(CleanCommandPath(L"C:\\x\\app.exe \t\r\n\v\f"), L"C:\\x\\app.exe");
}

// A plainly written full path is used in its exact form, so that a trailing dot or blank of a
// name is kept; anything that needs the ordinary rules (relative, "/", "." or "..") is not.
TEST(ReviewForceDelete, ExactFormOfPlainFullPaths) {
  using common::ExactPathForm;
  EXPECT_EQ(ExactPathForm(L"C:\\a\\victim.txt."), L"\\\\?\\C:\\a\\victim.txt.");
  EXPECT_EQ(ExactPathForm(L"d:\\x y\\evil.exe "), L"\\\\?\\d:\\x y\\evil.exe ");
  EXPECT_EQ(ExactPathForm(L"\\\\server\\share\\nul.exe"), L"\\\\?\\UNC\\server\\share\\nul.exe");
  for (const wchar_t* other : {L"", L"x.exe", L"C:x.exe", L"C:\\", L"C:/a/b.exe", L"C:\\a\\..\\b.exe",
                               L"C:\\a\\.\\b.exe", L"C:\\a\\\\b.exe", L"C:\\a\\", L"\\a\\b.exe",
                               L"\\\\?\\C:\\a.exe", L"\\\\.\\C:", L"1:\\a.exe"})
    EXPECT_EQ(ExactPathForm(other), L"") << other;
}
