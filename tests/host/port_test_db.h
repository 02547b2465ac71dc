// A tiny QQwry-format location database for the port page's tests (host and Wine).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace port_test {

// GBK bytes of the texts the tiny database holds.
inline const std::string kReserved = "\xB1\xA3\xC1\xF4\xB5\xD8\xD6\xB7";  // 保留地址
inline const std::string kIana = "IANA";
inline const std::string kLoopback = "\xB1\xBE\xBB\xFA\xB5\xD8\xD6\xB7";  // 本机地址
inline const std::string kBeijing = "\xB1\xB1\xBE\xA9\xCA\xD0";            // 北京市
inline const std::string kUnicom = "\xC1\xAA\xCD\xA8";                     // 联通
inline const std::string kUnknown = "\xCE\xB4\xD6\xAA\xCA\xFD\xBE\xDD";  // 未知数据

// Ranges with their country and area strings in place, then the index and the header.
class CTinyDatabase {
 public:
  CTinyDatabase() : m_bytes(8, 0) {}

  void AddRange(uint32_t start, uint32_t end, const std::string& country, const std::string& area) {
    m_index.emplace_back(start, Here());
    Put32(end);
    PutString(country);
    PutString(area);
  }
  // A range whose country string is reached through a mode-2 redirection.
  void AddRedirectedRange(uint32_t start, uint32_t end, const std::string& country, const std::string& area) {
    uint32_t countryAt = Here();
    PutString(country);
    m_index.emplace_back(start, Here());
    Put32(end);
    m_bytes.push_back(2);
    Put24(countryAt);
    PutString(area);
  }

  // The file's bytes; ranges must have been added in order of their start.
  std::vector<uint8_t> Finish() const {
    std::vector<uint8_t> out = m_bytes;
    uint32_t first = static_cast<uint32_t>(out.size());
    for (const auto& [start, record] : m_index) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(start >> (8 * i)));
      for (int i = 0; i < 3; ++i) out.push_back(static_cast<uint8_t>(record >> (8 * i)));
    }
    uint32_t last = first + 7 * static_cast<uint32_t>(m_index.size() - 1);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(first >> (8 * i));
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(last >> (8 * i));
    return out;
  }

  bool Write(const std::filesystem::path& path) const {
    std::vector<uint8_t> bytes = Finish();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
  }

 private:
  uint32_t Here() const { return static_cast<uint32_t>(m_bytes.size()); }
  void Put32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Put24(uint32_t v) {
    for (int i = 0; i < 3; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void PutString(const std::string& s) {
    m_bytes.insert(m_bytes.end(), s.begin(), s.end());
    m_bytes.push_back(0);
  }

  std::vector<uint8_t> m_bytes;
  std::vector<std::pair<uint32_t, uint32_t>> m_index;
};

// The database the tests use: 0.0.0.0/8 reserved, 1.0.0.0-1.0.0.255 Beijing Unicom (redirected),
// 127.0.0.0/8 loopback; 2.0.0.0 to 126.255.255.255 and everything above 127/8 are not covered.
inline CTinyDatabase StandardDatabase() {
  CTinyDatabase db;
  db.AddRange(0x00000000, 0x00FFFFFF, kIana, kReserved);
  db.AddRedirectedRange(0x01000000, 0x010000FF, kBeijing, kUnicom);
  db.AddRange(0x7F000000, 0x7FFFFFFF, kLoopback, "");
  return db;
}

}  // namespace port_test
