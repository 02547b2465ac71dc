// CIpv6WryDb: loading ipv6wry.db and looking addresses up in it.
#include "ipdb/ipv6wry.h"

#include <cstring>
#include <new>

#include "ipdb/ipdb_file.h"

namespace {

constexpr char kUnknownText[] = "\xE6\x9C\xAA\xE7\x9F\xA5\xE6\x95\xB0\xE6\x8D\xAE";  // 未知数据 (UTF-8)
constexpr size_t kHeaderSize = 24;
constexpr unsigned kKeyWidth = 8;
constexpr uint8_t kRedirectAll = 1;
constexpr uint8_t kRedirectString = 2;
// Redirections followed for one string before the record is taken as damaged: real files use
// two at most.
constexpr int kMaxRedirections = 8;
// Header field naming the offset of the date text, when the header is that long.
constexpr uint64_t kDateField = 32;
constexpr size_t kMaxDateLength = 64;

}  // namespace

// Asks the processor to start fetching the byte at offset; a hint only, ignored outside the file.
void CIpv6WryDb::Prefetch(uint64_t offset) const {
#if defined(__GNUC__) || defined(__clang__)
  if (offset < m_nSize) __builtin_prefetch(m_pContents.get() + offset);
#else
  (void)offset;
#endif
}

bool CIpv6WryDb::LoadDatabase(const std::filesystem::path& path) {
  ipdb::CDbFile file;
  if (!file.Open(path)) return false;
  ReleaseDatabase();
  size_t length = 0;
  std::unique_ptr<uint8_t[]> contents = ipdb::ReadWhole(file, length);
  return contents && Adopt(std::move(contents), length);
}

bool CIpv6WryDb::LoadBytes(const uint8_t* bytes, size_t size) {
  ReleaseDatabase();
  std::unique_ptr<uint8_t[]> contents = ipdb::CopyBytes(bytes, size);
  return contents && Adopt(std::move(contents), size);
}

// The header must name a version this reader knows, offsets of one to eight bytes, 8-byte keys
// and an index of at least one entry lying wholly inside the file.
bool CIpv6WryDb::Adopt(std::unique_ptr<uint8_t[]> contents, size_t size) {
  if (size < kHeaderSize || std::memcmp(contents.get(), "IPDB", 4) != 0) return false;
  m_pContents = std::move(contents);
  m_nSize = size;
  const uint64_t version = ReadNumber(4, 2);
  const unsigned offsetWidth = m_pContents[6];
  const unsigned keyWidth = m_pContents[7];
  const uint64_t count = ReadNumber(8, 8);
  const uint64_t first = ReadNumber(16, 8);
  const uint64_t entrySize = kKeyWidth + offsetWidth;
  if (version != 1 || offsetWidth < 1 || offsetWidth > 8 || keyWidth != kKeyWidth || count == 0 ||
      count > size / entrySize || !Inside(first, count * entrySize)) {
    ReleaseDatabase();
    return false;
  }
  m_nOffsetWidth = offsetWidth;
  m_nCount = count;
  m_nFirstIndex = first;
  m_bLoaded = true;
  return true;
}

void CIpv6WryDb::ReleaseDatabase() {
  m_pContents.reset();
  m_nSize = 0;
  m_nCount = 0;
  m_nFirstIndex = 0;
  m_nOffsetWidth = 3;
  m_bLoaded = false;
}

uint64_t CIpv6WryDb::ReadNumber(uint64_t offset, unsigned width) const {
  const uint8_t* p = m_pContents.get() + offset;
  uint64_t value = 0;
  for (unsigned i = width; i-- > 0;) value = value << 8 | p[i];
  return value;
}

CIpv6WryDb::IndexEntry CIpv6WryDb::EntryAt(uint64_t i) const {
  const uint64_t offset = m_nFirstIndex + i * (kKeyWidth + m_nOffsetWidth);
  return {ReadNumber(offset, kKeyWidth), ReadNumber(offset + kKeyWidth, m_nOffsetWidth)};
}

