// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#include "pages/port/port_page.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <vector>

#include "common/listpage.h"
#include "common/settings.h"
#include "common/shell.h"
#include "pages/port/port_rules.h"
#include "pages/process/process_actions.h"
#include "pages/process/process_info.h"
#include "pages/process/process_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"
#include "ui/text.h"

namespace {

struct LibraryTraits {
  static HMODULE invalid() { return nullptr; }
  static void close(HMODULE h) { ::FreeLibrary(h); }
};
using CLibrary = ui::UniqueHandle<HMODULE, LibraryTraits>;

// GetExtendedTcpTable and GetExtendedUdpTable share one signature.
using TableFunction = DWORD(WINAPI*)(PVOID table, PDWORD size, BOOL sort, ULONG family, int tableClass,
                                     ULONG reserved);
constexpr ULONG kFamilyInet = 2;       // AF_INET
constexpr ULONG kFamilyInet6 = 23;     // AF_INET6
constexpr int kTcpTableOwnerPidAll = 5;  // TCP_TABLE_OWNER_PID_ALL
constexpr int kUdpTableOwnerPid = 1;     // UDP_TABLE_OWNER_PID
// A table that keeps growing between the size query and the read is given up after this many
// tries.
constexpr int kTableTries = 32;
constexpr DWORD kFirstTableSize = 128 * 1024;

std::wstring& NetworkLibrary() {
  static std::wstring name = L"iphlpapi.dll";
  return name;
}

// The library as the system's own copy: loaded by its bare name, it would be looked for in the
// program's folder first, where a planted DLL of that name would run with the program's rights.
std::wstring SystemLibraryPath(const std::wstring& name) {
  UINT n = ::GetSystemDirectoryW(nullptr, 0);
  std::wstring dir(n, L'\0');
  n = n ? ::GetSystemDirectoryW(dir.data(), n) : 0;
  dir.resize(n < dir.size() ? n : 0);
  return dir + L"\\" + name;
}

TableFunction TableEntry(HMODULE library, const char* name) {
  return reinterpret_cast<TableFunction>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

// Reads a table into a buffer of the size the system asks for; size is the bytes it holds, 0
// when the table cannot be read.
std::vector<DWORD> ReadTable(TableFunction read, ULONG family, int tableClass, DWORD& size) {
  // Room for a few thousand rows from the start: each call walks every socket of the system, so
  // the size query alone is worth saving.
  std::vector<DWORD> buffer(kFirstTableSize / sizeof(DWORD));
  size = kFirstTableSize;
  for (int tries = 0; tries < kTableTries; ++tries) {
    DWORD rc = read(buffer.empty() ? nullptr : buffer.data(), &size, TRUE, family, tableClass, 0);
    if (rc == NO_ERROR) return buffer;
    if (rc != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.assign(size / sizeof(DWORD) + 1, 0);
  }
  size = 0;
  return {};
}

std::filesystem::path ProgramDirectory() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) return std::filesystem::path(std::wstring(path.data(), n)).parent_path();
    path.resize(path.size() * 2);
  }
}

std::wstring Displayed(const ipdb::Location& location) {
  return location.gbk ? ui::FromGbk(location.text) : ui::FromUtf8(location.text);
}

std::wstring PathText(const std::filesystem::path& name) { return name.wstring(); }

bool& DatabaseNoticeShown() {
  static bool shown = false;
  return shown;
}

UINT TroubleMessage() {
  static const UINT msg = ::RegisterWindowMessageW(L"WardletPortTrouble");
  return msg;
}

WPARAM PackTrouble(const port::GatherTrouble& t) {
  return (t.noLibrary ? 1u : 0u) | (t.noTables ? 2u : 0u) | (t.noDatabase ? 4u : 0u) | (t.automatic ? 8u : 0u);
}

port::GatherTrouble UnpackTrouble(WPARAM w) {
  return {(w & 1u) != 0, (w & 2u) != 0, (w & 4u) != 0, (w & 8u) != 0};
}

}  // namespace

void CPortPage::SetNetworkLibrary(const std::wstring& name) { NetworkLibrary() = name; }

void CPortPage::ForgetDatabaseNotice() { DatabaseNoticeShown() = false; }

void CPortPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_PORT_LIST, m_list); }

