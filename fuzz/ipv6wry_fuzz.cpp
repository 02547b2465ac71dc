// libFuzzer target: CIpv6WryDb on fuzzer-made files, then lookups of fuzzer-chosen addresses and
// of the ends of the first and last ranges.
//
// Input: one byte whose low 3 bits give a count k of addresses, then k 16-byte addresses, then the
// database file itself.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ipdb/ipv6_address.h"
#include "ipdb/ipv6wry.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The bisection as plainly as it can be written over the raw bytes.
std::optional<uint64_t> ReferenceFind(const CIpv6WryDb& db, uint64_t high) {
  uint64_t lo = 0, hi = db.EntryCount();
  while (hi - lo > 1) {
    const uint64_t mid = lo + (hi - lo) / 2;
    (high < db.EntryAt(mid).start ? hi : lo) = mid;
  }
  if (high < db.EntryAt(lo).start) return std::nullopt;
  return lo;
}

void CheckAddress(const CIpv6WryDb& db, const ipdb::Ipv6Bytes& address) {
  std::string text;
  const bool found = db.Lookup(address, text);
  if (!db.IsLoaded()) {
    Check(!found && text.empty());
    return;
  }
  Check(!text.empty() || found);
  const std::optional<uint64_t> entry = db.FindEntry(ipdb::High64(address));
  Check(entry == ReferenceFind(db, ipdb::High64(address)));
  Check(!found || entry.has_value());
  if (entry) {
    std::string country, area;
    Check(db.ReadRecord(db.EntryAt(*entry).record, country, area) == found);
  }
  Check(text.size() <= db.ContentsSize() * 2 + 16);
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

  CIpv6WryDb db;
  const bool loaded = db.LoadBytes(file, fileSize);
  Check(loaded == db.IsLoaded());
  Check(!loaded || (db.ContentsSize() == fileSize && db.EntryCount() > 0));
  const uint64_t entries = db.EntryCount();
  for (uint64_t i = 0; i < entries && i < 8; ++i) {
    for (const uint64_t n : {i, entries - 1 - i}) {
      const uint64_t start = db.EntryAt(n).start;
      for (const uint64_t high : {start - 1, start, start + 1}) {
        addresses.push_back(ipdb::FromHalves(high, 0));
        addresses.push_back(ipdb::FromHalves(high, UINT64_MAX));
      }
    }
  }
  for (const ipdb::Ipv6Bytes& a : addresses) CheckAddress(db, a);
  const std::string date = db.DateText();
  Check(date.size() <= 64);
  db.ReleaseDatabase();
  Check(!db.IsLoaded() && db.EntryCount() == 0);
  return 0;
}
