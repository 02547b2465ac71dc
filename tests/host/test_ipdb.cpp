// Tests of the IP database reader: the address parser, small files laid out byte by byte, and the
// real QQwry.dat.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "ipdb/ipdb.h"
#include "ipdb/ipdb_address.h"
#include "pages/port/port_rules.h"
#include "tests/host/ipdb_real_file.h"
#include "tests/host/port_test_db.h"

#ifdef __GLIBC__
#include <arpa/inet.h>
#endif

namespace {

using ipdb::ParseIpv4Address;
using namespace port_test;

TEST(Ipv4AddressParse, AcceptsEveryPartCountAndBaseRefusesMalformedTexts) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"1.2.3.4", 0x01020304u}, {"255.255.255.255", 0xFFFFFFFFu}, {"1.2.65535", 0x0102FFFFu},
      {"1.16777215", 0x01FFFFFFu}, {"4294967295", 0xFFFFFFFFu}, {"0XC0.0xa8.1.1", 0xC0A80101u},
      {"0300.0250.01.01", 0xC0A80101u}, {"00", 0}, {"0x0", 0}, {"000000000000000000001.2.3.4", 0x01020304u},
      {"1.2.3.4 anything after a space", 0x01020304u}, {"1.2.3.4\t", 0x01020304u}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseIpv4Address(text), value) << text;
  for (const char* text : {"", ".", "1.", ".1", "1..2", "1.2.3.4.", "1.2.3.4.5", "256.1.1.1", "1.1.1.256", "1.2.65536",
                           "1.16777216", "4294967296", "99999999999999999999", "0x100000000", "08", "0.0.0.09", "0x",
                           "0xg", "1.2.3.4x", " 1.2.3.4", "+1.2.3.4", "-1", "1.2.3.0x", "\xB1\xB1"})
    EXPECT_EQ(ParseIpv4Address(text), std::nullopt) << text;
  EXPECT_EQ(ParseIpv4Address(nullptr), std::nullopt);
}

#ifdef __GLIBC__
// The C library's inet_aton reads the same grammar: both must agree on any text drawn from the
// characters that matter.
TEST(Ipv4AddressParse, AgreesWithTheCLibraryOnRandomTexts) {
  const std::string alphabet = "0123456789.....xXaAfFgG \t7-";
  std::mt19937 random(20240117);
  std::uniform_int_distribution<size_t> length(0, 24);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  int valid = 0;
  for (int n = 0; n < 200000; ++n) {
    std::string text(length(random), ' ');
    for (char& c : text) c = alphabet[pick(random)];
    in_addr address{};
    const bool libraryValid = inet_aton(text.c_str(), &address) != 0;
    const auto value = ParseIpv4Address(text.c_str());
    ASSERT_EQ(value.has_value(), libraryValid) << '"' << text << '"';
    if (libraryValid) {
      ++valid;
      ASSERT_EQ(*value, ntohl(address.s_addr)) << '"' << text << '"';
    }
  }
  EXPECT_GT(valid, 1000) << "the random texts hardly ever form an address";
}
#endif

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

// Range() adds range n (n.0.0.0-n.255.255.255, n counting from 1) with the given location data.
struct Builder : CTinyDatabase {
  uint32_t Next() const { return static_cast<uint32_t>(index.size() / 7 + 1); }
  void AddRange(uint32_t record) { Add(Ip(Next(), 0, 0, 0), record); }
  void Range(const std::string& location) { AddRange(Record(Ip(Next(), 255, 255, 255), location)); }
};

// Three ranges with a gap between the second and third.
std::string ThreeRanges() {
  Builder b;
  b.Add(Ip(1, 0, 0, 0), b.Record(Ip(1, 0, 0, 255), Z(kBeijing) + Z(kUnicom)));
  b.Add(Ip(1, 0, 1, 0), b.Record(Ip(1, 0, 1, 255), Z(kShanghai) + Z(kTelecom)));
  b.Add(Ip(8, 0, 0, 0), b.Record(Ip(9, 255, 255, 255), Z(kGuangdong) + Z(kMobile)));
  return b.Finish();
}