void CPortPage::SetupLists() {
  using K = lists::Kind;
  // A gathering run by RefreshNow is on this thread and tells its troubles at once (a report
  // writer reads them as they are shown); a worker's are posted here.
  const HWND page = m_hWnd;
  const DWORD uiThread = ::GetCurrentThreadId();
  auto gather = [locations = m_locations, page, uiThread] {
    port::GatherTrouble trouble;
    common::Records rows = port::GatherPorts(*locations, trouble);
    if (trouble.noLibrary || trouble.noTables || trouble.noDatabase) {
      if (::GetCurrentThreadId() == uiThread)
        TellTrouble(page, trouble);
      else
        ::PostMessageW(page, TroubleMessage(), PackTrouble(trouble), 0);
    }
    return rows;
  };
  m_rows.Setup(m_list,
               {{L"id", LVCFMT_CENTER, 30, K::Number},
                {L"协议", LVCFMT_CENTER, 40, K::Text},
                {L"PID", LVCFMT_LEFT, 45, K::Number},
                {L"状态", LVCFMT_LEFT, 80, K::Text},
                {L"本机IP", LVCFMT_CENTER, 110, K::Address},
                {L"本机端口", LVCFMT_CENTER, 63, K::Number},
                {L"远程IP", LVCFMT_CENTER, 110, K::Address},
                {L"远程端口", LVCFMT_CENTER, 63, K::Number},
                {L"地理位置", LVCFMT_LEFT, 180, K::Text},
                {L"路径", LVCFMT_LEFT, 450, K::Text}},
               L"Port", gather);
}

void CPortPage::RefreshConnectionTable() { m_rows.Refresh(); }
void CPortPage::RefreshConnectionTableNow() { m_rows.RefreshNow(); }

bool CPortPage::OnMessage(UINT msg, WPARAM wp, LPARAM /*lp*/, LRESULT& result) {
  if (msg != TroubleMessage()) return false;
  TellTrouble(m_hWnd, UnpackTrouble(wp));
  result = 0;
  return true;
}

// A timed refresh shows nothing. The missing database is told, and its download page opened,
// once a run; a library that cannot be asked at each refresh the user asks for.
void CPortPage::TellTrouble(HWND page, const port::GatherTrouble& trouble) {
  if (trouble.automatic) return;
  if (trouble.noDatabase && !DatabaseNoticeShown()) {
    DatabaseNoticeShown() = true;
    ui::ShowMessage(page, port::kDatabaseMissingText, port::kDatabaseMissingCaption, MB_ICONINFORMATION);
    common::ShellRun({page, L"open", port::kDownloadPage, L"", SW_SHOWMAXIMIZED, false});
  }
  if (trouble.noLibrary) ui::ShowMessage(page, port::kLibraryMissingText, port::kErrorCaption, MB_ICONERROR);
  if (trouble.noTables) ui::ShowMessage(page, port::kTablesMissingText, port::kErrorCaption, MB_ICONERROR);
}

namespace port {

std::shared_ptr<const ipdb::CLocationBook> SharedLocations::Current() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_book;
}

std::shared_ptr<const ipdb::CLocationBook> SharedLocations::Reload(bool& loadedV4) {
  auto book = std::make_shared<ipdb::CLocationBook>(*Current());
  loadedV4 = book->Load(ProgramDirectory(), common::ReadSettingText(kIpv4DatabaseSetting),
                        common::ReadSettingText(kIpv6DatabaseSetting));
  std::lock_guard<std::mutex> hold(m_lock);
  m_book = book;
  return book;
}

