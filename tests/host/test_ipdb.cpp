// Tests of CIpLocationDb on small database files laid out byte by byte.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ipdb/ipdb.h"
#include "tests/host/ipdb_test_file.h"

namespace {

using ipdb_test::CDatabaseBuilder;
using ipdb_test::CScratchDir;

// GBK bytes of the texts used below.
const std::string kBeijing = "\xB1\xB1\xBE\xA9\xCA\xD0";   // 北京市
const std::string kShanghai = "\xC9\xCF\xBA\xA3\xCA\xD0";  // 上海市
const std::string kGuangdong = "\xB9\xE3\xB6\xAB\xCA\xA1"; // 广东省
const std::string kUnicom = "\xC1\xAA\xCD\xA8";            // 联通
const std::string kTelecom = "\xB5\xE7\xD0\xC5";           // 电信
const std::string kMobile = "\xD2\xC6\xB6\xAF";            // 移动
const std::string kBroadcast = "\xB9\xE3\xB2\xA5\xB5\xD8\xD6\xB7";  // 广播地址
const std::string kUnknown = "\xCE\xB4\xD6\xAA\xCA\xFD\xBE\xDD";    // 未知数据

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return a << 24 | b << 16 | c << 8 | d;
}

struct Answer {
  bool found;
  std::string text;
  bool operator==(const Answer&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Answer& a) {
  os << (a.found ? "found:" : "not found:");
  for (unsigned char c : a.text) {
    if (c >= 0x20 && c < 0x7F) {
      os << c;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      os << "\\x" << kHex[c >> 4] << kHex[c & 15];
    }
  }
  return os;
}

// The text a lookup left in a buffer of capacity bytes with a guard byte
// behind it: it must end with a zero inside the capacity and leave the guard.
std::string TextIn(const std::vector<char>& out, size_t capacity) {
  EXPECT_EQ(out[capacity], 'Z') << "wrote past the capacity";
  if (capacity == 0) return {};
  const size_t length = strnlen(out.data(), capacity);
  EXPECT_LT(length, capacity) << "no terminating zero inside the capacity";
  return std::string(out.data(), length);
}

Answer ByAddress(const CIpLocationDb& db, uint32_t ip, size_t capacity = 1024) {
  std::vector<char> out(capacity + 1, 'Z');
  const bool found = db.LookupAddress(ip, out.data(), capacity);
  return {found, TextIn(out, capacity)};
}

Answer ByText(const CIpLocationDb& db, const char* address, size_t capacity = 1024) {
  std::vector<char> out(capacity + 1, 'Z');
  const bool found = db.LookupText(address, out.data(), capacity);
  return {found, TextIn(out, capacity)};
}

// Points index entry i of a finished file at another record.
void SetEntryRecord(std::vector<uint8_t>& bytes, uint32_t i, uint32_t record) {
  const uint32_t first = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  for (uint32_t k = 0; k < 3; ++k) bytes[first + 7 * i + 4 + k] = static_cast<uint8_t>(record >> (8 * k));
}

Answer Found(const std::string& text) { return {true, text}; }
const Answer kUnknownAnswer{false, kUnknown};
const Answer kEmptyAnswer{false, ""};

class IpLocationDbTest : public ::testing::Test {
 protected:
  // Loads the bytes through a file, as the port page does.
  bool Load(const std::vector<uint8_t>& bytes, const std::string& name = "QQwry.dat") {
    return m_db.LoadDatabase(m_dir.Write(name, bytes));
  }
  void LoadOrFail(const std::vector<uint8_t>& bytes) { ASSERT_TRUE(Load(bytes)); }

  CScratchDir m_dir;
  CIpLocationDb m_db;
};

// Three ranges with a gap between the second and third.
std::vector<uint8_t> ThreeRanges() {
  CDatabaseBuilder b;
  const uint32_t r0 = b.PlainRecord(Ip(1, 0, 0, 255), kBeijing, kUnicom);
  const uint32_t r1 = b.PlainRecord(Ip(1, 0, 1, 255), kShanghai, kTelecom);
  const uint32_t r2 = b.PlainRecord(Ip(9, 255, 255, 255), kGuangdong, kMobile);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(1, 0, 1, 0), r1);
  b.AddEntry(Ip(8, 0, 0, 0), r2);
  return b.Finish();
}

