// The process list: one row per process of a fresh snapshot.
#include "pages/process/process_page.h"

#include <psapi.h>

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
  common::InsertColumns(m_listProcess, {{L"id", LVCFMT_LEFT, 27},
                                        {L"进程", LVCFMT_CENTER, 110},
                                        {L"用户", LVCFMT_CENTER, 145},
                                        {L"PID", LVCFMT_CENTER, 45},
                                        {L"父PID", LVCFMT_CENTER, 45},
                                        {L"线程数", LVCFMT_CENTER, 60},
                                        {L"优先级", LVCFMT_CENTER, 66},
                                        {L"内存(kb)", LVCFMT_LEFT, 63},
                                        {L"启动时间", LVCFMT_CENTER, 80},
                                        {L"路径", LVCFMT_LEFT, 536},
                                        {L"命令行", LVCFMT_LEFT, 400}});
  common::InsertColumns(m_listModule, {{L"id", LVCFMT_LEFT, 28},
                                       {L"名称", LVCFMT_LEFT, 90},
                                       {L"模块路径", LVCFMT_LEFT, 653}});
}

void CProcessPage::RefreshProcessList() {
  process::EnableDebugPrivilege(m_hWnd);
  common::BeginListRefill(m_listProcess);
  m_listed.Clear();
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) {
    ui::ShowMessage(m_hWnd, L"CreateToolhelp32Snapshot error!", L"information", MB_OK);
  } else {
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    int row = 0;
    for (BOOL ok = ::Process32FirstW(snap.get(), &entry); ok; ok = ::Process32NextW(snap.get(), &entry))
      AddProcessRow(row++, entry);
  }
  common::EndListRefill(m_listProcess);
}

void CProcessPage::AddProcessRow(int row, const PROCESSENTRY32W& entry) {
  const ui::CListCtrl& list = m_listProcess;
  common::InsertNumberedRow(list, row);
  list.SetItemText(row, 1, entry.szExeFile);
  list.SetItemText(row, 3, std::to_wstring(entry.th32ProcessID));
  list.SetItemText(row, 4, std::to_wstring(entry.th32ParentProcessID));
  list.SetItemText(row, 5, std::to_wstring(entry.cntThreads));

  // Process 0 is the idle process: whatever answers for it is not it.
  ui::CHandle proc(entry.th32ProcessID == 0 ? nullptr : OpenForQuery(entry.th32ProcessID));
  const ULONGLONG created = process::CreationTime(proc.get());
  m_listed.Add({entry.th32ProcessID, created});
  // The path the system keeps, asked through the handle already open; the loader's entry only
  // when the system will not say.
  std::optional<std::wstring> path = process::KernelImagePath(proc.get());
  if (path) path = process::NormalizeImagePath(*path);
  else path = process::FindProcessImagePath(entry.th32ProcessID);
  if (path) list.SetItemText(row, 9, *path);
  if (!proc) return;
  if (std::wstring user = ProcessUser(proc.get()); !user.empty()) list.SetItemText(row, 2, user);
  list.SetItemText(row, 6, process::PriorityText(::GetPriorityClass(proc.get()), entry.pcPriClassBase));
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof(pmc);
  if (::GetProcessMemoryInfo(proc.get(), &pmc, sizeof(pmc)))
    list.SetItemText(row, 7, process::MemoryText(pmc.WorkingSetSize));
  if (std::wstring started = ProcessStartTime(created); !started.empty()) list.SetItemText(row, 8, started);
  if (std::wstring line = process::ProcessCommandLine(proc.get()); !line.empty()) list.SetItemText(row, 10, line);
}

bool CProcessPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom == IDC_PROCESS_LIST && nm->code == NM_CLICK) {
    FillModuleList();
    result = 0;
    return true;
  }
  if (nm->idFrom == IDC_PROCESS_LIST && nm->code == NM_RCLICK) {
    FillModuleList();
    common::MenuMarks marks;
    for (unsigned id : process::ProcessMenuGreyed(common::GetSelectedCell(m_listProcess, 3),
                                                  common::GetSelectedCell(m_listProcess, 4),
                                                  common::GetSelectedCell(m_listProcess, 9)))
      marks.greyed.push_back(id);
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