// Whether a lookup found the address, and the text it left.
using Answer = std::pair<bool, std::string>;
Answer Found(const std::string& text) { return {true, text}; }
const Answer kUnknownAnswer{false, kUnknown}, kEmptyAnswer{false, ""};

// Runs a lookup into a buffer of capacity bytes with a guard byte behind it: the text must end
// with a zero inside the capacity and leave the guard.
template <typename Lookup>
Answer Ask(size_t capacity, Lookup lookup) {
  std::vector<char> out(capacity + 1, 'Z');
  const bool found = lookup(out.data());
  EXPECT_EQ(out[capacity], 'Z') << "wrote past the capacity";
  const size_t length = capacity == 0 ? 0 : strnlen(out.data(), capacity);
  EXPECT_TRUE(capacity == 0 || length < capacity) << "no terminating zero inside the capacity";
  return {found, std::string(out.data(), length)};
}
Answer ByAddress(const CIpLocationDb& db, uint32_t ip, size_t capacity = 1024) {
  return Ask(capacity, [&](char* out) { return db.LookupAddress(ip, out, capacity); });
}
Answer ByText(const CIpLocationDb& db, const char* address, size_t capacity = 1024) {
  return Ask(capacity, [&](char* out) { return db.LookupText(address, out, capacity); });
}

