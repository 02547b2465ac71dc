// Benchmark of the ipv6wry.db and MaxMind DB readers on the real files: load time against a bare
// read of the file, lookup rate against a bare search of the same index or tree, and the .mmdb
// reader against libmaxminddb on the same file and addresses (when the host build has it).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/host/bench_read_floor.h"
#include "ipdb/ipv6_address.h"
#include "ipdb/ipv6wry.h"
#include "ipdb/mmdb.h"
#include "tests/host/ipdb_real_file.h"

#ifdef WARDLET_HAVE_LIBMAXMINDDB
#include <maxminddb.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using ipdb::Ipv6Bytes;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Best load and best bare read of several alternating rounds, after a warm-up.
// Each round starts with nothing held (release), so that the read and the load find the heap in
// the same state.
template <typename Load, typename Release>
void CompareLoad(const char* what, const std::filesystem::path& path, Load load, Release release) {
  std::vector<double> floors, loads;
  size_t size = 0;
  for (int round = -3; round < 40; ++round) {
    release();
    auto start = Clock::now();
    auto buffer = bench::ReadWhole(path.c_str(), size);
    const double floor = SecondsSince(start);
    buffer.reset();
    start = Clock::now();
    if (!load()) {
      std::printf("%s: load failed\n", what);
      return;
    }
    const double mine = SecondsSince(start);
    if (round >= 0) {
      floors.push_back(floor);
      loads.push_back(mine);
    }
  }
  const double best = *std::min_element(loads.begin(), loads.end());
  const double floor = *std::min_element(floors.begin(), floors.end());
  std::printf("%-8s load  : %.3f ms, read floor %.3f ms (%zu bytes), ratio %.2fx (target <= 1.2x)\n", what, best * 1e3,
              floor * 1e3, size, best / floor);
}

// Times two ways of handling the same addresses in slices taken alternately, each slice keeping
// its best of several passes; returns the total seconds of each.
std::pair<double, double> Alternate(size_t count, const std::function<uint64_t(size_t)>& first,
                                    const std::function<uint64_t(size_t)>& second, uint64_t& checksum) {
  constexpr size_t kSlice = 20000;
  constexpr int kPasses = 5;
  const size_t slices = count / kSlice;
  std::vector<double> a(slices, 1e9), b(slices, 1e9);
  // Whichever runs second finds the lines the first brought in: the order swaps every pass.
  auto run = [&](const std::function<uint64_t(size_t)>& f, size_t s, double& best) {
    const auto start = Clock::now();
    for (size_t i = s * kSlice; i < (s + 1) * kSlice; ++i) checksum += f(i);
    best = std::min(best, SecondsSince(start));
  };
  for (int pass = 0; pass < kPasses + 1; ++pass) {
    for (size_t s = 0; s < slices; ++s) {
      if (pass % 2 == 0) {
        run(first, s, a[s]);
        run(second, s, b[s]);
      } else {
        run(second, s, b[s]);
        run(first, s, a[s]);
      }
    }
  }
  double ta = 0, tb = 0;
  for (size_t s = 0; s < slices; ++s) ta += a[s], tb += b[s];
  return {ta, tb};
}

void Report(const char* what, const char* mineName, const char* otherName, size_t count, std::pair<double, double> t,
            const char* target) {
  const double n = static_cast<double>(count / 20000 * 20000);
  std::printf("%-8s lookup: %s %.0f ns each, %s %.0f ns each, ratio %.2fx (%s)\n", what, mineName, t.first / n * 1e9,
              otherName, t.second / n * 1e9, t.first / t.second, target);
}

uint64_t Load64(const uint8_t* p) {  // little-endian, as the file stores it
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

}  // namespace

