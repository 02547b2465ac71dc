// Rules a review of the pages tightened: what the path rule trims from a command line.
#include <gtest/gtest.h>

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
