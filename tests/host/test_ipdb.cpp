// Tests of the IP database reader: the address parser, small database files laid out byte by byte,
// and the real QQwry.dat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ipdb/ipdb.h"
#include "ipdb/ipdb_address.h"
#include "tests/host/ipdb_real_file.h"

#ifdef __GLIBC__
#include <arpa/inet.h>
#endif

namespace {

using ipdb::ParseIpv4Address;

TEST(Ipv4AddressParse, AcceptsEveryPartCountAndBaseRefusesMalformedTexts) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"0.0.0.0", 0}, {"1.2.3.4", 0x01020304u}, {"255.255.255.255", 0xFFFFFFFFu}, {"192.168.1.1", 0xC0A80101u},
      {"1.2.3", 0x01020003u}, {"1.2.65535", 0x0102FFFFu},          // last part fills 16 bits
      {"1.16777215", 0x01FFFFFFu},                                 // 24 bits
      {"3232235777", 0xC0A80101u}, {"4294967295", 0xFFFFFFFFu},    // 32 bits
      {"0xC0.0xA8.0x1.0x1", 0xC0A80101u}, {"0XC0.0Xa8.1.1", 0xC0A80101u},
      {"0300.0250.01.01", 0xC0A80101u}, {"0377.0.0.0", 0xFF000000u},  // octal
      {"0", 0}, {"00", 0}, {"0x0", 0}, {"0xffffffff", 0xFFFFFFFFu}, {"000000000000000000001.2.3.4", 0x01020304u},
      {"1.2.3.4 anything after a space", 0x01020304u}, {"1.2.3.4\t", 0x01020304u}, {"1.2.3.4\n", 0x01020304u},
  };
  for (const auto& [text, value] : cases) {
    const auto parsed = ParseIpv4Address(text);
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_EQ(*parsed, value) << text;
  }
  for (const char* text :
       {"", ".", "1.", ".1", "1..2", "1.2.3.4.", "1.2.3.4.5", "256.1.1.1", "1.256.1.1", "1.1.256.1",
        "1.1.1.256", "1.2.65536", "1.16777216", "4294967296", "99999999999999999999", "0x100000000",
        "08", "0.0.0.09", "0x", "0x.1", "0xg", "1.2.3.4x", "1.2.3.4.0", "a.b.c.d", " 1.2.3.4",
        "+1.2.3.4", "-1", "1,2,3,4", "1.2.3.0x", "\xB1\xB1"})
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

// GBK bytes of the texts used below.
const std::string kBeijing = "\xB1\xB1\xBE\xA9\xCA\xD0";   // 北京市
const std::string kShanghai = "\xC9\xCF\xBA\xA3\xCA\xD0";  // 上海市
const std::string kGuangdong = "\xB9\xE3\xB6\xAB\xCA\xA1"; // 广东省
const std::string kUnicom = "\xC1\xAA\xCD\xA8";            // 联通
const std::string kTelecom = "\xB5\xE7\xD0\xC5";           // 电信
const std::string kMobile = "\xD2\xC6\xB6\xAF";            // 移动
const std::string kBroadcast = "\xB9\xE3\xB2\xA5\xB5\xD8\xD6\xB7";  // 广播地址
const std::string kUnknown = "\xCE\xB4\xD6\xAA\xCA\xFD\xBE\xDD";    // 未知数据

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

// The pieces of a file: little-endian numbers, zero-terminated strings, redirections (a mode
// byte and a 3-byte offset) and the header (offsets of the first and last index entries).
std::string Le(uint32_t value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}
std::string Z(const std::string& text) { return text + '\0'; }
std::string P(uint8_t mode, uint32_t offset) { return static_cast<char>(mode) + Le(offset, 3); }
std::string Header(uint32_t first, uint32_t last) { return Le(first, 4) + Le(last, 4); }

// Lays out records and strings after the header, then the index. Range() adds range n
// (n.0.0.0-n.255.255.255, n counting from 1) with a record of the given location data.
struct Builder {
  std::string data = std::string(8, '\0');
  std::string index;

