// CMmdbReader: the in-memory reader of MaxMind DB (.mmdb) location databases.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ipdb/ipv6_address.h"

// The file: a binary search tree over the address bits (records of 24, 28 or 32 bits), 16 zero
// bytes, a data section of typed values, and at the end a marker followed by the metadata, a map
// of typed values. Every offset, size and pointer is checked against the loaded bytes and every
// walk is bounded in depth: a damaged file gives "未知数据" or a failed load, never a read
// outside it.
class CMmdbReader {
 public:
  struct Metadata {
    uint64_t nodeCount = 0;
    unsigned recordSize = 0;  // 24, 28 or 32
    unsigned ipVersion = 0;   // 4 or 6
    uint64_t buildEpoch = 0;  // seconds since 1970-01-01 UTC
    std::string databaseType;
    std::vector<std::string> languages;
  };
  // Where a lookup ended: the offset of the record's value in the data section and the number of
  // address bits the tree looked at.
  struct Found {
    uint64_t data = 0;
    int prefixLength = 0;
    bool operator==(const Found&) const = default;
  };

  CMmdbReader() = default;
  CMmdbReader(const CMmdbReader&) = delete;
  CMmdbReader& operator=(const CMmdbReader&) = delete;

  // Reads the whole file. A file that cannot be opened leaves the reader as it was; any later
  // failure leaves it empty.
  bool LoadDatabase(const std::filesystem::path& path);
  bool LoadBytes(const uint8_t* bytes, size_t size);
  void ReleaseDatabase();

  bool IsLoaded() const { return m_bLoaded; }
  const Metadata& Meta() const { return m_meta; }
  bool ServesIpv6() const { return m_bLoaded && m_meta.ipVersion == 6; }
  size_t ContentsSize() const { return m_nSize; }

  // The tree's record for an address; nothing when the tree holds no data for it or the walk
  // leaves the tree. An IPv6 address in a tree of IPv4 addresses finds nothing.
  std::optional<Found> Find(const ipdb::Ipv6Bytes& address) const;
  std::optional<Found> FindV4(uint32_t ip) const;  // host order

  // The location of an address as UTF-8 text: country, region and city, each by its Chinese name
  // where the record has one and its English name otherwise, joined by spaces (a record with no
  // names gives its country code). "未知数据" and false when the database has nothing for the
  // address; the empty text and false when nothing is loaded.
  bool Lookup(const ipdb::Ipv6Bytes& address, std::string& text) const;
  bool LookupV4(uint32_t ip, std::string& text) const;
  // The location text of the value at a data offset; empty when it holds none or is damaged.
  std::string LocationAt(uint64_t data) const;

  // The value at a data offset written out whole: maps as {"key":value...}, arrays as [value...],
  // strings in quotes, numbers in decimal (doubles with six decimals), booleans as true or false,
  // bytes in upper-case hexadecimal; nothing separates entries. Nothing when damaged.
  std::optional<std::string> Render(uint64_t data) const;

  // The build time as "YYYY-MM-DD" (UTC); empty when the metadata gives none.
  std::string DateText() const;

  // Calls visit(first address, prefix length, data offset) for every network the tree maps to
  // data, in address order; an IPv4 tree's networks as IPv4-mapped addresses with the prefix
  // counted from bit 96. Stops when visit returns false or after limit networks.
  void EachNetwork(const std::function<bool(const ipdb::Ipv6Bytes&, int, uint64_t)>& visit,
                   uint64_t limit = UINT64_MAX) const;

 private:
  struct Section {
    uint64_t begin = 0;  // file offset the section's offsets and pointers count from
    uint64_t end = 0;    // file offset just past the section
  };
  struct Value;
  // A location text kept for a data offset; written once, by the lookup that takes the slot
  // first, and read by any lookup after the release of its key.
  struct CachedText {
    std::atomic<uint32_t> key{0};  // 0: free; 1: being written; else the data offset + 2
    uint32_t length = 0;           // UINT32_MAX when the text does not fit
    char text[56];
  };
  static constexpr int kCachedTextBits = 9;  // 512 slots

  bool Adopt(std::unique_ptr<uint8_t[]> contents, size_t size);
  bool ReadMetadata(const Section& section);
  void FillJumps(uint64_t* jumps, uint64_t node, int levels) const;
  template <unsigned RecordSize>
  std::optional<Found> Walk(const uint8_t* address, int bits, const uint64_t* jumps, int startDepth) const;
  bool TextOf(const std::optional<Found>& found, std::string& text) const;
  void LocationInto(uint64_t data, std::string& location) const;
  void CachedLocation(uint64_t data, std::string& location) const;
  uint64_t Record(uint64_t node, int side) const;
  bool Decode(const Section& s, uint64_t offset, Value& v) const;
  bool Resolve(const Section& s, uint64_t offset, Value& v) const;
  bool Skip(const Section& s, uint64_t offset, int depth, uint64_t& next) const;
  bool SkipItems(const Section& s, const Value& v, int depth, uint64_t& next) const;
  bool Key(const Section& s, uint64_t& at, std::string_view& key) const;
  bool Entry(const Section& s, uint64_t offset, int depth, Value& v, uint64_t& next) const;
  std::string_view Text(const Value& v) const;
  bool Unsigned(const Section& s, const Value& v, uint64_t& number) const;
  bool NameOf(const Section& s, const Value& map, std::string_view& name) const;
  bool RenderValue(const Section& s, uint64_t offset, int depth, std::string& out) const;
  std::optional<Found> Finish(uint64_t record, int depth) const;

  std::unique_ptr<uint8_t[]> m_pContents;
  size_t m_nSize = 0;
  Metadata m_meta;
  Section m_data;
  uint64_t m_nIpv4Start = 0;  // the node the IPv4 addresses start from (::/96 in an IPv6 tree)
  int m_nIpv4StartDepth = 0;
  // The first steps of every walk, taken at load: for each value of an address's next kJumpBits
  // bits, the record reached (low 32 bits) and the steps it took (the high bits), from the root
  // and from the IPv4 start. From the IPv4 start, where the tree is dense and each level costs the
  // load more, only the first kIpv4JumpLevels steps are taken.
  static constexpr int kJumpBits = 11;  // at most 24: the table is indexed by three bytes
  static constexpr int kIpv4JumpLevels = 9;
  std::unique_ptr<uint64_t[]> m_pJumps;  // 2 << kJumpBits entries: the root's, then the IPv4 start's
  // The location texts lookups have read, by data offset: a country- or city-level file has far
  // fewer records than a port list has addresses. Safe for lookups from several threads.
  std::unique_ptr<CachedText[]> m_pTexts;
  bool m_bLoaded = false;
};
