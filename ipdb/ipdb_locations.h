// The location databases beside the program and the one in use for each address family.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ipdb/ipdb.h"
#include "ipdb/ipv6_address.h"
#include "ipdb/ipv6wry.h"
#include "ipdb/mmdb.h"

namespace ipdb {

enum class DbKind { kNone, kQqwry, kIpv6Wry, kMmdb };
enum class Family { kIpv4, kIpv6 };

inline constexpr char kQqwryName[] = "QQwry.dat";
inline constexpr char kIpv6WryName[] = "ipv6wry.db";

// The kind of a database by its file name: QQwry.dat and ipv6wry.db in any case, any .mmdb.
DbKind KindOfName(const std::filesystem::path& name);

// The database files in a folder, by name: QQwry.dat, ipv6wry.db, then the .mmdb files in the
// order of their names.
std::vector<std::filesystem::path> DatabaseFilesIn(const std::filesystem::path& folder);

// What the menu tells of one file: whether it loads, the families it serves and its date.
struct DbFileFacts {
  std::filesystem::path name;
  DbKind kind = DbKind::kNone;
  bool readable = false;
  bool servesIpv4 = false;
  bool servesIpv6 = false;
  std::string date;        // "YYYY-MM-DD", or the file's own words for it
  bool dateIsGbk = false;  // a QQwry version text that holds no date: GBK bytes
};
DbFileFacts ExamineFile(const std::filesystem::path& path);

// "2024-01-17" from a QQwry version text holding "2024年01月17日" (GBK); empty when it holds none.
std::string QqwryDate(const std::string& gbkVersion);

// A location text with the encoding of the database it came from.
struct Location {
  std::string text;
  bool gbk = false;  // QQwry's texts are GBK, the others' UTF-8
  bool operator==(const Location&) const = default;
};

// Holds the database in use for each address family and answers lookups from it.
class CLocationBook {
 public:
  // Loads, for each family, the chosen file (a name in folder; empty for none) when it serves
  // that family and loads, else the first that loads of: QQwry.dat (IPv4) or ipv6wry.db (IPv6),
  // then the .mmdb files. When no candidate file exists the family keeps what it had; when files
  // exist but none loads, the family is left without a database. A file that has kept its size and
  // time of writing since it was loaded is kept as loaded, not read again. Returns whether an IPv4
  // database is in use from this folder now.
  bool Load(const std::filesystem::path& folder, const std::filesystem::path& v4Choice,
            const std::filesystem::path& v6Choice);

  // QQwry's answer for an address is read as the text of its dotted form, the way the port page
  // always asked it (so 255.255.255.255 has no location); empty when the family has no database.
  Location LookupV4(uint32_t ip) const;
  // An IPv4-mapped, 6to4 or Teredo address is looked up by its IPv4 address.
  Location LookupV6(const Ipv6Bytes& address) const;

  // The file name in use for a family; empty when it has none.
  const std::filesystem::path& Source(Family family) const {
    return family == Family::kIpv4 ? m_v4.name : m_v6.name;
  }

 private:
  struct Slot {
    DbKind kind = DbKind::kNone;
    std::filesystem::path name;
    std::shared_ptr<CIpLocationDb> qqwry;
    std::shared_ptr<CIpv6WryDb> v6wry;
    std::shared_ptr<CMmdbReader> mmdb;
    // The file as it was loaded: an unchanged file is not read again.
    std::uintmax_t size = 0;
    std::filesystem::file_time_type written{};
  };
  bool LoadFamily(Family family, const std::filesystem::path& folder, const std::filesystem::path& choice,
                  const std::vector<std::filesystem::path>& files, Slot& slot);

  Slot m_v4;
  Slot m_v6;
};

}  // namespace ipdb