  uint32_t Put(const std::string& bytes) {
    data += bytes;
    return static_cast<uint32_t>(data.size() - bytes.size());
  }
  uint32_t Record(uint32_t end, const std::string& location) { return Put(Le(end, 4) + location); }
  void Add(uint32_t start, uint32_t record) { index += Le(start, 4) + Le(record, 3); }
  uint32_t Next() const { return static_cast<uint32_t>(index.size() / 7 + 1); }
  void AddRange(uint32_t record) { Add(Ip(Next(), 0, 0, 0), record); }
  void Range(const std::string& location) { AddRange(Record(Ip(Next(), 255, 255, 255), location)); }
  std::string Finish() const {
    const auto first = static_cast<uint32_t>(data.size());
    return Header(first, first + static_cast<uint32_t>(index.size()) - 7) + data.substr(8) + index;
  }
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
const Answer kUnknownAnswer{false, kUnknown};
const Answer kEmptyAnswer{false, ""};

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
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Loads the bytes through a file, as the port page does.
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

TEST_F(IpLocationDbTest, RangeBoundariesGapsAndEnds) {
  ASSERT_TRUE(Load(ThreeRanges()));
  const Answer first = Found(kBeijing + kUnicom), second = Found(kShanghai + kTelecom),
               third = Found(kGuangdong + kMobile);
  const std::pair<uint32_t, Answer> cases[] = {
      {0, first},  // below every start the search settles on entry 0, whose end still bounds it
      {Ip(1, 0, 0, 0), first}, {Ip(1, 0, 0, 7), first}, {Ip(1, 0, 0, 255), first},
      {Ip(1, 0, 1, 0), second}, {Ip(1, 0, 1, 7), second}, {Ip(1, 0, 1, 255), second},
      {Ip(1, 0, 2, 0), kUnknownAnswer}, {Ip(7, 255, 255, 255), kUnknownAnswer},  // the gap
      {Ip(8, 0, 0, 0), third}, {Ip(8, 8, 8, 8), third}, {Ip(9, 255, 255, 255), third},
      {Ip(10, 0, 0, 0), kUnknownAnswer}, {0xFFFFFFFEu, kUnknownAnswer}};
  for (const auto& [ip, want] : cases) EXPECT_EQ(At(ip), want) << std::hex << ip;
  EXPECT_EQ(m_db.FindRecord(Ip(1, 0, 2, 0)), std::nullopt);
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
      const auto entry = m_db.EntryAt(i);
      ASSERT_TRUE(entry.has_value()) << i;
      EXPECT_EQ(std::make_tuple(entry->start, entry->record, entry->end),
                std::make_tuple(starts[i], records[i], 0xFFFFFFFEu)) << i;
    }
    EXPECT_EQ(m_db.EntryAt(count), std::nullopt);
    std::vector<uint32_t> probes = starts;
    for (int n = 0; n < 3000; ++n) probes.push_back(static_cast<uint32_t>(random()) >> (n % 3 == 0 ? 1 : 0));
    for (const uint32_t ip : probes) {
      if (ip == 0xFFFFFFFFu) continue;
      uint32_t lo = 0, hi = count;
      while (lo < hi - 1) {
        const uint32_t mid = (lo + hi) / 2;
        (ip < starts[mid] ? hi : lo) = mid;
      }
      ASSERT_EQ(m_db.FindRecord(ip), records[lo]) << count << " entries, address " << ip;
    }
  }
}

TEST_F(IpLocationDbTest, OneIndexEntryCoversEverythingUpToItsEnd) {
  Builder b;
  b.Add(Ip(50, 0, 0, 0), b.Record(Ip(100, 0, 0, 0), Z(kBeijing) + Z(kUnicom)));
  ASSERT_TRUE(Load(b.Finish()));
  EXPECT_EQ(m_db.EntryCount(), 1u);
  for (const uint32_t ip : {0u, Ip(50, 0, 0, 0), Ip(100, 0, 0, 0)}) EXPECT_EQ(At(ip), Found(kBeijing + kUnicom)) << ip;
  EXPECT_EQ(At(Ip(100, 0, 0, 1)), kUnknownAnswer);

  // The smallest loadable file: the entry at offset 8 points at the file start, so its end address
  // is the header's first word, and its data at offset 4, the header's second word, the text "\x08".
  ASSERT_TRUE(Load(Header(8, 8) + std::string(7, '\0')));
  EXPECT_EQ(m_db.EntryCount(), 1u);
  EXPECT_EQ(At(0), Found("\x08"));
  EXPECT_EQ(At(8), Found("\x08"));
  EXPECT_EQ(At(9), kUnknownAnswer);
}

TEST_F(IpLocationDbTest, BroadcastAddressThroughBothEntryPoints) {
  Builder b;
  b.Add(0, b.Record(0xFFFFFFFFu, Z(kBeijing) + Z(kUnicom)));  // covers every address
  ASSERT_TRUE(Load(b.Finish()));
  EXPECT_EQ(At(0xFFFFFFFFu), Found(kBroadcast));
  for (const char* text : {"255.255.255.255", "0xffffffff", "4294967295"}) EXPECT_EQ(Text(text), kEmptyAnswer) << text;
  EXPECT_EQ(Text("255.255.255.254"), Found(kBeijing + kUnicom));
}

