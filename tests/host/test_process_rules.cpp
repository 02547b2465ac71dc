// Cell texts and menu greying of the process list.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "pages/process/process_rules.h"
#include "res/resource.h"

using namespace process;

TEST(ProcessRules, CellTexts) {
  // Priority names, else the base priority.
  const std::tuple<unsigned long, long, const wchar_t*> priorities[] = {
      {256, 8, L"实时"}, {128, 8, L"高"}, {32768, 8, L"高于标准"}, {32, 8, L"标准"},
      {0x4000, 8, L"低"}, {64, 4, L"Idle"}, {0, 8, L"8"}, {0x1234, 13, L"13"}};
  for (const auto& [cls, base, text] : priorities) EXPECT_EQ(PriorityText(cls, base), text) << cls;
  // Memory in whole kilobytes.
  for (const auto& [bytes, text] : {std::pair<unsigned long long, const wchar_t*>{1048575, L"1023"}, {1048576, L"1024"},
                                     {0, L"0"}, {5ull << 40, L"5368709120"}})
    EXPECT_EQ(MemoryText(bytes), text) << bytes;
  EXPECT_EQ(TimeOfDayText(7, 30, 5), L"07:30:05");
  EXPECT_EQ(TimeOfDayText(23, 59, 59), L"23:59:59");
  EXPECT_EQ(UserText(L"SYSTEM", L"NT AUTHORITY"), L"SYSTEM of NT AUTHORITY");
  for (const auto& [cell, value] : {std::pair<const wchar_t*, long>{L"1234", 1234}, {L"  42abc", 42}, {L"-7", -7},
                                    {L"", 0}, {L"abc", 0}})
    EXPECT_EQ(CellToLong(cell), value) << cell;  // as atol reads it
}

TEST(ProcessRules, NormalizesKernelPrefixesCaseSensitively) {
  const std::wstring win = L"C:\\WINDOWS";
  EXPECT_EQ(NormalizeImagePath(L"\\SystemRoot\\System32\\smss.exe", win), L"C:\\WINDOWS\\System32\\smss.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\C:\\WINDOWS\\system32\\winlogon.exe", win), L"C:\\WINDOWS\\system32\\winlogon.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\systemroot\\x.dll", win), L"\\systemroot\\x.dll");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\\\SystemRoot\\a\\??\\b", win), L"C:\\WINDOWS\\ab");
  // The kernel's name of a network path becomes the UNC path, never the relative UNC\\server\\...
  EXPECT_EQ(NormalizeImagePath(L"\\??\\UNC\\server\\share\\x.exe", win), L"\\\\server\\share\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\unc\\srv\\s\\x.exe", win), L"\\\\srv\\s\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\UNCx\\a", win), L"UNCx\\a");
  EXPECT_EQ(NormalizeImagePath(L"C:\\UNC\\x.exe", win), L"C:\\UNC\\x.exe");
  // A folder of that name anywhere but first is a real folder.
  for (const wchar_t* real : {L"C:\\Games\\SystemRoot\\x.exe", L"C:\\x\\SystemRootkit\\evil.exe", L"\\SystemRootkit\\x"})
    EXPECT_EQ(NormalizeImagePath(real, win), real);
}

// An empty path greys the file commands; a PID or parent PID of exactly "0" greys kill and forbid.
TEST(ProcessRules, MenuGreying) {
  const std::vector<unsigned> file = {IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE, IDM_PROCESS_COPY_PATH},
                              kill = {IDM_PROCESS_KILL, IDM_PROCESS_FORBID};
  std::vector<unsigned> both = file;
  both.insert(both.end(), kill.begin(), kill.end());
  const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, std::vector<unsigned>> cases[] = {
      {L"1234", L"56", L"", file}, {L"4", L"0", L"C:\\x.exe", kill}, {L"0", L"0", L"", both}, {L"00", L"10", L"x", {}}};
  for (auto [pid, parent, path, want] : cases) {
    std::vector<unsigned> greyed = ProcessMenuGreyed(pid, parent, path);
    std::sort(greyed.begin(), greyed.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(greyed, want) << pid << "|" << parent << "|" << path;
  }
}
