// Finds the real QQwry.dat that scripts/fetch-qqwry.sh fetches for tests and benchmarks.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace ipdb_test {

// WARDLET_QQWRY names the file; otherwise build/data/QQwry.dat under the repository root, found
// from this source file's place or from the working folder upwards. Empty when there is none.
inline std::filesystem::path FindRealDatabase() {
  namespace fs = std::filesystem;
  std::error_code error;
  if (const char* named = std::getenv("WARDLET_QQWRY"); named != nullptr && *named != '\0')
    return fs::is_regular_file(named, error) ? fs::path(named) : fs::path();
  const fs::path relative = fs::path("build") / "data" / "QQwry.dat";
  fs::path folder = fs::path(__FILE__).parent_path().parent_path().parent_path();
  if (folder.is_absolute() && fs::is_regular_file(folder / relative, error)) return folder / relative;
  for (folder = fs::current_path(error); !folder.empty(); folder = folder.parent_path()) {
    if (fs::is_regular_file(folder / relative, error)) return folder / relative;
    if (folder == folder.parent_path()) break;
  }
  return {};
}

// build/data/<name> under the repository root (the fetch scripts' folder), found as above; the
// environment variable env, when set, names the file instead. Empty when there is none.
inline std::filesystem::path FindDataFile(const char* name, const char* env) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (const char* named = std::getenv(env); named != nullptr && *named != '\0')
    return fs::is_regular_file(named, error) ? fs::path(named) : fs::path();
  const fs::path relative = fs::path("build") / "data" / name;
  fs::path folder = fs::path(__FILE__).parent_path().parent_path().parent_path();
  if (folder.is_absolute() && fs::is_regular_file(folder / relative, error)) return folder / relative;
  for (folder = fs::current_path(error); !folder.empty(); folder = folder.parent_path()) {
    if (fs::is_regular_file(folder / relative, error)) return folder / relative;
    if (folder == folder.parent_path()) break;
  }
  return {};
}
inline std::filesystem::path FindIpv6Wry() { return FindDataFile("ipv6wry.db", "WARDLET_IPV6WRY"); }
inline std::filesystem::path FindMmdb() { return FindDataFile("geo-whois-asn-country.mmdb", "WARDLET_MMDB"); }
inline const char* kLocationFilesHint =
    "the real ipv6wry.db or .mmdb file is not there: run scripts/fetch-locations.sh, or set "
    "WARDLET_IPV6WRY / WARDLET_MMDB to their paths";

inline const char* kRealDatabaseHint =
    "real QQwry.dat not found: run scripts/fetch-qqwry.sh or set WARDLET_QQWRY to its path";

}  // namespace ipdb_test