// ---- Record layouts -------------------------------------------------------

TEST_F(IpLocationDbTest, PlainRecordJoinsCountryAndAreaWithoutSeparator) {
  LoadOrFail(ThreeRanges());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 7)), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 1, 7)), Found(kShanghai + kTelecom));
  EXPECT_EQ(ByAddress(m_db, Ip(8, 8, 8, 8)), Found(kGuangdong + kMobile));
}

TEST_F(IpLocationDbTest, FirstByteTwoTakesCountryFromOffsetAndAreaAfterIt) {
  CDatabaseBuilder b;
  const uint32_t country = b.Str(kBeijing);
  const uint32_t area = b.Str(kTelecom);
  // Area in place at R + 8.
  const uint32_t r0 = b.U32(Ip(1, 255, 255, 255));
  b.U8(2);
  b.U24(country);
  b.Str(kUnicom);
  // Area redirected from R + 8.
  const uint32_t r1 = b.U32(Ip(2, 255, 255, 255));
  b.U8(2);
  b.U24(country);
  b.U8(2);
  b.U24(area);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(2, 0, 0, 0), r1);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 2, 3, 4)), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 2, 3, 4)), Found(kBeijing + kTelecom));
}

TEST_F(IpLocationDbTest, FirstByteOneFollowsBlockStartingWithTwo) {
  CDatabaseBuilder b;
  const uint32_t country = b.Str(kShanghai);
  const uint32_t area = b.Str(kMobile);
  const uint32_t blockInPlace = b.U8(2);  // country redirected, area in place at A + 4
  b.U24(country);
  b.Str(kTelecom);
  const uint32_t blockRedirected = b.U8(2);  // country and area both redirected
  b.U24(country);
  b.U8(2);
  b.U24(area);
  const uint32_t r0 = b.U32(Ip(1, 255, 255, 255));
  b.U8(1);
  b.U24(blockInPlace);
  const uint32_t r1 = b.U32(Ip(2, 255, 255, 255));
  b.U8(1);
  b.U24(blockRedirected);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(2, 0, 0, 0), r1);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 1)), Found(kShanghai + kTelecom));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 1)), Found(kShanghai + kMobile));
}

TEST_F(IpLocationDbTest, FirstByteOneFollowsBlockHoldingAPlainString) {
  CDatabaseBuilder b;
  const uint32_t area = b.Str(kUnicom);
  const uint32_t blockInPlace = b.Str(kGuangdong);  // area right after the country's zero byte
  b.Str(kMobile);
  const uint32_t blockRedirected = b.Str(kBeijing);
  b.U8(2);
  b.U24(area);
  const uint32_t blockOne = b.Str("\x01" "x");  // a 1 at A is text, not a redirection
  b.Str(kTelecom);
  const uint32_t r0 = b.U32(Ip(1, 255, 255, 255));
  b.U8(1);
  b.U24(blockInPlace);
  const uint32_t r1 = b.U32(Ip(2, 255, 255, 255));
  b.U8(1);
  b.U24(blockRedirected);
  const uint32_t r2 = b.U32(Ip(3, 255, 255, 255));
  b.U8(1);
  b.U24(blockOne);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(2, 0, 0, 0), r1);
  b.AddEntry(Ip(3, 0, 0, 0), r2);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 1)), Found(kGuangdong + kMobile));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 1)), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(3, 0, 0, 1)), Found("\x01" "x" + kTelecom));
}

TEST_F(IpLocationDbTest, AreaFieldRedirectsOnlyOnTwo) {
  CDatabaseBuilder b;
  const uint32_t area = b.Str(kMobile);
  const uint32_t r0 = b.U32(Ip(1, 255, 255, 255));  // area redirected
  b.Str(kBeijing);
  b.U8(2);
  b.U24(area);
  const uint32_t r1 = b.U32(Ip(2, 255, 255, 255));  // area starting with 1 read in place
  b.Str(kBeijing);
  b.Str("\x01" "ab");
  const uint32_t r2 = b.PlainRecord(Ip(3, 255, 255, 255), kBeijing, "");  // empty area
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(2, 0, 0, 0), r1);
  b.AddEntry(Ip(3, 0, 0, 0), r2);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 1, 1, 1)), Found(kBeijing + kMobile));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 1, 1, 1)), Found(kBeijing + "\x01" "ab"));
  EXPECT_EQ(ByAddress(m_db, Ip(3, 1, 1, 1)), Found(kBeijing));
}