class IpLocationDbTest : public ::testing::Test {
 protected:
  IpLocationDbTest() { std::filesystem::create_directories(m_dir); }
  ~IpLocationDbTest() override { std::error_code ignored; std::filesystem::remove_all(m_dir, ignored); }
  std::filesystem::path Write(const std::filesystem::path& name, const std::string& bytes) const {
    const std::filesystem::path path = m_dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  bool Load(const std::string& bytes, const char* name = "QQwry.dat") { return m_db.LoadDatabase(Write(name, bytes)); }
  Answer At(uint32_t ip, size_t capacity = 1024) const { return ByAddress(m_db, ip, capacity); }
  Answer Text(const char* address, size_t capacity = 1024) const { return ByText(m_db, address, capacity); }
  // Loads the bytes and checks the first and last address of ranges 1, 2, ... against want.
  void ExpectRanges(const std::string& bytes, const std::vector<Answer>& want) {
    ASSERT_TRUE(Load(bytes));
    for (uint32_t n = 1; n <= want.size(); ++n) {
      EXPECT_EQ(At(Ip(n, 0, 0, 0)), want[n - 1]) << "start of range " << n;
      EXPECT_EQ(At(Ip(n, 255, 255, 255)), want[n - 1]) << "end of range " << n;
    }
  }

  const std::filesystem::path m_dir = std::filesystem::temp_directory_path() /
      ("wardlet-ipdb-" + std::to_string(std::random_device{}()) + std::to_string(std::random_device{}()));
  CIpLocationDb m_db;
};

// Country then area, joined without a separator and copied byte for byte.
TEST_F(IpLocationDbTest, EveryRecordLayout) {
  const std::string longCountry(400, '\xB1');  // 北 200 times: no 8-bit counter
  std::string everyByte;  // every non-zero byte; the first is neither 1 nor 2, which would redirect
  for (int c = 3; c < 256; ++c) everyByte += static_cast<char>(c);
  everyByte += "\x01\x02";
  Builder b;
  const uint32_t beijing = b.Put(Z(kBeijing)), shanghai = b.Put(Z(kShanghai)), unicom = b.Put(Z(kUnicom)),
                 telecom = b.Put(Z(kTelecom)), mobile = b.Put(Z(kMobile));
  // Location data of each record (blocks it redirects to laid out first), and the text.
  const std::pair<std::string, std::string> layouts[] = {
      {Z(kBeijing) + Z(kUnicom), kBeijing + kUnicom},                    // both in place
      {P(2, beijing) + Z(kUnicom), kBeijing + kUnicom},                  // 2: country at the offset, area at R + 8
      {P(2, beijing) + P(2, telecom), kBeijing + kTelecom},              //    and the area redirected
      {P(1, b.Put(P(2, shanghai) + Z(kTelecom))), kShanghai + kTelecom},  // 1: a block starting with 2, area at A + 4
      {P(1, b.Put(P(2, shanghai) + P(2, mobile))), kShanghai + kMobile},  //    and the area redirected
      {P(1, b.Put(Z(kGuangdong) + Z(kMobile))), kGuangdong + kMobile},    // 1: a block holding a plain string
      {P(1, b.Put(Z(kBeijing) + P(2, unicom))), kBeijing + kUnicom},      //    and the area redirected
      {P(1, b.Put(Z("\x01" "x") + Z(kTelecom))), "\x01" "x" + kTelecom},  //    a 1 at A is text
      {Z(kBeijing) + P(2, mobile), kBeijing + kMobile},                  // an area redirects on 2 only:
      {Z(kBeijing) + Z("\x01" "ab"), kBeijing + "\x01" "ab"},            //    one starting with 1 is text
      {Z(kBeijing) + Z(""), kBeijing},                                   // empty area
      {Z("") + Z(kUnicom), kUnicom},                                     // empty country: area after its zero
      {Z("") + P(2, telecom), kTelecom},
      {Z(longCountry) + Z(kTelecom), longCountry + kTelecom},
      {P(1, b.Put(Z(longCountry) + Z(kUnicom))), longCountry + kUnicom},
      {Z(everyByte) + Z(everyByte), everyByte + everyByte}};
  std::vector<Answer> want;
  for (const auto& [location, text] : layouts) {
    b.Range(location);
    want.push_back(Found(text));
  }
  ExpectRanges(b.Finish(), want);
}

// Lookups by address and by text; the broadcast address answers "广播地址" by address only, as
// inet_addr cannot tell its text from a failure.
TEST_F(IpLocationDbTest, RangeBoundariesGapsTextsAndTheBroadcastAddress) {
  ASSERT_TRUE(Load(ThreeRanges()));
  const Answer first = Found(kBeijing + kUnicom), second = Found(kShanghai + kTelecom),
               third = Found(kGuangdong + kMobile);
  const std::pair<uint32_t, Answer> cases[] = {
      {0, first},  // below every start the search settles on entry 0, whose end still bounds it
      {Ip(1, 0, 0, 0), first}, {Ip(1, 0, 0, 255), first}, {Ip(1, 0, 1, 0), second}, {Ip(1, 0, 1, 255), second},
      {Ip(1, 0, 2, 0), kUnknownAnswer}, {Ip(7, 255, 255, 255), kUnknownAnswer},  // the gap
      {Ip(8, 0, 0, 0), third}, {Ip(9, 255, 255, 255), third},
      {Ip(10, 0, 0, 0), kUnknownAnswer}, {0xFFFFFFFEu, kUnknownAnswer}, {0xFFFFFFFFu, Found(kBroadcast)}};
  for (const auto& [ip, want] : cases) EXPECT_EQ(At(ip), want) << std::hex << ip;
  EXPECT_EQ(m_db.FindRecord(Ip(1, 0, 2, 0)), std::nullopt);
  for (const char* text : {"1.0.1.7", "1.263", "0x01000107", "01.0.1.07 trailing"})
    EXPECT_EQ(Text(text), second) << text;
  EXPECT_EQ(Text("1.0.2.0"), kUnknownAnswer);
  for (const char* bad : {"", "1.2.3.4.5", "09", "1.2.3.4x", " 1.2.3.4", "255.255.255.255", "0xffffffff", "4294967295"})
    EXPECT_EQ(Text(bad), kEmptyAnswer) << bad;
  EXPECT_EQ(Text(nullptr), kEmptyAnswer);
}

// The search takes the bisection's steps exactly, so even an index that is not sorted lands on
// the entry the bisection names; every entry reads back whole.
TEST_F(IpLocationDbTest, UnsortedIndexLandsWhereTheBisectionDoes) {
  std::mt19937 random(99);
  for (const uint32_t count : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 31u, 1500u}) {
    Builder b;
    std::vector<uint32_t> starts, records;
    for (uint32_t i = 0; i < count; ++i) {
      starts.push_back(static_cast<uint32_t>(random()));
      records.push_back(b.Record(0xFFFFFFFEu, Z("r") + Z("")));
      b.Add(starts.back(), records.back());
    }
    ASSERT_TRUE(Load(b.Finish(), "unsorted.dat"));
    ASSERT_EQ(m_db.EntryCount(), count);
    for (uint32_t i = 0; i < count; ++i) {
      const auto e = m_db.EntryAt(i).value_or(CIpLocationDb::IndexEntry{});
      EXPECT_EQ(std::make_tuple(e.start, e.record, e.end), std::make_tuple(starts[i], records[i], 0xFFFFFFFEu)) << i;
    }
    EXPECT_EQ(m_db.EntryAt(count), std::nullopt);
    std::vector<uint32_t> probes = starts;
    for (int n = 0; n < 3000; ++n) probes.push_back(static_cast<uint32_t>(random()) >> (n % 3 == 0 ? 1 : 0));
    for (const uint32_t ip : probes) {
      if (ip == 0xFFFFFFFFu) continue;
      uint32_t lo = 0, hi = count;
      while (hi - lo > 1) {
        const uint32_t mid = (lo + hi) / 2;
        (ip < starts[mid] ? hi : lo) = mid;
      }
      ASSERT_EQ(m_db.FindRecord(ip), records[lo]) << count << " entries, address " << ip;
    }
  }
}