// A database that cannot be loaded is told; an earlier load stays in use. Tables that cannot be
// asked for give no rows.
common::Records GatherPorts(SharedLocations& locations, GatherTrouble& trouble) {
  trouble.automatic = common::IsAutomaticRefresh();
  bool loaded = false;
  const std::shared_ptr<const ipdb::CLocationBook> book = locations.Reload(loaded);
  trouble.noDatabase = !loaded;

  CLibrary library(::LoadLibraryW(SystemLibraryPath(NetworkLibrary()).c_str()));
  if (!library) {
    trouble.noLibrary = true;
    return {};
  }
  TableFunction readTcp = TableEntry(library.get(), "GetExtendedTcpTable");
  TableFunction readUdp = TableEntry(library.get(), "GetExtendedUdpTable");
  if (!readTcp || !readUdp) {
    trouble.noTables = true;
    return {};
  }
  DWORD size = 0;
  std::vector<DWORD> table = ReadTable(readTcp, kFamilyInet, kTcpTableOwnerPidAll, size);
  std::vector<TcpEndpoint> tcp = ReadTcpTable(table.data(), size);
  table = ReadTable(readUdp, kFamilyInet, kUdpTableOwnerPid, size);
  std::vector<UdpEndpoint> udp = ReadUdpTable(table.data(), size);
  Ipv6Endpoints v6;
  table = ReadTable(readTcp, kFamilyInet6, kTcpTableOwnerPidAll, size);
  v6.tcp = ReadTcp6Table(table.data(), size);
  table = ReadTable(readUdp, kFamilyInet6, kUdpTableOwnerPid, size);
  v6.udp = ReadUdp6Table(table.data(), size);

  RowSources sources{[&book](uint32_t ip) { return Displayed(book->LookupV4(ip)); },
                     [](uint32_t pid) { return process::FindProcessImagePath(pid); },
                     [&book](const ipdb::Ipv6Bytes& ip) { return Displayed(book->LookupV6(ip)); }};
  std::vector<RowCells> cells = BuildRows(tcp, udp, sources, v6);

  common::Records rows;
  rows.reserve(cells.size());
  std::vector<process::ListedProcess> owners;  // each owner's creation time read once
  for (RowCells& row : cells) {
    auto rec = std::make_shared<PortRecord>();
    const DWORD pid = static_cast<DWORD>(process::CellToLong(row[kColPid]));
    auto known = std::find_if(owners.begin(), owners.end(), [pid](const auto& o) { return o.pid == pid; });
    rec->owner = known != owners.end() ? *known : owners.emplace_back(process::ListProcess(pid));
    rec->protocol = row[kColProtocol];
    rec->localIp = row[kColLocalIp];
    rec->remoteIp = row[kColRemoteIp];
    rec->localPort = static_cast<unsigned long>(process::CellToLong(row[kColLocalPort]));
    rec->remotePort = static_cast<unsigned long>(process::CellToLong(row[kColRemotePort]));
    rec->key = rec->protocol + L"|" + rec->localIp + L"|" + row[kColLocalPort] + L"|" + rec->remoteIp + L"|" +
               row[kColRemotePort] + L"|" + std::to_wstring(pid) + L"|" + std::to_wstring(rec->owner.created);
    rec->cells.assign(std::make_move_iterator(row.begin()), std::make_move_iterator(row.end()));
    rows.push_back(std::move(rec));
  }
  return rows;
}

}  // namespace port

namespace {
std::wstring CellOf(const std::shared_ptr<const port::PortRecord>& rec, int column) {
  return rec && static_cast<size_t>(column) < rec->cells.size() ? rec->cells[static_cast<size_t>(column)] : L"";
}
}  // namespace

bool CPortPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_PORT_LIST || nm->code != NM_RCLICK) return false;
  const auto rec = m_rows.SelectedAs<port::PortRecord>();
  common::MenuMarks marks;
  for (unsigned id : port::PortMenuGreyed(CellOf(rec, port::kColPid), CellOf(rec, port::kColPath)))
    marks.greyed.push_back(id);
  common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_PORT, marks);
  result = 0;
  return true;
}

bool CPortPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_PORT_REFRESH: RefreshConnectionTable(); return true;
    case IDM_PORT_KILL: OnKillProcess(); return true;
    case IDM_PORT_COPY_PATH:
      common::CopyTextToClipboard(m_hWnd, CellOf(m_rows.SelectedAs<port::PortRecord>(), port::kColPath),
                                  L"文件路径已复制到剪贴板!");
      return true;
    case IDM_PORT_LOCATE:
      common::LocateFile(CellOf(m_rows.SelectedAs<port::PortRecord>(), port::kColPath), SW_SHOWMAXIMIZED);
      return true;
    default: return false;
  }
}

// Ends the row's owning process as it stands: no debug privilege, no refusal of the program's
// own process; but only the process the row listed, and a critical one only when the user says so.
void CPortPage::OnKillProcess() {
  const auto rec = m_rows.SelectedAs<port::PortRecord>();
  if (!rec) return;
  if (process::EndListedProcess(m_hWnd, rec->owner.pid, rec->owner, CellOf(rec, port::kColPath), true) ==
      process::EndResult::Declined)
    return;
  RefreshConnectionTable();
}

