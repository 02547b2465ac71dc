// IPv6 addresses: their standard short text form and the IPv4 address some of them carry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ipdb {

// An IPv6 address as its 16 bytes in network order (2001:db8:: is 20 01 0d b8 00 ...).
using Ipv6Bytes = std::array<uint8_t, 16>;

// The recommended text form: lower-case hexadecimal groups without leading zeros, the longest
// run of two or more zero groups (the first of equal runs) written "::", an IPv4-mapped address
// as ::ffff:a.b.c.d, and a scope identifier other than 0 after "%".
std::string FormatIpv6(const Ipv6Bytes& address, uint32_t scopeId = 0);

// Whether the address has a zone that a scope identifier names: a link-local unicast address
// (fe80::/10) or an interface- or link-local multicast address (ff01::/16, ff02::/16 and the
// like). The scope identifier of any other address names no zone and is not written.
bool IsZoned(const Ipv6Bytes& address);

// Reads the text forms FormatIpv6 writes and any other the standard grammar allows (groups of
// one to four hexadecimal digits, one "::", a dotted IPv4 tail); no scope. Nothing when malformed.
std::optional<Ipv6Bytes> ParseIpv6(const char* text);

// A dotted IPv4 address as the standard writes it: four decimal parts of one to three digits, no
// leading zero, nothing before or after; in host order (1.2.3.4 is 0x01020304). Nothing when
// malformed.
std::optional<uint32_t> ParseDottedIpv4(const char* text);

// The IPv4 address an IPv4-mapped (::ffff:0:0/96), 6to4 (2002::/16) or Teredo (2001::/32, the
// client address stored inverted) address stands for, in host order; nothing for any other.
std::optional<uint32_t> EmbeddedIpv4(const Ipv6Bytes& address);

// The upper and lower 64 bits of an address as numbers.
uint64_t High64(const Ipv6Bytes& address);
uint64_t Low64(const Ipv6Bytes& address);
Ipv6Bytes FromHalves(uint64_t high, uint64_t low);

}  // namespace ipdb
