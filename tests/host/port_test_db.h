// Small QQwry-format files laid out byte by byte, for the reader's and the port page's tests
// (host and Wine).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace port_test {

// GBK bytes of the texts the files hold.
inline const std::string kIana = "IANA";
inline const std::string kReserved = "\xB1\xA3\xC1\xF4\xB5\xD8\xD6\xB7";   // 保留地址
inline const std::string kLoopback = "\xB1\xBE\xBB\xFA\xB5\xD8\xD6\xB7";   // 本机地址
inline const std::string kBeijing = "\xB1\xB1\xBE\xA9\xCA\xD0";            // 北京市
inline const std::string kShanghai = "\xC9\xCF\xBA\xA3\xCA\xD0";           // 上海市
inline const std::string kGuangdong = "\xB9\xE3\xB6\xAB\xCA\xA1";          // 广东省
inline const std::string kUnicom = "\xC1\xAA\xCD\xA8";                     // 联通
inline const std::string kTelecom = "\xB5\xE7\xD0\xC5";                    // 电信
inline const std::string kMobile = "\xD2\xC6\xB6\xAF";                     // 移动
inline const std::string kBroadcast = "\xB9\xE3\xB2\xA5\xB5\xD8\xD6\xB7";  // 广播地址
inline const std::string kUnknown = "\xCE\xB4\xD6\xAA\xCA\xFD\xBE\xDD";    // 未知数据

// Little-endian numbers, zero-terminated strings, redirections (a mode byte and a 3-byte offset)
// and the header (offsets of the first and last index entries).
inline std::string Le(uint32_t value, int width) {
  std::string bytes;
  for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}
inline std::string Z(const std::string& text) { return text + '\0'; }
inline std::string P(uint8_t mode, uint32_t offset) { return static_cast<char>(mode) + Le(offset, 3); }
inline std::string Header(uint32_t first, uint32_t last) { return Le(first, 4) + Le(last, 4); }

// Records and strings after the header, then the index.
struct CTinyDatabase {
  std::string data = std::string(8, '\0');
  std::string index;

  uint32_t Put(const std::string& bytes) {
    data += bytes;
    return static_cast<uint32_t>(data.size() - bytes.size());
  }
  uint32_t Record(uint32_t end, const std::string& location) { return Put(Le(end, 4) + location); }
  void Add(uint32_t start, uint32_t record) { index += Le(start, 4) + Le(record, 3); }
  std::string Finish() const {
    const auto first = static_cast<uint32_t>(data.size());
    return Header(first, first + static_cast<uint32_t>(index.size()) - 7) + data.substr(8) + index;
  }
  bool Write(const std::filesystem::path& path) const {
    return static_cast<bool>(std::ofstream(path, std::ios::binary | std::ios::trunc) << Finish());
  }
};

// 0.0.0.0/8 reserved, 1.0.0.0-1.0.0.255 Beijing Unicom (the country redirected), 127.0.0.0/8
// loopback; every other address is not covered.
inline CTinyDatabase StandardDatabase() {
  CTinyDatabase db;
  db.Add(0x00000000, db.Record(0x00FFFFFF, Z(kIana) + Z(kReserved)));
  const uint32_t beijing = db.Put(Z(kBeijing));
  db.Add(0x01000000, db.Record(0x010000FF, P(2, beijing) + Z(kUnicom)));
  db.Add(0x7F000000, db.Record(0x7FFFFFFF, Z(kLoopback) + Z("")));
  return db;
}

}  // namespace port_test
