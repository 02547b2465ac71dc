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
  EXPECT_EQ(TimeOfDayText(8, 0, 0), L"08:00:00");
  EXPECT_EQ(TimeOfDayText(7, 30, 5), L"07:30:05");
  EXPECT_EQ(TimeOfDayText(23, 59, 59), L"23:59:59");
  EXPECT_EQ(UserText(L"SYSTEM", L"NT AUTHORITY"), L"SYSTEM of NT AUTHORITY");
  EXPECT_EQ(UserText(std::wstring(300, L'a'), L"D"), std::wstring(300, L'a') + L" of D");
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
  auto greyed = [](const wchar_t* pid, const wchar_t* parent, const wchar_t* path) {
    std::vector<unsigned> ids = ProcessMenuGreyed(pid, parent, path);
    std::sort(ids.begin(), ids.end());
    return ids;
  };
  EXPECT_EQ(greyed(L"1234", L"56", L""), (std::vector<unsigned>{IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE,
                                                               IDM_PROCESS_COPY_PATH}));
  EXPECT_EQ(greyed(L"4", L"0", L"C:\\x.exe"), (std::vector<unsigned>{IDM_PROCESS_KILL, IDM_PROCESS_FORBID}));
  EXPECT_EQ(greyed(L"0", L"0", L""), (std::vector<unsigned>{IDM_PROCESS_KILL, IDM_PROCESS_FORBID,
                                                           IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE,
                                                           IDM_PROCESS_COPY_PATH}));
  EXPECT_TRUE(greyed(L"00", L"10", L"x").empty());  // whole-text comparison
}

TEST(ProcessRules, CellToLongReadsLikeAtol) {
  for (const auto& [cell, value] : {std::pair<const wchar_t*, long>{L"1234", 1234}, {L"  42abc", 42}, {L"-7", -7},
                                    {L"", 0}, {L"abc", 0}})
    EXPECT_EQ(CellToLong(cell), value) << cell;
}
