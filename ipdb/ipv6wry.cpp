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

bool CIpv6WryDb::LoadDatabase(const std::filesystem::path& path) {
  ipdb::CDbFile file;
  if (!file.Open(path)) return false;
  ReleaseDatabase();
  const std::optional<uint64_t> size = file.Size();
  if (!size || *size > SIZE_MAX) return false;
  const size_t length = static_cast<size_t>(*size);
  std::unique_ptr<uint8_t[]> contents(new (std::nothrow) uint8_t[length ? length : 1]);
  if (!contents || !file.Read(contents.get(), length)) return false;
  return Adopt(std::move(contents), length);
}

bool CIpv6WryDb::LoadBytes(const uint8_t* bytes, size_t size) {
  ReleaseDatabase();
  std::unique_ptr<uint8_t[]> contents(new (std::nothrow) uint8_t[size ? size : 1]);
  if (!contents) return false;
  if (size != 0) std::memcpy(contents.get(), bytes, size);
  return Adopt(std::move(contents), size);
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
  uint64_t lo = 0, hi = m_nCount;
  while (hi - lo > 1) {
    const uint64_t mid = lo + (hi - lo) / 2;
    if (high < keyOf(mid)) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  if (high < keyOf(lo)) return std::nullopt;
  return lo;
}

bool CIpv6WryDb::StringAt(uint64_t offset, std::string& text) const {
  if (offset >= m_nSize) return false;
  const uint8_t* begin = m_pContents.get() + offset;
  const void* zero = std::memchr(begin, 0, m_nSize - offset);
  const size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - begin) : m_nSize - offset;
  text.assign(reinterpret_cast<const char*>(begin), length);
  return true;
}

// An area (or a redirected country) is a string, or a mode byte 1 or 2 and the offset of
// another area.
bool CIpv6WryDb::AreaAt(uint64_t offset, int depth, std::string& text) const {
  for (; depth <= kMaxRedirections; ++depth) {
    if (offset >= m_nSize) return false;
    const uint8_t mode = m_pContents[offset];
    if (mode != kRedirectAll && mode != kRedirectString) return StringAt(offset, text);
    if (!Inside(offset + 1, m_nOffsetWidth)) return false;
    offset = ReadNumber(offset + 1, m_nOffsetWidth);
  }
  return false;
}

bool CIpv6WryDb::ReadRecord(uint64_t record, std::string& country, std::string& area) const {
  if (!m_bLoaded) return false;
  // Mode 1 moves the whole record elsewhere.
  for (int depth = 0;; ++depth) {
    if (depth > kMaxRedirections || record >= m_nSize) return false;
    if (m_pContents[record] != kRedirectAll) break;
    if (!Inside(record + 1, m_nOffsetWidth)) return false;
    record = ReadNumber(record + 1, m_nOffsetWidth);
  }
  if (!AreaAt(record, 0, country)) return false;
  uint64_t areaField = 0;
  if (m_pContents[record] == kRedirectString) {
    areaField = record + 1 + m_nOffsetWidth;
  } else {
    areaField = record + country.size() + 1;
  }
  return AreaAt(areaField, 0, area);
}

bool CIpv6WryDb::Lookup(const ipdb::Ipv6Bytes& address, std::string& text) const {
  text.clear();
  if (!m_bLoaded) return false;
  std::string country, area;
  const std::optional<uint64_t> entry = FindEntry(ipdb::High64(address));
  if (!entry || !ReadRecord(EntryAt(*entry).record, country, area)) {
    text = kUnknownText;
    return false;
  }
  text = country;
  if (!country.empty() && !area.empty()) text += ' ';
  text += area;
  return true;
}

std::string CIpv6WryDb::DateText() const {
  if (!m_bLoaded || !Inside(kDateField, 8)) return {};
  const uint64_t offset = ReadNumber(kDateField, 8);
  std::string date;
  if (offset < kHeaderSize || !StringAt(offset, date)) return {};
  if (date.size() > kMaxDateLength) date.resize(kMaxDateLength);
  bool digits = date.size() == 8;
  for (char c : date) digits = digits && c >= '0' && c <= '9';
  if (digits) return date.substr(0, 4) + '-' + date.substr(4, 2) + '-' + date.substr(6, 2);
  // Only printable ASCII is shown of a text that is not a date.
  for (char& c : date)
    if (c < 0x20 || c > 0x7E) c = '?';
  return date;
}
