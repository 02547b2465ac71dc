// The ipv6wry.db and MaxMind DB readers on the real files scripts/fetch-locations.sh fetches: every
// range resolves to its own record at both ends, and the .mmdb answers agree with libmaxminddb's
// own mmdblookup.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ipdb/ipv6_address.h"
#include "ipdb/ipv6wry.h"
#include "ipdb/mmdb.h"
#include "tests/host/ipdb_real_file.h"

namespace {

using ipdb::Ipv6Bytes;

TEST(RealIpv6Wry, EveryRangeResolvesToItsOwnRecordAtBothEnds) {
  const std::filesystem::path path = ipdb_test::FindIpv6Wry();
  if (path.empty()) GTEST_SKIP() << ipdb_test::kLocationFilesHint;
  CIpv6WryDb db;
  ASSERT_TRUE(db.LoadDatabase(path));
  if (db.ContentsSize() == 2665278) {  // the file the fetch script pins
    EXPECT_EQ(db.EntryCount(), 176315u);
    EXPECT_EQ(db.DateText(), "2021-05-11");
  }
  const uint64_t count = db.EntryCount();
  ASSERT_GT(count, 1u);
  uint64_t found = 0;
  for (uint64_t i = 0; i < count; ++i) {
    const CIpv6WryDb::IndexEntry entry = db.EntryAt(i);
    const uint64_t last = i + 1 < count ? db.EntryAt(i + 1).start - 1 : UINT64_MAX;
    ASSERT_TRUE(i == 0 || entry.start > db.EntryAt(i - 1).start) << "entry " << i << " is out of order";
    ASSERT_EQ(db.FindEntry(entry.start), i);
    ASSERT_EQ(db.FindEntry(last), i);
    std::string country, area, first, end;
    ASSERT_TRUE(db.ReadRecord(entry.record, country, area)) << "entry " << i;
    ASSERT_TRUE(db.Lookup(ipdb::FromHalves(entry.start, 0), first)) << "entry " << i;
    ASSERT_TRUE(db.Lookup(ipdb::FromHalves(last, UINT64_MAX), end)) << "entry " << i;
    ASSERT_EQ(first, end) << "entry " << i;
    ASSERT_EQ(first, country + (country.empty() || area.empty() ? "" : " ") + area) << "entry " << i;
    found += !first.empty();
  }
  EXPECT_EQ(found, count);
}

class RealMmdb : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_path = ipdb_test::FindMmdb();
    if (!s_path.empty()) s_db.LoadDatabase(s_path);
  }
  static void TearDownTestSuite() { s_db.ReleaseDatabase(); }
  void SetUp() override {
    if (s_path.empty()) GTEST_SKIP() << ipdb_test::kLocationFilesHint;
    ASSERT_TRUE(s_db.IsLoaded()) << "the real .mmdb file did not load";
  }
  static inline std::filesystem::path s_path;
  static inline CMmdbReader s_db;
};

TEST_F(RealMmdb, EveryNetworkResolvesToItsOwnRecordAtBothEnds) {
  EXPECT_EQ(s_db.Meta().ipVersion, 6u);
  EXPECT_EQ(s_db.Meta().recordSize, 24u);
  EXPECT_FALSE(s_db.DateText().empty());
  uint64_t networks = 0, v4 = 0;
  std::map<uint64_t, std::string> texts;
  s_db.EachNetwork([&](const Ipv6Bytes& first, int prefix, uint64_t data) {
    Ipv6Bytes last = first;
    for (int bit = prefix; bit < 128; ++bit) last[bit >> 3] |= static_cast<uint8_t>(0x80u >> (bit & 7));
    const auto a = s_db.Find(first), b = s_db.Find(last);
    EXPECT_TRUE(a && b && a->data == data && b->data == data && a->prefixLength == prefix && b->prefixLength == prefix)
        << ipdb::FormatIpv6(first) << "/" << prefix;
    // IPv4 networks under ::/96, reached from the tree's IPv4 start.
    bool underV4 = prefix >= 96;
    for (int i = 0; i < 12; ++i) underV4 = underV4 && first[i] == 0;
    if (underV4) {
      ++v4;
      const uint32_t ip = uint32_t{first[12]} << 24 | uint32_t{first[13]} << 16 | uint32_t{first[14]} << 8 | first[15];
      const int hostBits = 128 - prefix;
      const uint32_t lastIp = hostBits == 0 ? ip : ip | (UINT32_MAX >> (32 - hostBits));
      const auto c = s_db.FindV4(ip), d = s_db.FindV4(lastIp);
      EXPECT_TRUE(c && d && c->data == data && d->data == data) << ipdb::FormatIpv6(first) << "/" << prefix;
    }
    auto [it, added] = texts.try_emplace(data);
    if (added) it->second = s_db.LocationAt(data);
    EXPECT_FALSE(it->second.empty()) << ipdb::FormatIpv6(first);
    ++networks;
    return !::testing::Test::HasFailure();
  });
  EXPECT_GT(networks, 100000u);
  EXPECT_GT(v4, 50000u);
  std::string text;
  EXPECT_TRUE(s_db.LookupV4(0x08080808u, text));
  EXPECT_EQ(text, "US");
}

