// ipv6wry.db and MaxMind DB files laid out byte by byte, for the readers' tests and fuzz seeds.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ipdb/ipv6_address.h"

namespace ipdb_test {

inline std::string LeBytes(uint64_t value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}
inline std::string BeBytes(uint64_t value, int width) {
  std::string bytes;
  for (int i = width - 1; i >= 0; --i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

// ---- ipv6wry.db --------------------------------------------------------------------------------

// The header (with the offset of a date text at byte 32), then records, then the index.
struct CIpv6WryFile {
  int offsetWidth = 3;
  std::string data = std::string(40, '\0');
  std::string index;
  uint64_t dateOffset = 0;

  uint64_t Put(const std::string& bytes) {
    data += bytes;
    return data.size() - bytes.size();
  }
  // A redirection: mode byte and offset.
  std::string R(uint8_t mode, uint64_t offset) const {
    return static_cast<char>(mode) + LeBytes(offset, offsetWidth);
  }
  void Add(uint64_t key, uint64_t record) { index += LeBytes(key, 8) + LeBytes(record, offsetWidth); }
  void Date(const std::string& text) { dateOffset = Put(text + '\0'); }
  std::string Finish() const {
    std::string bytes = data;
    const uint64_t count = index.size() / (8 + offsetWidth);
    bytes.replace(0, 32, std::string("IPDB") + LeBytes(1, 2) + static_cast<char>(offsetWidth) + '\x08' +
                             LeBytes(count, 8) + LeBytes(bytes.size(), 8) + LeBytes(0, 8));
    bytes.replace(32, 8, LeBytes(dateOffset, 8));
    return bytes + index;
  }
};

// ---- MaxMind DB --------------------------------------------------------------------------------

// Values of the data section, encoded.
namespace mm {
inline std::string Control(unsigned type, uint64_t size) {
  std::string head(1, '\0');
  if (type <= 7) {
    head[0] = static_cast<char>(type << 5);
  } else {
    head += static_cast<char>(type - 7);
  }
  if (size < 29) {
    head[0] = static_cast<char>(head[0] | size);
  } else if (size < 285) {
    head[0] = static_cast<char>(head[0] | 29);
    head += static_cast<char>(size - 29);
  } else if (size < 65821) {
    head[0] = static_cast<char>(head[0] | 30);
    head += BeBytes(size - 285, 2);
  } else {
    head[0] = static_cast<char>(head[0] | 31);
    head += BeBytes(size - 65821, 3);
  }
  return head;
}
inline std::string Str(const std::string& s) { return Control(2, s.size()) + s; }
inline std::string Bytes(const std::string& s) { return Control(4, s.size()) + s; }
inline std::string Uint(unsigned type, uint64_t v) {
  std::string b;
  for (; v != 0; v >>= 8) b.insert(b.begin(), static_cast<char>(v & 0xFF));
  return Control(type, b.size()) + b;
}
inline std::string U16(uint64_t v) { return Uint(5, v); }
inline std::string U32(uint64_t v) { return Uint(6, v); }
inline std::string U64(uint64_t v) { return Uint(9, v); }
inline std::string I32(int32_t v) {
  return Control(8, 4) + BeBytes(static_cast<uint32_t>(v), 4);
}
inline std::string Double(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  return Control(3, 8) + BeBytes(bits, 8);
}
inline std::string Bool(bool b) { return Control(14, b ? 1 : 0); }
inline std::string Map(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out = Control(7, entries.size());
  for (const auto& [k, v] : entries) out += (k.size() && (k[0] & 0xE0) == 0x20 ? k : Str(k)) + v;
  return out;
}
inline std::string Array(const std::vector<std::string>& items) {
  std::string out = Control(11, items.size());
  for (const auto& v : items) out += v;
  return out;
}
// A pointer to an offset in the data section, in the smallest of its four widths (or the width
// given, 1 to 4).
inline std::string Pointer(uint64_t target, int width = 0) {
  if (width == 0) width = target < 2048 ? 1 : target < 526336 ? 2 : target < 134744064 ? 3 : 4;
  static const uint64_t kBias[] = {0, 2048, 526336, 0};
  const uint64_t v = target - kBias[width - 1];
  if (width == 4) return std::string(1, static_cast<char>(0x20 | 3 << 3)) + BeBytes(v, 4);
  return std::string(1, static_cast<char>(0x20 | (width - 1) << 3 | ((v >> (8 * width)) & 7))) + BeBytes(v, width);
}
// Names by language, as the "names" map of a country, subdivision or city.
inline std::string Names(const std::string& zh, const std::string& en) {
  std::vector<std::pair<std::string, std::string>> entries;
  if (!en.empty()) entries.emplace_back("en", Str(en));
  if (!zh.empty()) entries.emplace_back("zh-CN", Str(zh));
  return Map(entries);
}
}  // namespace mm

// A search tree built from networks, a data section and the metadata.
struct CMmdbFile {
  unsigned recordSize = 28;
  unsigned ipVersion = 6;
  uint64_t buildEpoch = 1700000000;  // 2023-11-14
  std::string data;                   // the data section
  std::vector<std::pair<uint64_t, uint64_t>> nodes{{kEmpty, kEmpty}};
  static constexpr uint64_t kEmpty = UINT64_MAX;
  static constexpr uint64_t kDataFlag = 1ull << 62;

  uint64_t Put(const std::string& value) {
    data += value;
    return data.size() - value.size();
  }
  // Maps a network (its first prefixLength bits of address) to the value at data offset value.
  void Insert(const ipdb::Ipv6Bytes& address, int prefixLength, uint64_t value) {
    uint64_t node = 0;
    const int bits = ipVersion == 6 ? 128 : 32;
    const int from = ipVersion == 6 ? 0 : 96;
    for (int i = 0; i < prefixLength; ++i) {
      const int bit = from + i;
      const bool right = address[bit >> 3] >> (7 - (bit & 7)) & 1;
      auto slot = [&]() -> uint64_t& { return right ? nodes[node].second : nodes[node].first; };
      if (i + 1 == prefixLength || i + 1 == bits) {
        slot() = kDataFlag | value;
        return;
      }
      if (slot() == kEmpty || (slot() & kDataFlag)) {
        const uint64_t was = slot();
        nodes.push_back({was, was});  // may move the nodes: the slot is found again below
        slot() = nodes.size() - 1;
      }
      node = slot();
    }
  }
  void InsertV4(uint32_t ip, int prefixLength, uint64_t value) {
    ipdb::Ipv6Bytes a{};
    if (ipVersion == 4) {
      a[10] = a[11] = 0xFF;
    }
    a[12] = static_cast<uint8_t>(ip >> 24);
    a[13] = static_cast<uint8_t>(ip >> 16);
    a[14] = static_cast<uint8_t>(ip >> 8);
    a[15] = static_cast<uint8_t>(ip);
    Insert(a, (ipVersion == 6 ? 96 : 0) + prefixLength, value);
  }
  uint64_t RecordValue(uint64_t slot) const {
    if (slot == kEmpty) return nodes.size();
    if (slot & kDataFlag) return nodes.size() + 16 + (slot & ~kDataFlag);
    return slot;
  }
  std::string Tree() const {
    std::string tree;
    for (const auto& [l, r] : nodes) {
      const uint64_t left = RecordValue(l), right = RecordValue(r);
      if (recordSize == 24) {
        tree += BeBytes(left, 3) + BeBytes(right, 3);
      } else if (recordSize == 28) {
        tree += BeBytes(left & 0xFFFFFF, 3) + static_cast<char>((left >> 24 & 0x0F) << 4 | (right >> 24 & 0x0F)) +
                BeBytes(right & 0xFFFFFF, 3);
      } else {
        tree += BeBytes(left, 4) + BeBytes(right, 4);
      }
    }
    return tree;
  }
  std::string Metadata(const std::vector<std::pair<std::string, std::string>>& extra = {}) const {
    std::vector<std::pair<std::string, std::string>> entries = {
        {"binary_format_major_version", mm::U16(2)}, {"binary_format_minor_version", mm::U16(0)},
        {"build_epoch", mm::U64(buildEpoch)}, {"database_type", mm::Str("Wardlet-Test")},
        {"description", mm::Map({{"en", mm::Str("test")}})}, {"ip_version", mm::U16(ipVersion)},
        {"languages", mm::Array({mm::Str("en"), mm::Str("zh-CN")})}, {"node_count", mm::U32(nodes.size())},
        {"record_size", mm::U16(recordSize)}};
    entries.insert(entries.end(), extra.begin(), extra.end());
    return mm::Map(entries);
  }
  static std::string Marker() { return "\xAB\xCD\xEFMaxMind.com"; }
  std::string Finish() const { return Tree() + std::string(16, '\0') + data + Marker() + Metadata(); }
};

}  // namespace ipdb_test
