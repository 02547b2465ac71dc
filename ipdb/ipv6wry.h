// CIpv6WryDb: the in-memory reader of ipv6wry.db, an IPv6 location database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ipdb/ipv6_address.h"

// The file: a header ("IPDB", version, the width of its offsets, the width of its keys, the
// number of index entries and the offset of the first), then QQwry-style records, then the index,
// sorted by key. An index entry is an 8-byte key (the upper 64 bits of the first address of a
// range) and the offset of its record; a range runs up to the next entry's key. A record is a
// country then an area: each a UTF-8 string or a redirection (a mode byte 1 or 2 and an offset).
// Every offset and size is checked against the loaded bytes: a lookup that would read outside
// them, or loop, answers "未知数据".
class CIpv6WryDb {
 public:
  struct IndexEntry {
    uint64_t start = 0;  // upper 64 bits of the range's first address
    uint64_t record = 0;
  };

  CIpv6WryDb() = default;
  CIpv6WryDb(const CIpv6WryDb&) = delete;
  CIpv6WryDb& operator=(const CIpv6WryDb&) = delete;

  // Reads the whole file. A file that cannot be opened leaves the reader as it was; any later
  // failure leaves it empty.
  bool LoadDatabase(const std::filesystem::path& path);
  // The same on bytes already in memory (copied).
  bool LoadBytes(const uint8_t* bytes, size_t size);
  void ReleaseDatabase();

  // The location of an address as UTF-8 text, the country and the area joined by a space;
  // "未知数据" and false when the database does not cover it or the file is damaged there, the
  // empty text and false when nothing is loaded.
  bool Lookup(const ipdb::Ipv6Bytes& address, std::string& text) const;

  // The date the file gives in its header, as "YYYY-MM-DD" (or its own text when it is not a
  // date of eight digits); empty when it gives none.
  std::string DateText() const;

  bool IsLoaded() const { return m_bLoaded; }
  uint64_t EntryCount() const { return m_bLoaded ? m_nCount : 0; }
  size_t ContentsSize() const { return m_nSize; }
  IndexEntry EntryAt(uint64_t i) const;  // i below EntryCount()
  // The index entry whose range holds the address (its upper 64 bits), nothing when it lies
  // below every key.
  std::optional<uint64_t> FindEntry(uint64_t high) const;
  // The country and area of a record; false when they lie outside the file or redirect in a loop.
  bool ReadRecord(uint64_t record, std::string& country, std::string& area) const;

 private:
  bool Adopt(std::unique_ptr<uint8_t[]> contents, size_t size);
  uint64_t ReadNumber(uint64_t offset, unsigned width) const;  // caller checks the bounds
  bool Inside(uint64_t offset, uint64_t length) const { return offset <= m_nSize && length <= m_nSize - offset; }
  void Prefetch(uint64_t offset) const;
  bool StringAt(uint64_t offset, std::string_view& text) const;
  bool AreaAt(uint64_t offset, std::string_view& text) const;
  bool RecordTexts(uint64_t record, std::string_view& country, std::string_view& area) const;

  std::unique_ptr<uint8_t[]> m_pContents;
  size_t m_nSize = 0;
  uint64_t m_nCount = 0;
  uint64_t m_nFirstIndex = 0;
  unsigned m_nOffsetWidth = 3;
  bool m_bLoaded = false;
};
