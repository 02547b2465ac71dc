// Tests of the MaxMind DB reader's lookups: its walks against a plain walk of the tree as the test
// built it, and the location texts it keeps against the ones expected, after a reload and from
// several threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ipdb/ipv6_address.h"
#include "ipdb/mmdb.h"
#include "tests/host/ipdb_test_files.h"

namespace {

using ipdb::Ipv6Bytes;
using ipdb_test::CMmdbFile;
using namespace ipdb_test::mm;

const std::string kUnknown8 = "\xE6\x9C\xAA\xE7\x9F\xA5\xE6\x95\xB0\xE6\x8D\xAE";  // 未知数据

bool Load(CMmdbReader& db, const std::string& bytes) {
  return db.LoadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The record an address reaches in the tree as built, bit by bit from bit `from`.
std::optional<CMmdbReader::Found> PlainWalk(const CMmdbFile& f, const Ipv6Bytes& a, int from) {
  uint64_t node = 0;
  for (int bit = from; bit < 128; ++bit) {
    const bool right = a[bit >> 3] >> (7 - (bit & 7)) & 1;
    const uint64_t slot = right ? f.nodes[node].second : f.nodes[node].first;
    if (slot == CMmdbFile::kEmpty) return std::nullopt;
    if (slot & CMmdbFile::kDataFlag) return CMmdbReader::Found{slot & ~CMmdbFile::kDataFlag, bit + 1};
    node = slot;
  }
  return std::nullopt;
}

// An IPv4 address where the tree keeps it: under ::/96 in an IPv6 tree, and as the last 32 bits
// (written here as ::ffff:a.b.c.d, as the tree builder takes it) in an IPv4 one.
Ipv6Bytes V4In(uint32_t ip, unsigned version) {
  Ipv6Bytes a{};
  if (version == 4) a[10] = a[11] = 0xFF;
  for (int i = 0; i < 4; ++i) a[12 + i] = static_cast<uint8_t>(ip >> (24 - 8 * i));
  return a;
}

// Each probe, and addresses that share its first n bits for every n, found by the reader as by the
// plain walk; IPv6 probes through Find, the IPv4 ones through FindV4.
void ExpectWalksAgree(const CMmdbFile& f, const CMmdbReader& db, const std::vector<Ipv6Bytes>& v6,
                      const std::vector<uint32_t>& v4, std::mt19937_64& random) {
  const int base = f.ipVersion == 6 ? 0 : 96;
  for (const Ipv6Bytes& probe : v6) {
    for (int keep = 0; keep <= 128; keep += 3) {
      Ipv6Bytes a = ipdb::FromHalves(random(), random());
      for (int bit = 0; bit < keep; ++bit) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (bit & 7));
        a[bit >> 3] = static_cast<uint8_t>((a[bit >> 3] & ~mask) | (probe[bit >> 3] & mask));
      }
      const std::optional<CMmdbReader::Found> expected =
          f.ipVersion == 6 ? PlainWalk(f, a, 0) : std::nullopt;  // an IPv4 tree answers no IPv6 address
      ASSERT_EQ(db.Find(a), expected) << ipdb::FormatIpv6(a);
    }
  }
  for (const uint32_t probe : v4) {
    for (int keep = 0; keep <= 32; ++keep) {
      const auto noise = static_cast<uint32_t>(random());
      const uint32_t ip = keep == 0 ? noise : (probe & ~0u << (32 - keep)) | (noise & ~(~0u << (32 - keep)));
      ASSERT_EQ(db.FindV4(ip), PlainWalk(f, V4In(ip, f.ipVersion), base)) << std::hex << ip;
    }
  }
}

