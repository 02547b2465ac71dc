// Handle cells, row cells and the owner-path cache of the window list.
#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "pages/window/window_rules.h"

using namespace window;

TEST(WindowRules, HandleTextIsPlainSignedDecimalAndReadsBackWhole) {
  // Never hexadecimal, no leading zeros.
  for (const auto& [value, text] : {std::pair<long long, const wchar_t*>{0, L"0"}, {65552, L"65552"}, {0x00A0, L"160"},
                                    {-2147483647 - 1, L"-2147483648"}, {0x123456789ALL, L"78187493530"}})
    EXPECT_EQ(HandleText(value), text) << value;
  for (long long v : {0LL, 1LL, 65552LL, static_cast<long long>(INT_MAX), static_cast<long long>(INT_MIN), -1LL,
                      -65536LL}) {
    EXPECT_EQ(ParseHandleText(HandleText(v), 32), v) << v;
    EXPECT_EQ(ParseHandleText(HandleText(v), 64), v) << v;
  }
  // Handles above 2^31 exist only on x86_64 and must come back whole.
  for (long long v : {2147483648LL, 4294967296LL, 0x7FFF12345678LL, LLONG_MAX, LLONG_MIN, -4294967296LL,
                      static_cast<long long>(0xFFFFFFFF80001234ULL)})
    EXPECT_EQ(ParseHandleText(HandleText(v), 64), v) << v;
  EXPECT_EQ(ParseHandleText(L"007", 32), 7);
  EXPECT_EQ(ParseHandleText(L"-0", 64), 0);
}

TEST(WindowRules, HandleTextsOutsideThePointerRangeOrNotWholeDecimalAreRefused) {
  EXPECT_FALSE(ParseHandleText(L"2147483648", 32));
  EXPECT_FALSE(ParseHandleText(L"-2147483649", 32));
  EXPECT_FALSE(ParseHandleText(L"9223372036854775808", 64));
  EXPECT_FALSE(ParseHandleText(L"-9223372036854775809", 64));
  EXPECT_FALSE(ParseHandleText(L"99999999999999999999999", 64));
  EXPECT_FALSE(ParseHandleText(L"1", 16));
  for (const wchar_t* bad : {L"", L"-", L" 12", L"12 ", L"+12", L"0x10", L"12a", L"1-2", L"--1", L"１２"}) {
    EXPECT_FALSE(ParseHandleText(bad, 64)) << bad;
    EXPECT_FALSE(ParseHandleText(bad, 32)) << bad;
  }
}

TEST(WindowRules, RowTextsInColumnOrderWithEmptyCellsForWhatCannotBeRead) {
  const WindowFacts f{4294967306LL, L"Notepad", L"无标题 - 记事本", L"C:\\Windows\\notepad.exe"};
  EXPECT_EQ(WindowRowTexts(0, f),
            (std::vector<std::wstring>{L"1", L"4294967306", L"Notepad", L"无标题 - 记事本", L"C:\\Windows\\notepad.exe"}));
  EXPECT_EQ(WindowRowTexts(41, f)[0], L"42");
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
  EXPECT_FALSE(cache.PathOf(0));
  EXPECT_EQ(cache.PathOf(10), L"C:\\p10.exe");
  EXPECT_EQ(cache.PathOf(20), L"C:\\p20.exe");
  EXPECT_EQ(cache.PathOf(10), L"C:\\p10.exe");
  EXPECT_FALSE(cache.PathOf(66));
  EXPECT_FALSE(cache.PathOf(66));
  EXPECT_EQ(cache.PathOf(20), L"C:\\p20.exe");
  EXPECT_FALSE(cache.PathOf(0));
  EXPECT_EQ(cache.Lookups(), 3);
  EXPECT_EQ(asked, (std::map<unsigned long, int>{{10, 1}, {20, 1}, {66, 1}}));
}
