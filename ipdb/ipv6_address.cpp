// IPv6 addresses: their standard short text form and the IPv4 address some of them carry.
#include "ipdb/ipv6_address.h"

#include <cstdio>

namespace ipdb {
namespace {

uint16_t Group(const Ipv6Bytes& a, int i) { return static_cast<uint16_t>(a[2 * i] << 8 | a[2 * i + 1]); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A dotted IPv4 tail: four decimal parts of at most three digits, no leading zero.
bool ParseDottedTail(const char* text, uint8_t out[4]) {
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *text++ != '.') return false;
    if (*text < '0' || *text > '9') return false;
    int value = 0, digits = 0;
    const char* start = text;
    for (; *text >= '0' && *text <= '9'; ++text, ++digits) value = value * 10 + (*text - '0');
    if (digits > 3 || value > 255 || (digits > 1 && *start == '0')) return false;
    out[part] = static_cast<uint8_t>(value);
  }
  return *text == '\0';
}

}  // namespace

uint64_t High64(const Ipv6Bytes& a) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | a[i];
  return v;
}

uint64_t Low64(const Ipv6Bytes& a) {
  uint64_t v = 0;
  for (int i = 8; i < 16; ++i) v = v << 8 | a[i];
  return v;
}

Ipv6Bytes FromHalves(uint64_t high, uint64_t low) {
  Ipv6Bytes a{};
  for (int i = 0; i < 8; ++i) {
    a[i] = static_cast<uint8_t>(high >> (56 - 8 * i));
    a[8 + i] = static_cast<uint8_t>(low >> (56 - 8 * i));
  }
  return a;
}

std::string FormatIpv6(const Ipv6Bytes& a, uint32_t scopeId) {
  std::string text;
  char buffer[16];
  bool mapped = true;
  for (int i = 0; i < 10; ++i) mapped = mapped && a[i] == 0;
  mapped = mapped && a[10] == 0xFF && a[11] == 0xFF;
  if (mapped) {
    std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", a[12], a[13], a[14], a[15]);
    text = std::string("::ffff:") + buffer;
  } else {
    // The longest run of zero groups, two at least; the first of equal runs.
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
      if (Group(a, i) != 0) {
        ++i;
        continue;
      }
      int j = i;
      while (j < 8 && Group(a, j) == 0) ++j;
      if (j - i > bestLength) {
        bestStart = i;
        bestLength = j - i;
      }
      i = j;
    }
    for (int i = 0; i < 8; ++i) {
      if (i == bestStart) {
        text += "::";
        i += bestLength - 1;
        continue;
      }
      if (!text.empty() && text.back() != ':') text += ':';
      std::snprintf(buffer, sizeof buffer, "%x", Group(a, i));
      text += buffer;
    }
  }
  if (scopeId != 0) text += '%' + std::to_string(scopeId);
  return text;
}

bool IsZoned(const Ipv6Bytes& a) {
  if (a[0] == 0xFE && (a[1] & 0xC0) == 0x80) return true;
  return a[0] == 0xFF && ((a[1] & 0x0F) == 1 || (a[1] & 0x0F) == 2);
}

std::optional<Ipv6Bytes> ParseIpv6(const char* text) {
  if (text == nullptr) return std::nullopt;
  uint16_t groups[8] = {};
  int count = 0, gap = -1;
  const char* p = text;
  if (p[0] == ':') {
    if (p[1] != ':') return std::nullopt;
    gap = 0;
    p += 2;
  }
  while (*p != '\0') {
    if (count == 8) return std::nullopt;
    // A dotted tail fills the last two groups.
    const char* q = p;
    while (HexValue(*q) >= 0) ++q;
    if (*q == '.') {
      uint8_t v4[4];
      if (count > 6 || !ParseDottedTail(p, v4)) return std::nullopt;
      groups[count++] = static_cast<uint16_t>(v4[0] << 8 | v4[1]);
      groups[count++] = static_cast<uint16_t>(v4[2] << 8 | v4[3]);
      p += std::char_traits<char>::length(p);
      break;
    }
    if (q == p || q - p > 4) return std::nullopt;
    unsigned value = 0;
    for (; p < q; ++p) value = value << 4 | static_cast<unsigned>(HexValue(*p));
    groups[count++] = static_cast<uint16_t>(value);
    if (*p == '\0') break;
    if (*p != ':') return std::nullopt;
    ++p;
    if (*p == ':') {
      if (gap >= 0) return std::nullopt;
      gap = count;
      ++p;
    } else if (*p == '\0') {
      return std::nullopt;  // a single trailing colon
    }
  }
  if (gap < 0 ? count != 8 : count > 7) return std::nullopt;
  Ipv6Bytes a{};
  const int tail = gap < 0 ? 0 : count - gap;
  for (int i = 0; i < count; ++i) {
    const int at = (gap >= 0 && i >= gap) ? 8 - tail + (i - gap) : i;
    a[2 * at] = static_cast<uint8_t>(groups[i] >> 8);
    a[2 * at + 1] = static_cast<uint8_t>(groups[i]);
  }
  return a;
}

std::optional<uint32_t> ParseDottedIpv4(const char* text) {
  uint8_t b[4];
  if (text == nullptr || !ParseDottedTail(text, b)) return std::nullopt;
  return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
}

std::optional<uint32_t> EmbeddedIpv4(const Ipv6Bytes& a) {
  auto v4At = [&](int i) {
    return uint32_t{a[i]} << 24 | uint32_t{a[i + 1]} << 16 | uint32_t{a[i + 2]} << 8 | uint32_t{a[i + 3]};
  };
  bool mapped = a[10] == 0xFF && a[11] == 0xFF;
  for (int i = 0; i < 10; ++i) mapped = mapped && a[i] == 0;
  if (mapped) return v4At(12);
  if (a[0] == 0x20 && a[1] == 0x02) return v4At(2);                                  // 6to4
  if (a[0] == 0x20 && a[1] == 0x01 && a[2] == 0 && a[3] == 0) return ~v4At(12);  // Teredo
  return std::nullopt;
}

}  // namespace ipdb
