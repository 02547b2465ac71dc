// Builds small QQwry-format database files for the reader's tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace ipdb_test {

// Lays out a database byte by byte: records and strings first, then the index
// and the header pointing at it. Offsets returned are file offsets.
class CDatabaseBuilder {
 public:
  CDatabaseBuilder() : m_bytes(8, 0) {}

  uint32_t Here() const { return static_cast<uint32_t>(m_bytes.size()); }

  uint32_t U8(uint8_t value) {
    const uint32_t at = Here();
    m_bytes.push_back(value);
    return at;
  }
  uint32_t U24(uint32_t value) {
    const uint32_t at = Here();
    for (int i = 0; i < 3; ++i) m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return at;
  }
  uint32_t U32(uint32_t value) {
    const uint32_t at = Here();
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return at;
  }
  // Bytes without a terminating zero.
  uint32_t Raw(const std::string& bytes) {
    const uint32_t at = Here();
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return at;
  }
  // A zero-terminated string.
  uint32_t Str(const std::string& bytes) {
    const uint32_t at = Raw(bytes);
    m_bytes.push_back(0);
    return at;
  }
  // The commonest record: end address, country and area strings in place.
  uint32_t PlainRecord(uint32_t end, const std::string& country, const std::string& area) {
    const uint32_t at = U32(end);
    Str(country);
    Str(area);
    return at;
  }

  void AddEntry(uint32_t start, uint32_t record) { m_index.emplace_back(start, record); }

  // Appends the index and fills in the header.
  std::vector<uint8_t> Finish() {
    std::vector<uint8_t> bytes = m_bytes;
    const auto first = static_cast<uint32_t>(bytes.size());
    for (const auto& [start, record] : m_index) {
      for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(start >> (8 * i)));
      for (int i = 0; i < 3; ++i) bytes.push_back(static_cast<uint8_t>(record >> (8 * i)));
    }
    const uint32_t last = m_index.empty() ? first : first + 7 * static_cast<uint32_t>(m_index.size() - 1);
    PutHeader(bytes, first, last);
    return bytes;
  }

  static void PutHeader(std::vector<uint8_t>& bytes, uint32_t first, uint32_t last) {
    for (int i = 0; i < 4; ++i) {
      bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(first >> (8 * i));
      bytes[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(last >> (8 * i));
    }
  }

 private:
  std::vector<uint8_t> m_bytes;
  std::vector<std::pair<uint32_t, uint32_t>> m_index;
};

// A scratch folder removed with everything in it when the holder goes.
class CScratchDir {
 public:
  CScratchDir() {
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("wardlet-ipdb-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(m_path);
  }
  CScratchDir(const CScratchDir&) = delete;
  CScratchDir& operator=(const CScratchDir&) = delete;
  ~CScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }

  const std::filesystem::path& Path() const { return m_path; }

  std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::filesystem::path file = m_path / name;
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

 private:
  std::filesystem::path m_path;
};

}  // namespace ipdb_test
