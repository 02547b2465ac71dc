// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#include "pages/port/port_page.h"

#include <algorithm>
#include <filesystem>
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

}  // namespace

void CPortPage::SetNetworkLibrary(const std::wstring& name) { NetworkLibrary() = name; }

void CPortPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_PORT_LIST, m_list); }

void CPortPage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 30},
                                 {L"协议", LVCFMT_CENTER, 40},
                                 {L"PID", LVCFMT_LEFT, 45},
                                 {L"状态", LVCFMT_LEFT, 80},
                                 {L"本机IP", LVCFMT_CENTER, 110},
                                 {L"本机端口", LVCFMT_CENTER, 63},
                                 {L"远程IP", LVCFMT_CENTER, 110},
                                 {L"远程端口", LVCFMT_CENTER, 63},
                                 {L"地理位置", LVCFMT_LEFT, 180},
                                 {L"路径", LVCFMT_LEFT, 450}});
}

void CPortPage::RefreshConnectionTable() {
  common::BeginListRefill(m_list);
  LoadLocations();
  FillRows(GatherRows());
  common::EndListRefill(m_list);
}

// A database that cannot be loaded is reported at every refresh; an earlier load stays in use.
void CPortPage::LoadLocations() {
  if (m_book.Load(ProgramDirectory(), common::ReadSettingText(port::kIpv4DatabaseSetting),
                  common::ReadSettingText(port::kIpv6DatabaseSetting)))
    return;
  ui::ShowMessage(m_hWnd, port::kDatabaseMissingText, port::kDatabaseMissingCaption, MB_ICONINFORMATION);
  common::ShellRun({m_hWnd, L"open", port::kDownloadPage, L"", SW_SHOWMAXIMIZED, false});
}

// The cells of every row, read from the system's tables; none when the tables cannot be asked
// for (the user is told).
std::vector<port::RowCells> CPortPage::GatherRows() {
  CLibrary library(::LoadLibraryW(SystemLibraryPath(NetworkLibrary()).c_str()));
  if (!library) {
    ui::ShowMessage(m_hWnd, port::kLibraryMissingText, port::kErrorCaption, MB_ICONERROR);
    return {};
  }
  TableFunction readTcp = TableEntry(library.get(), "GetExtendedTcpTable");
  TableFunction readUdp = TableEntry(library.get(), "GetExtendedUdpTable");
  if (!readTcp || !readUdp) {
    ui::ShowMessage(m_hWnd, port::kTablesMissingText, port::kErrorCaption, MB_ICONERROR);
    return {};
  }
  DWORD size = 0;
  std::vector<DWORD> table = ReadTable(readTcp, kFamilyInet, kTcpTableOwnerPidAll, size);
  std::vector<port::TcpEndpoint> tcp = port::ReadTcpTable(table.data(), size);
  table = ReadTable(readUdp, kFamilyInet, kUdpTableOwnerPid, size);
  std::vector<port::UdpEndpoint> udp = port::ReadUdpTable(table.data(), size);
  port::Ipv6Endpoints v6;
  table = ReadTable(readTcp, kFamilyInet6, kTcpTableOwnerPidAll, size);
  v6.tcp = port::ReadTcp6Table(table.data(), size);
  table = ReadTable(readUdp, kFamilyInet6, kUdpTableOwnerPid, size);
  v6.udp = port::ReadUdp6Table(table.data(), size);

  port::RowSources sources{[this](uint32_t ip) { return Displayed(m_book.LookupV4(ip)); },
                           [](uint32_t pid) { return process::FindProcessImagePath(pid); },
                           [this](const ipdb::Ipv6Bytes& ip) { return Displayed(m_book.LookupV6(ip)); }};
  return port::BuildRows(tcp, udp, sources, v6);
}

void CPortPage::FillRows(const std::vector<port::RowCells>& rows) {
  m_owners.Clear();
  std::vector<process::ListedProcess> owners;  // each owner's creation time read once
  for (size_t i = 0; i < rows.size(); ++i) {
    const DWORD pid = static_cast<DWORD>(process::CellToLong(rows[i][port::kColPid]));
    auto known = std::find_if(owners.begin(), owners.end(), [pid](const auto& o) { return o.pid == pid; });
    m_owners.Add(known != owners.end() ? *known : owners.emplace_back(process::ListProcess(pid)));
    int row = m_list.InsertItem(static_cast<int>(i), rows[i][port::kColId]);
    for (int c = port::kColId + 1; c < port::kColumnCount; ++c)
      if (!rows[i][c].empty()) m_list.SetItemText(row, c, rows[i][c]);
  }
}

bool CPortPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_PORT_LIST || nm->code != NM_RCLICK) return false;
  common::MenuMarks marks;
  for (unsigned id : port::PortMenuGreyed(common::GetSelectedCell(m_list, port::kColPid),
                                          common::GetSelectedCell(m_list, port::kColPath)))
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
      common::CopyTextToClipboard(m_hWnd, common::GetSelectedCell(m_list, port::kColPath),
                                  L"文件路径已复制到剪贴板!");
      return true;
    case IDM_PORT_LOCATE:
      common::LocateFile(common::GetSelectedCell(m_list, port::kColPath), SW_SHOWMAXIMIZED);
      return true;
    default: return false;
  }
}

// Ends the row's owning process as it stands: no debug privilege, no refusal of the program's
// own process; but only the process the row listed, and a critical one only when the user says so.
void CPortPage::OnKillProcess() {
  long pid = process::CellToLong(common::GetSelectedCell(m_list, port::kColPid));
  if (process::EndListedProcess(m_hWnd, static_cast<DWORD>(pid), m_owners.At(m_list.GetNextItem(-1, LVNI_SELECTED)),
                                common::GetSelectedCell(m_list, port::kColPath),
                                true) == process::EndResult::Declined)
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
  auto inUse = [&](ipdb::Family family, const wchar_t* setting) {
    const std::filesystem::path& source = m_book.Source(family);
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