TEST_F(IpLocationDbTest, LoadReleaseAndFailedLoads) {
  auto expectEmpty = [&](const char* what) {
    EXPECT_FALSE(m_db.IsLoaded()) << what;
    EXPECT_EQ(m_db.EntryCount() + m_db.ContentsSize(), 0u) << what;
    EXPECT_EQ(m_db.FindRecord(0), std::nullopt) << what;
    EXPECT_EQ(Text("1.0.0.1"), kEmptyAnswer) << what;
    EXPECT_EQ(At(Ip(1, 0, 0, 1)), kEmptyAnswer) << what;
    EXPECT_EQ(At(0xFFFFFFFFu), kEmptyAnswer) << what;
  };
  expectEmpty("new reader");
  // A second load replaces the first (made from a path in Chinese here).
  Builder one;
  one.Add(Ip(1, 0, 0, 0), one.Record(Ip(8, 8, 8, 8), Z(kTelecom) + Z("")));
  ASSERT_TRUE(Load(one.Finish()));
  EXPECT_EQ(Text("8.8.8.8"), Found(kTelecom));
  const std::filesystem::path good = Write(u8"纯真地址库.dat", ThreeRanges());
  ASSERT_TRUE(m_db.LoadDatabase(good));
  EXPECT_EQ(m_db.EntryCount(), 3u);
  EXPECT_EQ(Text("8.8.8.8"), Found(kGuangdong + kMobile));
  m_db.ReleaseDatabase();
  expectEmpty("released");

  // A file that cannot be opened keeps the earlier load.
  ASSERT_TRUE(m_db.LoadDatabase(good));
  EXPECT_FALSE(m_db.LoadDatabase(m_dir / "missing.dat"));
  EXPECT_EQ(Text("1.0.1.0"), Found(kShanghai + kTelecom));
  // Any later failure leaves the reader empty.
  std::string notMultiple = ThreeRanges();
  notMultiple[4] = static_cast<char>(notMultiple[4] - 1);  // L - F one short of 14
  const std::pair<const char*, std::filesystem::path> bad[] = {
      {"empty file", Write("empty.dat", "")},
      {"seven bytes", Write("seven.dat", std::string(7, '\0'))},
      {"index span not a multiple of 7", Write("span.dat", notMultiple)},
      {"last index entry one byte short", Write("short.dat", ThreeRanges().substr(0, ThreeRanges().size() - 1))},
      {"index far past the end", Write("far.dat", Header(0x7FFFFFF9u, 0x7FFFFFF9u + 7 * 3) + std::string(56, '\0'))},
#ifdef __linux__
      {"a folder: it opens here as a stream but cannot be read", m_dir},
#endif
  };
  for (const auto& [what, path] : bad) {
    ASSERT_TRUE(m_db.LoadDatabase(good));
    EXPECT_FALSE(m_db.LoadDatabase(path)) << what;
    expectEmpty(what);
  }
}