TEST_F(IpLocationDbTest, TextLookupParsesAsInetAddrDoes) {
  ASSERT_TRUE(Load(ThreeRanges()));
  for (const char* text : {"1.0.1.7", "1.0.263", "1.263", "16777479", "0x01000107", "01.0.1.07",
                           "0x1.0x0.0x1.0x7", "1.0.1.7 trailing"})
    EXPECT_EQ(Text(text), At(Ip(1, 0, 1, 7))) << text;
  EXPECT_EQ(Text("0.0.0.0"), Found(kBeijing + kUnicom));
  EXPECT_EQ(Text("8.8.8.8"), Found(kGuangdong + kMobile));
  EXPECT_EQ(Text("1.0.2.0"), kUnknownAnswer);
  for (const char* bad : {"", "abc", "1.2.3.4.5", "1..2", "1.2.3.", "256.0.0.1", "1.2.3.256",
                          "09", "0x", "1.2.3.4x", " 1.2.3.4", "-1"})
    EXPECT_EQ(Text(bad), kEmptyAnswer) << bad;
  EXPECT_EQ(Text(nullptr), kEmptyAnswer);
}

TEST_F(IpLocationDbTest, LoadReleaseAndFailedLoads) {
  auto expectEmpty = [&](const char* what) {
    EXPECT_FALSE(m_db.IsLoaded()) << what;
    EXPECT_EQ(m_db.EntryCount(), 0u) << what;
    EXPECT_EQ(m_db.ContentsSize(), 0u) << what;
    EXPECT_EQ(Text("1.0.0.1"), kEmptyAnswer) << what;
    EXPECT_EQ(At(Ip(1, 0, 0, 1)), kEmptyAnswer) << what;
    EXPECT_EQ(At(0xFFFFFFFFu), kEmptyAnswer) << what;
    EXPECT_EQ(m_db.FindRecord(0), std::nullopt) << what;
  };
  expectEmpty("new reader");
  ASSERT_TRUE(Load(ThreeRanges()));
  EXPECT_TRUE(m_db.IsLoaded());
  EXPECT_EQ(m_db.EntryCount(), 3u);
  m_db.ReleaseDatabase();
  expectEmpty("released");

  ASSERT_TRUE(Load(ThreeRanges()));
  Builder other;
  other.Add(Ip(1, 0, 0, 0), other.Record(Ip(1, 0, 0, 255), Z(kTelecom) + Z("")));
  ASSERT_TRUE(Load(other.Finish(), "other.dat"));
  EXPECT_EQ(m_db.EntryCount(), 1u);
  EXPECT_EQ(Text("1.0.0.1"), Found(kTelecom));
  EXPECT_EQ(Text("8.8.8.8"), kUnknownAnswer);

  // A file that cannot be opened keeps the earlier load (made from a path in Chinese here).
  const std::filesystem::path good = Write(u8"纯真数据/地址库.dat", ThreeRanges());
  ASSERT_TRUE(m_db.LoadDatabase(good));
  EXPECT_FALSE(m_db.LoadDatabase(m_dir / "missing.dat"));
  EXPECT_TRUE(m_db.IsLoaded());
  EXPECT_EQ(Text("1.0.1.0"), Found(kShanghai + kTelecom));
  // Any later failure leaves the reader empty.
  std::string notMultiple = ThreeRanges();
  notMultiple[4] = static_cast<char>(notMultiple[4] - 1);  // L - F one short of 14
  const std::string truncated = ThreeRanges().substr(0, ThreeRanges().size() - 1);
  const std::pair<const char*, std::filesystem::path> bad[] = {
      {"empty file", Write("empty.dat", "")},
      {"seven bytes", Write("seven.dat", std::string(7, '\0'))},
      {"index span not a multiple of 7", Write("span.dat", notMultiple)},
      {"last index entry one byte short", Write("short.dat", truncated)},
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
    b.AddRange(tail + 2);                           // an end address cut short
    b.Range(Z(kShanghai) + Z(kTelecom));
    return b.Finish() + kTelecom;
  };
  const auto tail = static_cast<uint32_t>(build(0).size() - kTelecom.size());
  const Answer u = kUnknownAnswer;
  ExpectRanges(build(tail), {Found(kBeijing + kUnicom), u, u, u, u, u, Found(kBeijing + kTelecom),
                             Found(kTelecom + kShanghai), u, u, u, Found(kShanghai + kTelecom)});
  EXPECT_EQ(m_db.FindRecord(Ip(10, 0, 0, 0)), tail) << "the end address itself is readable";
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
  EXPECT_EQ(Text("1.0.0.0", 0), Found(""));
  EXPECT_TRUE(m_db.LookupAddress(Ip(1, 0, 0, 0), nullptr, 0));
}

