// Handle cells, row cells and the owner-path cache of the window list.
#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "pages/window/window_rules.h"

using namespace window;

TEST(WindowRules, HandleTextIsPlainSignedDecimal) {
  EXPECT_EQ(HandleText(0), L"0");
  EXPECT_EQ(HandleText(65552), L"65552");
  EXPECT_EQ(HandleText(0x00A0), L"160");  // never hexadecimal, no leading zeros
  EXPECT_EQ(HandleText(-2147483647 - 1), L"-2147483648");
  EXPECT_EQ(HandleText(0x123456789ALL), L"78187493530");
}

TEST(WindowRules, HandleTextRoundTripsOnBothPointerWidths) {
  const long long values32[] = {0, 1, 65552, INT_MAX, INT_MIN, -1, -65536};
  for (long long v : values32) {
    EXPECT_EQ(ParseHandleText(HandleText(v), 32), v) << v;
    EXPECT_EQ(ParseHandleText(HandleText(v), 64), v) << v;
  }
  // Handles above 2^31 exist only on x86_64 and must come back whole.
  const long long values64[] = {2147483648LL, 4294967296LL, 0x7FFF12345678LL, LLONG_MAX, LLONG_MIN,
                                -4294967296LL, static_cast<long long>(0xFFFFFFFF80001234ULL)};
  for (long long v : values64) EXPECT_EQ(ParseHandleText(HandleText(v), 64), v) << v;
}

TEST(WindowRules, HandleTextOutsideThePointerRangeIsRefused) {
  EXPECT_FALSE(ParseHandleText(L"2147483648", 32));
  EXPECT_FALSE(ParseHandleText(L"-2147483649", 32));
  EXPECT_EQ(ParseHandleText(L"-2147483648", 32), INT_MIN);
  EXPECT_FALSE(ParseHandleText(L"9223372036854775808", 64));
  EXPECT_FALSE(ParseHandleText(L"-9223372036854775809", 64));
  EXPECT_FALSE(ParseHandleText(L"99999999999999999999999", 64));
  EXPECT_FALSE(ParseHandleText(L"1", 16));
}

TEST(WindowRules, OnlyWholeDecimalHandleTextsAreRead) {
  for (const wchar_t* bad : {L"", L"-", L" 12", L"12 ", L"+12", L"0x10", L"12a", L"1-2", L"--1", L"１２"}) {
    EXPECT_FALSE(ParseHandleText(bad, 64)) << bad;
    EXPECT_FALSE(ParseHandleText(bad, 32)) << bad;
  }
  EXPECT_EQ(ParseHandleText(L"007", 32), 7);
  EXPECT_EQ(ParseHandleText(L"-0", 64), 0);
}

TEST(WindowRules, RowTextsInColumnOrder) {
  WindowFacts f;
  f.handle = 4294967306LL;
  f.className = L"Notepad";
  f.title = L"无标题 - 记事本";
  f.ownerPath = L"C:\\Windows\\notepad.exe";
  EXPECT_EQ(WindowRowTexts(0, f),
            (std::vector<std::wstring>{L"1", L"4294967306", L"Notepad", L"无标题 - 记事本", L"C:\\Windows\\notepad.exe"}));
  EXPECT_EQ(WindowRowTexts(41, f)[0], L"42");
}

TEST(WindowRules, UnreadableClassAndOwnerGiveEmptyCells) {
  WindowFacts f;
  f.handle = -5;
  EXPECT_EQ(WindowRowTexts(2, f), (std::vector<std::wstring>{L"3", L"-5", L"", L"", L""}));
}

TEST(WindowRules, OwnerPathIsLookedUpOncePerProcess) {
  std::map<unsigned long, int> asked;
  OwnerPathCache cache([&](unsigned long pid) -> std::optional<std::wstring> {
    ++asked[pid];
    if (pid == 66) return std::nullopt;  // a process whose executable cannot be read
    return L"C:\\p" + std::to_wstring(pid) + L".exe";
  });
  EXPECT_EQ(cache.PathOf(10), L"C:\\p10.exe");
  EXPECT_EQ(cache.PathOf(20), L"C:\\p20.exe");
  EXPECT_EQ(cache.PathOf(10), L"C:\\p10.exe");
  EXPECT_FALSE(cache.PathOf(66));
  EXPECT_FALSE(cache.PathOf(66));
  EXPECT_EQ(cache.PathOf(20), L"C:\\p20.exe");
  EXPECT_EQ(cache.Lookups(), 3);
  EXPECT_EQ(asked[10], 1);
  EXPECT_EQ(asked[20], 1);
  EXPECT_EQ(asked[66], 1);
}

TEST(WindowRules, ProcessZeroHasNoPathAndIsNeverLookedUp) {
  int calls = 0;
  OwnerPathCache cache([&](unsigned long) -> std::optional<std::wstring> {
    ++calls;
    return L"C:\\self.exe";
  });
  EXPECT_FALSE(cache.PathOf(0));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(cache.Lookups(), 0);
}