int main() {
  std::mt19937_64 random(4242);
  constexpr size_t kCount = 400000;
  // Addresses mostly in 2000::/4, the space in use, and random IPv4 addresses.
  std::vector<Ipv6Bytes> v6(kCount);
  for (Ipv6Bytes& a : v6) {
    a = ipdb::FromHalves(random(), random());
    a[0] = static_cast<uint8_t>(0x20 | (a[0] & 0x0F));
  }
  std::vector<uint32_t> v4(kCount);
  for (uint32_t& ip : v4) ip = static_cast<uint32_t>(random());
  uint64_t checksum = 0;

  // ---- ipv6wry.db
  const auto wryPath = ipdb_test::FindIpv6Wry();
  if (wryPath.empty()) {
    std::printf("ipv6wry: skipped, %s\n", ipdb_test::kLocationFilesHint);
  } else {
    CIpv6WryDb db;
    CompareLoad("ipv6wry", wryPath, [&] { return db.LoadDatabase(wryPath); }, [&] { db.ReleaseDatabase(); });
    size_t size = 0;
    const auto raw = bench::ReadWhole(wryPath.c_str(), size);
    const uint64_t count = Load64(raw.get() + 8), first = Load64(raw.get() + 16);
    const unsigned width = raw[6];
    const uint8_t* index = raw.get() + first;
    // The floor: the bisection over the 8-byte keys alone, giving the record offset.
    auto bare = [&](size_t i) -> uint64_t {
      const uint64_t high = ipdb::High64(v6[i]);
      uint64_t lo = 0, hi = count;
      while (hi - lo > 1) {
        const uint64_t mid = (lo + hi) / 2;
        if (high < Load64(index + mid * (8 + width))) {
          hi = mid;
        } else {
          lo = mid;
        }
      }
      uint64_t record = 0;
      std::memcpy(&record, index + lo * (8 + width) + 8, width);
      return record;
    };
    std::string text;
    auto lookup = [&](size_t i) -> uint64_t {
      db.Lookup(v6[i], text);
      return text.size();
    };
    Report("ipv6wry", "Lookup", "bisection floor", kCount, Alternate(kCount, lookup, bare, checksum), "target <= 2x");
    Report("ipv6wry", "FindEntry", "bisection floor", kCount,
           Alternate(kCount, [&](size_t i) -> uint64_t { return *db.FindEntry(ipdb::High64(v6[i])); }, bare, checksum),
           "the search alone");
  }

  // ---- MaxMind DB
  const auto mmdbPath = ipdb_test::FindMmdb();
  if (mmdbPath.empty()) {
    std::printf("mmdb: skipped, %s\n", ipdb_test::kLocationFilesHint);
  } else {
    CMmdbReader db;
    CompareLoad("mmdb", mmdbPath, [&] { return db.LoadDatabase(mmdbPath); }, [&] { db.ReleaseDatabase(); });
    size_t size = 0;
    const auto raw = bench::ReadWhole(mmdbPath.c_str(), size);
    const uint64_t nodes = db.Meta().nodeCount;
    if (db.Meta().recordSize != 24) {
      std::printf("mmdb: the floor walks 24-bit records only; this file has %u-bit ones\n", db.Meta().recordSize);
      return 0;
    }
    // The floor: the tree walked bit by bit with nothing else.
    auto walk = [&](const uint8_t* bits, int count, uint64_t node) -> uint64_t {
      for (int i = 0; i < count && node < nodes; ++i) {
        const uint8_t* p = raw.get() + node * 6 + 3 * ((bits[i >> 3] >> (7 - (i & 7))) & 1);
        node = uint64_t{p[0]} << 16 | uint64_t{p[1]} << 8 | p[2];
      }
      return node;
    };
    uint64_t v4Start = 0;
    for (int i = 0; i < 96 && v4Start < nodes; ++i) v4Start = uint64_t{raw[v4Start * 6]} << 16 | raw[v4Start * 6 + 1] << 8 | raw[v4Start * 6 + 2];
    std::vector<std::array<uint8_t, 4>> v4Bytes(kCount);
    for (size_t i = 0; i < kCount; ++i)
      for (int b = 0; b < 4; ++b) v4Bytes[i][b] = static_cast<uint8_t>(v4[i] >> (24 - 8 * b));
    std::string text;
    Report("mmdb v6", "Lookup", "tree-walk floor", kCount,
           Alternate(kCount, [&](size_t i) -> uint64_t { db.Lookup(v6[i], text); return text.size(); },
                     [&](size_t i) { return walk(v6[i].data(), 128, 0); }, checksum),
           "target <= 2x");
    Report("mmdb v4", "LookupV4", "tree-walk floor", kCount,
           Alternate(kCount, [&](size_t i) -> uint64_t { db.LookupV4(v4[i], text); return text.size(); },
                     [&](size_t i) { return walk(v4Bytes[i].data(), 32, v4Start); }, checksum),
           "target <= 2x");
#ifdef WARDLET_HAVE_LIBMAXMINDDB
    MMDB_s mmdb;
    if (MMDB_open(mmdbPath.c_str(), MMDB_MODE_MMAP, &mmdb) != MMDB_SUCCESS) {
      std::printf("libmaxminddb: could not open the file\n");
      return 0;
    }
    std::vector<sockaddr_in6> s6(kCount);
    std::vector<sockaddr_in> s4(kCount);
    for (size_t i = 0; i < kCount; ++i) {
      s6[i] = sockaddr_in6{};
      s6[i].sin6_family = AF_INET6;
      std::memcpy(&s6[i].sin6_addr, v6[i].data(), 16);
      s4[i] = sockaddr_in{};
      s4[i].sin_family = AF_INET;
      s4[i].sin_addr.s_addr = htonl(v4[i]);
    }
    // Both sides answer alike: an address has a location on one when it has one on the other, and
    // the location text is the country code libmaxminddb reads (this file holds codes alone).
    size_t agreed = 0;
    for (size_t i = 0; i < 2 * kCount; ++i) {
      const bool six = i < kCount;
      const size_t n = six ? i : i - kCount;
      const bool mine = six ? db.Lookup(v6[n], text) : db.LookupV4(v4[n], text);
      int error = 0;
      MMDB_lookup_result_s r = MMDB_lookup_sockaddr(
          &mmdb, six ? reinterpret_cast<const sockaddr*>(&s6[n]) : reinterpret_cast<const sockaddr*>(&s4[n]), &error);
      MMDB_entry_data_s data{};
      const bool theirs = r.found_entry && MMDB_get_value(&r.entry, &data, "country_code", NULL) == MMDB_SUCCESS &&
                          data.has_data && data.type == MMDB_DATA_TYPE_UTF8_STRING;
      if (mine == theirs && (!mine || text == std::string(data.utf8_string, data.data_size))) ++agreed;
    }
    std::printf("mmdb     agree : %zu of %zu addresses have the same location text on both sides\n", agreed, 2 * kCount);
    // The tree search alone: CMmdbReader::Find against MMDB_lookup_sockaddr.
    auto theirs = [&](const sockaddr* a) -> uint64_t {
      int error = 0;
      const MMDB_lookup_result_s r = MMDB_lookup_sockaddr(&mmdb, a, &error);
      return r.found_entry ? r.entry.offset : 0;
    };
    Report("mmdb v6", "Find", "MMDB_lookup_sockaddr", kCount,
           Alternate(kCount, [&](size_t i) -> uint64_t { auto f = db.Find(v6[i]); return f ? f->data : 0; },
                     [&](size_t i) { return theirs(reinterpret_cast<const sockaddr*>(&s6[i])); }, checksum),
           "target <= 1x");
    Report("mmdb v4", "FindV4", "MMDB_lookup_sockaddr", kCount,
           Alternate(kCount, [&](size_t i) -> uint64_t { auto f = db.FindV4(v4[i]); return f ? f->data : 0; },
                     [&](size_t i) { return theirs(reinterpret_cast<const sockaddr*>(&s4[i])); }, checksum),
           "target <= 1x");
    // The search and the country read: the location text against a lookup and MMDB_get_value. The
    // reader keeps the texts it has read by data offset, as the port page's repeated refreshes use it.
    auto theirsText = [&](const sockaddr* a) -> uint64_t {
      int error = 0;
      MMDB_lookup_result_s r = MMDB_lookup_sockaddr(&mmdb, a, &error);
      if (!r.found_entry) return 0;
      MMDB_entry_data_s data;
      if (MMDB_get_value(&r.entry, &data, "country_code", NULL) != MMDB_SUCCESS || !data.has_data) return 0;
      return data.data_size;
    };
    Report("mmdb v6", "Lookup", "lookup+MMDB_get_value", kCount,
           Alternate(kCount, [&](size_t i) -> uint64_t { db.Lookup(v6[i], text); return text.size(); },
                     [&](size_t i) { return theirsText(reinterpret_cast<const sockaddr*>(&s6[i])); }, checksum),
           "target <= 1x");
    Report("mmdb v4", "LookupV4", "lookup+MMDB_get_value", kCount,
           Alternate(kCount, [&](size_t i) -> uint64_t { db.LookupV4(v4[i], text); return text.size(); },
                     [&](size_t i) { return theirsText(reinterpret_cast<const sockaddr*>(&s4[i])); }, checksum),
           "target <= 1x");
    MMDB_close(&mmdb);
#else
    std::printf("libmaxminddb: not in this build (install libmaxminddb-dev and configure again)\n");
#endif
  }
  std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
  return 0;
}