TEST_F(IpLocationDbTest, OffsetsOutsideTheContentsYieldUnknown) {
  const uint32_t past = 0xFFFFF0;  // far past the end of this small file
  // The file ends at offset tail with kTelecom and no zero byte.
  auto build = [&](uint32_t tail) {
    Builder b;
    b.Range(Z(kBeijing) + Z(kUnicom));
    b.Range(P(1, past));                            // outside: the block,
    b.Range(P(2, past) + Z(kUnicom));               // the country,
    b.Range(P(1, b.Put(P(2, past) + Z(kUnicom))));  // the block's country,
    b.Range(Z(kBeijing) + P(2, past));              // the area,
    b.AddRange(past);                               // the record itself
    b.Range(Z(kBeijing) + P(2, tail));              // a string without a zero ends at the end:
    b.Range(P(2, tail) + Z(kShanghai));             //    a country or an area
    b.Range(P(1, tail));                            //    a block's country, leaving no area field
    b.AddRange(tail);                               // an end address whose data lies past the end
    b.AddRange(tail + 1);                           // an end address one byte short
    b.Range(Z(kShanghai) + Z(kTelecom));
    return b.Finish() + kTelecom;
  };
  const auto tail = static_cast<uint32_t>(build(0).size() - kTelecom.size());
  const Answer u = kUnknownAnswer;
  ExpectRanges(build(tail), {Found(kBeijing + kUnicom), u, u, u, u, u, Found(kBeijing + kTelecom),
                             Found(kTelecom + kShanghai), u, u, u, Found(kShanghai + kTelecom)});
  EXPECT_EQ(m_db.FindRecord(Ip(10, 0, 0, 0)), tail) << "the end address itself is readable";
  EXPECT_EQ(m_db.EntryAt(10), std::nullopt) << "the end address is one byte short";
}

TEST_F(IpLocationDbTest, IndexEntriesOutsideTheContents) {
  // The last entry's record lies outside: its end bounds every lookup, so every address is unknown.
  Builder b;
  b.Range(Z(kBeijing) + Z(kUnicom));
  b.AddRange(0xFFFFFF);
  ASSERT_TRUE(Load(b.Finish()));
  EXPECT_EQ(At(Ip(1, 0, 0, 0)), kUnknownAnswer);
  EXPECT_EQ(At(0xFFFFFFFFu), Found(kBroadcast));

  // The header's first offset wraps below zero, a multiple of 7 from the last: only the last
  // entry lies inside the file.
  Builder c;
  c.Add(Ip(100, 0, 0, 0), c.Record(Ip(200, 0, 0, 0), Z(kBeijing) + Z(kUnicom)));
  const std::string bytes = c.Finish();
  const auto last = static_cast<uint32_t>(bytes.size() - 7);
  ASSERT_TRUE(Load(Header(last - 7 * 0x10000000u, last) + bytes.substr(8)));
  EXPECT_EQ(m_db.EntryCount(), 0x10000001u);
  EXPECT_EQ(At(Ip(150, 0, 0, 0)), kUnknownAnswer);
  EXPECT_EQ(m_db.EntryAt(0), std::nullopt);
  EXPECT_TRUE(m_db.EntryAt(0x10000000u).has_value());
}

