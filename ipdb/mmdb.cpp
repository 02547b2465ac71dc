// CMmdbReader: loading MaxMind DB files, walking their search tree and reading their values.
#include "ipdb/mmdb.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "ipdb/ipdb_file.h"

namespace {

constexpr char kUnknownText[] = "\xE6\x9C\xAA\xE7\x9F\xA5\xE6\x95\xB0\xE6\x8D\xAE";  // 未知数据 (UTF-8)
constexpr uint8_t kMarker[] = {0xAB, 0xCD, 0xEF, 'M', 'a', 'x', 'M', 'i', 'n', 'd', '.', 'c', 'o', 'm'};
constexpr size_t kMarkerSize = sizeof kMarker;
constexpr uint64_t kMetadataWindow = 128 * 1024;  // the marker lies within the file's last 128 KiB
constexpr uint64_t kSeparatorSize = 16;           // zero bytes between the tree and the data
constexpr int kMaxDepth = 32;                     // nesting of maps and arrays, and a sane limit

enum Type : unsigned {
  kPointer = 1, kString = 2, kDouble = 3, kBytes = 4, kUint16 = 5, kUint32 = 6, kMap = 7,
  kInt32 = 8, kUint64 = 9, kUint128 = 10, kArray = 11, kContainer = 12, kEndMarker = 13,
  kBoolean = 14, kFloat = 15
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

// A value as its header describes it. For a pointer, payload is the file offset it points to.
struct CMmdbReader::Value {
  unsigned type = 0;
  uint64_t size = 0;     // entries of a map or array, a boolean's value, payload bytes of anything else
  uint64_t payload = 0;  // file offset of the payload or the first entry
  uint64_t next = 0;     // file offset after the value; for a map or array, after its header only
};

bool CMmdbReader::LoadDatabase(const std::filesystem::path& path) {
  ipdb::CDbFile file;
  if (!file.Open(path)) return false;
  ReleaseDatabase();
  size_t length = 0;
  std::unique_ptr<uint8_t[]> contents = ipdb::ReadWhole(file, length);
  return contents && Adopt(std::move(contents), length);
}

bool CMmdbReader::LoadBytes(const uint8_t* bytes, size_t size) {
  ReleaseDatabase();
  std::unique_ptr<uint8_t[]> contents = ipdb::CopyBytes(bytes, size);
  return contents && Adopt(std::move(contents), size);
}

void CMmdbReader::ReleaseDatabase() {
  m_pContents.reset();
  m_nSize = 0;
  m_meta = Metadata{};
  m_data = Section{};
  m_nIpv4Start = 0;
  m_nIpv4StartDepth = 0;
  m_pJumps.reset();
  m_pTexts.reset();
  m_bLoaded = false;
}

// Finds the last metadata marker, reads the metadata and checks that the tree and the data
// section fit before it.
bool CMmdbReader::Adopt(std::unique_ptr<uint8_t[]> contents, size_t size) {
  m_pContents = std::move(contents);
  m_nSize = size;
  const uint8_t* bytes = m_pContents.get();
  uint64_t marker = UINT64_MAX;
  const uint64_t lowest = size > kMetadataWindow ? size - kMetadataWindow : 0;
  for (uint64_t at = size >= kMarkerSize ? size - kMarkerSize + 1 : 0; at-- > lowest;) {
    if (bytes[at] == kMarker[0] && std::memcmp(bytes + at, kMarker, kMarkerSize) == 0) {
      marker = at;
      break;
    }
  }
  if (marker == UINT64_MAX || !ReadMetadata({marker + kMarkerSize, size})) {
    ReleaseDatabase();
    return false;
  }
  const uint64_t treeSize = m_meta.nodeCount * (m_meta.recordSize / 4);
  if (m_meta.nodeCount > marker / 6 || treeSize + kSeparatorSize > marker) {
    ReleaseDatabase();
    return false;
  }
  m_data = {treeSize + kSeparatorSize, marker};
  m_bLoaded = true;
  // IPv4 addresses in an IPv6 tree live under ::/96.
  uint64_t node = 0;
  int depth = 0;
  if (m_meta.ipVersion == 6) {
    for (; depth < 96 && node < m_meta.nodeCount; ++depth) node = Record(node, 0);
  }
  m_nIpv4Start = node;
  m_nIpv4StartDepth = depth;
  m_pJumps.reset(new (std::nothrow) uint64_t[size_t{2} << kJumpBits]);
  m_pTexts.reset(new (std::nothrow) CachedText[size_t{1} << kCachedTextBits]);
  if (!m_pJumps || !m_pTexts) {
    ReleaseDatabase();
    return false;
  }
  FillJumps(m_pJumps.get(), 0, kJumpBits);
  FillJumps(m_pJumps.get() + (size_t{1} << kJumpBits), m_nIpv4Start, kIpv4JumpLevels);
  return true;
}

bool CMmdbReader::ReadMetadata(const Section& s) {
  Value map;
  if (!Resolve(s, s.begin, map) || map.type != kMap) return false;
  uint64_t at = map.payload;
  uint64_t major = 0;
  bool haveNodes = false, haveSize = false, haveVersion = false;
  for (uint64_t i = 0; i < map.size; ++i) {
    Value key, value;
    if (!Resolve(s, at, key) || key.type != kString || !Skip(s, at, 0, at)) return false;
    const std::string_view name(reinterpret_cast<const char*>(m_pContents.get() + key.payload), key.size);
    const uint64_t valueAt = at;
    if (!Resolve(s, valueAt, value) || !Skip(s, valueAt, 0, at)) return false;
    uint64_t number = 0;
    if (name == "node_count" && Unsigned(s, value, number)) {
      m_meta.nodeCount = number;
      haveNodes = true;
    } else if (name == "record_size" && Unsigned(s, value, number)) {
      m_meta.recordSize = static_cast<unsigned>(number > 64 ? 0 : number);
      haveSize = true;
    } else if (name == "ip_version" && Unsigned(s, value, number)) {
      m_meta.ipVersion = static_cast<unsigned>(number > 64 ? 0 : number);
      haveVersion = true;
    } else if (name == "build_epoch" && Unsigned(s, value, number)) {
      m_meta.buildEpoch = number;
    } else if (name == "binary_format_major_version" && Unsigned(s, value, number)) {
      major = number;
    } else if (name == "database_type" && value.type == kString) {
      m_meta.databaseType.assign(reinterpret_cast<const char*>(m_pContents.get() + value.payload), value.size);
    } else if (name == "languages" && value.type == kArray) {
      uint64_t item = value.payload;
      for (uint64_t n = 0; n < value.size; ++n) {
        Value language;
        if (!Resolve(s, item, language) || !Skip(s, item, 1, item)) return false;
        if (language.type == kString)
          m_meta.languages.emplace_back(reinterpret_cast<const char*>(m_pContents.get() + language.payload),
                                        language.size);
      }
    }
  }
  return haveNodes && haveSize && haveVersion && major == 2 && m_meta.nodeCount > 0 &&
         (m_meta.recordSize == 24 || m_meta.recordSize == 28 || m_meta.recordSize == 32) &&
         (m_meta.ipVersion == 4 || m_meta.ipVersion == 6);
}

// ---- Values ---------------------------------------------------------------

bool CMmdbReader::Decode(const Section& s, uint64_t offset, Value& v) const {
  if (offset < s.begin || offset >= s.end) return false;
  const uint8_t* b = m_pContents.get();
  const uint8_t control = b[offset];
  uint64_t p = offset + 1;
  v.type = control >> 5;
  if (v.type == kPointer) {
    const unsigned extra = (control >> 3) & 3;
    const unsigned width = extra + 1;
    if (width > s.end - p) return false;
    uint64_t target = extra == 3 ? 0 : control & 7u;
    for (unsigned i = 0; i < width; ++i) target = target << 8 | b[p + i];
    static constexpr uint64_t kBias[] = {0, 2048, 526336, 0};
    target += kBias[extra];
    if (target >= s.end - s.begin) return false;
    v.size = 0;
    v.payload = s.begin + target;
    v.next = p + width;
    return true;
  }
  if (v.type == 0) {
    if (p >= s.end) return false;
    v.type = 7u + b[p++];
    if (v.type < kInt32 || v.type > kFloat) return false;
  }
  uint64_t size = control & 31u;
  if (size >= 29) {
    const unsigned width = static_cast<unsigned>(size - 28);
    if (width > s.end - p) return false;
    uint64_t extra = 0;
    for (unsigned i = 0; i < width; ++i) extra = extra << 8 | b[p + i];
    p += width;
    static constexpr uint64_t kBase[] = {29, 285, 65821};
    size = kBase[width - 1] + extra;
  }
  v.size = size;
  v.payload = p;
  const uint64_t room = s.end - p;
  switch (v.type) {
    case kMap: return size <= room / 2 && (v.next = p, true);
    case kArray: return size <= room && (v.next = p, true);
    case kBoolean: return size <= 1 && (v.next = p, true);  // the size is the value
    case kDouble: if (size != 8) return false; break;
    case kFloat: if (size != 4) return false; break;
    case kUint16: if (size > 2) return false; break;
    case kUint32: case kInt32: if (size > 4) return false; break;
    case kUint64: if (size > 8) return false; break;
    case kUint128: if (size > 16) return false; break;
    case kString: case kBytes: break;
    default: return false;  // data cache containers and end markers do not appear in a file
  }
  if (size > room) return false;
  v.next = p + size;
  return true;
}

// Decodes the value at offset, following one pointer: a pointer to a pointer is damage.
bool CMmdbReader::Resolve(const Section& s, uint64_t offset, Value& v) const {
  if (!Decode(s, offset, v)) return false;
  if (v.type != kPointer) return true;
  const uint64_t after = v.next;
  if (!Decode(s, v.payload, v) || v.type == kPointer) return false;
  if (v.type != kMap && v.type != kArray) v.next = after;
  return true;
}

// The offset after the value at offset as it stands (a pointer is passed over, not followed).
bool CMmdbReader::Skip(const Section& s, uint64_t offset, int depth, uint64_t& next) const {
  if (depth > kMaxDepth) return false;
  Value v;
  if (!Decode(s, offset, v)) return false;
  if (v.type != kMap && v.type != kArray) {
    next = v.next;
    return true;
  }
  return SkipItems(s, v, depth, next);
}

// The offset after the entries of a decoded map or array found at depth.
bool CMmdbReader::SkipItems(const Section& s, const Value& v, int depth, uint64_t& next) const {
  uint64_t at = v.payload;
  const uint64_t items = v.type == kMap ? 2 * v.size : v.size;
  for (uint64_t i = 0; i < items; ++i)
    if (!Skip(s, at, depth + 1, at)) return false;
  next = at;
  return true;
}

// A map's key at offset, which is a string or points to one; at moves past it.
bool CMmdbReader::Key(const Section& s, uint64_t& at, std::string_view& key) const {
  Value v;
  if (!Resolve(s, at, v) || v.type != kString) return false;
  key = Text(v);
  at = v.next;
  return true;
}

// A map's value at offset read once for both uses: next is the offset after it as it stands,
// as Skip gives it, and v the value it stands for, a pointer followed once as Resolve does (its
// type 0 when the pointer leads to damage). False when the value cannot be passed over.
bool CMmdbReader::Entry(const Section& s, uint64_t offset, int depth, Value& v, uint64_t& next) const {
  if (depth > kMaxDepth || !Decode(s, offset, v)) return false;
  if (v.type == kPointer) {
    next = v.next;
    if (!Decode(s, v.payload, v) || v.type == kPointer) {
      v.type = 0;
    } else if (v.type != kMap && v.type != kArray) {
      v.next = next;
    }
    return true;
  }
  if (v.type == kMap || v.type == kArray) return SkipItems(s, v, depth, next);
  next = v.next;
  return true;
}

std::string_view CMmdbReader::Text(const Value& v) const {
  return std::string_view(reinterpret_cast<const char*>(m_pContents.get() + v.payload), v.size);
}

bool CMmdbReader::Unsigned(const Section&, const Value& v, uint64_t& number) const {
  if (v.type != kUint16 && v.type != kUint32 && v.type != kUint64 && v.type != kInt32 && v.type != kUint128)
    return false;
  const uint8_t* p = m_pContents.get() + v.payload;
  uint64_t skipped = v.size > 8 ? v.size - 8 : 0;
  for (uint64_t i = 0; i < skipped; ++i)
    if (p[i] != 0) return false;
  number = 0;
  for (uint64_t i = skipped; i < v.size; ++i) number = number << 8 | p[i];
  if (v.type == kInt32 && v.size == 4 && (number & 0x80000000u)) return false;
  return true;
}

bool CMmdbReader::RenderValue(const Section& s, uint64_t offset, int depth, std::string& out) const {
  if (depth > kMaxDepth) return false;
  Value v;
  if (!Resolve(s, offset, v)) return false;
  const uint8_t* p = m_pContents.get() + v.payload;
  char buffer[64];
  auto number = [&](uint64_t from, uint64_t count) {
    uint64_t n = 0;
    for (uint64_t i = from; i < count; ++i) n = n << 8 | p[i];
    return n;
  };
  switch (v.type) {
    case kMap:
    case kArray: {
      out += v.type == kMap ? '{' : '[';
      uint64_t at = v.payload;
      for (uint64_t i = 0; i < v.size; ++i) {
        if (v.type == kMap) {
          Value key;
          if (!Resolve(s, at, key) || key.type != kString || !Skip(s, at, depth + 1, at)) return false;
          out += '"';
          out.append(reinterpret_cast<const char*>(m_pContents.get() + key.payload), key.size);
          out += "\":";
        }
        if (!RenderValue(s, at, depth + 1, out) || !Skip(s, at, depth + 1, at)) return false;
      }
      out += v.type == kMap ? '}' : ']';
      return true;
    }
    case kString:
      out += '"';
      out.append(reinterpret_cast<const char*>(p), v.size);
      out += '"';
      return true;
    case kBytes:
      for (uint64_t i = 0; i < v.size; ++i) {
        std::snprintf(buffer, sizeof buffer, "%02X", p[i]);
        out += buffer;
      }
      return true;
    case kDouble:
    case kFloat: {
      double d = 0;
      if (v.type == kDouble) {
        const uint64_t bits = number(0, 8);
        std::memcpy(&d, &bits, 8);
      } else {
        const auto bits = static_cast<uint32_t>(number(0, 4));
        float f;
        std::memcpy(&f, &bits, 4);
        d = f;
      }
      std::snprintf(buffer, sizeof buffer, "%f", d);
      out += buffer;
      return true;
    }
    case kInt32: {
      auto n = static_cast<uint32_t>(number(0, v.size));
      std::snprintf(buffer, sizeof buffer, "%" PRId32, static_cast<int32_t>(n));
      out += buffer;
      return true;
    }
    case kUint128:
      std::snprintf(buffer, sizeof buffer, "0x%016" PRIx64 "%016" PRIx64, v.size > 8 ? number(0, v.size - 8) : 0,
                    v.size > 8 ? number(v.size - 8, v.size) : number(0, v.size));
      out += buffer;
      return true;
    case kBoolean:
      out += v.size ? "true" : "false";
      return true;
    default:  // the unsigned integers
      std::snprintf(buffer, sizeof buffer, "%" PRIu64, number(0, v.size));
      out += buffer;
      return true;
  }
}

std::optional<std::string> CMmdbReader::Render(uint64_t data) const {
  if (!m_bLoaded || data >= m_data.end - m_data.begin) return std::nullopt;
  std::string out;
  if (!RenderValue(m_data, m_data.begin + data, 0, out)) return std::nullopt;
  return out;
}

// The Chinese name in a "names" map, else the English one; false when it holds neither.
bool CMmdbReader::NameOf(const Section& s, const Value& map, std::string_view& name) const {
  if (map.type != kMap) return false;
  std::string_view english;
  uint64_t at = map.payload;
  for (uint64_t i = 0; i < map.size; ++i) {
    std::string_view k;
    Value value;
    if (!Key(s, at, k) || !Entry(s, at, 1, value, at)) return false;
    if ((k == "zh-CN" || k == "en") && value.type == kString) {
      if (k == "zh-CN" && value.size != 0) {
        name = Text(value);
        return true;
      }
      english = Text(value);
    }
  }
  name = english;
  return !english.empty();
}

std::string CMmdbReader::LocationAt(uint64_t data) const {
  std::string text;
  LocationInto(data, text);
  return text;
}

void CMmdbReader::LocationInto(uint64_t data, std::string& location) const {
  location.clear();
  if (!m_bLoaded || data >= m_data.end - m_data.begin) return;
  const Section& s = m_data;
  Value root;
  if (!Resolve(s, s.begin + data, root) || root.type != kMap) return;
  std::string_view country, registered, countryCode, region, city;
  // The names, or the code, of a map such as "country".
  auto namesOf = [&](const Value& map, std::string_view& name, std::string_view* code) {
    if (map.type != kMap) return;
    uint64_t at = map.payload;
    for (uint64_t i = 0; i < map.size; ++i) {
      std::string_view k;
      Value value;
      if (!Key(s, at, k) || !Entry(s, at, 1, value, at)) return;
      if (k == "names") {
        NameOf(s, value, name);
      } else if (code != nullptr && k == "iso_code" && value.type == kString) {
        *code = Text(value);
      }
    }
  };
  uint64_t at = root.payload;
  for (uint64_t i = 0; i < root.size; ++i) {
    std::string_view k;
    Value value;
    if (!Key(s, at, k) || !Entry(s, at, 0, value, at)) return;
    if (k == "country") {
      namesOf(value, country, &countryCode);
    } else if (k == "registered_country") {
      namesOf(value, registered, countryCode.empty() ? &countryCode : nullptr);
    } else if (k == "subdivisions") {
      Value first;
      if (value.type == kArray && value.size > 0 && Resolve(s, value.payload, first)) namesOf(first, region, nullptr);
    } else if (k == "city" || k == "country_code" || k == "state1") {
      if (value.type == kString) {
        (k == "city" ? city : k == "state1" ? region : countryCode) = Text(value);
      } else if (k == "city") {
        namesOf(value, city, nullptr);
      }
    }
  }
  if (country.empty()) country = registered.empty() ? countryCode : registered;
  std::string_view previous;
  for (const std::string_view part : {country, region, city}) {
    if (part.empty() || part == previous) continue;
    if (!location.empty()) location += ' ';
    location += part;
    previous = part;
  }
}

// The location text of a data offset from its slot when a lookup has read it before; otherwise
// read, and kept when the slot is free. A slot holding another offset is left as it is.
void CMmdbReader::CachedLocation(uint64_t data, std::string& location) const {
  if (data >= UINT32_MAX - 2) {
    LocationInto(data, location);
    return;
  }
  const uint32_t key = static_cast<uint32_t>(data) + 2;
  CachedText& slot = m_pTexts[(key * 2654435761u) >> (32 - kCachedTextBits)];
  uint32_t seen = slot.key.load(std::memory_order_acquire);
  if (seen == key && slot.length <= sizeof slot.text) {
    location.clear();  // appending to the emptied text skips assign's check for overlap
    location.append(slot.text, slot.length);
    return;
  }
  LocationInto(data, location);
  if (seen != 0 || !slot.key.compare_exchange_strong(seen, 1, std::memory_order_acquire, std::memory_order_relaxed))
    return;
  if (location.size() <= sizeof slot.text) {
    slot.length = static_cast<uint32_t>(location.size());
    std::memcpy(slot.text, location.data(), location.size());
  } else {
    slot.length = UINT32_MAX;
  }
  slot.key.store(key, std::memory_order_release);
}

// ---- The search tree ------------------------------------------------------

uint64_t CMmdbReader::Record(uint64_t node, int side) const {
  const uint8_t* p = m_pContents.get() + node * (m_meta.recordSize / 4);
  switch (m_meta.recordSize) {
    case 24:
      p += 3 * side;
      return uint64_t{p[0]} << 16 | uint64_t{p[1]} << 8 | p[2];
    case 28:
      if (side == 0) return uint64_t{p[3] & 0xF0u} << 20 | uint64_t{p[0]} << 16 | uint64_t{p[1]} << 8 | p[2];
      return uint64_t{p[3] & 0x0Fu} << 24 | uint64_t{p[4]} << 16 | uint64_t{p[5]} << 8 | p[6];
    default:
      p += 4 * side;
      return uint64_t{p[0]} << 24 | uint64_t{p[1]} << 16 | uint64_t{p[2]} << 8 | p[3];
  }
}

std::optional<CMmdbReader::Found> CMmdbReader::Finish(uint64_t record, int depth) const {
  if (record <= m_meta.nodeCount) return std::nullopt;  // no data, or the walk ran out of bits
  const uint64_t data = record - m_meta.nodeCount - kSeparatorSize;
  if (record - m_meta.nodeCount < kSeparatorSize || data >= m_data.end - m_data.begin) return std::nullopt;
  return Found{data, depth};
}

// Walks down from node for levels steps (kJumpBits at most), or to the record that ends a walk
// sooner, and writes into each entry where the walk for its bits got to: the record and the steps
// taken. One level at a time, so that the reads of a level do not wait on each other; the entry
// that starts a subtree holds its node until the level below is read. At most 2^levels - 1 nodes
// are read, whatever the records point to.
void CMmdbReader::FillJumps(uint64_t* jumps, uint64_t node, int levels) const {
  constexpr uint64_t kEntries = uint64_t{1} << kJumpBits;
  constexpr uint64_t kUnset = uint64_t{0xFF} << 32;  // no walk starts at this entry
  for (uint64_t i = 0; i < kEntries; ++i) jumps[i] = kUnset;
  jumps[0] = node;
  for (int depth = 0; depth < levels; ++depth) {
    const uint64_t stride = kEntries >> depth;
    for (uint64_t i = 0; i < kEntries; i += stride) {
      const uint64_t entry = jumps[i];
      const uint64_t at = entry & 0xFFFFFFFFu;
      if (entry >> 32 != static_cast<uint64_t>(depth) || at >= m_meta.nodeCount) continue;
      const uint64_t next = uint64_t(depth + 1) << 32;
      jumps[i] = Record(at, 0) | next;
      jumps[i + stride / 2] = Record(at, 1) | next;
    }
  }
  // A walk that ended above the last level answers for every address under it.
  for (uint64_t i = 0; i < kEntries;) {
    const uint64_t end = i + (kEntries >> (jumps[i] >> 32));
    for (uint64_t j = i + 1; j < end; ++j) jumps[j] = jumps[i];
    i = end;
  }
}

// Follows the first bits of the address (its bytes in network order, at least three) from the
// start whose table jumps is, at startDepth in the tree: the table takes the first kJumpBits
// steps at once, then the records are read in place, one shape per record size so that the loop
// holds no branch on it.
template <unsigned RecordSize>
std::optional<CMmdbReader::Found> CMmdbReader::Walk(const uint8_t* address, int bits, const uint64_t* jumps,
                                                    int startDepth) const {
  const uint8_t* tree = m_pContents.get();
  const uint64_t nodes = m_meta.nodeCount;
  auto step = [tree](uint64_t n, unsigned bit) -> uint64_t {
    if constexpr (RecordSize == 24) {
      const uint8_t* p = tree + n * 6 + 3 * bit;
      return uint64_t{p[0]} << 16 | uint64_t{p[1]} << 8 | p[2];
    } else if constexpr (RecordSize == 28) {
      const uint8_t* p = tree + n * 7;
      return bit ? (uint64_t{p[3] & 0x0Fu} << 24 | uint64_t{p[4]} << 16 | uint64_t{p[5]} << 8 | p[6])
                 : (uint64_t{p[3] & 0xF0u} << 20 | uint64_t{p[0]} << 16 | uint64_t{p[1]} << 8 | p[2]);
    } else {
      const uint8_t* p = tree + n * 8 + 4 * bit;
      return uint64_t{p[0]} << 24 | uint64_t{p[1]} << 16 | uint64_t{p[2]} << 8 | p[3];
    }
  };
  const uint64_t entry =
      jumps[(uint32_t{address[0]} << 16 | uint32_t{address[1]} << 8 | uint32_t{address[2]}) >> (24 - kJumpBits)];
  uint64_t node = entry & 0xFFFFFFFFu;
  int i = static_cast<int>(entry >> 32);
  for (; i < bits && node < nodes; ++i) node = step(node, (address[i >> 3] >> (7 - (i & 7))) & 1u);
  return Finish(node, startDepth + i);
}

std::optional<CMmdbReader::Found> CMmdbReader::Find(const ipdb::Ipv6Bytes& address) const {
  if (!m_bLoaded || m_meta.ipVersion != 6) return std::nullopt;
  switch (m_meta.recordSize) {
    case 24: return Walk<24>(address.data(), 128, m_pJumps.get(), 0);
    case 28: return Walk<28>(address.data(), 128, m_pJumps.get(), 0);
    default: return Walk<32>(address.data(), 128, m_pJumps.get(), 0);
  }
}

std::optional<CMmdbReader::Found> CMmdbReader::FindV4(uint32_t ip) const {
  if (!m_bLoaded) return std::nullopt;
  const uint8_t bytes[4] = {static_cast<uint8_t>(ip >> 24), static_cast<uint8_t>(ip >> 16),
                            static_cast<uint8_t>(ip >> 8), static_cast<uint8_t>(ip)};
  const int depth = m_meta.ipVersion == 6 ? m_nIpv4StartDepth : 96;
  const uint64_t* jumps = m_pJumps.get() + (size_t{1} << kJumpBits);
  switch (m_meta.recordSize) {
    case 24: return Walk<24>(bytes, 32, jumps, depth);
    case 28: return Walk<28>(bytes, 32, jumps, depth);
    default: return Walk<32>(bytes, 32, jumps, depth);
  }
}

bool CMmdbReader::Lookup(const ipdb::Ipv6Bytes& address, std::string& text) const {
  text.clear();
  if (!m_bLoaded) return false;
  return TextOf(Find(address), text);
}

bool CMmdbReader::LookupV4(uint32_t ip, std::string& text) const {
  text.clear();
  if (!m_bLoaded) return false;
  return TextOf(FindV4(ip), text);
}

bool CMmdbReader::TextOf(const std::optional<Found>& found, std::string& text) const {
  if (found) CachedLocation(found->data, text);
  if (!text.empty()) return true;
  text.assign(kUnknownText, sizeof kUnknownText - 1);
  return false;
}

std::string CMmdbReader::DateText() const {
  if (!m_bLoaded || m_meta.buildEpoch == 0) return {};
  int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(static_cast<int64_t>(m_meta.buildEpoch / 86400), year, month, day);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u", static_cast<long long>(year), month, day);
  return buffer;
}

void CMmdbReader::EachNetwork(const std::function<bool(const ipdb::Ipv6Bytes&, int, uint64_t)>& visit,
                              uint64_t limit) const {
  if (!m_bLoaded) return;
  const int bits = m_meta.ipVersion == 6 ? 128 : 32;
  const int base = m_meta.ipVersion == 6 ? 0 : 96;
  // A node to expand, or (leaf) a network to report, taken in address order off a stack.
  struct Step {
    uint64_t node;  // a node, or the data offset of a leaf
    int depth;      // bits below the tree's root
    bool leaf;
    ipdb::Ipv6Bytes address;
  };
  ipdb::Ipv6Bytes root{};
  if (base) root[10] = root[11] = 0xFF;
  std::vector<Step> stack{{0, 0, false, root}};
  // A tree whose records share nodes could name more paths than a walk should take.
  uint64_t expansions = 8 * m_meta.nodeCount + 1024;
  uint64_t visited = 0;
  while (!stack.empty()) {
    const Step step = stack.back();
    stack.pop_back();
    if (step.leaf) {
      if (visited++ >= limit || !visit(step.address, base + step.depth, step.node)) return;
      continue;
    }
    if (expansions-- == 0) return;
    for (int side = 1; side >= 0; --side) {  // the right side pushed first comes out last
      const uint64_t record = Record(step.node, side);
      ipdb::Ipv6Bytes address = step.address;
      const int bit = base + step.depth;
      if (side) address[bit >> 3] |= static_cast<uint8_t>(0x80u >> (bit & 7));
      if (record < m_meta.nodeCount) {
        if (step.depth + 1 < bits) stack.push_back({record, step.depth + 1, false, address});
      } else if (const std::optional<Found> found = Finish(record, step.depth + 1)) {
        stack.push_back({found->data, step.depth + 1, true, address});
      }
    }
  }
}