// The bisection over the index: the last entry whose key is at most high.
std::optional<uint64_t> CIpv6WryDb::FindEntry(uint64_t high) const {
  if (!m_bLoaded) return std::nullopt;
  const uint8_t* index = m_pContents.get() + m_nFirstIndex;
  const size_t entrySize = kKeyWidth + m_nOffsetWidth;
  auto keyOf = [&](uint64_t i) {
    uint64_t key;
    std::memcpy(&key, index + i * entrySize, sizeof key);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    key = __builtin_bswap64(key);
#endif
    return key;
  };
  // Both bounds are chosen without a branch: a random address leaves nothing to predict. When
  // few entries are left their records start coming in while the last steps settle which it is.
  uint64_t lo = 0, hi = m_nCount;
  bool fetched = false;
  while (hi - lo > 1) {
    if (!fetched && hi - lo <= 4) {
      for (uint64_t i = lo; i < hi; ++i) Prefetch(ReadNumber(m_nFirstIndex + i * entrySize + kKeyWidth, m_nOffsetWidth));
      fetched = true;
    }
    const uint64_t mid = lo + (hi - lo) / 2;
    const bool below = high < keyOf(mid);
    hi = below ? mid : hi;
    lo = below ? lo : mid;
  }
  if (high < keyOf(lo)) return std::nullopt;
  return lo;
}

bool CIpv6WryDb::StringAt(uint64_t offset, std::string_view& text) const {
  if (offset >= m_nSize) return false;
  const uint8_t* begin = m_pContents.get() + offset;
  const void* zero = std::memchr(begin, 0, m_nSize - offset);
  const size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - begin) : m_nSize - offset;
  text = std::string_view(reinterpret_cast<const char*>(begin), length);
  return true;
}

// An area (or a redirected country) is a string, or a mode byte 1 or 2 and the offset of
// another area.
bool CIpv6WryDb::AreaAt(uint64_t offset, std::string_view& text) const {
  for (int depth = 0; depth <= kMaxRedirections; ++depth) {
    if (offset >= m_nSize) return false;
    const uint8_t mode = m_pContents[offset];
    if (mode != kRedirectAll && mode != kRedirectString) return StringAt(offset, text);
    if (!Inside(offset + 1, m_nOffsetWidth)) return false;
    offset = ReadNumber(offset + 1, m_nOffsetWidth);
  }
  return false;
}

bool CIpv6WryDb::RecordTexts(uint64_t record, std::string_view& country, std::string_view& area) const {
  if (!m_bLoaded) return false;
  // Mode 1 moves the whole record elsewhere.
  for (int depth = 0;; ++depth) {
    if (depth > kMaxRedirections || record >= m_nSize) return false;
    if (m_pContents[record] != kRedirectAll) break;
    if (!Inside(record + 1, m_nOffsetWidth)) return false;
    record = ReadNumber(record + 1, m_nOffsetWidth);
  }
  // A record redirecting its country, and an area redirecting again: both places are asked for
  // at once rather than one after the other.
  if (m_pContents[record] == kRedirectString && Inside(record + 2 + 2 * m_nOffsetWidth, 0)) {
    Prefetch(ReadNumber(record + 1, m_nOffsetWidth));
    const uint64_t areaField = record + 1 + m_nOffsetWidth;
    const uint8_t areaMode = m_pContents[areaField];
    if (areaMode == kRedirectAll || areaMode == kRedirectString) Prefetch(ReadNumber(areaField + 1, m_nOffsetWidth));
  }
  if (!AreaAt(record, country)) return false;
  const uint64_t areaField =
      m_pContents[record] == kRedirectString ? record + 1 + m_nOffsetWidth : record + country.size() + 1;
  return AreaAt(areaField, area);
}

bool CIpv6WryDb::ReadRecord(uint64_t record, std::string& country, std::string& area) const {
  std::string_view c, a;
  if (!RecordTexts(record, c, a)) return false;
  country.assign(c);
  area.assign(a);
  return true;
}

bool CIpv6WryDb::Lookup(const ipdb::Ipv6Bytes& address, std::string& text) const {
  text.clear();
  if (!m_bLoaded) return false;
  std::string_view country, area;
  const std::optional<uint64_t> entry = FindEntry(ipdb::High64(address));
  if (!entry || !RecordTexts(EntryAt(*entry).record, country, area)) {
    text = kUnknownText;
    return false;
  }
  text.assign(country);
  if (!country.empty() && !area.empty()) text += ' ';
  text.append(area);
  return true;
}

std::string CIpv6WryDb::DateText() const {
  if (!m_bLoaded || !Inside(kDateField, 8)) return {};
  const uint64_t offset = ReadNumber(kDateField, 8);
  std::string_view text;
  if (offset < kHeaderSize || !StringAt(offset, text)) return {};
  std::string date(text.substr(0, kMaxDateLength));
  bool digits = date.size() == 8;
  for (char c : date) digits = digits && c >= '0' && c <= '9';
  if (digits) return date.substr(0, 4) + '-' + date.substr(4, 2) + '-' + date.substr(6, 2);
  // Only printable ASCII is shown of a text that is not a date.
  for (char& c : date)
    if (c < 0x20 || c > 0x7E) c = '?';
  return date;
}
