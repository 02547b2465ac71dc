// The command-line-to-path rule of the service and startup-item pages, under each of its names.
#include <gtest/gtest.h>

#include <utility>

#include "common/path_rules.h"

TEST(CleanCommandPath, ExamplesAndEdgeCasesOfBothPages) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\WINDOWS\\system32\\ctfmon.exe", L"C:\\WINDOWS\\system32\\ctfmon.exe"},
      {L"C:\\Tools\\my-svc.exe", L"C:\\Tools\\my-svc.exe"},  // no blank before the hyphen
      {L"C:\\my-tools\\svc.exe", L"C:\\my-tools\\svc.exe"},
      {L"rundll32.exe C:\\x.dll,Start", L"rundll32.exe C:\\x.dll,Start"},
      {L"C:\\Tools\\svc.exe run", L"C:\\Tools\\svc.exe run"},
      {L"%SystemRoot%\\system32\\x.exe", L"%SystemRoot%\\system32\\x.exe"},  // nothing expanded
      {L"\\??\\C:\\drv.sys", L"\\??\\C:\\drv.sys"},                          // no prefix removed
      {L"C:\\" + std::wstring(300, L'd') + L"\\x.exe", L"C:\\" + std::wstring(300, L'd') + L"\\x.exe"},
      // A " -" switch: cut before the hyphen, the blank stays.
      {L"C:\\WINDOWS\\system32\\svchost.exe -k netsvcs", L"C:\\WINDOWS\\system32\\svchost.exe "},
      {L"C:\\My-Tools\\app.exe -min", L"C:\\My-Tools\\app.exe "},
      {L"C:\\my-tools\\svc-host.exe -k x", L"C:\\my-tools\\svc-host.exe "},
      {L"%SystemRoot%\\System32\\svc.exe -x", L"%SystemRoot%\\System32\\svc.exe "},
      // A "/" cuts first, the blank before it staying, and nothing is trimmed after the cut.
      {L"\"C:\\Program Files\\App\\svc.exe\" /run", L"C:\\Program Files\\App\\svc.exe "},
      {L"\"C:\\Program Files\\App\\app.exe\" /min", L"C:\\Program Files\\App\\app.exe "},
      {L"C:\\Tools\\svc.exe /a -k", L"C:\\Tools\\svc.exe "},
      {L"a.exe -x /y", L"a.exe -x "},
      {L"a.exe   /s   ", L"a.exe   "},
      {L"C:/Tools/svc.exe", L"C:"},
      {L"C:/Tools/a.exe", L"C:"},
      {L"/x", L""},
      // Quotes go wherever they stand, then trailing white space.
      {L"\"C:\\Program Files\\App\\app.exe\"", L"C:\\Program Files\\App\\app.exe"},
      {L"\"C:\\Program Files\\App\\app.exe\" tray", L"C:\\Program Files\\App\\app.exe tray"},
      {L"\"C:\\a b\\x.exe\" run  \t", L"C:\\a b\\x.exe run"},
      {L"C:\\svc.exe \r\n ", L"C:\\svc.exe"},
      {L"\"a b\" -c /d", L"a b -c "},
      {L"\"\"", L""},
      {L"", L""},
  };
  for (const auto& [line, path] : cases) {
    EXPECT_EQ(common::CleanCommandPath(line), path) << line;
    EXPECT_EQ(common::CleanServicePath(line), path) << line;
    EXPECT_EQ(common::CleanAutorunPath(line), path) << line;
  }
}