TEST_F(IpLocationDbTest, EmptyCountryPutsAreaRightAfterItsZeroByte) {
  CDatabaseBuilder b;
  const uint32_t area = b.Str(kTelecom);
  const uint32_t r0 = b.PlainRecord(Ip(1, 255, 255, 255), "", kUnicom);
  const uint32_t r1 = b.U32(Ip(2, 255, 255, 255));
  b.Str("");
  b.U8(2);
  b.U24(area);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(2, 0, 0, 0), r1);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), Found(kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 0)), Found(kTelecom));
}

TEST_F(IpLocationDbTest, LongCountryStringsAreReadWhole) {
  std::string longCountry;
  for (int i = 0; i < 200; ++i) longCountry += kBeijing.substr(0, 2);  // 400 bytes
  CDatabaseBuilder b;
  const uint32_t block = b.Str(longCountry);
  b.Str(kUnicom);
  const uint32_t r0 = b.PlainRecord(Ip(1, 255, 255, 255), longCountry, kTelecom);
  const uint32_t r1 = b.U32(Ip(2, 255, 255, 255));
  b.U8(1);
  b.U24(block);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(2, 0, 0, 0), r1);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), Found(longCountry + kTelecom));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 0)), Found(longCountry + kUnicom));
}

TEST_F(IpLocationDbTest, OutputBytesAreCopiedUnconverted) {
  // Every non-zero byte; the first is neither 1 nor 2, which would redirect.
  std::string everyByte;
  for (int c = 3; c < 256; ++c) everyByte += static_cast<char>(c);
  everyByte += "\x01\x02";
  CDatabaseBuilder b;
  const uint32_t r0 = b.PlainRecord(Ip(1, 255, 255, 255), everyByte, everyByte);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), Found(everyByte + everyByte));
}

// ---- Ranges and the bisection -----------------------------------------

TEST_F(IpLocationDbTest, RangeBoundariesGapsAndEnds) {
  LoadOrFail(ThreeRanges());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), Found(kBeijing + kUnicom)) << "first start";
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 255)), Found(kBeijing + kUnicom)) << "first end";
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 1, 0)), Found(kShanghai + kTelecom)) << "second start";
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 1, 255)), Found(kShanghai + kTelecom)) << "second end";
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 2, 0)), kUnknownAnswer) << "one above the second end";
  EXPECT_EQ(ByAddress(m_db, Ip(7, 255, 255, 255)), kUnknownAnswer) << "one below the third start";
  EXPECT_EQ(ByAddress(m_db, Ip(8, 0, 0, 0)), Found(kGuangdong + kMobile)) << "last start";
  EXPECT_EQ(ByAddress(m_db, Ip(9, 255, 255, 255)), Found(kGuangdong + kMobile)) << "last end";
  EXPECT_EQ(ByAddress(m_db, Ip(10, 0, 0, 0)), kUnknownAnswer) << "above the last end";
  EXPECT_EQ(ByAddress(m_db, 0xFFFFFFFEu), kUnknownAnswer);
  // Below every start the search settles on entry 0, whose end still bounds it.
  EXPECT_EQ(ByAddress(m_db, 0), Found(kBeijing + kUnicom));
  EXPECT_EQ(m_db.FindRecord(Ip(1, 0, 2, 0)), std::nullopt);
}

