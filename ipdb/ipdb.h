// CIpLocationDb: the in-memory reader of QQwry.dat, the IPv4 location database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>
#include <optional>
#include <string>

// Holds the whole database file and answers lookups by a bisection over its
// sorted 7-byte index. Location texts are GBK bytes copied as they stand in
// the file. Every offset the file holds is checked against the loaded bytes:
// a lookup that would read outside them answers "未知数据".
class CIpLocationDb {
 public:
  // One index entry and the end address of the record it points to.
  struct IndexEntry {
    uint32_t start = 0;
    uint32_t record = 0;
    uint32_t end = 0;
  };

  CIpLocationDb() = default;
  CIpLocationDb(const CIpLocationDb&) = delete;
  CIpLocationDb& operator=(const CIpLocationDb&) = delete;

  // Reads the whole file. A file that cannot be opened leaves the reader as
  // it was; any later failure leaves it empty.
  bool LoadDatabase(const std::filesystem::path& path);

  // Looks up an address text parsed as inet_addr does. Leaves a
  // zero-terminated text of at most capacity bytes in out (when capacity > 0).
  bool LookupText(const char* address, char* out, size_t capacity) const;

  // Looks up an address in host order (1.2.3.4 is 0x01020304).
  bool LookupAddress(uint32_t ip, char* out, size_t capacity) const;

  void ReleaseDatabase();

  // The location text of the last index entry's record, where the publisher writes its version
  // ("纯真网络" and "2024年01月17日IP数据"), as GBK bytes; empty when it cannot be read.
  std::string VersionText() const;

  bool IsLoaded() const { return m_bLoaded; }
  // Number of index entries (last index + 1), 0 when empty.
  uint32_t EntryCount() const { return m_bLoaded ? m_nLastIndex + 1 : 0; }
  size_t ContentsSize() const { return m_nSize; }
  // Index entry i and its record's end address; nothing when they lie outside.
  std::optional<IndexEntry> EntryAt(uint32_t i) const;
  // The record of the range holding ip, or nothing when no range in the
  // index holds it (the record's location data is not read).
  std::optional<uint32_t> FindRecord(uint32_t ip) const;

 private:
  struct Text {
    size_t offset = 0;
    size_t length = 0;
  };

  bool AdoptContents(std::unique_ptr<uint8_t[]> contents, size_t size);
  uint32_t EntryOffset(uint32_t i) const;
  uint32_t SearchIndex(uint32_t ip) const;
  void BuildTree(uint32_t node, uint32_t lo, uint32_t hi);
  bool SearchIndexChecked(uint32_t ip, uint32_t& found) const;
  bool ReadByte(uint64_t offset, uint8_t& value) const;
  bool Read24(uint64_t offset, uint32_t& value) const;
  bool Read32(uint64_t offset, uint32_t& value) const;
  bool StringAt(uint64_t offset, Text& text) const;
  bool AreaAt(uint64_t position, Text& area) const;
  bool ReadLocation(uint32_t record, Text& country, Text& area) const;

  std::unique_ptr<uint8_t[]> m_pContents;
  size_t m_nSize = 0;
  uint32_t m_nFirstIndex = 0;  // file offset of index entry 0
  uint32_t m_nLastIndex = 0;   // number of the last index entry
  uint32_t m_nLastEnd = 0;     // end address of the last entry's record
  bool m_bLastEndKnown = false;
  bool m_bIndexInside = false; // every index entry lies inside the contents
  bool m_bLoaded = false;
  // The starts the bisection's first steps compare with, as a tree walked from its root (the
  // children of node k at 2k+1 and 2k+2), so that those steps read one small block.
  std::vector<uint32_t> m_treeStarts;
};
