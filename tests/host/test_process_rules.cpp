// Cell texts and menu greying of the process list.
#include <gtest/gtest.h>

#include <algorithm>

#include "pages/process/process_rules.h"
#include "res/resource.h"

using namespace process;

TEST(ProcessRules, PriorityNamesAndFallbackToBasePriority) {
  EXPECT_EQ(PriorityText(256, 8), L"实时");
  EXPECT_EQ(PriorityText(128, 8), L"高");
  EXPECT_EQ(PriorityText(32768, 8), L"高于标准");
  EXPECT_EQ(PriorityText(32, 8), L"标准");
  EXPECT_EQ(PriorityText(0x4000, 8), L"低");
  EXPECT_EQ(PriorityText(64, 4), L"Idle");
  EXPECT_EQ(PriorityText(0, 8), L"8");
  EXPECT_EQ(PriorityText(0x1234, 13), L"13");
}

TEST(ProcessRules, MemoryInWholeKilobytes) {
  EXPECT_EQ(MemoryText(1048575), L"1023");
  EXPECT_EQ(MemoryText(1048576), L"1024");
  EXPECT_EQ(MemoryText(0), L"0");
  EXPECT_EQ(MemoryText(5ull << 40), L"5368709120");
}

TEST(ProcessRules, TimeOfDayIsZeroPadded) {
  EXPECT_EQ(TimeOfDayText(8, 0, 0), L"08:00:00");
  EXPECT_EQ(TimeOfDayText(7, 30, 5), L"07:30:05");
  EXPECT_EQ(TimeOfDayText(23, 59, 59), L"23:59:59");
}

TEST(ProcessRules, UserIsAccountOfDomainWhateverTheLength) {
  EXPECT_EQ(UserText(L"SYSTEM", L"NT AUTHORITY"), L"SYSTEM of NT AUTHORITY");
  std::wstring longName(300, L'a');
  EXPECT_EQ(UserText(longName, L"D"), longName + L" of D");
}

TEST(ProcessRules, NormalizesKernelPrefixesCaseSensitively) {
  const std::wstring win = L"C:\\WINDOWS";
  EXPECT_EQ(NormalizeImagePath(L"\\SystemRoot\\System32\\smss.exe", win), L"C:\\WINDOWS\\System32\\smss.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\C:\\WINDOWS\\system32\\winlogon.exe", win), L"C:\\WINDOWS\\system32\\winlogon.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\systemroot\\x.dll", win), L"\\systemroot\\x.dll");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\\\SystemRoot\\a\\??\\b", win), L"C:\\WINDOWS\\ab");
  EXPECT_EQ(NormalizeImagePath(L"", win), L"");
}

TEST(ProcessRules, MenuGreying) {
  auto has = [](const std::vector<unsigned>& v, unsigned id) { return std::find(v.begin(), v.end(), id) != v.end(); };
  auto g = ProcessMenuGreyed(L"1234", L"56", L"");
  EXPECT_TRUE(has(g, IDM_PROCESS_PROPERTIES));
  EXPECT_TRUE(has(g, IDM_PROCESS_LOCATE));
  EXPECT_TRUE(has(g, IDM_PROCESS_COPY_PATH));
  EXPECT_FALSE(has(g, IDM_PROCESS_FORCE_DELETE));
  EXPECT_FALSE(has(g, IDM_PROCESS_SEARCH));
  EXPECT_FALSE(has(g, IDM_PROCESS_KILL));

  g = ProcessMenuGreyed(L"4", L"0", L"C:\\x.exe");
  EXPECT_TRUE(has(g, IDM_PROCESS_KILL));
  EXPECT_TRUE(has(g, IDM_PROCESS_FORBID));
  EXPECT_FALSE(has(g, IDM_PROCESS_LOCATE));
  EXPECT_TRUE(has(ProcessMenuGreyed(L"0", L"0", L""), IDM_PROCESS_KILL));
  EXPECT_TRUE(ProcessMenuGreyed(L"00", L"10", L"x").empty());  // whole-text comparison
}

TEST(ProcessRules, CellToLongReadsLikeAtol) {
  EXPECT_EQ(CellToLong(L"1234"), 1234);
  EXPECT_EQ(CellToLong(L"  42abc"), 42);
  EXPECT_EQ(CellToLong(L"-7"), -7);
  EXPECT_EQ(CellToLong(L""), 0);
  EXPECT_EQ(CellToLong(L"abc"), 0);
}