TEST_F(IpLocationDbTest, ManyRangesEachResolveToTheirOwnRecord) {
  // 1000 ranges of 256 addresses with gaps of 256: every start, end and gap.
  CDatabaseBuilder b;
  std::vector<uint32_t> records;
  for (uint32_t i = 0; i < 1000; ++i) {
    const uint32_t start = 0x0A000000u + i * 512;
    records.push_back(b.PlainRecord(start + 255, "r" + std::to_string(i), "a"));
    b.AddEntry(start, records.back());
  }
  LoadOrFail(b.Finish());
  EXPECT_EQ(m_db.EntryCount(), 1000u);
  for (uint32_t i = 0; i < 1000; ++i) {
    const uint32_t start = 0x0A000000u + i * 512;
    const Answer expected = Found("r" + std::to_string(i) + "a");
    ASSERT_EQ(ByAddress(m_db, start), expected) << i;
    ASSERT_EQ(ByAddress(m_db, start + 255), expected) << i;
    ASSERT_EQ(ByAddress(m_db, start + 256), kUnknownAnswer) << i;
    ASSERT_EQ(m_db.FindRecord(start + 100), records[i]) << i;
    const auto entry = m_db.EntryAt(i);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->start, start);
    EXPECT_EQ(entry->record, records[i]);
    EXPECT_EQ(entry->end, start + 255);
  }
  EXPECT_EQ(m_db.EntryAt(1000), std::nullopt);
}

// The search takes the bisection's steps exactly, so even an index that is not
// sorted lands on the entry the bisection names.
TEST_F(IpLocationDbTest, UnsortedIndexLandsWhereTheBisectionDoes) {
  std::mt19937 random(99);
  for (const uint32_t count : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 31u, 1500u}) {
    CDatabaseBuilder b;
    std::vector<uint32_t> starts;
    std::vector<uint32_t> records;
    for (uint32_t i = 0; i < count; ++i) {
      starts.push_back(static_cast<uint32_t>(random()));
      records.push_back(b.PlainRecord(0xFFFFFFFEu, "r", ""));
      b.AddEntry(starts.back(), records.back());
    }
    ASSERT_TRUE(Load(b.Finish(), "unsorted.dat"));
    std::vector<uint32_t> probes = starts;
    for (int n = 0; n < 3000; ++n) probes.push_back(static_cast<uint32_t>(random()) >> (n % 3 == 0 ? 1 : 0));
    for (const uint32_t ip : probes) {
      if (ip == 0xFFFFFFFFu) continue;
      uint32_t lo = 0;
      uint32_t hi = count;
      while (lo < hi - 1) {
        const uint32_t mid = (lo + hi) / 2;
        if (ip < starts[mid]) {
          hi = mid;
        } else {
          lo = mid;
        }
      }
      ASSERT_EQ(m_db.FindRecord(ip), records[lo]) << count << " entries, address " << ip;
    }
  }
}

TEST_F(IpLocationDbTest, OneIndexEntryCoversEverythingUpToItsEnd) {
  CDatabaseBuilder b;
  const uint32_t r0 = b.PlainRecord(Ip(100, 0, 0, 0), kBeijing, kUnicom);
  b.AddEntry(Ip(50, 0, 0, 0), r0);
  LoadOrFail(b.Finish());
  EXPECT_EQ(m_db.EntryCount(), 1u);
  EXPECT_EQ(ByAddress(m_db, 0), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(50, 0, 0, 0)), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(100, 0, 0, 0)), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(100, 0, 0, 1)), kUnknownAnswer);
}

TEST_F(IpLocationDbTest, BroadcastAddressThroughBothEntryPoints) {
  CDatabaseBuilder b;
  const uint32_t r0 = b.PlainRecord(0xFFFFFFFFu, kBeijing, kUnicom);  // covers every address
  b.AddEntry(0, r0);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, 0xFFFFFFFFu), Found(kBroadcast));
  EXPECT_EQ(ByText(m_db, "255.255.255.255"), kEmptyAnswer);
  EXPECT_EQ(ByText(m_db, "0xffffffff"), kEmptyAnswer);
  EXPECT_EQ(ByText(m_db, "4294967295"), kEmptyAnswer);
  EXPECT_EQ(ByText(m_db, "255.255.255.254"), Found(kBeijing + kUnicom));
}

