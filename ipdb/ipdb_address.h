// Parsing of dotted IPv4 address texts the way inet_addr reads them.
#pragma once

#include <cstdint>
#include <optional>

namespace ipdb {

// Reads one to four parts separated by dots; each part is decimal, octal with
// a leading 0, or hexadecimal with 0x. The last part fills all the bits the
// earlier parts leave (a.b.c.d, a.b.c16, a.b24, a32). A whitespace character
// ends the address. Returns the value in host order: 1.2.3.4 is 0x01020304.
std::optional<uint32_t> ParseIpv4Address(const char* text);

}  // namespace ipdb
