// libFuzzer target: CIpLocationDb::LoadDatabase on fuzzer-made files, then
// lookups of fuzzer-chosen addresses and texts.
//
// Input: one byte whose low 3 bits give a count k of addresses and whose high
// bits pick a small output capacity, then k little-endian 32-bit addresses,
// then the database file itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "ipdb/ipdb.h"
#include "ipdb/ipdb_address.h"

#include <unistd.h>

namespace {

// The scratch file every input is written to, removed when the run ends.
struct ScratchFile {
  std::filesystem::path path;
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};
ScratchFile g_scratch;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The lookup's search as plainly as it can be written, over the raw file:
// the record of the last entry whose start is at most ip, or nothing when the
// address lies past a range's end or a read falls outside the file.
std::optional<uint32_t> ReferenceFind(const uint8_t* file, size_t size, uint32_t ip) {
  auto read = [&](uint64_t offset, int width, uint32_t& value) {
    if (offset + static_cast<uint64_t>(width) > size) return false;
    value = 0;
    for (int i = 0; i < width; ++i) value |= uint32_t{file[offset + static_cast<uint64_t>(i)]} << (8 * i);
    return true;
  };
  uint32_t first = 0;
  uint32_t last = 0;
  if (!read(0, 4, first) || !read(4, 4, last)) return std::nullopt;
  const uint32_t lastIndex = (last - first) / 7;
  auto entry = [&](uint32_t i) { return static_cast<uint32_t>(first + 7 * i); };
  uint32_t record = 0;
  uint32_t end = 0;
  if (!read(uint64_t{entry(lastIndex)} + 4, 3, record) || !read(record, 4, end) || ip > end) {
    return std::nullopt;
  }
  uint32_t lo = 0;
  uint32_t hi = lastIndex + 1;
  while (lo < hi - 1) {
    const uint32_t mid = (lo + hi) / 2;
    uint32_t start = 0;
    if (!read(entry(mid), 4, start)) return std::nullopt;
    if (ip < start) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  if (!read(uint64_t{entry(lo)} + 4, 3, record) || !read(record, 4, end) || ip > end) return std::nullopt;
  return record;
}

// Looks ip up into a buffer of exactly capacity bytes, so that the address
// sanitizer sees any write past it, and returns the text.
std::string Lookup(const CIpLocationDb& db, uint32_t ip, size_t capacity, bool& found) {
  std::unique_ptr<char[]> out(new char[capacity]);
  std::memset(out.get(), 'Z', capacity);
  found = db.LookupAddress(ip, out.get(), capacity);
  const size_t length = strnlen(out.get(), capacity);
  Check(length < capacity);
  return std::string(out.get(), length);
}

void CheckAddress(const CIpLocationDb& db, const uint8_t* file, size_t fileSize, uint32_t ip,
                  size_t smallCapacity) {
  bool found = false;
  const std::string full = Lookup(db, ip, 1024, found);
  bool foundSmall = false;
  const std::string cut = Lookup(db, ip, smallCapacity, foundSmall);
  Check(found == foundSmall);
  Check(full.compare(0, cut.size(), cut) == 0);
  Check(db.IsLoaded() || (!found && full.empty()));
  if (ip == 0xFFFFFFFFu) return;
  Check(!found || db.FindRecord(ip).has_value());
  if (db.IsLoaded()) Check(db.FindRecord(ip) == ReferenceFind(file, fileSize, ip));
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, ip >> 16 & 255, ip >> 8 & 255, ip & 255);
  char out[1024];
  Check(db.LookupText(text, out, sizeof out) == found);
  Check(full == out);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::error_code error;
  g_scratch.path = std::filesystem::temp_directory_path(error) /
                   ("wardlet-ipdb-fuzz-" + std::to_string(getpid()) + ".dat");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t count = data[0] & 7u;
  const size_t smallCapacity = 1 + (data[0] >> 3);
  if (size < 1 + 4 * count) return 0;
  std::vector<uint32_t> addresses = {0, 0xFFFFFFFFu, 0xFFFFFFFEu};
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = data + 1 + 4 * i;
    addresses.push_back(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
  }
  const uint8_t* file = data + 1 + 4 * count;
  const size_t fileSize = size - 1 - 4 * count;

  std::FILE* stream = std::fopen(g_scratch.path.c_str(), "wb");
  if (stream == nullptr) return 0;
  const bool written = std::fwrite(file, 1, fileSize, stream) == fileSize;
  std::fclose(stream);
  if (!written) return 0;

  CIpLocationDb db;
  const bool loaded = db.LoadDatabase(g_scratch.path);
  Check(loaded == db.IsLoaded());
  Check(!loaded || db.ContentsSize() == fileSize);

  // The starts and ends of the first and last few ranges, and one either side.
  const uint32_t entries = db.EntryCount();
  for (uint32_t i = 0; i < entries && i < 8; ++i) {
    for (const uint32_t n : {i, entries - 1 - i}) {
      if (const auto entry = db.EntryAt(n)) {
        for (const uint32_t ip : {entry->start, entry->end}) {
          addresses.insert(addresses.end(), {ip - 1, ip, ip + 1});
        }
      }
    }
  }
  for (const uint32_t ip : addresses) CheckAddress(db, file, fileSize, ip, smallCapacity);

  // The file's first bytes as an address text.
  char text[24] = {};
  std::memcpy(text, file, fileSize < sizeof text - 1 ? fileSize : sizeof text - 1);
  char out[1024];
  const bool found = db.LookupText(text, out, sizeof out);
  const auto parsed = ipdb::ParseIpv4Address(text);
  Check(!found || (parsed && *parsed != 0xFFFFFFFFu));
  if (!parsed || *parsed == 0xFFFFFFFFu) Check(!found && out[0] == '\0');

  db.ReleaseDatabase();
  Check(!db.IsLoaded() && db.EntryCount() == 0);
  return 0;
}
