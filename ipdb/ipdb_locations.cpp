// The location databases beside the program and the one in use for each address family.
#include "ipdb/ipdb_locations.h"

#include <algorithm>
#include <system_error>

#include "ipdb/ipdb_file.h"

namespace ipdb {
namespace {

std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string text = path.filename().u8string();
  return std::string(text.begin(), text.end());
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool ServesByName(DbKind kind, Family family) {
  if (kind == DbKind::kMmdb) return true;
  return family == Family::kIpv4 ? kind == DbKind::kQqwry : kind == DbKind::kIpv6Wry;
}

std::string Dotted(uint32_t ip) {
  return std::to_string(ip >> 24) + '.' + std::to_string(ip >> 16 & 0xFF) + '.' + std::to_string(ip >> 8 & 0xFF) +
         '.' + std::to_string(ip & 0xFF);
}

}  // namespace

DbKind KindOfName(const std::filesystem::path& name) {
  const std::string lower = Lower(Utf8Name(name));
  if (lower == Lower(kQqwryName)) return DbKind::kQqwry;
  if (lower == kIpv6WryName) return DbKind::kIpv6Wry;
  if (lower.size() > 5 && lower.compare(lower.size() - 5, 5, ".mmdb") == 0) return DbKind::kMmdb;
  return DbKind::kNone;
}

std::vector<std::filesystem::path> DatabaseFilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (!it->is_regular_file(ignored)) continue;
    if (KindOfName(it->path()) != DbKind::kNone) files.push_back(it->path().filename());
  }
  std::sort(files.begin(), files.end(), [](const std::filesystem::path& a, const std::filesystem::path& b) {
    const int ka = static_cast<int>(KindOfName(a)), kb = static_cast<int>(KindOfName(b));
    return ka != kb ? ka < kb : Utf8Name(a) < Utf8Name(b);
  });
  return files;
}

std::string QqwryDate(const std::string& version) {
  // 年, 月 and 日 in GBK, each after one to four digits.
  static const char* const kMarks[] = {"\xC4\xEA", "\xD4\xC2", "\xC8\xD5"};
  for (size_t start = 0; start < version.size(); ++start) {
    std::string parts[3];
    size_t at = start;
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i) {
      while (at < version.size() && version[at] >= '0' && version[at] <= '9' && parts[i].size() < 4)
        parts[i] += version[at++];
      ok = !parts[i].empty() && version.compare(at, 2, kMarks[i]) == 0;
      at += 2;
    }
    if (!ok || parts[0].size() != 4 || parts[1].size() > 2 || parts[2].size() > 2) continue;
    auto two = [](const std::string& s) { return s.size() == 1 ? '0' + s : s; };
    return parts[0] + '-' + two(parts[1]) + '-' + two(parts[2]);
  }
  return {};
}

DbFileFacts ExamineFile(const std::filesystem::path& path) {
  DbFileFacts facts;
  facts.name = path.filename();
  facts.kind = KindOfName(path);
  switch (facts.kind) {
    case DbKind::kQqwry: {
      CIpLocationDb db;
      facts.readable = facts.servesIpv4 = db.LoadDatabase(path);
      const std::string version = db.VersionText();
      facts.date = QqwryDate(version);
      if (facts.date.empty() && !version.empty()) {
        facts.date = version;
        facts.dateIsGbk = true;
      }
      break;
    }
    case DbKind::kIpv6Wry: {
      CIpv6WryDb db;
      facts.readable = facts.servesIpv6 = db.LoadDatabase(path);
      facts.date = db.DateText();
      break;
    }
    case DbKind::kMmdb: {
      CMmdbReader db;
      facts.readable = facts.servesIpv4 = db.LoadDatabase(path);
      facts.servesIpv6 = db.ServesIpv6();
      facts.date = db.DateText();
      break;
    }
    case DbKind::kNone: break;
  }
  return facts;
}

