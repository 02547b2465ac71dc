// Tests of CIpLocationDb on a real QQwry.dat (fetched by scripts/fetch-qqwry.sh).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "ipdb/ipdb.h"
#include "tests/host/ipdb_real_file.h"

namespace {

// The file the fetch script pins: lib-qqwry 1.3.4's data/qqwry.dat.
constexpr size_t kPinnedSize = 11408129;
constexpr uint32_t kPinnedEntries = 547698;

const std::string kBroadcast = "\xB9\xE3\xB2\xA5\xB5\xD8\xD6\xB7";  // 广播地址

struct Answer {
  bool found;
  std::string text;
  bool operator==(const Answer&) const = default;
};

Answer ByAddress(const CIpLocationDb& db, uint32_t ip, size_t capacity = 1024) {
  std::string out(capacity, 'Z');
  const bool found = db.LookupAddress(ip, out.data(), capacity);
  return {found, out.c_str()};
}

Answer ByText(const CIpLocationDb& db, const std::string& address) {
  char out[1024];
  std::memset(out, 'Z', sizeof out);
  const bool found = db.LookupText(address.c_str(), out, sizeof out);
  return {found, out};
}

std::string Dotted(uint32_t ip) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, ip >> 16 & 255, ip >> 8 & 255, ip & 255);
  return text;
}

class RealDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto path = ipdb_test::FindRealDatabase();
    if (path.empty()) return;
    s_db = new CIpLocationDb;
    s_bLoaded = s_db->LoadDatabase(path);
  }
  static void TearDownTestSuite() {
    delete s_db;
    s_db = nullptr;
  }
  void SetUp() override {
    if (s_db == nullptr) GTEST_SKIP() << ipdb_test::kRealDatabaseHint;
    ASSERT_TRUE(s_bLoaded) << "the real database did not load";
  }
  static bool IsPinnedFile() { return s_db->ContentsSize() == kPinnedSize; }

  static CIpLocationDb* s_db;
  static bool s_bLoaded;
};

CIpLocationDb* RealDatabaseTest::s_db = nullptr;
bool RealDatabaseTest::s_bLoaded = false;

TEST_F(RealDatabaseTest, KnownAddressesGiveStableTexts) {
  const CIpLocationDb& db = *s_db;
  const auto first = db.EntryAt(0);
  const auto last = db.EntryAt(db.EntryCount() - 1);
  ASSERT_TRUE(first && last);
  for (const uint32_t ip : {0u, first->start, first->end, last->start, last->end - 1, 0x08080808u,
                            0x7F000001u, 0xC0A80101u}) {
    const Answer answer = ByAddress(db, ip);
    EXPECT_TRUE(answer.found) << Dotted(ip);
    EXPECT_FALSE(answer.text.empty()) << Dotted(ip);
    EXPECT_EQ(ByAddress(db, ip), answer) << Dotted(ip) << " gave another answer the second time";
    EXPECT_EQ(ByText(db, Dotted(ip)), answer) << Dotted(ip);
  }
  EXPECT_EQ(ByText(db, "0.0.0.0"), ByAddress(db, 0));
  EXPECT_EQ(ByAddress(db, 0xFFFFFFFFu), (Answer{true, kBroadcast}));
  EXPECT_EQ(ByText(db, "255.255.255.255"), (Answer{false, ""}));
  if (IsPinnedFile()) {
    EXPECT_EQ(db.EntryCount(), kPinnedEntries);
    EXPECT_EQ(ByAddress(db, 0).text, "IANA\xB1\xA3\xC1\xF4\xB5\xD8\xD6\xB7");  // IANA保留地址
    EXPECT_EQ(ByText(db, "127.0.0.1").text.rfind("\xB1\xBE\xBB\xFA\xB5\xD8\xD6\xB7", 0), 0u)
        << "127.0.0.1 is not the local machine (本机地址)";
  }
}

TEST_F(RealDatabaseTest, EveryIndexEntryResolvesToItsOwnRecord) {
  const CIpLocationDb& db = *s_db;
  const uint32_t count = db.EntryCount();
  ASSERT_GT(count, 1u);
  uint32_t previousEnd = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const auto entry = db.EntryAt(i);
    ASSERT_TRUE(entry.has_value()) << "entry " << i;
    ASSERT_LE(entry->start, entry->end) << "entry " << i;
    if (i > 0) {
      ASSERT_GT(entry->start, previousEnd) << "entry " << i << " overlaps the one before";
    }
    previousEnd = entry->end;
    ASSERT_EQ(db.FindRecord(entry->start), entry->record) << "start of entry " << i;
    ASSERT_EQ(db.FindRecord(entry->end), entry->record) << "end of entry " << i;
    const Answer atStart = ByAddress(db, entry->start);
    ASSERT_TRUE(atStart.found) << "entry " << i;
    ASSERT_FALSE(atStart.text.empty()) << "entry " << i;
    if (entry->end != 0xFFFFFFFFu) {
      ASSERT_EQ(ByAddress(db, entry->end), atStart) << "entry " << i;
    }
  }
}

TEST_F(RealDatabaseTest, TextAndNumericLookupsAgreeOnRandomAddresses) {
  const CIpLocationDb& db = *s_db;
  std::mt19937 random(7);
  for (int n = 0; n < 100000; ++n) {
    const uint32_t ip = static_cast<uint32_t>(random());
    if (ip == 0xFFFFFFFFu) continue;
    ASSERT_EQ(ByText(db, Dotted(ip)), ByAddress(db, ip)) << Dotted(ip);
  }
}

// Byte lengths of the GBK characters of text: a lead byte with a valid trail
// byte makes two, anything else one.
std::vector<size_t> CharacterEnds(const std::string& text) {
  std::vector<size_t> ends{0};
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    i += lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
    ends.push_back(i);
  }
  return ends;
}

TEST_F(RealDatabaseTest, ShortBuffersGetWholeCharacters) {
  const CIpLocationDb& db = *s_db;
  const uint32_t count = db.EntryCount();
  for (uint32_t i = 0; i < count; i += 997) {
    const uint32_t ip = db.EntryAt(i)->start;
    const std::string full = ByAddress(db, ip).text;
    const std::vector<size_t> ends = CharacterEnds(full);
    for (size_t capacity = 1; capacity <= full.size() + 1; ++capacity) {
      const Answer cut = ByAddress(db, ip, capacity);
      size_t expected = 0;
      for (const size_t end : ends) {
        if (end <= capacity - 1) expected = end;
      }
      ASSERT_TRUE(cut.found);
      ASSERT_EQ(cut.text, full.substr(0, expected)) << "entry " << i << " capacity " << capacity;
    }
  }
}

}  // namespace
