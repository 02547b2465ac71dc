// The process list: one row per process of a fresh snapshot, gathered off the user-interface thread.
#include "pages/process/process_page.h"

#include <psapi.h>

#include <memory>
#include <vector>

#include "common/listpage.h"
#include "pages/process/process_info.h"
#include "pages/process/process_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace {

// "account of domain" of the process's user, however long the names are.
std::wstring ProcessUser(HANDLE process) {
  ui::CHandle token;
  if (!::OpenProcessToken(process, TOKEN_READ, token.put())) return {};
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buf(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buf.data(), size, &size)) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid;
  DWORD nameLen = 64, domainLen = 64;
  for (int tries = 0; tries < 2; ++tries) {
    std::vector<wchar_t> name(nameLen), domain(domainLen);
    SID_NAME_USE use;
    if (::LookupAccountSidW(nullptr, sid, name.data(), &nameLen, domain.data(), &domainLen, &use))
      return process::UserText(name.data(), domain.data());
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
  }
  return {};
}

// Creation time of day in the system's local time zone.
std::wstring ProcessStartTime(ULONGLONG createdTime) {
  if (createdTime == 0) return {};
  FILETIME created{static_cast<DWORD>(createdTime), static_cast<DWORD>(createdTime >> 32)};
  SYSTEMTIME utc, local;
  if (!::FileTimeToSystemTime(&created, &utc)) return {};
  if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return {};
  return process::TimeOfDayText(local.wHour, local.wMinute, local.wSecond);
}

HANDLE OpenForQuery(DWORD pid) {
  HANDLE h = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!h) h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  return h;
}

}  // namespace

void CProcessPage::DoDataExchange(ui::CDataExchange& dx) {
  ui::DDX_Control(dx, IDC_MODULE_LIST, m_listModule);
  ui::DDX_Control(dx, IDC_PROCESS_LIST, m_listProcess);
}

void CProcessPage::SetupLists() {
  using K = lists::Kind;
  m_rows.Setup(m_listProcess,
               {{L"id", LVCFMT_LEFT, 27, K::Number},
                {L"进程", LVCFMT_CENTER, 110, K::Text},
                {L"用户", LVCFMT_CENTER, 145, K::Text},
                {L"PID", LVCFMT_CENTER, 45, K::Number},
                {L"父PID", LVCFMT_CENTER, 45, K::Number},
                {L"线程数", LVCFMT_CENTER, 60, K::Number},
                {L"优先级", LVCFMT_CENTER, 66, K::Text},
                {L"内存(kb)", LVCFMT_LEFT, 63, K::Number},
                {L"启动时间", LVCFMT_CENTER, 80, K::Time},
                {L"路径", LVCFMT_LEFT, 536, K::Text},
                {L"命令行", LVCFMT_LEFT, 400, K::Text}},
               L"Process", &process::GatherProcesses);
  m_rows.SetSignatureColumn(9);  // the path cell
  process::EnableDebugPrivilege(m_hWnd);  // also for a list refilled through Records() alone
  common::InsertColumns(m_listModule, {{L"id", LVCFMT_LEFT, 28},
                                       {L"名称", LVCFMT_LEFT, 90},
                                       {L"模块路径", LVCFMT_LEFT, 653}});
}

// The debug privilege is the program's own and is taken here, on this thread, before the gathering
// opens the processes.
void CProcessPage::RefreshProcessList() {
  process::EnableDebugPrivilege(m_hWnd);
  m_rows.Refresh();
}

void CProcessPage::RefreshProcessListNow() {
  process::EnableDebugPrivilege(m_hWnd);
  m_rows.RefreshNow();
}

namespace process {

namespace {

std::shared_ptr<ProcessRecord> ProcessRow(int row, const PROCESSENTRY32W& entry) {
  auto rec = std::make_shared<ProcessRecord>();
  std::vector<std::wstring>& cells = rec->cells;
  cells.resize(11);
  cells[0] = std::to_wstring(row + 1);
  cells[1] = entry.szExeFile;
  cells[3] = std::to_wstring(entry.th32ProcessID);
  cells[4] = std::to_wstring(entry.th32ParentProcessID);
  cells[5] = std::to_wstring(entry.cntThreads);

  // Process 0 is the idle process: whatever answers for it is not it.
  ui::CHandle proc(entry.th32ProcessID == 0 ? nullptr : OpenForQuery(entry.th32ProcessID));
  const ULONGLONG created = CreationTime(proc.get());
  rec->listed = {entry.th32ProcessID, created};
  rec->key = cells[3] + L"|" + std::to_wstring(created);
  // The path the system keeps, asked through the handle already open; the loader's entry only
  // when the system will not say.
  std::optional<std::wstring> path = KernelImagePath(proc.get());
  if (path) path = NormalizeImagePath(*path);
  else path = FindProcessImagePath(entry.th32ProcessID);
  if (path) cells[9] = *path;
  if (!proc) return rec;
  cells[2] = ProcessUser(proc.get());
  cells[6] = PriorityText(::GetPriorityClass(proc.get()), entry.pcPriClassBase);
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  if (::GetProcessMemoryInfo(proc.get(), &pmc, sizeof(pmc))) cells[7] = MemoryText(pmc.WorkingSetSize);
  cells[8] = ProcessStartTime(created);
  cells[10] = ProcessCommandLine(proc.get());
  return rec;
}

}  // namespace

common::Records GatherProcesses() {
  common::Records rows;
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) {
    if (!common::IsAutomaticRefresh())
      ui::ShowMessage(nullptr, L"CreateToolhelp32Snapshot error!", L"information", MB_OK);
    return rows;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  int row = 0;
  for (BOOL ok = ::Process32FirstW(snap.get(), &entry); ok; ok = ::Process32NextW(snap.get(), &entry))
    rows.push_back(ProcessRow(row++, entry));
  return rows;
}

}  // namespace process

bool CProcessPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom == IDC_PROCESS_LIST && nm->code == NM_CLICK) {
    FillModuleList();
    result = 0;
    return true;
  }
  if (nm->idFrom == IDC_PROCESS_LIST && nm->code == NM_RCLICK) {
    FillModuleList();
    common::MenuMarks marks;
    // No row selected greys as empty cells did.
    const auto rec = SelectedProcess();
    const auto cell = [&rec](size_t c) { return rec && c < rec->cells.size() ? rec->cells[c] : std::wstring(); };
    for (unsigned id : process::ProcessMenuGreyed(cell(3), cell(4), cell(9))) marks.greyed.push_back(id);
    if (cell(9).empty()) marks.greyed.insert(marks.greyed.end(), {IDM_PROCESS_COPY_SHA256, IDM_PROCESS_VIRUSTOTAL});
    common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_PROCESS, marks);
    result = 0;
    return true;
  }
  if (nm->idFrom == IDC_MODULE_LIST && nm->code == NM_RCLICK) {
    common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_MODULE, {});
    result = 0;
    return true;
  }
  return false;
}