TEST_F(IpLocationDbTest, TextLookupParsesAsInetAddrDoes) {
  LoadOrFail(ThreeRanges());
  for (const char* text : {"1.0.1.7", "1.0.263", "1.263", "16777479", "0x01000107", "01.0.1.07",
                           "0x1.0x0.0x1.0x7", "1.0.1.7 trailing"}) {
    EXPECT_EQ(ByText(m_db, text), ByAddress(m_db, Ip(1, 0, 1, 7))) << text;
  }
  EXPECT_EQ(ByText(m_db, "0.0.0.0"), ByAddress(m_db, 0));
  EXPECT_EQ(ByText(m_db, "0.0.0.0"), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByText(m_db, "8.8.8.8"), Found(kGuangdong + kMobile));
  EXPECT_EQ(ByText(m_db, "1.0.2.0"), kUnknownAnswer);
  for (const char* bad : {"", "abc", "1.2.3.4.5", "1..2", "1.2.3.", "256.0.0.1", "1.2.3.256",
                          "09", "0x", "1.2.3.4x", " 1.2.3.4", "-1"}) {
    EXPECT_EQ(ByText(m_db, bad), kEmptyAnswer) << bad;
  }
  EXPECT_EQ(ByText(m_db, nullptr), kEmptyAnswer);
}

// ---- Loading --------------------------------------------------------------

TEST_F(IpLocationDbTest, EmptyReaderAnswersNothing) {
  EXPECT_FALSE(m_db.IsLoaded());
  EXPECT_EQ(m_db.EntryCount(), 0u);
  EXPECT_EQ(ByText(m_db, "1.2.3.4"), kEmptyAnswer);
  EXPECT_EQ(ByAddress(m_db, Ip(1, 2, 3, 4)), kEmptyAnswer);
  EXPECT_EQ(ByAddress(m_db, 0xFFFFFFFFu), kEmptyAnswer);
  EXPECT_EQ(m_db.FindRecord(0), std::nullopt);
}

TEST_F(IpLocationDbTest, ReleaseEmptiesAndALaterLoadReplaces) {
  LoadOrFail(ThreeRanges());
  EXPECT_TRUE(m_db.IsLoaded());
  EXPECT_EQ(m_db.EntryCount(), 3u);
  m_db.ReleaseDatabase();
  EXPECT_FALSE(m_db.IsLoaded());
  EXPECT_EQ(m_db.ContentsSize(), 0u);
  EXPECT_EQ(ByText(m_db, "1.0.0.1"), kEmptyAnswer);

  LoadOrFail(ThreeRanges());
  CDatabaseBuilder other;
  other.AddEntry(Ip(1, 0, 0, 0), other.PlainRecord(Ip(1, 0, 0, 255), kTelecom, ""));
  ASSERT_TRUE(Load(other.Finish(), "other.dat"));
  EXPECT_EQ(m_db.EntryCount(), 1u);
  EXPECT_EQ(ByText(m_db, "1.0.0.1"), Found(kTelecom));
  EXPECT_EQ(ByText(m_db, "8.8.8.8"), kUnknownAnswer);
}

TEST_F(IpLocationDbTest, FailedOpenKeepsTheEarlierLoad) {
  LoadOrFail(ThreeRanges());
  EXPECT_FALSE(m_db.LoadDatabase(m_dir.Path() / "missing.dat"));
  EXPECT_TRUE(m_db.IsLoaded());
  EXPECT_EQ(ByText(m_db, "1.0.0.1"), Found(kBeijing + kUnicom));
}

TEST_F(IpLocationDbTest, LoadsFromAPathWithChineseCharacters) {
  const std::filesystem::path folder = m_dir.Path() / u8"纯真数据";
  std::filesystem::create_directories(folder);
  const std::vector<uint8_t> bytes = ThreeRanges();
  std::ofstream(folder / u8"地址库.dat", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(m_db.LoadDatabase(folder / u8"地址库.dat"));
  EXPECT_EQ(ByText(m_db, "1.0.1.0"), Found(kShanghai + kTelecom));
}

TEST_F(IpLocationDbTest, BadHeaderLeavesTheReaderEmpty) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> bad;
  bad.emplace_back("empty file", std::vector<uint8_t>{});
  bad.emplace_back("seven bytes", std::vector<uint8_t>(7, 0));
  std::vector<uint8_t> notMultiple = ThreeRanges();
  notMultiple[4] = static_cast<uint8_t>(notMultiple[4] - 1);  // L - F one short of 14
  bad.emplace_back("index span not a multiple of 7", notMultiple);
  std::vector<uint8_t> truncated = ThreeRanges();
  truncated.pop_back();  // last index entry one byte short
  bad.emplace_back("last index entry past the end", truncated);
  std::vector<uint8_t> farLast(64, 0);
  CDatabaseBuilder::PutHeader(farLast, 0x7FFFFFF9u, 0x7FFFFFF9u + 7 * 3);
  bad.emplace_back("index far past the end", farLast);

  for (const auto& [what, bytes] : bad) {
    LoadOrFail(ThreeRanges());
    EXPECT_FALSE(Load(bytes, "bad.dat")) << what;
    EXPECT_FALSE(m_db.IsLoaded()) << what;
    EXPECT_EQ(m_db.EntryCount(), 0u) << what;
    EXPECT_EQ(ByText(m_db, "1.0.0.1"), kEmptyAnswer) << what;
  }
}