bool CLocationBook::Load(const std::filesystem::path& folder, const std::filesystem::path& v4Choice,
                         const std::filesystem::path& v6Choice) {
  const std::vector<std::filesystem::path> files = DatabaseFilesIn(folder);
  const bool v4 = LoadFamily(Family::kIpv4, folder, v4Choice, files, m_v4);
  LoadFamily(Family::kIpv6, folder, v6Choice, files, m_v6);
  return v4;
}

bool CLocationBook::LoadFamily(Family family, const std::filesystem::path& folder, const std::filesystem::path& choice,
                               const std::vector<std::filesystem::path>& files, Slot& slot) {
  std::vector<std::filesystem::path> candidates;
  // A choice is a bare file name of a kind that serves the family.
  if (!choice.empty() && choice == choice.filename() && ServesByName(KindOfName(choice), family))
    candidates.push_back(choice);
  // The default by its name as the folder spells it (a folder may tell case apart).
  const DbKind own = family == Family::kIpv4 ? DbKind::kQqwry : DbKind::kIpv6Wry;
  const size_t before = candidates.size();
  for (const std::filesystem::path& name : files)
    if (KindOfName(name) == own) candidates.push_back(name);
  if (candidates.size() == before) candidates.push_back(family == Family::kIpv4 ? kQqwryName : kIpv6WryName);
  for (const std::filesystem::path& name : files)
    if (KindOfName(name) == DbKind::kMmdb) candidates.push_back(name);

  bool opened = false;
  for (const std::filesystem::path& name : candidates) {
    const std::filesystem::path path = folder / name;
    if (!FileOpens(path)) continue;
    opened = true;
    Slot loaded;
    loaded.kind = KindOfName(name);
    loaded.name = name;
    std::error_code error;
    loaded.size = std::filesystem::file_size(path, error);
    if (!error) loaded.written = std::filesystem::last_write_time(path, error);
    if (!error && slot.kind == loaded.kind && slot.name == name && slot.size == loaded.size &&
        slot.written == loaded.written)
      return true;
    bool ok = false;
    switch (loaded.kind) {
      case DbKind::kQqwry:
        loaded.qqwry = std::make_shared<CIpLocationDb>();
        ok = loaded.qqwry->LoadDatabase(path);
        break;
      case DbKind::kIpv6Wry:
        loaded.v6wry = std::make_shared<CIpv6WryDb>();
        ok = loaded.v6wry->LoadDatabase(path);
        break;
      case DbKind::kMmdb:
        // The file the IPv4 family has just loaded serves here too without a second read.
        if (family == Family::kIpv6 && m_v4.kind == DbKind::kMmdb && m_v4.name == name && m_v4.mmdb) {
          loaded.mmdb = m_v4.mmdb;
        } else {
          loaded.mmdb = std::make_shared<CMmdbReader>();
          loaded.mmdb->LoadDatabase(path);
        }
        ok = loaded.mmdb->IsLoaded() && (family == Family::kIpv4 || loaded.mmdb->ServesIpv6());
        break;
      case DbKind::kNone: break;
    }
    if (ok) {
      slot = std::move(loaded);
      return true;
    }
  }
  if (opened) slot = Slot{};
  return false;
}

Location CLocationBook::LookupV4(uint32_t ip) const {
  Location location;
  if (m_v4.qqwry) {
    char out[1024] = {};
    m_v4.qqwry->LookupText(Dotted(ip).c_str(), out, sizeof out);
    location.text = out;
    location.gbk = true;
  } else if (m_v4.mmdb) {
    m_v4.mmdb->LookupV4(ip, location.text);
  }
  return location;
}

Location CLocationBook::LookupV6(const Ipv6Bytes& address) const {
  if (const std::optional<uint32_t> v4 = EmbeddedIpv4(address)) return LookupV4(*v4);
  Location location;
  if (m_v6.v6wry) {
    m_v6.v6wry->Lookup(address, location.text);
  } else if (m_v6.mmdb) {
    m_v6.mmdb->Lookup(address, location.text);
  }
  return location;
}

}  // namespace ipdb