// Never more than the capacity, zero-terminated, cut after the last whole GBK character that fits.
TEST_F(IpLocationDbTest, OutputIsCutAtAWholeGbkCharacter) {
  Builder b;
  b.Range(Z(kBeijing) + Z(kUnicom));
  b.Range(Z("ab" + kBeijing.substr(0, 2)) + Z("c"));
  b.Range(Z("a\xB1") + Z("\xB1" "d"));     // a lone lead byte ends the country and pairs with the area's first
  b.Range(Z("\xB1" "1") + Z("\xB1\x7F"));  // a lead byte before a byte that cannot trail it stands alone
  ASSERT_TRUE(Load(b.Finish()));
  const std::string full = kBeijing + kUnicom;
  const std::tuple<uint32_t, size_t, Answer> cases[] = {
      {Ip(1, 0, 0, 0), 11, Found(full)}, {Ip(1, 0, 0, 0), 10, Found(full.substr(0, 8))},
      {Ip(1, 0, 0, 0), 9, Found(full.substr(0, 8))}, {Ip(1, 0, 0, 0), 8, Found(full.substr(0, 6))},
      {Ip(1, 0, 0, 0), 2, Found("")}, {Ip(1, 0, 0, 0), 1, Found("")},
      {Ip(2, 0, 0, 0), 4, Found("ab")}, {Ip(2, 0, 0, 0), 5, Found("ab" + kBeijing.substr(0, 2))},
      {Ip(3, 0, 0, 0), 3, Found("a")}, {Ip(3, 0, 0, 0), 4, Found("a\xB1\xB1")},
      {Ip(4, 0, 0, 0), 2, Found("\xB1")}, {Ip(4, 0, 0, 0), 4, Found("\xB1" "1\xB1")},
      {Ip(4, 0, 0, 0), 5, Found("\xB1" "1\xB1\x7F")}, {Ip(9, 0, 0, 0), 5, {false, kUnknown.substr(0, 4)}},
      {0xFFFFFFFFu, 7, Found(kBroadcast.substr(0, 6))},
      {Ip(1, 0, 0, 0), 0, Found("")}, {Ip(9, 0, 0, 0), 0, kEmptyAnswer}};  // nothing written at all
  for (const auto& [ip, capacity, want] : cases) EXPECT_EQ(At(ip, capacity), want) << ip << " into " << capacity;
  EXPECT_EQ(Text("1.0.0.0", 5), Found(full.substr(0, 4)));
  EXPECT_TRUE(m_db.LookupAddress(Ip(1, 0, 0, 0), nullptr, 0));
}

// ---- The real QQwry.dat (scripts/fetch-qqwry.sh) ---------------------------

class RealDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_path = ipdb_test::FindRealDatabase();
    if (!s_path.empty()) s_db.LoadDatabase(s_path);
  }
  static void TearDownTestSuite() { s_db.ReleaseDatabase(); }
  void SetUp() override {
    if (s_path.empty()) GTEST_SKIP() << ipdb_test::kRealDatabaseHint;
    ASSERT_TRUE(s_db.IsLoaded()) << "the real database did not load";
  }
  static Answer At(uint32_t ip, size_t capacity = 1024) { return ByAddress(s_db, ip, capacity); }
  static Answer Text(uint32_t ip) { return ByText(s_db, port::AddressText(ip).c_str()); }

  static inline std::filesystem::path s_path;
  static inline CIpLocationDb s_db;
};

// Every entry's range resolves to its own record, by address and by text.
TEST_F(RealDatabaseTest, EveryIndexEntryResolvesToItsOwnRecord) {
  EXPECT_EQ(At(0xFFFFFFFFu), Found(kBroadcast));
  EXPECT_EQ(Text(0xFFFFFFFFu), kEmptyAnswer);
  if (s_db.ContentsSize() == 11408129) {  // the file the fetch script pins: lib-qqwry 1.3.4's data/qqwry.dat
    EXPECT_EQ(s_db.EntryCount(), 547698u);
    EXPECT_EQ(At(0), Found(kIana + kReserved));
    EXPECT_EQ(Text(0x7F000001u).second.rfind(kLoopback, 0), 0u) << "127.0.0.1 is not the local machine (本机地址)";
  }
  const uint32_t count = s_db.EntryCount();
  ASSERT_GT(count, 1u);
  uint32_t previousEnd = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const auto entry = s_db.EntryAt(i);
    ASSERT_TRUE(entry.has_value()) << "entry " << i;
    ASSERT_LE(entry->start, entry->end) << "entry " << i;
    ASSERT_TRUE(i == 0 || entry->start > previousEnd) << "entry " << i << " overlaps the one before";
    previousEnd = entry->end;
    ASSERT_EQ(s_db.FindRecord(entry->start), entry->record) << "start of entry " << i;
    ASSERT_EQ(s_db.FindRecord(entry->end), entry->record) << "end of entry " << i;
    const Answer atStart = At(entry->start);
    ASSERT_TRUE(atStart.first && !atStart.second.empty()) << "entry " << i;
    ASSERT_EQ(Text(entry->start), atStart) << "entry " << i;
    ASSERT_EQ(entry->end == 0xFFFFFFFFu ? atStart : Text(entry->end), atStart) << "entry " << i;
  }
}

}  // namespace
