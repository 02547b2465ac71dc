// Rules of the lists: sorting by column kind, find matching, the copy and export texts, marks.
#include <gtest/gtest.h>

#include "common/list_rules.h"

namespace {

std::vector<std::wstring> Sorted(lists::Kind kind, const std::vector<std::wstring>& cells, bool descending = false) {
  std::vector<lists::SortKey> keys;
  for (const auto& c : cells) keys.push_back(lists::MakeSortKey(kind, c, nullptr));
  std::vector<std::wstring> out;
  for (auto i : lists::SortOrder(kind, keys, descending)) out.push_back(cells[i]);
  return out;
}

}  // namespace

TEST(ListSort, NumbersByValueWithUnitsAndSeparatorsEmptyLastBothWays) {
  const std::vector<std::wstring> cells{L"10", L"", L"9", L"-3", L"1,024", L"abc", L"45 K", L"0x10", L"2.5"};
  EXPECT_EQ(Sorted(lists::Kind::Number, cells),
            (std::vector<std::wstring>{L"-3", L"2.5", L"9", L"10", L"0x10", L"45 K", L"1,024", L"abc", L""}));
  EXPECT_EQ(Sorted(lists::Kind::Number, cells, true),
            (std::vector<std::wstring>{L"abc", L"1,024", L"45 K", L"0x10", L"10", L"9", L"2.5", L"-3", L""}));
  // Handles beyond 32 bits and alike values keep their listed order.
  EXPECT_EQ(Sorted(lists::Kind::Number, {L"4294967297", L"4294967296", L"7", L"07"}),
            (std::vector<std::wstring>{L"7", L"07", L"4294967296", L"4294967297"}));
}

TEST(ListSort, TimesByTheirDigitGroupsTextByFoldedOrder) {
  EXPECT_EQ(Sorted(lists::Kind::Time, {L"2026/12/7 9:05:00", L"2026-12-07 10:00:00", L"2025/1/31 23:59:59", L""}),
            (std::vector<std::wstring>{L"2025/1/31 23:59:59", L"2026/12/7 9:05:00", L"2026-12-07 10:00:00", L""}));
  EXPECT_EQ(Sorted(lists::Kind::Text, {L"beta", L"", L"Alpha", L"alpha2", L"ＡＢＣ"}),
            (std::vector<std::wstring>{L"ＡＢＣ", L"Alpha", L"alpha2", L"beta", L""}));  // ＡＢＣ folds to abc
  EXPECT_EQ(Sorted(lists::Kind::Text, {L"b", L"A", L"c"}, true), (std::vector<std::wstring>{L"c", L"b", L"A"}));
  // A collation of the caller decides the text order.
  auto reverse = [](std::wstring_view s) { return std::string(1, static_cast<char>(255 - s[0])); };
  auto k = [&](const wchar_t* s) { return lists::MakeSortKey(lists::Kind::Text, s, reverse); };
  EXPECT_GT(lists::CompareKeys(lists::Kind::Text, k(L"a"), k(L"b")), 0);
}

TEST(ListSort, AddressesIpv4ThenIpv6ByValueThenScopeOthersAfterByText) {
  const std::vector<std::wstring> cells{
      L"10.0.0.2",   L"*",          L"::1",      L"2001:db8::1", L"9.255.255.255", L"fe80::1%12",
      L"fe80::1%3",  L"fe80::1",    L"",         L"::ffff:1.2.3.4", L"0.0.0.0",    L"::",
      L"FE80::2",    L"1.2.3.4%1",  L"01.2.3.4", L"abc",         L"255.255.255.255", L"fe80::1%4294967296"};
  EXPECT_EQ(Sorted(lists::Kind::Address, cells),
            (std::vector<std::wstring>{L"0.0.0.0", L"9.255.255.255", L"10.0.0.2", L"255.255.255.255", L"::", L"::1",
                                       L"::ffff:1.2.3.4", L"2001:db8::1", L"fe80::1", L"fe80::1%3", L"fe80::1%12",
                                       L"FE80::2", L"*", L"01.2.3.4", L"1.2.3.4%1", L"abc", L"fe80::1%4294967296",
                                       L""}));
  // Descending reverses addresses and the others alike; the empty cell stays last.
  EXPECT_EQ(Sorted(lists::Kind::Address, cells, true),
            (std::vector<std::wstring>{L"fe80::1%4294967296", L"abc", L"1.2.3.4%1", L"01.2.3.4", L"*", L"FE80::2",
                                       L"fe80::1%12", L"fe80::1%3", L"fe80::1", L"2001:db8::1", L"::ffff:1.2.3.4",
                                       L"::1", L"::", L"255.255.255.255", L"10.0.0.2", L"9.255.255.255", L"0.0.0.0",
                                       L""}));
  EXPECT_EQ(Sorted(lists::Kind::Address, {L"", L"::1", L"", L"1.1.1.1"}, true),
            (std::vector<std::wstring>{L"::1", L"1.1.1.1", L"", L""}));
}

