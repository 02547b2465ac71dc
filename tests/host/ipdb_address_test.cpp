// Tests of the inet_addr-style address parser used by CIpLocationDb::LookupText.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ipdb/ipdb_address.h"

#ifdef __GLIBC__
#include <arpa/inet.h>
#endif

namespace {

using ipdb::ParseIpv4Address;

TEST(Ipv4AddressParse, AcceptsEveryPartCountAndBase) {
  struct Case {
    const char* text;
    uint32_t value;
  };
  const Case cases[] = {
      {"0.0.0.0", 0},
      {"1.2.3.4", 0x01020304u},
      {"255.255.255.255", 0xFFFFFFFFu},
      {"192.168.1.1", 0xC0A80101u},
      {"1.2.3", 0x01020003u},           // last part fills 16 bits
      {"1.2.65535", 0x0102FFFFu},
      {"1.16777215", 0x01FFFFFFu},      // last part fills 24 bits
      {"3232235777", 0xC0A80101u},      // one part fills 32 bits
      {"4294967295", 0xFFFFFFFFu},
      {"0xC0.0xA8.0x1.0x1", 0xC0A80101u},
      {"0XC0.0Xa8.1.1", 0xC0A80101u},
      {"0300.0250.01.01", 0xC0A80101u},  // octal
      {"0377.0.0.0", 0xFF000000u},
      {"0", 0},
      {"00", 0},
      {"0x0", 0},
      {"0xffffffff", 0xFFFFFFFFu},
      {"000000000000000000001.2.3.4", 0x01020304u},
      {"1.2.3.4 anything after a space", 0x01020304u},
      {"1.2.3.4\t", 0x01020304u},
      {"1.2.3.4\n", 0x01020304u},
  };
  for (const Case& c : cases) {
    const auto value = ParseIpv4Address(c.text);
    ASSERT_TRUE(value.has_value()) << c.text;
    EXPECT_EQ(*value, c.value) << c.text;
  }
}

TEST(Ipv4AddressParse, RefusesMalformedTexts) {
  for (const char* text :
       {"", ".", "1.", ".1", "1..2", "1.2.3.4.", "1.2.3.4.5", "256.1.1.1", "1.256.1.1", "1.1.256.1",
        "1.1.1.256", "1.2.65536", "1.16777216", "4294967296", "99999999999999999999", "0x100000000",
        "08", "0.0.0.09", "0x", "0x.1", "0xg", "1.2.3.4x", "1.2.3.4.0", "a.b.c.d", " 1.2.3.4",
        "+1.2.3.4", "-1", "1,2,3,4", "1.2.3.0x", "\xB1\xB1"}) {
    EXPECT_EQ(ParseIpv4Address(text), std::nullopt) << text;
  }
  EXPECT_EQ(ParseIpv4Address(nullptr), std::nullopt);
}

#ifdef __GLIBC__
// The C library's inet_aton reads the same grammar; both must agree on any
// text drawn from the characters that matter.
TEST(Ipv4AddressParse, AgreesWithTheCLibraryOnRandomTexts) {
  const std::string alphabet = "0123456789.....xXaAfFgG \t7-";
  std::mt19937 random(20240117);
  std::uniform_int_distribution<size_t> length(0, 24);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  int valid = 0;
  for (int n = 0; n < 200000; ++n) {
    std::string text(length(random), ' ');
    for (char& c : text) c = alphabet[pick(random)];
    in_addr address{};
    const bool libraryValid = inet_aton(text.c_str(), &address) != 0;
    const auto value = ParseIpv4Address(text.c_str());
    ASSERT_EQ(value.has_value(), libraryValid) << '"' << text << '"';
    if (libraryValid) {
      ++valid;
      ASSERT_EQ(*value, ntohl(address.s_addr)) << '"' << text << '"';
    }
  }
  EXPECT_GT(valid, 1000) << "the random texts hardly ever form an address";
}
#endif

}  // namespace
