// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#include "pages/port/port_page.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "common/listpage.h"
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
constexpr int kTcpTableOwnerPidAll = 5;  // TCP_TABLE_OWNER_PID_ALL
constexpr int kUdpTableOwnerPid = 1;     // UDP_TABLE_OWNER_PID
// A table that keeps growing between the size query and the read is given up after this many
// tries.
constexpr int kTableTries = 32;

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
std::vector<DWORD> ReadTable(TableFunction read, int tableClass, DWORD& size) {
  std::vector<DWORD> buffer;
  size = 0;
  for (int tries = 0; tries < kTableTries; ++tries) {
    DWORD rc = read(buffer.empty() ? nullptr : buffer.data(), &size, TRUE, kFamilyInet, tableClass, 0);
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
  FillRows();
  common::EndListRefill(m_list);
}

// A database that cannot be loaded is reported at every refresh; an earlier load stays in use.
void CPortPage::LoadLocations() {
  if (m_db.LoadDatabase(ProgramDirectory() / port::kDatabaseFileName)) return;
  ui::ShowMessage(m_hWnd, port::kDatabaseMissingText, port::kDatabaseMissingCaption, MB_ICONINFORMATION);
  common::ShellRun({m_hWnd, L"open", port::kDownloadPage, L"", SW_SHOWMAXIMIZED, false});
}

void CPortPage::FillRows() {
  m_owners.Clear();
  CLibrary library(::LoadLibraryW(SystemLibraryPath(NetworkLibrary()).c_str()));
  if (!library) {
    ui::ShowMessage(m_hWnd, port::kLibraryMissingText, port::kErrorCaption, MB_ICONERROR);
    return;
  }
  TableFunction readTcp = TableEntry(library.get(), "GetExtendedTcpTable");
  TableFunction readUdp = TableEntry(library.get(), "GetExtendedUdpTable");
  if (!readTcp || !readUdp) {
    ui::ShowMessage(m_hWnd, port::kTablesMissingText, port::kErrorCaption, MB_ICONERROR);
    return;
  }
  DWORD size = 0;
  std::vector<DWORD> table = ReadTable(readTcp, kTcpTableOwnerPidAll, size);
  std::vector<port::TcpEndpoint> tcp = port::ReadTcpTable(table.data(), size);
  table = ReadTable(readUdp, kUdpTableOwnerPid, size);
  std::vector<port::UdpEndpoint> udp = port::ReadUdpTable(table.data(), size);

  port::RowSources sources{[this](uint32_t ip) { return ui::FromGbk(port::LocationOf(m_db, ip)); },
                           [](uint32_t pid) { return process::FindProcessImagePath(pid); }};
  std::vector<port::RowCells> rows = port::BuildRows(tcp, udp, sources);
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
