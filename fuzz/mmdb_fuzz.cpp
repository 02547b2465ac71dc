// libFuzzer target: CMmdbReader on fuzzer-made files: the metadata, tree walks for fuzzer-chosen
// IPv6 and IPv4 addresses, the values they reach written out whole and as location texts (looked
// up twice, the second time from the texts the reader keeps), and a bounded walk over the tree's
// networks.
//
// Input: one byte whose low 3 bits give a count k of addresses, then k 16-byte addresses, then the
// database file itself.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ipdb/ipv6_address.h"
#include "ipdb/mmdb.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckValue(const CMmdbReader& db, uint64_t data) {
  const std::optional<std::string> rendered = db.Render(data);
  const std::string location = db.LocationAt(data);
  Check(location.size() <= 3 * db.ContentsSize() + 2);
  Check(!rendered || rendered->size() >= 2 || rendered->size() <= 64 * db.ContentsSize());
}

// A lookup's text is the location at its data offset, or "未知数据" when that has none.
void CheckText(const CMmdbReader& db, uint64_t data, bool found, const std::string& text) {
  const std::string location = db.LocationAt(data);
  Check(found == !location.empty());
  Check(found ? text == location : text == "\xE6\x9C\xAA\xE7\x9F\xA5\xE6\x95\xB0\xE6\x8D\xAE");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t count = data[0] & 7u;
  if (size < 1 + 16 * count) return 0;
  std::vector<ipdb::Ipv6Bytes> addresses = {ipdb::Ipv6Bytes{}, ipdb::FromHalves(UINT64_MAX, UINT64_MAX)};
  for (size_t i = 0; i < count; ++i) {
    ipdb::Ipv6Bytes a;
    std::memcpy(a.data(), data + 1 + 16 * i, 16);
    addresses.push_back(a);
  }
  const uint8_t* file = data + 1 + 16 * count;
  const size_t fileSize = size - 1 - 16 * count;

  CMmdbReader db;
  const bool loaded = db.LoadBytes(file, fileSize);
  Check(loaded == db.IsLoaded());
  if (loaded) {
    const unsigned rs = db.Meta().recordSize;
    Check(rs == 24 || rs == 28 || rs == 32);
    Check(db.Meta().nodeCount * (rs / 4) + 16 <= fileSize);
  }
  for (const ipdb::Ipv6Bytes& a : addresses) {
    std::string text;
    const bool found = db.Lookup(a, text);
    const std::optional<CMmdbReader::Found> where = db.Find(a);
    Check(!found || where.has_value());
    Check(loaded ? !text.empty() : text.empty());
    if (where) {
      Check(where->prefixLength >= 1 && where->prefixLength <= 128);
      CheckValue(db, where->data);
      CheckText(db, where->data, found, text);
    }
    const uint32_t v4 = static_cast<uint32_t>(ipdb::Low64(a));
    std::string text4;
    const bool found4 = db.LookupV4(v4, text4);
    const std::optional<CMmdbReader::Found> where4 = db.FindV4(v4);
    Check(!found4 || where4.has_value());
    if (where4) {
      CheckValue(db, where4->data);
      CheckText(db, where4->data, found4, text4);
    }
    // Asked again, the reader answers from the text it kept the same as the first time.
    std::string again;
    Check(db.LookupV4(v4, again) == found4 && again == text4);
  }
  int networks = 0;
  db.EachNetwork(
      [&](const ipdb::Ipv6Bytes& first, int prefix, uint64_t value) {
        Check(prefix >= 1 && prefix <= 128);
        const std::optional<CMmdbReader::Found> again = db.Find(first);
        if (db.Meta().ipVersion == 6) Check(again && again->data == value && again->prefixLength == prefix);
        ++networks;
        return true;
      },
      64);
  Check(networks <= 64);
  Check(db.DateText().size() <= 16);
  db.ReleaseDatabase();
  Check(!db.IsLoaded());
  return 0;
}