TEST_F(IpLocationDbTest, SmallestLoadableFileIsAHeaderAndOneEntry) {
  // The header names an index entry at offset 8 whose record is the file start:
  // its end address is the header's first word.
  std::vector<uint8_t> bytes(15, 0);
  CDatabaseBuilder::PutHeader(bytes, 8, 8);
  ASSERT_TRUE(Load(bytes));
  EXPECT_EQ(m_db.EntryCount(), 1u);
  // Its data at offset 4 is the header's second word: the text "\x08".
  EXPECT_EQ(ByAddress(m_db, 0), Found("\x08"));
  EXPECT_EQ(ByAddress(m_db, 8), Found("\x08"));
  EXPECT_EQ(ByAddress(m_db, 9), kUnknownAnswer);
}

#ifdef __linux__
TEST_F(IpLocationDbTest, FailedReadAfterOpenLeavesTheReaderEmpty) {
  LoadOrFail(ThreeRanges());
  // A folder opens as a stream here, but cannot be read as a file.
  EXPECT_FALSE(m_db.LoadDatabase(m_dir.Path()));
  EXPECT_FALSE(m_db.IsLoaded());
  EXPECT_EQ(ByText(m_db, "1.0.0.1"), kEmptyAnswer);
}
#endif

// ---- Offsets outside the contents -----------------------------------------

TEST_F(IpLocationDbTest, OffsetsOutsideTheContentsYieldUnknown) {
  CDatabaseBuilder b;
  const uint32_t past = 0xFFFFF0;  // far past the end of this small file
  const uint32_t good = b.PlainRecord(Ip(1, 255, 255, 255), kBeijing, kUnicom);
  const uint32_t modeOne = b.U32(Ip(2, 255, 255, 255));
  b.U8(1);
  b.U24(past);
  const uint32_t modeTwo = b.U32(Ip(3, 255, 255, 255));
  b.U8(2);
  b.U24(past);
  b.Str(kUnicom);
  const uint32_t blockTwo = b.U8(2);
  b.U24(past);
  b.Str(kUnicom);
  const uint32_t viaBlockTwo = b.U32(Ip(4, 255, 255, 255));
  b.U8(1);
  b.U24(blockTwo);
  const uint32_t areaPast = b.U32(Ip(5, 255, 255, 255));
  b.Str(kBeijing);
  b.U8(2);
  b.U24(past);
  const uint32_t last = b.PlainRecord(Ip(9, 255, 255, 255), kShanghai, kTelecom);
  b.AddEntry(Ip(1, 0, 0, 0), good);
  b.AddEntry(Ip(2, 0, 0, 0), modeOne);
  b.AddEntry(Ip(3, 0, 0, 0), modeTwo);
  b.AddEntry(Ip(4, 0, 0, 0), viaBlockTwo);
  b.AddEntry(Ip(5, 0, 0, 0), areaPast);
  b.AddEntry(Ip(6, 0, 0, 0), past);  // the record itself
  b.AddEntry(Ip(7, 0, 0, 0), last);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), Found(kBeijing + kUnicom));
  for (uint32_t first = 2; first <= 6; ++first) {
    EXPECT_EQ(ByAddress(m_db, Ip(first, 0, 0, 0)), kUnknownAnswer) << first;
  }
  EXPECT_EQ(ByAddress(m_db, Ip(7, 0, 0, 0)), Found(kShanghai + kTelecom));
}

