// Handle cells, row cells and the owner-path cache of the window list.
#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "pages/window/window_rules.h"

using namespace window;

// Plain signed decimal (never hexadecimal, no leading zeros) that reads back whole within the
// signed range of the pointer width: handles above 2^31 exist only on x86_64.
TEST(WindowRules, HandleTextReadsBackWholeWithinThePointerWidth) {
  for (const auto& [value, text] : {std::pair<long long, const wchar_t*>{0, L"0"}, {0x00A0, L"160"},
                                    {-2147483647 - 1, L"-2147483648"}, {0x123456789ALL, L"78187493530"}})
    EXPECT_EQ(HandleText(value), text) << value;
  for (long long v : {0LL, 65552LL, -1LL, -65536LL, static_cast<long long>(INT_MAX), static_cast<long long>(INT_MIN),
                      2147483648LL, -2147483649LL, 4294967296LL, 0x7FFF12345678LL, LLONG_MAX, LLONG_MIN,
                      static_cast<long long>(0xFFFFFFFF80001234ULL)}) {
    EXPECT_EQ(ParseHandleText(HandleText(v), 64), v) << v;
    const bool fits32 = v >= INT_MIN && v <= INT_MAX;
    EXPECT_EQ(ParseHandleText(HandleText(v), 32), fits32 ? std::optional<long long>(v) : std::nullopt) << v;
  }
  EXPECT_EQ(ParseHandleText(L"007", 32), 7);
  EXPECT_EQ(ParseHandleText(L"-0", 64), 0);
  EXPECT_FALSE(ParseHandleText(L"1", 16));
  for (const wchar_t* bad : {L"9223372036854775808", L"-9223372036854775809", L"99999999999999999999999", L"",
                             L"-", L" 12", L"12 ", L"+12", L"0x10", L"12a", L"1-2", L"--1", L"１２"})
    EXPECT_FALSE(ParseHandleText(bad, 64)) << bad;
}

TEST(WindowRules, RowTextsInColumnOrderWithEmptyCellsForWhatCannotBeRead) {
  const WindowFacts f{4294967306LL, L"Notepad", L"无标题 - 记事本", L"C:\\Windows\\notepad.exe"};
  EXPECT_EQ(WindowRowTexts(41, f),
            (std::vector<std::wstring>{L"42", L"4294967306", L"Notepad", L"无标题 - 记事本", L"C:\\Windows\\notepad.exe"}));
  EXPECT_EQ(WindowRowTexts(2, WindowFacts{-5, std::nullopt, L"", std::nullopt}),
            (std::vector<std::wstring>{L"3", L"-5", L"", L"", L""}));
}

TEST(WindowRules, OwnerPathIsLookedUpOncePerProcessAndNeverForProcessZero) {
  std::map<unsigned long, int> asked;
  OwnerPathCache cache([&](unsigned long pid) -> std::optional<std::wstring> {
    ++asked[pid];
    if (pid == 66) return std::nullopt;  // a process whose executable cannot be read
    return L"C:\\p" + std::to_wstring(pid) + L".exe";
  });
  for (int round = 0; round < 2; ++round) {
    EXPECT_FALSE(cache.PathOf(0));
    EXPECT_EQ(cache.PathOf(10), L"C:\\p10.exe");
    EXPECT_EQ(cache.PathOf(20), L"C:\\p20.exe");
    EXPECT_FALSE(cache.PathOf(66));
  }
  EXPECT_EQ(cache.Lookups(), 3);
  EXPECT_EQ(asked, (std::map<unsigned long, int>{{10, 1}, {20, 1}, {66, 1}}));
}