// Networks of every prefix length from one bit on, so that walks end above, at and below the
// steps the reader takes at once, in trees of both versions and every record size.
TEST(MmdbWalk, AgreesWithAPlainWalkForEveryPrefixLengthAndRecordSize) {
  std::mt19937_64 random(7);
  for (const unsigned version : {4u, 6u}) {
    for (const unsigned size : {24u, 28u, 32u}) {
      CMmdbFile f;
      f.ipVersion = version;
      f.recordSize = size;
      std::vector<uint64_t> values;
      for (int i = 0; i < 64; ++i) values.push_back(f.Put(Map({{"country_code", Str("C" + std::to_string(i))}})));
      std::vector<uint32_t> v4;
      std::vector<Ipv6Bytes> v6;
      for (int prefix = 1; prefix <= 32; ++prefix) {
        const auto ip = static_cast<uint32_t>(random());
        f.InsertV4(ip, prefix, values[prefix]);
        v4.push_back(ip);
        v6.push_back(V4In(ip, version));
      }
      if (version == 6) {
        for (int prefix = 1; prefix <= 64; ++prefix) {
          Ipv6Bytes a = ipdb::FromHalves(random(), random());
          a[0] = static_cast<uint8_t>(0x20 | (a[0] & 0x1F));  // clear of ::/96 and its IPv4 networks
          f.Insert(a, prefix, values[prefix % 64]);
          v6.push_back(a);
        }
      }
      // Enough nodes that the 28- and 32-bit records use their high bits.
      for (uint32_t n = 0; n < (size == 24 ? 0u : 3000u); ++n) f.InsertV4(0xC0000000u + (n << 8), 24, values[0]);
      v4.push_back(0xC0000000u + (2999u << 8));
      CMmdbReader db;
      ASSERT_TRUE(Load(db, f.Finish())) << version << "/" << size;
      ExpectWalksAgree(f, db, v6, v4, random);
    }
  }
}

// Trees whose IPv4 start is a record, or nothing, before bit 96, and trees whose records lead
// back up the tree: every walk still ends where the plain one does, after at most 128 steps.
const std::vector<uint32_t> kSomeV4 = {0, 0x01020304u, 0x7F000001u, 0xC0A80001u, 0xFFFFFFFFu};

// A tree whose IPv4 start is a record before bit 96: ::/5 holds them all.
TEST(MmdbWalk, AgreesWhereTheIpv4StartIsARecord) {
  std::mt19937_64 random(11);
  for (const unsigned size : {24u, 28u, 32u}) {
    CMmdbFile f;
    f.recordSize = size;
    const uint64_t wide = f.Put(Map({{"country_code", Str("W")}}));
    const uint64_t narrow = f.Put(Map({{"country_code", Str("N")}}));
    f.Insert(ipdb::FromHalves(0, 0), 5, wide);
    f.Insert(ipdb::FromHalves(0x2001ull << 48, 0), 16, narrow);
    CMmdbReader db;
    ASSERT_TRUE(Load(db, f.Finish()));
    EXPECT_EQ(db.FindV4(0x01020304u), (CMmdbReader::Found{wide, 5}));
    ExpectWalksAgree(f, db, {ipdb::FromHalves(0x2001ull << 48, 1)}, kSomeV4, random);
  }
}

// A tree with nothing under ::/3, so that the IPv4 start is no record at all.
TEST(MmdbWalk, AgreesWhereTheIpv4StartIsEmpty) {
  std::mt19937_64 random(12);
  for (const unsigned size : {24u, 28u, 32u}) {
    CMmdbFile f;
    f.recordSize = size;
    const uint64_t only = f.Put(Map({{"country_code", Str("O")}}));
    f.Insert(ipdb::FromHalves(0x2400ull << 48, 0), 12, only);
    CMmdbReader db;
    ASSERT_TRUE(Load(db, f.Finish()));
    EXPECT_EQ(db.FindV4(0x01020304u), std::nullopt);
    ExpectWalksAgree(f, db, {ipdb::FromHalves(0x2400ull << 48, 5)}, kSomeV4, random);
  }
}

// Records that point back to the root and to a node's own parent: every walk still ends where
// the plain one does, after at most 128 steps.
TEST(MmdbWalk, AgreesWhereRecordsLeadBackUpTheTree) {
  std::mt19937_64 random(13);
  for (const unsigned size : {24u, 28u, 32u}) {
    CMmdbFile f;
    f.recordSize = size;
    const uint64_t deep = f.Put(Map({{"country_code", Str("D")}}));
    f.Insert(ipdb::FromHalves(0x2400ull << 48, 0), 40, deep);
    f.InsertV4(0x0A000000u, 8, deep);
    ASSERT_GT(f.nodes.size(), 30u);
    f.nodes[3].second = 0;
    f.nodes[10].first = 9;
    f.nodes[25].second = 1;
    CMmdbReader db;
    ASSERT_TRUE(Load(db, f.Finish()));
    ExpectWalksAgree(f, db, {ipdb::FromHalves(0x2400ull << 48, 0), ipdb::FromHalves(0, 0)},
                     {0x0A000001u, 0x0B000000u}, random);
  }
}