TEST_F(IpLocationDbTest, RecordReachingPastTheEndYieldsUnknown) {
  CDatabaseBuilder b;
  b.AddEntry(Ip(1, 0, 0, 0), b.PlainRecord(Ip(1, 255, 255, 255), kBeijing, kUnicom));
  b.AddEntry(Ip(2, 0, 0, 0), 0);
  b.AddEntry(Ip(3, 0, 0, 0), 0);
  b.AddEntry(Ip(9, 0, 0, 0), b.PlainRecord(Ip(9, 255, 255, 255), kShanghai, kTelecom));
  std::vector<uint8_t> bytes = b.Finish();
  // Four bytes after the index: an end address whose data byte lies past the
  // end (entry 2), and, two bytes in, an end address cut short (entry 1).
  const auto tail = static_cast<uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(Ip(3, 255, 255, 255) >> (8 * i)));
  SetEntryRecord(bytes, 1, tail + 2);
  SetEntryRecord(bytes, 2, tail);
  LoadOrFail(bytes);
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), Found(kBeijing + kUnicom));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 0)), kUnknownAnswer);
  EXPECT_EQ(ByAddress(m_db, Ip(3, 0, 0, 0)), kUnknownAnswer);
  EXPECT_EQ(ByAddress(m_db, Ip(9, 0, 0, 0)), Found(kShanghai + kTelecom));
  EXPECT_EQ(m_db.FindRecord(Ip(3, 0, 0, 0)), tail) << "the end address itself is readable";
}

TEST_F(IpLocationDbTest, LastEntryRecordOutsideMakesEveryAddressUnknown) {
  CDatabaseBuilder b;
  b.AddEntry(Ip(1, 0, 0, 0), b.PlainRecord(Ip(1, 255, 255, 255), kBeijing, kUnicom));
  b.AddEntry(Ip(2, 0, 0, 0), 0xFFFFFF);
  LoadOrFail(b.Finish());
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), kUnknownAnswer);
  EXPECT_EQ(ByAddress(m_db, 0xFFFFFFFFu), Found(kBroadcast));
}

TEST_F(IpLocationDbTest, IndexEntriesOutsideTheContentsYieldUnknown) {
  // The header's first offset lies past the end and the difference wraps to a
  // multiple of 7: only the last entry is inside the file.
  CDatabaseBuilder b;
  const uint32_t r0 = b.PlainRecord(Ip(200, 0, 0, 0), kBeijing, kUnicom);
  b.AddEntry(Ip(100, 0, 0, 0), r0);
  std::vector<uint8_t> bytes = b.Finish();
  const uint32_t last = static_cast<uint32_t>(bytes.size()) - 7;
  const uint32_t first = last - 7 * 0x10000000u;  // wraps below zero
  CDatabaseBuilder::PutHeader(bytes, first, last);
  LoadOrFail(bytes);
  EXPECT_EQ(m_db.EntryCount(), 0x10000001u);
  EXPECT_EQ(ByAddress(m_db, Ip(150, 0, 0, 0)), kUnknownAnswer);
  EXPECT_EQ(m_db.EntryAt(0), std::nullopt);
  EXPECT_TRUE(m_db.EntryAt(0x10000000u).has_value());
}

TEST_F(IpLocationDbTest, StringWithoutZeroByteEndsAtTheEndOfTheContents) {
  CDatabaseBuilder b;
  const uint32_t r0 = b.U32(Ip(1, 255, 255, 255));
  b.Str(kBeijing);
  b.U8(2);
  const uint32_t areaPointer = b.U24(0);
  const uint32_t r1 = b.U32(Ip(2, 255, 255, 255));
  b.U8(2);
  const uint32_t countryPointer = b.U24(0);
  b.Str(kShanghai);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  b.AddEntry(Ip(2, 0, 0, 0), r1);
  std::vector<uint8_t> bytes = b.Finish();
  // Both pointers lead to a text at the very end of the file with no zero byte.
  const auto tail = static_cast<uint32_t>(bytes.size());
  bytes.insert(bytes.end(), kTelecom.begin(), kTelecom.end());
  for (const uint32_t at : {areaPointer, countryPointer}) {
    for (int i = 0; i < 3; ++i) bytes[at + static_cast<uint32_t>(i)] = static_cast<uint8_t>(tail >> (8 * i));
  }
  LoadOrFail(bytes);
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), Found(kBeijing + kTelecom));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 0)), Found(kTelecom + kShanghai));
}