// ---- The real QQwry.dat (scripts/fetch-qqwry.sh) ---------------------------

// The file the fetch script pins: lib-qqwry 1.3.4's data/qqwry.dat.
constexpr size_t kPinnedSize = 11408129;
constexpr uint32_t kPinnedEntries = 547698;

std::string Dotted(uint32_t ip) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, ip >> 16 & 255, ip >> 8 & 255, ip & 255);
  return text;
}

class RealDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_path = ipdb_test::FindRealDatabase();
    if (!s_path.empty()) s_loaded = s_db.LoadDatabase(s_path);
  }
  static void TearDownTestSuite() { s_db.ReleaseDatabase(); }
  void SetUp() override {
    if (s_path.empty()) GTEST_SKIP() << ipdb_test::kRealDatabaseHint;
    ASSERT_TRUE(s_loaded) << "the real database did not load";
  }
  static Answer At(uint32_t ip, size_t capacity = 1024) { return ByAddress(s_db, ip, capacity); }
  static Answer Text(uint32_t ip) { return ByText(s_db, Dotted(ip).c_str()); }

  static inline std::filesystem::path s_path;
  static inline bool s_loaded = false;
  static inline CIpLocationDb s_db;
};

TEST_F(RealDatabaseTest, KnownAndRandomAddressesGiveStableTexts) {
  const auto first = s_db.EntryAt(0);
  const auto last = s_db.EntryAt(s_db.EntryCount() - 1);
  ASSERT_TRUE(first && last);
  for (const uint32_t ip : {0u, first->start, first->end, last->start, last->end - 1, 0x08080808u,
                            0x7F000001u, 0xC0A80101u}) {
    const Answer answer = At(ip);
    EXPECT_TRUE(answer.first && !answer.second.empty()) << Dotted(ip);
    EXPECT_EQ(At(ip), answer) << Dotted(ip) << " gave another answer the second time";
    EXPECT_EQ(Text(ip), answer) << Dotted(ip);
  }
  EXPECT_EQ(At(0xFFFFFFFFu), Found(kBroadcast));
  EXPECT_EQ(ByText(s_db, "255.255.255.255"), kEmptyAnswer);
  if (s_db.ContentsSize() == kPinnedSize) {
    EXPECT_EQ(s_db.EntryCount(), kPinnedEntries);
    EXPECT_EQ(At(0).second, "IANA\xB1\xA3\xC1\xF4\xB5\xD8\xD6\xB7");  // IANA保留地址
    EXPECT_EQ(ByText(s_db, "127.0.0.1").second.rfind("\xB1\xBE\xBB\xFA\xB5\xD8\xD6\xB7", 0), 0u)
        << "127.0.0.1 is not the local machine (本机地址)";
  }
  std::mt19937 random(7);
  for (int n = 0; n < 100000; ++n) {
    const uint32_t ip = static_cast<uint32_t>(random());
    if (ip == 0xFFFFFFFFu) continue;
    ASSERT_EQ(Text(ip), At(ip)) << Dotted(ip);
  }
}

TEST_F(RealDatabaseTest, EveryIndexEntryResolvesToItsOwnRecord) {
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
    // (The broadcast address has its own answer.)
    ASSERT_EQ(entry->end == 0xFFFFFFFFu ? atStart : At(entry->end), atStart) << "entry " << i;
  }
}

TEST_F(RealDatabaseTest, ShortBuffersGetWholeCharacters) {
  for (uint32_t i = 0; i < s_db.EntryCount(); i += 997) {
    const uint32_t ip = s_db.EntryAt(i)->start;
    const std::string full = At(ip).second;
    // Where each GBK character ends: a lead byte with a valid trail byte makes two, anything else one.
    std::vector<size_t> ends{0};
    for (size_t k = 0; k < full.size();) {
      const auto lead = static_cast<unsigned char>(full[k]);
      const auto trail = k + 1 < full.size() ? static_cast<unsigned char>(full[k + 1]) : 0;
      k += lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
      ends.push_back(k);
    }
    for (size_t capacity = 1; capacity <= full.size() + 1; ++capacity) {
      const size_t keep = *std::prev(std::upper_bound(ends.begin(), ends.end(), capacity - 1));
      ASSERT_EQ(At(ip, capacity), Found(full.substr(0, keep))) << "entry " << i << " capacity " << capacity;
    }
  }
}

}  // namespace