// ---- The kept location texts -------------------------------------------------------------------

// Records of three shapes: a country code, names of 6 to 69 bytes, and no location.
struct TextFile {
  CMmdbFile f;
  std::vector<uint64_t> values;
  std::vector<std::string> texts;  // what each lookup answers
  // letter tells one file's texts from another's of the same layout.
  TextFile(char letter, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      char code[8];
      std::snprintf(code, sizeof code, "%c%05zu", letter, i);
      if (i % 5 == 0) {
        values.push_back(f.Put(Map({{"location", Map({{"latitude", Double(1.5)}})}})));
        texts.push_back(kUnknown8);
      } else if (i % 5 == 1) {
        const std::string name = std::string(code) + std::string(i / 5 % 64, letter);  // either side of a kept text's room
        values.push_back(f.Put(Map({{"country", Map({{"names", Names("", name)}})}})));
        texts.push_back(name);
      } else {
        values.push_back(f.Put(Map({{"country_code", Str(code)}})));
        texts.push_back(code);
      }
      f.InsertV4(0x0A000000u + static_cast<uint32_t>(i << 8), 24, values.back());
    }
  }
  static uint32_t Address(size_t i) { return 0x0A000000u + static_cast<uint32_t>(i << 8) + 7; }
};

// More records than the reader keeps texts for, each looked up several times in different orders,
// then a file of the same layout with other texts loaded into the same reader.
TEST(MmdbTexts, KeptTextsAnswerAsTheRecordsSayAndGoWithTheirFile) {
  constexpr size_t kRecords = 3000;
  const TextFile first('A', kRecords), second('B', kRecords);
  ASSERT_EQ(first.values, second.values);  // the same offsets, so that only the texts tell them apart
  CMmdbReader db;
  ASSERT_TRUE(Load(db, first.f.Finish()));
  std::vector<size_t> order(kRecords);
  for (size_t i = 0; i < kRecords; ++i) order[i] = i;
  std::mt19937 random(3);
  std::string text;
  for (int pass = 0; pass < 3; ++pass) {
    for (const size_t i : order) {
      EXPECT_EQ(db.LookupV4(TextFile::Address(i), text), first.texts[i] != kUnknown8) << i;
      ASSERT_EQ(text, first.texts[i]) << i << " pass " << pass;
      ASSERT_EQ(db.LocationAt(first.values[i]), first.texts[i] == kUnknown8 ? "" : first.texts[i]) << i;
    }
    std::shuffle(order.begin(), order.end(), random);
  }
  ASSERT_TRUE(Load(db, second.f.Finish()));
  for (const size_t i : order) {
    db.LookupV4(TextFile::Address(i), text);
    ASSERT_EQ(text, second.texts[i]) << i;
  }
  // A failed load keeps nothing of the file before.
  EXPECT_FALSE(Load(db, "not a database"));
  EXPECT_FALSE(db.LookupV4(TextFile::Address(2), text));
  EXPECT_EQ(text, "");
}

// Threads looking up the same records at once, each in its own order, on a freshly loaded reader:
// every answer is whole and right while the slots fill.
TEST(MmdbTexts, ThreadsLookingUpTogetherGetWholeTexts) {
  constexpr size_t kRecords = 2000;
  constexpr int kThreads = 4;
  const TextFile file('C', kRecords);
  CMmdbReader db;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(Load(db, file.f.Finish()));
    std::atomic<int> ready{0}, wrong{0}, answered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        std::vector<size_t> order(kRecords);
        for (size_t i = 0; i < kRecords; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(static_cast<unsigned>(round * 10 + t)));
        ready.fetch_add(1);
        while (ready.load() < kThreads) std::this_thread::yield();
        std::string text;
        for (int pass = 0; pass < 2; ++pass) {
          for (const size_t i : order) {
            db.LookupV4(TextFile::Address(i), text);
            if (text != file.texts[i]) wrong.fetch_add(1);
            answered.fetch_add(1);
          }
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0) << "round " << round;
    EXPECT_EQ(answered.load(), static_cast<int>(2 * kThreads * kRecords));
  }
}

}  // namespace