TEST(ListSort, AddressFormsOfOneAddressCompareAlikeMalformedOnesAreText) {
  auto k = [](const wchar_t* s) { return lists::MakeSortKey(lists::Kind::Address, s, nullptr); };
  auto same = [&](const wchar_t* a, const wchar_t* b) { return lists::CompareKeys(lists::Kind::Address, k(a), k(b)) == 0; };
  EXPECT_TRUE(same(L"::1", L"0:0::1"));
  EXPECT_TRUE(same(L"::1", L"0:0:0:0:0:0:0:1"));
  EXPECT_TRUE(same(L"2001:DB8::A", L"2001:0db8:0:0::000a"));
  EXPECT_TRUE(same(L"::ffff:1.2.3.4", L"::FFFF:102:304"));
  EXPECT_TRUE(same(L"fe80::1", L"fe80::1%0"));
  EXPECT_TRUE(same(L"fe80::1%7", L"FE80:0::1%007"));
  EXPECT_FALSE(same(L"fe80::1%7", L"fe80::1%8"));
  EXPECT_FALSE(same(L"1.2.3.4", L"::1.2.3.4"));  // IPv4 and an IPv6 address that carries it
  EXPECT_FALSE(same(L"::1", L"::2"));
  EXPECT_LT(lists::CompareKeys(lists::Kind::Address, k(L"255.255.255.255"), k(L"::")), 0);
  EXPECT_LT(lists::CompareKeys(lists::Kind::Address, k(L"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff%4294967295"), k(L"*")), 0);
  // Not addresses: each sorts after "::" as text does.
  for (const wchar_t* text : {L"1.2.3", L"1.2.3.4.5", L"256.1.1.1", L"1.2.3.04", L" 1.2.3.4", L"1.2.3.4 ", L"１.２.３.４",
                              L"1:2:3:4:5:6:7:8:9", L"::1::", L"1::2::3", L":1", L"1:", L"12345::", L"g::1", L"fe80::1%",
                              L"fe80::1%x", L"fe80::1%1%2", L"%1", L"[::1]", L"::1/128", L"0x1.2.3.4"}) {
    EXPECT_GT(lists::CompareKeys(lists::Kind::Address, k(text), k(L"::")), 0) << text;
    EXPECT_FALSE(k(text).text.empty()) << text;
  }
  const std::wstring withNul(L"::1\0", 4);  // a NUL after an address: the whole cell is no address
  EXPECT_GT(lists::CompareKeys(lists::Kind::Address, lists::MakeSortKey(lists::Kind::Address, withNul, nullptr),
                               k(L"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff%4294967295")),
            0);
}

TEST(ListFind, MatchesAnyCellIgnoringCaseAndFullWidthForms) {
  const std::vector<std::wstring> row{L"12", L"Notepad.EXE", L"C:\\Windows\\记事本"};
  for (const wchar_t* needle : {L"notepad", L"ＮＯＴＥ", L"ｅｘｅ", L"记事", L"", L"c:\\win"})
    EXPECT_TRUE(lists::RowMatches(row, lists::FoldForFind(needle))) << needle;
  for (const wchar_t* needle : {L"notepad2", L"123", L"ｘｙ"})
    EXPECT_FALSE(lists::RowMatches(row, lists::FoldForFind(needle))) << needle;
  EXPECT_EQ(lists::FoldForFind(L"ÄÖ Ж ＡＢ　ｃ"), L"äö ж ab c");
  EXPECT_TRUE(lists::RowMatches({L"Ärger"}, lists::FoldForFind(L"äRG")));
}

TEST(ListWriters, TabRowsAndCsvQuoteAndShowNul) {
  const std::wstring withNul(L"a\0b", 3);
  EXPECT_EQ(lists::TabRow({L"1", L"x\ty", L"l1\r\nl2", withNul}), L"1\tx y\tl1  l2\ta\\0b");
  EXPECT_EQ(lists::TabTable({L"id", L"名称"}, {{L"1", L"甲"}, {L"2", L""}}), L"id\t名称\r\n1\t甲\r\n2\t\r\n");
  EXPECT_EQ(lists::CsvField(L"plain"), L"plain");
  EXPECT_EQ(lists::CsvField(L"a,b"), L"\"a,b\"");
  EXPECT_EQ(lists::CsvField(L"say \"hi\""), L"\"say \"\"hi\"\"\"");
  EXPECT_EQ(lists::CsvField(L"two\r\nlines"), L"\"two\r\nlines\"");
  EXPECT_EQ(lists::CsvField(L" padded"), L"\" padded\"");
  EXPECT_EQ(lists::CsvField(withNul), L"a\\0b");
  const std::string csv = lists::CsvUtf8({L"id", L"路径"}, {{L"1", L"C:\\a,b"}, {L"2", L"\"q\""}});
  EXPECT_EQ(csv, "\xEF\xBB\xBFid,\xE8\xB7\xAF\xE5\xBE\x84\r\n1,\"C:\\a,b\"\r\n2,\"\"\"q\"\"\"\r\n");
  // Characters beyond the basic plane and a broken surrogate.
  EXPECT_EQ(lists::Utf8(std::wstring{L'\xD83D', L'\xDE00', L'x', L'\xD800'}), "\xF0\x9F\x98\x80x\xEF\xBF\xBD");
}

TEST(ListMarks, NewAndGoneBetweenTwoListings) {
  const auto ch = lists::CompareListings({L"a", L"b", L"c"}, {L"d", L"a", L"c", L"e"});
  EXPECT_EQ(ch.fresh, (std::vector<lists::Mark>{lists::Mark::New, lists::Mark::None, lists::Mark::None,
                                                 lists::Mark::New}));
  EXPECT_EQ(ch.gone, (std::vector<std::size_t>{1}));
  const auto same = lists::CompareListings({L"a", L"b"}, {L"b", L"a"});
  EXPECT_EQ(same.fresh, (std::vector<lists::Mark>{lists::Mark::None, lists::Mark::None}));
  EXPECT_TRUE(same.gone.empty());
  const auto all = lists::CompareListings({L"x"}, {});
  EXPECT_EQ(all.gone, (std::vector<std::size_t>{0}));
}