bool CPortPage::FillDatabaseMenu(HMENU menu) {
  bool ours = false;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count && !ours; ++i) {
    const UINT id = ::GetMenuItemID(menu, i);
    ours = id >= IDM_LOCDB_NONE && id <= IDM_LOCDB_V6_LAST;
  }
  if (!ours) return false;
  while (::GetMenuItemCount(menu) > 0) ::DeleteMenu(menu, 0, MF_BYPOSITION);
  m_menuIpv4.clear();
  m_menuIpv6.clear();

  const std::filesystem::path folder = ProgramDirectory();
  std::vector<ipdb::DbFileFacts> files;
  for (const std::filesystem::path& name : ipdb::DatabaseFilesIn(folder)) files.push_back(ipdb::ExamineFile(folder / name));
  if (files.empty()) {
    ::AppendMenuW(menu, MF_STRING | MF_GRAYED, IDM_LOCDB_NONE, port::kNoDatabaseItem);
    return true;
  }
  // The file in use for a family; before any refresh, the one the settings name.
  const std::shared_ptr<const ipdb::CLocationBook> book = m_locations->Current();
  auto inUse = [&](ipdb::Family family, const wchar_t* setting) {
    const std::filesystem::path source = book->Source(family);
    return source.empty() ? std::filesystem::path(common::ReadSettingText(setting)) : source;
  };
  auto section = [&](ipdb::Family family, const wchar_t* heading, UINT first, UINT last,
                     std::vector<std::filesystem::path>& names, const wchar_t* setting) {
    const std::filesystem::path used = inUse(family, setting);
    bool headed = false;
    for (const ipdb::DbFileFacts& f : files) {
      const bool byName = f.kind == ipdb::DbKind::kMmdb ||
                          (family == ipdb::Family::kIpv4 ? f.kind == ipdb::DbKind::kQqwry : f.kind == ipdb::DbKind::kIpv6Wry);
      const bool serves = family == ipdb::Family::kIpv4 ? f.servesIpv4 : f.servesIpv6;
      // An IPv4-only .mmdb file is no choice for IPv6 addresses.
      if (!byName || (f.readable && !serves) || first + names.size() > last) continue;
      if (!headed) {
        if (::GetMenuItemCount(menu) > 0) ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(menu, MF_STRING | MF_GRAYED, 0, heading);
        headed = true;
      }
      const std::wstring date = f.dateIsGbk ? ui::FromGbk(f.date) : ui::FromUtf8(f.date);
      UINT flags = MF_STRING;
      if (!f.readable) flags |= MF_GRAYED;
      if (f.readable && f.name == used) flags |= MF_CHECKED;
      ::AppendMenuW(menu, flags, first + static_cast<UINT>(names.size()),
                    port::DatabaseItemText(PathText(f.name), date, f.readable).c_str());
      names.push_back(f.name);
    }
  };
  section(ipdb::Family::kIpv4, port::kIpv4MenuHeading, IDM_LOCDB_V4_FIRST, IDM_LOCDB_V4_LAST, m_menuIpv4,
          port::kIpv4DatabaseSetting);
  section(ipdb::Family::kIpv6, port::kIpv6MenuHeading, IDM_LOCDB_V6_FIRST, IDM_LOCDB_V6_LAST, m_menuIpv6,
          port::kIpv6DatabaseSetting);
  return true;
}

bool CPortPage::OnDatabaseCommand(UINT id) {
  if (id >= IDM_LOCDB_V4_FIRST && id < IDM_LOCDB_V4_FIRST + m_menuIpv4.size()) {
    common::WriteSettingText(port::kIpv4DatabaseSetting, PathText(m_menuIpv4[id - IDM_LOCDB_V4_FIRST]));
  } else if (id >= IDM_LOCDB_V6_FIRST && id < IDM_LOCDB_V6_FIRST + m_menuIpv6.size()) {
    common::WriteSettingText(port::kIpv6DatabaseSetting, PathText(m_menuIpv6[id - IDM_LOCDB_V6_FIRST]));
  } else {
    return id >= IDM_LOCDB_NONE && id <= IDM_LOCDB_V6_LAST;
  }
  RefreshConnectionTable();
  return true;
}
