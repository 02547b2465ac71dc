// Parsing of dotted IPv4 address texts the way inet_addr reads them.
#include "ipdb/ipdb_address.h"

namespace ipdb {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Reads one number at text; advances text past it. Fails on overflow past
// 32 bits, on a part that does not start with a digit, and on "0x" alone.
bool ReadPart(const char*& text, uint32_t& value) {
  if (*text < '0' || *text > '9') return false;
  unsigned base = 10;
  if (text[0] == '0') {
    if ((text[1] == 'x' || text[1] == 'X') && DigitValue(text[2]) < 16) {
      base = 16;
      text += 2;
    } else {
      base = 8;
    }
  }
  uint64_t total = 0;
  for (int digit; (digit = DigitValue(*text)) < static_cast<int>(base); ++text) {
    total = total * base + static_cast<unsigned>(digit);
    if (total > 0xFFFFFFFFu) return false;
  }
  value = static_cast<uint32_t>(total);
  return true;
}

}  // namespace

std::optional<uint32_t> ParseIpv4Address(const char* text) {
  if (text == nullptr) return std::nullopt;
  uint32_t parts[4] = {};
  int count = 0;
  for (;;) {
    if (!ReadPart(text, parts[count])) return std::nullopt;
    ++count;
    if (*text != '.') break;
    if (count == 4) return std::nullopt;
    ++text;
  }
  if (*text != '\0' && !IsSpace(*text)) return std::nullopt;
  for (int i = 0; i + 1 < count; ++i) {
    if (parts[i] > 0xFF) return std::nullopt;
  }
  const uint32_t last = parts[count - 1];
  const int lastBits = 32 - 8 * (count - 1);
  if (lastBits < 32 && last >> lastBits != 0) return std::nullopt;
  uint32_t value = last;
  for (int i = 0; i + 1 < count; ++i) value |= parts[i] << (24 - 8 * i);
  return value;
}

}  // namespace ipdb
