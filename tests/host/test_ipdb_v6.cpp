// Tests of the IPv6 address rules, the ipv6wry.db and MaxMind DB readers on files laid out byte by
// byte, and the choice of database for each address family.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ipdb/ipdb_locations.h"
#include "ipdb/ipv6_address.h"
#include "ipdb/ipv6wry.h"
#include "ipdb/mmdb.h"
#include "tests/host/ipdb_test_files.h"
#include "tests/host/port_test_db.h"

namespace {

using ipdb::Ipv6Bytes;
using namespace ipdb_test;

const std::string kUnknown8 = "\xE6\x9C\xAA\xE7\x9F\xA5\xE6\x95\xB0\xE6\x8D\xAE";  // 未知数据
const std::string kChina = "\xE4\xB8\xAD\xE5\x9B\xBD";                           // 中国
const std::string kBeijing8 = "\xE5\x8C\x97\xE4\xBA\xAC";                        // 北京
const std::string kUnicom8 = "\xE8\x81\x94\xE9\x80\x9A";                         // 联通

Ipv6Bytes A(const char* text) {
  Ipv6Bytes a{};
  EXPECT_EQ(inet_pton(AF_INET6, text, a.data()), 1) << text;
  return a;
}

// ---- Address text ------------------------------------------------------------------------------

TEST(Ipv6Text, ShortFormAndScopeAsTheStandardWritesThem) {
  const std::pair<const char*, const char*> cases[] = {
      {"::", "::"}, {"::1", "::1"}, {"2001:db8::1", "2001:db8::1"}, {"2001:0db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
      {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},  // one zero group stays
      {"1:0:0:2:0:0:0:3", "1:0:0:2::3"}, {"1:0:0:2:0:0:3:4", "1::2:0:0:3:4"},  // the longest, then the first
      {"FE80::ABCD", "fe80::abcd"}, {"1::", "1::"}, {"::ffff:1.2.3.4", "::ffff:1.2.3.4"},
      {"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8"}, {"0:0:1::", "0:0:1::"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(ipdb::FormatIpv6(A(in)), out) << in;
  EXPECT_EQ(ipdb::FormatIpv6(A("fe80::1"), 12), "fe80::1%12");
  EXPECT_EQ(ipdb::FormatIpv6(A("fe80::1"), 4294967295u), "fe80::1%4294967295");
  for (const char* zoned : {"fe80::1", "febf::1", "ff02::1", "ff01::1", "ff12::2"}) EXPECT_TRUE(ipdb::IsZoned(A(zoned))) << zoned;
  for (const char* global : {"::1", "::", "fec0::1", "fe7f::1", "2001:db8::1", "ff05::1", "ff0e::1", "::ffff:1.2.3.4"})
    EXPECT_FALSE(ipdb::IsZoned(A(global))) << global;
}

// The C library writes the same form, except for the deprecated IPv4-compatible ::a.b.c.d, and
// reads the same texts back.
TEST(Ipv6Text, AgreesWithTheCLibraryOnRandomAddresses) {
  std::mt19937 random(6);
  for (int n = 0; n < 100000; ++n) {
    Ipv6Bytes a{};
    const unsigned zeros = random();
    for (int g = 0; g < 8; ++g) {
      const unsigned v = (zeros >> (2 * g)) & 3 ? 0 : random() % (n % 2 ? 0x10000 : 0x10);
      a[2 * g] = static_cast<uint8_t>(v >> 8);
      a[2 * g + 1] = static_cast<uint8_t>(v);
    }
    if (n % 50 == 0) {
      a = A("::ffff:0:0");
      a[12] = static_cast<uint8_t>(random());
      a[15] = 7;
    }
    bool compatible = a[12] | a[13];
    for (int i = 0; i < 12; ++i) compatible = compatible && a[i] == 0;
    char text[INET6_ADDRSTRLEN];
    ASSERT_TRUE(inet_ntop(AF_INET6, a.data(), text, sizeof text));
    const std::string mine = ipdb::FormatIpv6(a);
    if (!compatible) {
      ASSERT_EQ(mine, text);
    }
    ASSERT_EQ(ipdb::ParseIpv6(mine.c_str()), a) << mine;
    ASSERT_EQ(ipdb::ParseIpv6(text), a) << text;
  }
  for (const char* bad : {"", ":", ":::", "1:", ":1", "1::2::3", "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7", "12345::",
                          "g::", "::1.2.3", "::1.2.3.256", "::01.2.3.4", "1:2:3:4:5:6:7:1.2.3.4", "1::2:",
                          "1:2:3:4:5:6:7:8::"}) {
    Ipv6Bytes ignored{};
    EXPECT_EQ(ipdb::ParseIpv6(bad), std::nullopt) << bad;
    EXPECT_NE(inet_pton(AF_INET6, bad, ignored.data()), 1) << bad;
  }
}

TEST(Ipv6Text, MappedSixToFourAndTeredoCarryAnIpv4Address) {
  EXPECT_EQ(ipdb::EmbeddedIpv4(A("::ffff:8.8.4.4")), 0x08080404u);
  EXPECT_EQ(ipdb::EmbeddedIpv4(A("2002:c000:0204::1")), 0xC0000204u);
  // Teredo: server 65.54.227.120, client 157.60.0.1 stored inverted.
  EXPECT_EQ(ipdb::EmbeddedIpv4(A("2001:0:4136:e378:8000:63bf:3fff:fdd2")), 0xC000022Du);
  for (const char* other : {"::8.8.4.4", "::fffe:8.8.4.4", "2001:db8::1", "2003::1", "2001:1::1", "::1", "fe80::1"})
    EXPECT_EQ(ipdb::EmbeddedIpv4(A(other)), std::nullopt) << other;
}

// ---- ipv6wry.db --------------------------------------------------------------------------------

constexpr uint64_t Key(uint64_t n) { return n << 48; }  // range n starts at n::

class Ipv6WryTest : public ::testing::Test {
 protected:
  bool Load(const std::string& bytes) {
    return m_db.LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::pair<bool, std::string> At(uint64_t high, uint64_t low = 0) const {
    std::string text;
    const bool found = m_db.Lookup(ipdb::FromHalves(high, low), text);
    return {found, text};
  }
  CIpv6WryDb m_db;
};

TEST_F(Ipv6WryTest, EveryRecordFormAndRedirection) {
  for (const int width : {3, 4, 8}) {
    CIpv6WryFile f;
    f.offsetWidth = width;
    f.Date("20210511");
    const uint64_t china = f.Put(kChina + '\0'), unicom = f.Put(kUnicom8 + '\0');
    const uint64_t chinaVia2 = f.Put(f.R(2, china));
    const std::vector<std::pair<std::string, std::string>> records = {
        {kChina + '\0' + kUnicom8 + '\0', kChina + " " + kUnicom8},                // in place
        {f.R(2, china) + kUnicom8 + '\0', kChina + " " + kUnicom8},                // 2: country elsewhere, area after
        {f.R(2, china) + f.R(2, unicom), kChina + " " + kUnicom8},                 //    and the area redirected by 2
        {f.R(2, china) + f.R(1, unicom), kChina + " " + kUnicom8},                 //    or by 1
        {kChina + '\0' + f.R(1, unicom), kChina + " " + kUnicom8},
        {f.R(1, f.Put(kBeijing8 + '\0' + kUnicom8 + '\0')), kBeijing8 + " " + kUnicom8},  // 1: the whole record
        {f.R(1, f.Put(f.R(2, china) + f.R(2, unicom))), kChina + " " + kUnicom8},
        {f.R(1, f.Put(f.R(1, f.Put(kBeijing8 + std::string(2, '\0'))))), kBeijing8},      // 1 twice, empty area
        {f.R(2, chinaVia2) + '\0', kChina},                                    // a country redirected twice
        {std::string("\0", 1) + "ZX " + "20210511" + '\0', "ZX 20210511"},     // empty country
    };
    for (size_t i = 0; i < records.size(); ++i) f.Add(Key(i + 1), f.Put(records[i].first));
    ASSERT_TRUE(Load(f.Finish())) << width;
    EXPECT_EQ(m_db.EntryCount(), records.size());
    EXPECT_EQ(m_db.DateText(), "2021-05-11");
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(At(Key(i + 1)), std::make_pair(true, records[i].second)) << width << " first of " << i;
      EXPECT_EQ(At(Key(i + 2) - 1, UINT64_MAX), std::make_pair(true, records[i].second)) << width << " last of " << i;
    }
    EXPECT_EQ(At(Key(1) - 1, UINT64_MAX), std::make_pair(false, kUnknown8));  // below the first key
    EXPECT_EQ(At(UINT64_MAX, UINT64_MAX).second, "ZX 20210511");              // the last range runs to the end
  }
}

TEST_F(Ipv6WryTest, LoopsOffsetsOutsideAndTruncatedFilesNeverReadOutside) {
  CIpv6WryFile f;
  const uint64_t self1 = f.data.size();
  f.Put(f.R(1, self1));                                        // a record redirecting to itself
  const uint64_t loopArea = f.data.size();
  f.Put(f.R(2, loopArea));                                     // an area redirecting to itself
  const uint64_t a = f.data.size(), b = a + 4;
  f.Put(f.R(1, b) + f.R(1, a));                                // two records redirecting to each other
  const std::vector<std::string> records = {
      kChina + '\0' + kUnicom8 + '\0', f.R(1, 0xFFFFFF), f.R(2, 0xFFFFFF) + kUnicom8 + '\0', kChina + '\0' + f.R(2, 0xFFFFFF),
      f.R(2, loopArea) + kUnicom8 + '\0', kChina + '\0' + f.R(1, loopArea)};
  f.Add(Key(1), f.Put(records[0]));
  f.Add(Key(2), self1);
  f.Add(Key(3), a);
  for (size_t i = 1; i < records.size(); ++i) f.Add(Key(3 + i), f.Put(records[i]));
  f.Add(Key(20), 0xFFFFFF);  // a record past the end
  std::string bytes = f.Finish();
  ASSERT_TRUE(Load(bytes));
  EXPECT_EQ(At(Key(1)), std::make_pair(true, kChina + " " + kUnicom8));
  for (uint64_t n : {2, 3, 4, 5, 6, 7, 8, 20}) EXPECT_EQ(At(Key(n)), std::make_pair(false, kUnknown8)) << n;
  EXPECT_EQ(m_db.DateText(), "");  // no date named

  // A string without a zero byte ends at the end of the file.
  CIpv6WryFile g;
  g.Add(Key(1), 0);  // set below
  std::string tail = g.Finish();
  const uint64_t at = tail.size();
  CIpv6WryFile h;
  h.Add(Key(1), 0);
  std::string open = h.Finish();
  open.replace(open.size() - 3, 3, LeBytes(at, 3));
  open += kChina;
  ASSERT_TRUE(Load(open));
  EXPECT_FALSE(At(Key(1)).first);  // the country took the rest of the file: no area field

  // Damaged headers and every cut of a good file load as nothing, or answer within the bytes.
  const std::string good = f.Finish();
  for (size_t cut = 0; cut < good.size(); ++cut) {
    if (Load(good.substr(0, cut))) {
      for (uint64_t n = 0; n < 22; ++n) At(Key(n));
    }
    EXPECT_LE(m_db.ContentsSize(), cut);
  }
  EXPECT_FALSE(Load(good.substr(0, good.size() - 1)));  // the index's last byte is missing
  auto patched = [&](size_t at, const std::string& bytes) { return good.substr(0, at) + bytes + good.substr(at + bytes.size()); };
  EXPECT_FALSE(Load(patched(0, "IPDX")));
  EXPECT_FALSE(Load(patched(4, LeBytes(2, 2))));                    // an unknown version
  EXPECT_FALSE(Load(patched(6, std::string(1, '\0'))));             // offsets of no bytes
  EXPECT_FALSE(Load(patched(6, std::string(1, '\x09'))));           // wider than 8 bytes
  EXPECT_FALSE(Load(patched(7, std::string(1, '\x04'))));           // keys of another width
  EXPECT_FALSE(Load(patched(8, LeBytes(0, 8))));                    // no entries
  EXPECT_FALSE(Load(patched(8, LeBytes(UINT64_MAX / 11 + 7, 8))));  // a count whose bytes overflow
  EXPECT_FALSE(Load(patched(16, LeBytes(UINT64_MAX - 5, 8))));      // an index past the end
  EXPECT_FALSE(m_db.IsLoaded());
  std::string text = "x";
  EXPECT_FALSE(m_db.Lookup(ipdb::FromHalves(1, 1), text));
  EXPECT_EQ(text, "");
}

// ---- MaxMind DB --------------------------------------------------------------------------------

class MmdbTest : public ::testing::Test {
 protected:
  bool Load(const std::string& bytes) {
    return m_db.LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::string V4(uint32_t ip) const {
    std::string text;
    m_db.LookupV4(ip, text);
    return text;
  }
  std::string V6(const char* address) const {
    std::string text;
    m_db.Lookup(A(address), text);
    return text;
  }
  CMmdbReader m_db;
};

// A city-level record with Chinese and English names, one with English names only, one with a
// country code only, each in trees of every record size and both IP versions.
TEST_F(MmdbTest, TreesOfEveryRecordSizeAndBothVersionsFindTheirRecords) {
  using namespace mm;
  for (const unsigned version : {4u, 6u}) {
    for (const unsigned size : {24u, 28u, 32u}) {
      CMmdbFile f;
      f.recordSize = size;
      f.ipVersion = version;
      const uint64_t names = f.Put(Names(kChina, "China"));
      const uint64_t city = f.Put(Map({{"country", Map({{"iso_code", Str("CN")}, {"names", Pointer(names)}})},
                                       {"subdivisions", Array({Map({{"names", Names("", "Beijing")}}),
                                                               Map({{"names", Names("x", "y")}})})},
                                       {"city", Map({{"geoname_id", U32(1816670)}, {"names", Names(kBeijing8, "Beijing")}})},
                                       {"location", Map({{"latitude", Double(39.9)}, {"longitude", Double(116.4)}})}}));
      const uint64_t english = f.Put(Map({{"registered_country", Map({{"names", Names("", "Japan")}})}}));
      const uint64_t code = f.Put(Map({{"country_code", Str("US")}}));
      const uint64_t empty = f.Put(Map({}));
      const uint64_t viaPointer = f.Put(Pointer(code));
      f.InsertV4(0x01000000, 8, city);       // 1.0.0.0/8
      f.InsertV4(0x02000000, 16, english);   // 2.0.0.0/16
      f.InsertV4(0x02010000, 16, viaPointer);
      f.InsertV4(0x08080808, 32, code);      // a single address
      f.InsertV4(0x0A000000, 8, empty);
      if (version == 6) f.Insert(A("2001:db8::"), 32, city);
      // Enough nodes that the 28- and 32-bit records use their high bits.
      for (uint32_t n = 0; n < (size == 24 ? 0u : 3000u); ++n) f.InsertV4(0xC0000000u + (n << 8), 24, code);
      ASSERT_TRUE(Load(f.Finish())) << version << "/" << size;
      EXPECT_EQ(m_db.Meta().recordSize, size);
      EXPECT_EQ(m_db.ServesIpv6(), version == 6);
      EXPECT_EQ(m_db.DateText(), "2023-11-14");
      const std::string cityText = kChina + " Beijing " + kBeijing8;
      for (uint32_t ip : {0x01000000u, 0x01FFFFFFu}) EXPECT_EQ(V4(ip), cityText);
      EXPECT_EQ(V4(0x02000001u), "Japan");
      EXPECT_EQ(V4(0x0201FFFFu), "US");
      EXPECT_EQ(V4(0x08080808u), "US");
      for (uint32_t ip : {0x08080807u, 0x08080809u, 0x00FFFFFFu, 0x02020000u, 0xFFFFFFFFu}) EXPECT_EQ(V4(ip), kUnknown8) << ip;
      EXPECT_EQ(V4(0x0A000001u), kUnknown8);  // a record without a location
      EXPECT_EQ(V4(0xC0000000u + (2999u << 8) + 255), size == 24 ? kUnknown8 : "US");
      EXPECT_EQ(m_db.FindV4(0x08080808u)->prefixLength, 128);
      if (version == 6) {
        EXPECT_EQ(V6("2001:db8:ffff::1"), cityText);
        EXPECT_EQ(V6("::1.0.0.1"), cityText);  // IPv4 addresses live under ::/96
        EXPECT_EQ(V6("2001:db9::"), kUnknown8);
        EXPECT_EQ(m_db.Find(A("2001:db8::"))->prefixLength, 32);
      } else {
        EXPECT_EQ(V6("::1.0.0.1"), kUnknown8);  // an IPv4 tree answers no IPv6 address
      }
      EXPECT_EQ(m_db.Render(city).value_or("?"),
                "{\"country\":{\"iso_code\":\"CN\"\"names\":{\"en\":\"China\"\"zh-CN\":\"" + kChina +
                    "\"}}\"subdivisions\":[{\"names\":{\"en\":\"Beijing\"}}{\"names\":{\"en\":\"y\"\"zh-CN\":\"x\"}}]"
                    "\"city\":{\"geoname_id\":1816670\"names\":{\"en\":\"Beijing\"\"zh-CN\":\"" + kBeijing8 +
                    "\"}}\"location\":{\"latitude\":39.900000\"longitude\":116.400000}}");
      // Every network the tree holds, in address order, with its first and last address.
      std::vector<std::pair<std::string, int>> networks;
      m_db.EachNetwork([&](const Ipv6Bytes& first, int prefix, uint64_t) {
        networks.emplace_back(ipdb::FormatIpv6(first), prefix);
        return networks.size() < 5;
      });
      auto v4 = [&](const std::string& dotted) {
        return ipdb::FormatIpv6(A(((version == 6 ? "::" : "::ffff:") + dotted).c_str()));
      };
      EXPECT_EQ(networks, (std::vector<std::pair<std::string, int>>{
                              {v4("1.0.0.0"), 104}, {v4("2.0.0.0"), 112}, {v4("2.1.0.0"), 112},
                              {v4("8.8.8.8"), 128}, {v4("10.0.0.0"), 104}}));
    }
  }
}

TEST_F(MmdbTest, EveryValueTypeAndSizeForm) {
  using namespace mm;
  CMmdbFile f;
  const std::string s300(300, 'a'), s70000(70000, 'b');
  const uint64_t far = f.Put(std::string(600000, '\0'));  // padding: pointers of three widths
  (void)far;
  const uint64_t target = f.Put(Str("pointed"));
  const uint64_t all = f.Put(Map({{"u16", U16(65535)}, {"u32", U32(4294967295u)}, {"u64", U64(UINT64_MAX)},
                                  {"i32", I32(-5)}, {"d", Double(-1.5)}, {"t", Bool(true)}, {"f", Bool(false)},
                                  {"b", Bytes("\x01\xAB")}, {"zero", U32(0)}, {"s29", Str(std::string(29, 'c'))},
                                  {"s300", Str(s300)}, {"s70000", Str(s70000)},
                                  {"p1", Pointer(target)}, {"p3", Pointer(target, 3)},
                                  {"p4", Pointer(target, 4)}, {"a", Array({U16(1), Array({}), Map({})})},
                                  {"u128", Control(10, 2) + "\x01\x02"}, {"float", Control(15, 4) + std::string("\x3F\xC0\x00\x00", 4)}}));
  f.InsertV4(0x01000000, 8, all);
  ASSERT_TRUE(Load(f.Finish()));
  EXPECT_EQ(m_db.Render(all).value_or("?"),
            "{\"u16\":65535\"u32\":4294967295\"u64\":18446744073709551615\"i32\":-5\"d\":-1.500000\"t\":true"
            "\"f\":false\"b\":01AB\"zero\":0\"s29\":\"" + std::string(29, 'c') + "\"\"s300\":\"" + s300 +
                "\"\"s70000\":\"" + s70000 + "\"\"p1\":\"pointed\"\"p3\":\"pointed\"\"p4\":\"pointed\""
                "\"a\":[1[]{}]\"u128\":0x00000000000000000000000000000102\"float\":1.500000}");
}

TEST_F(MmdbTest, DamagedFilesFailToLoadOrAnswerUnknown) {
  using namespace mm;
  CMmdbFile f;
  const uint64_t good = f.Put(Map({{"country_code", Str("CN")}}));
  const uint64_t selfPointer = f.Put(Pointer(f.data.size()));           // a pointer to itself
  const uint64_t toPointer = f.Put(Pointer(selfPointer));                // a pointer to a pointer
  const uint64_t outside = f.Put(Pointer(1u << 20));                     // past the data section
  const uint64_t longString = f.Put(Control(2, 1000) + "x");             // a string longer than the rest
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += Control(11, 1);                  // arrays a hundred deep
  const uint64_t tooDeep = f.Put(Map({{"city", deep + Str("x")}}));
  const uint64_t badKey = f.Put(Control(7, 1) + U16(5) + Str("x"));      // a key that is no string
  const uint64_t endMarker = f.Put(Map({{"country_code", Control(13, 0)}}));
  const uint64_t hugeMap = f.Put(Control(7, 70000));
  const uint64_t badCode = f.Put(Map({{"country_code", Str("JP")}}) + Map({}));
  const std::vector<uint64_t> values = {good, selfPointer, toPointer, outside, longString, tooDeep, badKey, endMarker, hugeMap};
  for (size_t i = 0; i < values.size(); ++i) f.InsertV4(static_cast<uint32_t>(i + 1) << 24, 8, values[i]);
  f.InsertV4(0x70000000, 8, 1u << 24);  // a record pointing past the data section
  f.InsertV4(0x71000000, 8, badCode);
  ASSERT_TRUE(Load(f.Finish()));
  EXPECT_EQ(V4(0x01000000), "CN");
  for (uint32_t n = 2; n <= values.size(); ++n) {
    EXPECT_EQ(V4(n << 24), kUnknown8) << n;
    EXPECT_EQ(m_db.Render(values[n - 1]), std::nullopt) << n;
  }
  EXPECT_EQ(V4(0x70000000), kUnknown8);
  EXPECT_EQ(m_db.FindV4(0x70000000), std::nullopt);
  EXPECT_EQ(V4(0x71000000), "JP");
  EXPECT_EQ(m_db.Render(1u << 30), std::nullopt);

  // The metadata: each required entry missing or wrong, and every cut of the file.
  const std::string tree = f.Tree() + std::string(16, '\0') + f.data + CMmdbFile::Marker();
  auto with = [&](const std::vector<std::pair<std::string, std::string>>& replaced) {
    std::vector<std::pair<std::string, std::string>> entries = {
        {"binary_format_major_version", U16(2)}, {"ip_version", U16(6)}, {"node_count", U32(f.nodes.size())},
        {"record_size", U16(28)}};
    for (const auto& [k, v] : replaced)
      for (auto& e : entries)
        if (e.first == k) e.second = v;
    return tree + Map(entries);
  };
  EXPECT_TRUE(Load(with({})));
  EXPECT_EQ(m_db.DateText(), "");  // no build time
  EXPECT_FALSE(Load(with({{"binary_format_major_version", U16(3)}})));
  EXPECT_FALSE(Load(with({{"record_size", U16(26)}})));
  EXPECT_FALSE(Load(with({{"ip_version", U16(5)}})));
  EXPECT_FALSE(Load(with({{"node_count", U32(0)}})));
  EXPECT_FALSE(Load(with({{"node_count", U32(f.nodes.size() + 1000)}})));  // a tree longer than the file
  EXPECT_FALSE(Load(with({{"node_count", U64(UINT64_MAX / 3)}})));
  EXPECT_FALSE(Load(with({{"node_count", Str("5")}})));
  EXPECT_FALSE(Load(tree + Control(7, 1)));  // a map cut short
  EXPECT_FALSE(Load(tree));
  EXPECT_FALSE(Load(""));
  const std::string whole = f.Finish();
  for (size_t cut = 0; cut < whole.size(); cut += 7) {
    if (Load(whole.substr(0, cut))) {
      for (uint32_t n = 0; n < 16; ++n) V4(n << 24);
    }
    if (cut + 1 < whole.size()) {
      EXPECT_FALSE(m_db.IsLoaded()) << cut;
    }  // the metadata ends the file
  }
  // A marker far from the end (more than 128 KiB) is not looked for.
  EXPECT_FALSE(Load(with({}) + std::string(140000, 'x')));
}

// ---- The database in use for each family -------------------------------------------------------

class LocationBookTest : public ::testing::Test {
 protected:
  LocationBookTest() { std::filesystem::create_directories(m_dir); }
  ~LocationBookTest() override { std::error_code ignored; std::filesystem::remove_all(m_dir, ignored); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(m_dir / name, std::ios::binary | std::ios::trunc) << bytes;
  }
  static std::string Mmdb(unsigned version, const std::string& code) {
    CMmdbFile f;
    f.ipVersion = version;
    const uint64_t v = f.Put(mm::Map({{"country_code", mm::Str(code)}}));
    f.InsertV4(0x01000000, 8, v);
    if (version == 6) f.Insert(A("2001:db8::"), 32, v);
    return f.Finish();
  }
  static std::string Wry(const std::string& text) {
    CIpv6WryFile f;
    f.Date("20210511");
    f.Add(0, f.Put(text + '\0' + '\0'));
    return f.Finish();
  }
  const std::filesystem::path m_dir = std::filesystem::temp_directory_path() /
      ("wardlet-book-" + std::to_string(std::random_device{}()) + std::to_string(std::random_device{}()));
  ipdb::CLocationBook m_book;
};

TEST_F(LocationBookTest, DefaultsChoicesAndFilesThatGoAway) {
  using ipdb::Family;
  using ipdb::Location;
  const Ipv6Bytes v6 = A("2001:db8::5"), mapped = A("::ffff:1.0.0.1");
  const uint32_t beijing = 0x01000001;
  EXPECT_FALSE(m_book.Load(m_dir, "", ""));  // nothing at all
  EXPECT_EQ(m_book.LookupV4(beijing), Location{});
  EXPECT_EQ(m_book.LookupV6(v6), Location{});

  Write("b.mmdb", Mmdb(6, "B"));
  Write("a.mmdb", Mmdb(4, "A"));
  EXPECT_EQ(ipdb::DatabaseFilesIn(m_dir), (std::vector<std::filesystem::path>{"a.mmdb", "b.mmdb"}));
  EXPECT_TRUE(m_book.Load(m_dir, "", ""));  // the .mmdb files by name; an IPv4 one serves no IPv6
  EXPECT_EQ(m_book.Source(Family::kIpv4), "a.mmdb");
  EXPECT_EQ(m_book.Source(Family::kIpv6), "b.mmdb");
  EXPECT_EQ(m_book.LookupV4(beijing), (Location{"A", false}));
  EXPECT_EQ(m_book.LookupV6(v6), (Location{"B", false}));
  EXPECT_EQ(m_book.LookupV6(mapped), (Location{"A", false}));  // by its IPv4 address, from the IPv4 database

  port_test::StandardDatabase().Write(m_dir / "qqwry.DAT");
  Write("ipv6wry.db", Wry(kChina));
  Write("notes.txt", "not a database");
  EXPECT_EQ(ipdb::DatabaseFilesIn(m_dir),
            (std::vector<std::filesystem::path>{"qqwry.DAT", "ipv6wry.db", "a.mmdb", "b.mmdb"}));
  EXPECT_TRUE(m_book.Load(m_dir, "", ""));  // QQwry.dat and ipv6wry.db come first
  EXPECT_EQ(m_book.LookupV4(beijing), (Location{port_test::kBeijing + port_test::kUnicom, true}));
  EXPECT_EQ(m_book.LookupV4(0xFFFFFFFFu), (Location{"", true}));  // asked by its text, as always
  EXPECT_EQ(m_book.LookupV6(v6), (Location{kChina, false}));
  EXPECT_EQ(m_book.LookupV6(A("2002:0100:0001::")), m_book.LookupV4(beijing));  // 6to4

  // A choice wins when it serves the family; a choice that does not, or names no bare file, is passed over.
  EXPECT_TRUE(m_book.Load(m_dir, "b.mmdb", "B.MMDB"));
  EXPECT_EQ(m_book.Source(Family::kIpv4), "b.mmdb");
  EXPECT_EQ(m_book.Source(Family::kIpv6), "ipv6wry.db");  // no file of that name on a case-sensitive system
  EXPECT_TRUE(m_book.Load(m_dir, "ipv6wry.db", "b.mmdb"));
  EXPECT_EQ(m_book.Source(Family::kIpv4), "qqwry.DAT");
  EXPECT_EQ(m_book.LookupV6(v6), (Location{"B", false}));
  EXPECT_TRUE(m_book.Load(m_dir, "../" + m_dir.filename().string() + "/a.mmdb", "a.mmdb"));
  EXPECT_EQ(m_book.Source(Family::kIpv4), "qqwry.DAT");
  EXPECT_EQ(m_book.Source(Family::kIpv6), "ipv6wry.db");

  // A damaged chosen file gives way to the next that loads; files that are all gone leave the
  // family with what it had; files that are there but all damaged leave it with nothing.
  Write("b.mmdb", "damaged");
  EXPECT_TRUE(m_book.Load(m_dir, "b.mmdb", "b.mmdb"));
  EXPECT_EQ(m_book.Source(Family::kIpv4), "qqwry.DAT");
  for (const char* name : {"qqwry.DAT", "a.mmdb", "b.mmdb"}) std::filesystem::remove(m_dir / name);
  EXPECT_FALSE(m_book.Load(m_dir, "", ""));
  EXPECT_EQ(m_book.Source(Family::kIpv4), "qqwry.DAT");
  EXPECT_EQ(m_book.LookupV4(beijing).text, port_test::kBeijing + port_test::kUnicom);
  Write("ipv6wry.db", "IPDB damaged");
  EXPECT_FALSE(m_book.Load(m_dir, "", ""));
  EXPECT_EQ(m_book.Source(Family::kIpv6), "");
  EXPECT_EQ(m_book.LookupV6(v6), Location{});
}

// A refresh loads the databases again: a file that kept its size and time of writing is kept as
// loaded; one written since, or of another size, is read again.
TEST_F(LocationBookTest, AFileIsReadAgainOnlyWhenItChanged) {
  using ipdb::Location;
  const uint32_t ip = 0x01000001;
  const std::filesystem::path file = m_dir / "a.mmdb";
  Write("a.mmdb", Mmdb(4, "A"));
  ASSERT_TRUE(m_book.Load(m_dir, "", ""));
  const auto written = std::filesystem::last_write_time(file);
  Write("a.mmdb", Mmdb(4, "C"));  // the same size
  ASSERT_EQ(Mmdb(4, "A").size(), Mmdb(4, "C").size());
  std::filesystem::last_write_time(file, written);
  EXPECT_TRUE(m_book.Load(m_dir, "", ""));
  EXPECT_EQ(m_book.LookupV4(ip), (Location{"A", false}));  // not read again
  std::filesystem::last_write_time(file, written + std::chrono::seconds(2));
  EXPECT_TRUE(m_book.Load(m_dir, "", ""));
  EXPECT_EQ(m_book.LookupV4(ip), (Location{"C", false}));
  Write("a.mmdb", Mmdb(4, "DD"));
  std::filesystem::last_write_time(file, written + std::chrono::seconds(2));
  EXPECT_TRUE(m_book.Load(m_dir, "", ""));
  EXPECT_EQ(m_book.LookupV4(ip), (Location{"DD", false}));
}

TEST_F(LocationBookTest, EachFileTellsItsFamiliesAndDate) {
  CIpLocationDb::IndexEntry unused{};
  (void)unused;
  port_test::CTinyDatabase q = port_test::StandardDatabase();
  q.Add(0xFFFFFF00u, q.Record(0xFFFFFFFFu, port_test::Z("\xB4\xBF\xD5\xE6\xCD\xF8\xC2\xE7") +
                                               port_test::Z("2024\xC4\xEA" "1\xD4\xC2" "07\xC8\xD5IP\xCA\xFD\xBE\xDD")));
  q.Write(m_dir / "QQwry.dat");
  Write("ipv6wry.db", Wry("x"));
  Write("v4.mmdb", Mmdb(4, "A"));
  Write("bad.mmdb", "bad");
  using ipdb::DbKind;
  const auto facts = [&](const char* name) { return ipdb::ExamineFile(m_dir / name); };
  const ipdb::DbFileFacts qq = facts("QQwry.dat"), wry = facts("ipv6wry.db"), v4 = facts("v4.mmdb"), bad = facts("bad.mmdb");
  EXPECT_TRUE(qq.kind == DbKind::kQqwry && qq.readable && qq.servesIpv4 && !qq.servesIpv6 && !qq.dateIsGbk);
  EXPECT_EQ(qq.date, "2024-01-07");
  EXPECT_TRUE(wry.kind == DbKind::kIpv6Wry && wry.readable && !wry.servesIpv4 && wry.servesIpv6);
  EXPECT_EQ(wry.date, "2021-05-11");
  EXPECT_TRUE(v4.kind == DbKind::kMmdb && v4.readable && v4.servesIpv4 && !v4.servesIpv6);
  EXPECT_EQ(v4.date, "2023-11-14");
  EXPECT_TRUE(bad.kind == DbKind::kMmdb && !bad.readable && !bad.servesIpv4 && bad.date.empty());
  EXPECT_EQ(ipdb::QqwryDate("\xB4\xBF 2023\xC4\xEA" "12\xD4\xC2" "3\xC8\xD5"), "2023-12-03");
  for (const char* none : {"", "2023-12-03", "23\xC4\xEA" "1\xD4\xC2" "1\xC8\xD5", "2023\xC4\xEA" "123\xD4\xC2" "1\xC8\xD5"})
    EXPECT_EQ(ipdb::QqwryDate(none), "") << none;
  // A QQwry version record without a date is shown as it stands.
  port_test::CTinyDatabase plain = port_test::StandardDatabase();
  plain.Write(m_dir / "QQwry.dat");
  const ipdb::DbFileFacts undated = facts("QQwry.dat");
  EXPECT_TRUE(undated.dateIsGbk);
  EXPECT_EQ(undated.date, port_test::kLoopback);
}

}  // namespace