TEST_F(IpLocationDbTest, CountryRunningToTheEndLeavesNoAreaField) {
  CDatabaseBuilder b;
  const uint32_t r0 = b.U32(Ip(1, 255, 255, 255));
  b.U8(1);
  b.U24(0);
  b.AddEntry(Ip(1, 0, 0, 0), r0);
  std::vector<uint8_t> bytes = b.Finish();
  // The block at A is the country with no zero byte, at the very end.
  const auto tail = static_cast<uint32_t>(bytes.size());
  bytes.insert(bytes.end(), kBeijing.begin(), kBeijing.end());
  for (int i = 0; i < 3; ++i) bytes[r0 + 5 + static_cast<uint32_t>(i)] = static_cast<uint8_t>(tail >> (8 * i));
  LoadOrFail(bytes);
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0)), kUnknownAnswer);
}

// ---- Output capacity ------------------------------------------------------

TEST_F(IpLocationDbTest, OutputIsCutAtAWholeGbkCharacter) {
  CDatabaseBuilder b;
  b.AddEntry(Ip(1, 0, 0, 0), b.PlainRecord(Ip(1, 255, 255, 255), kBeijing, kUnicom));
  b.AddEntry(Ip(2, 0, 0, 0), b.PlainRecord(Ip(2, 255, 255, 255), "ab" + kBeijing.substr(0, 2), "c"));
  // A lone lead byte ends the country; it pairs with the area's first byte.
  b.AddEntry(Ip(3, 0, 0, 0), b.PlainRecord(Ip(3, 255, 255, 255), "a\xB1", "\xB1" "d"));
  // A lead byte followed by a byte that cannot trail it stands alone.
  b.AddEntry(Ip(4, 0, 0, 0), b.PlainRecord(Ip(4, 255, 255, 255), "\xB1" "1", "\xB1\x7F"));
  LoadOrFail(b.Finish());
  const std::string full = kBeijing + kUnicom;
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0), 11), Found(full));
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0), 10), Found(full.substr(0, 8)));
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0), 9), Found(full.substr(0, 8)));
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0), 8), Found(full.substr(0, 6)));
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0), 2), Found(""));
  EXPECT_EQ(ByAddress(m_db, Ip(1, 0, 0, 0), 1), Found(""));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 0), 4), Found("ab"));
  EXPECT_EQ(ByAddress(m_db, Ip(2, 0, 0, 0), 5), Found("ab" + kBeijing.substr(0, 2)));
  EXPECT_EQ(ByAddress(m_db, Ip(3, 0, 0, 0), 3), Found("a"));
  EXPECT_EQ(ByAddress(m_db, Ip(3, 0, 0, 0), 4), Found("a\xB1\xB1"));
  EXPECT_EQ(ByAddress(m_db, Ip(4, 0, 0, 0), 2), Found("\xB1"));
  EXPECT_EQ(ByAddress(m_db, Ip(4, 0, 0, 0), 5), Found("\xB1" "1\xB1\x7F"));
  EXPECT_EQ(ByAddress(m_db, Ip(4, 0, 0, 0), 4), Found("\xB1" "1\xB1"));
  EXPECT_EQ(ByAddress(m_db, Ip(9, 0, 0, 0), 5), (Answer{false, kUnknown.substr(0, 4)}));
  EXPECT_EQ(ByAddress(m_db, 0xFFFFFFFFu, 7), Found(kBroadcast.substr(0, 6)));
  EXPECT_EQ(ByText(m_db, "1.0.0.0", 5), Found(full.substr(0, 4)));
}

TEST_F(IpLocationDbTest, ZeroCapacityWritesNothing) {
  LoadOrFail(ThreeRanges());
  char untouched = 'Z';
  EXPECT_TRUE(m_db.LookupAddress(Ip(1, 0, 0, 1), &untouched, 0));
  EXPECT_TRUE(m_db.LookupText("1.0.0.1", &untouched, 0));
  EXPECT_FALSE(m_db.LookupAddress(Ip(1, 0, 2, 0), &untouched, 0));
  EXPECT_EQ(untouched, 'Z');
  EXPECT_TRUE(m_db.LookupAddress(Ip(1, 0, 0, 1), nullptr, 0));
}

}  // namespace