// The value mmdblookup prints, without its type notes and white space.
std::string Plain(const std::string& printed) {
  std::string out;
  bool note = false;
  for (char c : printed) {
    if (c == '<') note = true;
    if (!note && c != ' ' && c != '\n' && c != '\t') out += c;
    if (c == '>') note = false;
  }
  return out;
}

TEST_F(RealMmdb, AgreesWithMmdblookupOnTwoThousandAddresses) {
  if (std::system("command -v mmdblookup >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "mmdblookup (Debian package mmdb-bin) is not installed";
  std::mt19937 random(2026);
  std::vector<std::string> addresses;
  for (int n = 0; n < 1000; ++n) {
    const uint32_t ip = static_cast<uint32_t>(random());
    addresses.push_back(std::to_string(ip >> 24) + '.' + std::to_string(ip >> 16 & 255) + '.' +
                        std::to_string(ip >> 8 & 255) + '.' + std::to_string(ip & 255));
  }
  for (int n = 0; n < 1000; ++n) {
    Ipv6Bytes a{};
    for (uint8_t& b : a) b = static_cast<uint8_t>(random());
    a[0] = static_cast<uint8_t>(0x20 | (a[0] & (n % 4 ? 0x0F : 0x1F)));  // mostly 2000::/4, the space in use
    if (n % 10 == 0) a[0] = static_cast<uint8_t>(random());
    addresses.push_back(ipdb::FormatIpv6(a));
  }
  const std::filesystem::path list = std::filesystem::temp_directory_path() / "wardlet-mmdb-addresses.txt";
  {
    std::ofstream out(list);
    for (const std::string& a : addresses) out << a << '\n';
  }
  const std::string command = "while read -r ip; do echo \"@@ $ip\"; mmdblookup --file '" + s_path.string() +
                              "' --ip \"$ip\" 2>&1; done < '" + list.string() + "'";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::map<std::string, std::string> printed;
  std::string current;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    if (std::strncmp(line, "@@ ", 3) == 0) {
      current = std::string(line + 3);
      current.pop_back();
      printed[current];
    } else {
      printed[current] += line;
    }
  }
  ::pclose(pipe);
  std::filesystem::remove(list);
  ASSERT_EQ(printed.size(), addresses.size());
  int agreed = 0, notFound = 0;
  for (const std::string& text : addresses) {
    const std::string& theirs = printed[text];
    std::optional<CMmdbReader::Found> mine;
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
      mine = s_db.FindV4(ntohl(v4.s_addr));
    } else {
      mine = s_db.Find(*ipdb::ParseIpv6(text.c_str()));
    }
    if (theirs.find("Could not find an entry") != std::string::npos) {
      EXPECT_EQ(mine, std::nullopt) << text;
      ++notFound;
    } else {
      ASSERT_TRUE(mine.has_value()) << text << ": " << theirs;
      EXPECT_EQ(Plain(s_db.Render(mine->data).value_or("?")), Plain(theirs)) << text;
    }
    ++agreed;
  }
  EXPECT_EQ(agreed, 2000);
  EXPECT_GT(notFound, 10);
  EXPECT_LT(notFound, 1900);
}

}  // namespace
