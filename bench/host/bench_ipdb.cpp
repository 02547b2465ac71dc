// Benchmark of CIpLocationDb on a real QQwry.dat: load time against a bare
// read of the file, lookup rate against a bare bisection of its index.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "bench/host/bench_read_floor.h"
#include "ipdb/ipdb.h"
#include "tests/host/ipdb_real_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

uint32_t Load32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The floor of a lookup: the bisection alone, returning the record offset.
uint32_t BareBisection(const uint8_t* index, uint32_t lastIndex, uint32_t ip) {
  uint32_t lo = 0;
  uint32_t hi = lastIndex + 1;
  while (hi - lo > 1) {
    const uint32_t mid = (lo + hi) / 2;
    if (ip < Load32(index + 7 * size_t{mid})) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return Load32(index + 7 * size_t{lo} + 4) & 0xFFFFFF;
}

}  // namespace

int main() {
  const auto path = ipdb_test::FindRealDatabase();
  if (path.empty()) {
    std::printf("bench_ipdb: skipped, %s\n", ipdb_test::kRealDatabaseHint);
    return 0;
  }
  std::printf("bench_ipdb: %s\n", path.string().c_str());

  // (1) Loading. Each round of either kind frees the buffer of the round
  // before, as a reload does. The kinds run in alternating blocks after a
  // warm-up, so that neither pays alone for the heap's first growth.
  constexpr int kBlocks = 6;
  constexpr int kRoundsPerBlock = 8;
  constexpr int kWarmUpRounds = 5;
  std::vector<double> floorTimes;
  std::vector<double> loadTimes;
  size_t fileSize = 0;
  std::unique_ptr<uint8_t[]> floorBuffer;
  CIpLocationDb db;
  for (int block = -1; block < kBlocks; ++block) {
    const int rounds = block < 0 ? kWarmUpRounds : kRoundsPerBlock;
    for (int round = 0; round < rounds; ++round) {
      const auto start = Clock::now();
      floorBuffer.reset();
      floorBuffer = bench::ReadWhole(path.c_str(), fileSize);
      if (block >= 0) floorTimes.push_back(SecondsSince(start));
    }
    floorBuffer.reset();
    for (int round = 0; round < rounds; ++round) {
      const auto start = Clock::now();
      const bool loaded = db.LoadDatabase(path);
      if (block >= 0) loadTimes.push_back(SecondsSince(start));
      if (!loaded) {
        std::printf("bench_ipdb: LoadDatabase failed\n");
        return 1;
      }
    }
    if (block < kBlocks - 1) db.ReleaseDatabase();
  }
  std::printf("file: %zu bytes, %u index entries\n", fileSize, db.EntryCount());
  const double load = Best(loadTimes);
  const double floorLoad = Best(floorTimes);
  std::printf("load   : LoadDatabase %.3f ms, read floor %.3f ms, ratio %.2fx (target <= 1.2x); "
              "medians %.3f / %.3f ms\n",
              load * 1e3, floorLoad * 1e3, load / floorLoad, Median(loadTimes) * 1e3,
              Median(floorTimes) * 1e3);

  // (2) Lookups of one million random addresses, in slices timed alternately
  // against the floor; each slice keeps its best of several passes, so that
  // other work on the machine weighs on neither side.
  size_t size = 0;
  const auto contents = bench::ReadWhole(path.c_str(), size);
  const uint8_t* index = contents.get() + Load32(contents.get());
  const uint32_t lastIndex = (Load32(contents.get() + 4) - Load32(contents.get())) / 7;
  std::mt19937 random(12345);
  std::vector<uint32_t> addresses(1000000);
  for (uint32_t& ip : addresses) ip = static_cast<uint32_t>(random());

  constexpr size_t kSlice = 50000;
  constexpr int kPasses = 7;
  const size_t slices = addresses.size() / kSlice;
  std::vector<double> floorSlices(slices, 1e9);
  std::vector<double> lookupSlices(slices, 1e9);
  uint64_t checksum = 0;
  char out[1024];
  for (int pass = 0; pass < kPasses; ++pass) {
    for (size_t slice = 0; slice < slices; ++slice) {
      const uint32_t* ips = addresses.data() + slice * kSlice;
      auto start = Clock::now();
      for (size_t i = 0; i < kSlice; ++i) checksum += BareBisection(index, lastIndex, ips[i]);
      floorSlices[slice] = std::min(floorSlices[slice], SecondsSince(start));
      start = Clock::now();
      for (size_t i = 0; i < kSlice; ++i) {
        checksum += db.LookupAddress(ips[i], out, sizeof out);
        checksum += static_cast<unsigned char>(out[0]);
      }
      lookupSlices[slice] = std::min(lookupSlices[slice], SecondsSince(start));
    }
  }
  double lookup = 0;
  double floorLookup = 0;
  for (size_t slice = 0; slice < slices; ++slice) {
    lookup += lookupSlices[slice];
    floorLookup += floorSlices[slice];
  }
  const double count = static_cast<double>(slices * kSlice);
  std::printf("lookup : LookupAddress %.2f M/s (%.0f ns each), bisection floor %.2f M/s (%.0f ns each), "
              "ratio %.2fx (target <= 2x)\n",
              count / lookup / 1e6, lookup / count * 1e9, count / floorLookup / 1e6,
              floorLookup / count * 1e9, lookup / floorLookup);
  std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
  return 0;
}
