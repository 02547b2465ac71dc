// CIpLocationDb: loading QQwry.dat and looking addresses up in it.
#include "ipdb/ipdb.h"

#include <cstring>
#include <new>

#include "ipdb/ipdb_address.h"
#include "ipdb/ipdb_file.h"

namespace {

// Texts of the reader's own answers, as GBK bytes.
constexpr char kBroadcastText[] = "\xB9\xE3\xB2\xA5\xB5\xD8\xD6\xB7";  // 广播地址
constexpr char kUnknownText[] = "\xCE\xB4\xD6\xAA\xCA\xFD\xBE\xDD";    // 未知数据

constexpr uint32_t kBroadcastAddress = 0xFFFFFFFFu;
constexpr size_t kHeaderSize = 8;
constexpr uint32_t kIndexEntrySize = 7;
constexpr uint8_t kRedirectAll = 1;      // record data: country and area elsewhere
constexpr uint8_t kRedirectString = 2;   // record data or area: the string elsewhere
constexpr int kTreeLevels = 10;          // bisection steps served from the tree of starts
constexpr uint32_t kTreeNodes = (1u << kTreeLevels) - 1;

// Asks the processor to start fetching p; a hint only.
void Prefetch(const uint8_t* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

uint32_t Load24(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16; }

uint32_t Load32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool IsGbkLeadByte(uint8_t c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrailByte(uint8_t c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Writes the bytes of first then second into out as one zero-terminated text
// of at most capacity bytes. A text that does not fit is cut after the last
// whole GBK character that does.
void WriteText(char* out, size_t capacity, const uint8_t* first, size_t firstLength,
               const uint8_t* second = nullptr, size_t secondLength = 0) {
  if (out == nullptr || capacity == 0) return;
  const size_t room = capacity - 1;
  size_t keep = firstLength + secondLength;
  if (keep > room) {
    auto byteAt = [&](size_t i) { return i < firstLength ? first[i] : second[i - firstLength]; };
    const size_t total = keep;
    keep = 0;
    for (;;) {
      size_t width = 1;
      if (keep + 1 < total && IsGbkLeadByte(byteAt(keep)) && IsGbkTrailByte(byteAt(keep + 1))) {
        width = 2;
      }
      if (keep + width > room) break;
      keep += width;
    }
  }
  const size_t fromFirst = keep < firstLength ? keep : firstLength;
  if (fromFirst != 0) std::memcpy(out, first, fromFirst);
  if (keep > fromFirst) std::memcpy(out + fromFirst, second, keep - fromFirst);
  out[keep] = '\0';
}

void WriteConstant(char* out, size_t capacity, const char* text) {
  WriteText(out, capacity, reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

}  // namespace

bool CIpLocationDb::LoadDatabase(const std::filesystem::path& path) {
  ipdb::CDbFile file;
  if (!file.Open(path)) return false;
  ReleaseDatabase();
  // Offsets in the file are 32-bit: a file of 4 GiB or more is no database.
  const std::optional<uint64_t> size = file.Size();
  if (!size || *size > UINT32_MAX || *size > SIZE_MAX) return false;
  const size_t length = static_cast<size_t>(*size);
  std::unique_ptr<uint8_t[]> contents(new (std::nothrow) uint8_t[length]);
  if (!contents || !file.Read(contents.get(), length)) return false;
  return AdoptContents(std::move(contents), length);
}

// Takes the bytes of a file read whole; the header must name a last index
// entry that lies inside them, at a whole number of entries from the first.
bool CIpLocationDb::AdoptContents(std::unique_ptr<uint8_t[]> contents, size_t size) {
  if (size < kHeaderSize) return false;
  m_pContents = std::move(contents);
  m_nSize = size;
  uint32_t first = 0;
  uint32_t last = 0;
  Read32(0, first);
  Read32(4, last);
  const uint32_t span = last - first;
  if (span % kIndexEntrySize != 0 || uint64_t{last} + kIndexEntrySize > size) {
    ReleaseDatabase();
    return false;
  }
  m_nFirstIndex = first;
  m_nLastIndex = span / kIndexEntrySize;
  m_bIndexInside = first <= last;
  // The end address of the last range bounds every lookup.
  uint32_t lastRecord = 0;
  m_bLastEndKnown = Read24(uint64_t{last} + 4, lastRecord) && Read32(lastRecord, m_nLastEnd);
  if (m_bIndexInside) {
    m_treeStarts.assign(kTreeNodes, 0);
    BuildTree(0, 0, m_nLastIndex + 1);
  }
  m_bLoaded = true;
  return true;
}

void CIpLocationDb::ReleaseDatabase() {
  m_pContents.reset();
  m_treeStarts.clear();
  m_nSize = 0;
  m_nFirstIndex = 0;
  m_nLastIndex = 0;
  m_nLastEnd = 0;
  m_bIndexInside = false;
  m_bLastEndKnown = false;
  m_bLoaded = false;
}

bool CIpLocationDb::LookupText(const char* address, char* out, size_t capacity) const {
  WriteText(out, capacity, nullptr, 0);
  if (!m_bLoaded) return false;
  const std::optional<uint32_t> ip = ipdb::ParseIpv4Address(address);
  // inet_addr answers a failure with all bits set, so that address is refused too.
  if (!ip || *ip == kBroadcastAddress) return false;
  return LookupAddress(*ip, out, capacity);
}

bool CIpLocationDb::LookupAddress(uint32_t ip, char* out, size_t capacity) const {
  WriteText(out, capacity, nullptr, 0);
  if (!m_bLoaded) return false;
  if (ip == kBroadcastAddress) {
    WriteConstant(out, capacity, kBroadcastText);
    return true;
  }
  Text country;
  Text area;
  const std::optional<uint32_t> record = FindRecord(ip);
  if (!record || !ReadLocation(*record, country, area)) {
    WriteConstant(out, capacity, kUnknownText);
    return false;
  }
  const uint8_t* bytes = m_pContents.get();
  WriteText(out, capacity, bytes + country.offset, country.length, bytes + area.offset, area.length);
  return true;
}

std::optional<uint32_t> CIpLocationDb::FindRecord(uint32_t ip) const {
  if (!m_bLoaded || !m_bLastEndKnown || ip > m_nLastEnd) return std::nullopt;
  uint32_t lo = 0;
  if (m_bIndexInside) {
    lo = SearchIndex(ip);
  } else if (!SearchIndexChecked(ip, lo)) {
    return std::nullopt;
  }
  uint32_t record = 0;
  uint32_t end = 0;
  if (!Read24(uint64_t{EntryOffset(lo)} + 4, record) || !Read32(record, end) || ip > end) {
    return std::nullopt;
  }
  return record;
}

// Finds the last entry whose start is at most ip (entry 0 when none is), for
// an index that lies wholly inside the contents. It takes the bisection's
// steps two at a time, reading the step's own entry together with the
// entries the next step would read for either outcome, so that the processor
// need not finish one read before it starts the next.
uint32_t CIpLocationDb::SearchIndex(uint32_t ip) const {
  const uint8_t* index = m_pContents.get() + m_nFirstIndex;
  auto startOf = [index](uint32_t i) { return Load32(index + size_t{kIndexEntrySize} * i); };
  uint32_t lo = 0;
  uint32_t hi = m_nLastIndex + 1;
  // The first steps compare with the same entries, read from the tree.
  for (uint32_t node = 0; node < kTreeNodes && hi - lo > 1;) {
    const uint32_t mid = (lo + hi) / 2;
    if (ip < m_treeStarts[node]) {
      hi = mid;
      node = 2 * node + 1;
    } else {
      lo = mid;
      node = 2 * node + 2;
    }
  }
  // With four entries or more, both halves hold two or more: a next step follows.
  while (hi - lo > 3) {
    const uint32_t mid = (lo + hi) / 2;
    const uint32_t lowerMid = (lo + mid) / 2;
    const uint32_t upperMid = (mid + hi) / 2;
    const uint32_t midStart = startOf(mid);
    const uint32_t lowerStart = startOf(lowerMid);
    const uint32_t upperStart = startOf(upperMid);
    const bool below = ip < midStart;
    const uint32_t halfLo = below ? lo : mid;
    const uint32_t halfHi = below ? mid : hi;
    const uint32_t nextMid = below ? lowerMid : upperMid;
    const bool belowNext = ip < (below ? lowerStart : upperStart);
    lo = belowNext ? halfLo : nextMid;
    hi = belowNext ? nextMid : halfHi;
  }
  // Three entries or fewer are left: their records start coming in while the
  // last steps settle which one it is.
  for (uint32_t i = lo; i < hi; ++i) {
    const uint32_t record = Load24(index + size_t{kIndexEntrySize} * i + 4);
    if (record < m_nSize) Prefetch(m_pContents.get() + record);
  }
  while (hi - lo > 1) {
    const uint32_t mid = (lo + hi) / 2;
    if (ip < startOf(mid)) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return lo;
}

// Fills the tree below node with the starts the bisection of entries lo to
// hi (hi excluded) compares with.
void CIpLocationDb::BuildTree(uint32_t node, uint32_t lo, uint32_t hi) {
  if (node >= kTreeNodes || hi - lo <= 1) return;
  const uint32_t mid = (lo + hi) / 2;
  m_treeStarts[node] = Load32(m_pContents.get() + m_nFirstIndex + size_t{kIndexEntrySize} * mid);
  BuildTree(2 * node + 1, lo, mid);
  BuildTree(2 * node + 2, mid, hi);
}

// The same search for an index whose offsets wrap past the end of the file:
// false when it reads an entry outside the contents.
bool CIpLocationDb::SearchIndexChecked(uint32_t ip, uint32_t& found) const {
  uint32_t lo = 0;
  uint32_t hi = m_nLastIndex + 1;
  while (hi - lo > 1) {
    const uint32_t mid = lo + (hi - lo) / 2;
    uint32_t start = 0;
    if (!Read32(EntryOffset(mid), start)) return false;
    if (ip < start) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  found = lo;
  return true;
}

std::optional<CIpLocationDb::IndexEntry> CIpLocationDb::EntryAt(uint32_t i) const {
  if (!m_bLoaded || i > m_nLastIndex) return std::nullopt;
  IndexEntry entry;
  const uint32_t offset = EntryOffset(i);
  if (!Read32(offset, entry.start) || !Read24(uint64_t{offset} + 4, entry.record) ||
      !Read32(entry.record, entry.end)) {
    return std::nullopt;
  }
  return entry;
}

// Index offsets are taken modulo 2^32, as the header's difference is, so the
// last entry is always the one the header names.
uint32_t CIpLocationDb::EntryOffset(uint32_t i) const { return m_nFirstIndex + i * kIndexEntrySize; }

bool CIpLocationDb::ReadByte(uint64_t offset, uint8_t& value) const {
  if (offset >= m_nSize) return false;
  value = m_pContents[static_cast<size_t>(offset)];
  return true;
}

bool CIpLocationDb::Read24(uint64_t offset, uint32_t& value) const {
  if (m_nSize < 3 || offset > m_nSize - 3) return false;
  value = Load24(m_pContents.get() + static_cast<size_t>(offset));
  return true;
}

bool CIpLocationDb::Read32(uint64_t offset, uint32_t& value) const {
  if (m_nSize < 4 || offset > m_nSize - 4) return false;
  value = Load32(m_pContents.get() + static_cast<size_t>(offset));
  return true;
}

// A string ends at its zero byte, or at the end of the contents when it has none.
bool CIpLocationDb::StringAt(uint64_t offset, Text& text) const {
  if (offset >= m_nSize) return false;
  const uint8_t* begin = m_pContents.get() + static_cast<size_t>(offset);
  const void* zero = std::memchr(begin, 0, m_nSize - static_cast<size_t>(offset));
  text.offset = static_cast<size_t>(offset);
  text.length = zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - begin)
                                 : m_nSize - text.offset;
  return true;
}

// An area field holds 2 and the offset of the string, or the string itself
// (a first byte 1 included).
bool CIpLocationDb::AreaAt(uint64_t position, Text& area) const {
  uint8_t mode = 0;
  if (!ReadByte(position, mode)) return false;
  if (mode != kRedirectString) return StringAt(position, area);
  uint32_t target = 0;
  return Read24(position + 1, target) && StringAt(target, area);
}

// Finds the country string and the area string of the record at offset record.
bool CIpLocationDb::ReadLocation(uint32_t record, Text& country, Text& area) const {
  const uint64_t data = uint64_t{record} + 4;
  uint8_t mode = 0;
  uint32_t target = 0;
  if (!ReadByte(data, mode)) return false;
  if (mode == kRedirectAll) {
    uint8_t blockMode = 0;
    if (!Read24(data + 1, target) || !ReadByte(target, blockMode)) return false;
    const uint64_t block = target;
    if (blockMode == kRedirectString) {
      return Read24(block + 1, target) && StringAt(target, country) && AreaAt(block + 4, area);
    }
    return StringAt(block, country) && AreaAt(block + country.length + 1, area);
  }
  if (mode == kRedirectString) {
    return Read24(data + 1, target) && StringAt(target, country) && AreaAt(data + 4, area);
  }
  return StringAt(data, country) && AreaAt(data + country.length + 1, area);
}

std::string CIpLocationDb::VersionText() const {
  Text country;
  Text area;
  uint32_t record = 0;
  if (!m_bLoaded || !Read24(uint64_t{EntryOffset(m_nLastIndex)} + 4, record) || !ReadLocation(record, country, area))
    return {};
  const char* bytes = reinterpret_cast<const char*>(m_pContents.get());
  return std::string(bytes + country.offset, country.length) + std::string(bytes + area.offset, area.length);
}
