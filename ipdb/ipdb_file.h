// The database reader's one meeting point with the platform: reading a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace ipdb {

// A file opened for reading, closed by the destructor. Opens wide paths on
// Windows and narrow paths elsewhere.
class CDbFile {
 public:
  CDbFile() = default;
  CDbFile(const CDbFile&) = delete;
  CDbFile& operator=(const CDbFile&) = delete;
  ~CDbFile();

  bool Open(const std::filesystem::path& path);
  // The file's size in bytes; leaves the position at the start.
  std::optional<uint64_t> Size();
  // Reads exactly size bytes from the current position.
  bool Read(void* buffer, size_t size);

 private:
  std::FILE* m_pFile = nullptr;
};

// The rest of an opened file read whole into memory, its length in length; null when it does
// not fit in memory or cannot be read.
std::unique_ptr<uint8_t[]> ReadWhole(CDbFile& file, size_t& length);
// A copy of size bytes (a buffer of one byte at least); null when out of memory.
std::unique_ptr<uint8_t[]> CopyBytes(const uint8_t* bytes, size_t size);

// Whether the file at path can be opened for reading.
bool FileOpens(const std::filesystem::path& path);

}  // namespace ipdb
