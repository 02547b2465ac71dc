// Commands of the process page's menus and the module list fill.
#include "pages/process/process_page.h"

#include "common/force_delete.h"
#include "common/listpage.h"
#include "common/shell.h"
#include "common/signature.h"
#include "pages/process/process_actions.h"
#include "pages/process/process_info.h"
#include "pages/process/process_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace {

// Cells of the process list the commands read.
constexpr int kNameColumn = 1;
constexpr int kPidColumn = 3;
constexpr int kPathColumn = 9;
// Cells of the module list.
constexpr int kModuleNameColumn = 1;
constexpr int kModulePathColumn = 2;

// A cell of the selected row of the process list; empty when no row is selected.
std::wstring ProcessCell(const CProcessPage& page, int column) {
  const auto rec = page.SelectedProcess();
  return rec && static_cast<size_t>(column) < rec->cells.size() ? rec->cells[static_cast<size_t>(column)] : L"";
}
std::wstring ModuleCell(const CProcessPage& page, int column) {
  return common::GetSelectedCell(page.ModuleList(), column);
}
// The PID as the row shows it (0 when no row is selected).
DWORD SelectedPid(const CProcessPage& page) {
  return static_cast<DWORD>(process::CellToLong(ProcessCell(page, kPidColumn)));
}

// The process the selected row listed when the list was filled (none when no row is selected).
process::ListedProcess SelectedListed(const CProcessPage& page) {
  const auto rec = page.SelectedProcess();
  return rec ? rec->listed : process::ListedProcess{};
}

void OnEndProcess(CProcessPage& page) {
  const DWORD pid = SelectedPid(page);
  process::EnableDebugPrivilege(page);
  if (pid == ::GetCurrentProcessId())
    ui::ShowMessage(page, L"自杀嗦", L"提示", MB_ICONINFORMATION);
  else if (process::EndListedProcess(page, pid, SelectedListed(page), ProcessCell(page, kPathColumn), true) ==
           process::EndResult::Declined)
    return;  // nothing was done: the rows still stand
  page.RefreshProcessListNow();
}

// The process is ended and gone (bounded wait) before its file is moved, so that the image is no
// longer in use. A row whose PID names another process by now deletes nothing: the file is the
// listed process's, but the command was meant for that process. A process that cannot be opened
// (gone, or out of reach) leaves its file to the deletion, which reports what fails.
void OnForceDelete(CProcessPage& page) {
  const DWORD pid = SelectedPid(page);
  const std::wstring path = ProcessCell(page, kPathColumn);
  if (pid != ::GetCurrentProcessId()) {
    switch (process::EndListedProcess(page, pid, SelectedListed(page), path, false)) {
      case process::EndResult::Declined: return;
      case process::EndResult::Gone: page.RefreshProcessListNow(); return;
      default: break;
    }
  }
  common::ForceDeleteFile(path, page);
  page.RefreshProcessListNow();
}

// The program's own process is refused before anything is written; so is a row whose PID names
// another process by now. The questions about a critical process and about the other programs of
// that name come before the marker is written, and the process is ended through the handle that
// was checked.
void OnForbidRunning(CProcessPage& page) {
  const DWORD pid = SelectedPid(page);
  if (pid == ::GetCurrentProcessId()) {
    OnEndProcess(page);  // shows "自杀嗦" and refills the list
    return;
  }
  process::EnableDebugPrivilege(page);
  const std::wstring name = ProcessCell(page, kNameColumn);
  const std::wstring path = ProcessCell(page, kPathColumn);
  process::OpenedProcess opened = process::OpenListedProcess(
      pid, SelectedListed(page), PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION);
  if (!opened.handle && !opened.replaced)
    opened = process::OpenListedProcess(pid, SelectedListed(page), PROCESS_TERMINATE | SYNCHRONIZE);
  if (opened.replaced) {
    process::ReportProcessGone(page);
    page.RefreshProcessListNow();
    return;
  }
  if (!process::ConfirmEndingSystemProcess(page, opened.handle.get(), pid, path)) return;
  if (!process::ConfirmBarringName(page, name, pid, path)) return;
  const bool written = process::ForbidRunning(name);
  if (!process::EndOpenedProcess(opened.handle.get()))
    ui::ShowMessage(page, L"进程结束失败!", L"警告", MB_ICONERROR);
  page.RefreshProcessListNow();
  if (written)
    ui::ShowMessage(page, process::BarConfirmationText(name, process::HasTwoRegistryViews()), L"提示",
                    MB_ICONINFORMATION);
}

}  // namespace

void CProcessPage::FillModuleList() {
  const DWORD pid = SelectedPid(*this);
  process::EnableDebugPrivilege(m_hWnd);
  common::AttachSignatureColumn(m_listModule, kModulePathColumn);  // once: "签名" after the path
  common::BeginListRefill(m_listModule);
  // PID 0 (no row selected, or the idle process) snapshots the program's own process. The 64-bit
  // build asks for the 32-bit modules of a 32-bit process too; without them it would list only the
  // few 64-bit modules that run it, and none of the libraries it loaded.
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid));
  if (snap) {
    MODULEENTRY32W me{};
    me.dwSize = sizeof(me);
    // The rows are the loader's list, which the process keeps in its own memory and can rewrite;
    // the first, its executable, is shown as the system knows it.
    const std::optional<std::wstring> image = process::KernelImagePath(pid ? pid : ::GetCurrentProcessId());
    int row = 0;
    for (BOOL ok = ::Module32FirstW(snap.get(), &me); ok; ok = ::Module32NextW(snap.get(), &me), ++row) {
      common::InsertNumberedRow(m_listModule, row);
      if (row == 0 && image) {
        m_listModule.SetItemText(row, kModuleNameColumn, process::FileNameOf(*image));
        m_listModule.SetItemText(row, kModulePathColumn, process::NormalizeImagePath(*image));
        continue;
      }
      m_listModule.SetItemText(row, kModuleNameColumn, me.szModule);
      if (auto path = process::ModulePath(me))
        m_listModule.SetItemText(row, kModulePathColumn, process::NormalizeImagePath(*path));
    }
  }
  common::EndListRefill(m_listModule);
  common::RequestSignatures(m_listModule);  // the cells fill as the checks finish
}

bool CProcessPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_PROCESS_REFRESH: RefreshProcessList(); return true;
    case IDM_PROCESS_KILL: OnEndProcess(*this); return true;
    case IDM_PROCESS_FORCE_DELETE: OnForceDelete(*this); return true;
    case IDM_PROCESS_FORBID: OnForbidRunning(*this); return true;
    case IDM_PROCESS_PROPERTIES: common::ShowFileProperties(ProcessCell(*this, kPathColumn)); return true;
    case IDM_PROCESS_LOCATE: common::LocateFile(ProcessCell(*this, kPathColumn), SW_SHOWMAXIMIZED); return true;
    case IDM_PROCESS_COPY_PATH:
      common::CopyTextToClipboard(m_hWnd, ProcessCell(*this, kPathColumn), L"文件路径已复制到剪贴板!");
      return true;
    case IDM_PROCESS_SEARCH: common::SearchWeb(m_hWnd, ProcessCell(*this, kNameColumn)); return true;
    case IDM_PROCESS_COPY_SHA256: common::CopyFileSha256(m_hWnd, ProcessCell(*this, kPathColumn)); return true;
    case IDM_PROCESS_VIRUSTOTAL: common::LookUpOnVirusTotal(m_hWnd, ProcessCell(*this, kPathColumn)); return true;
    case IDM_MODULE_PROPERTIES: common::ShowFileProperties(ModuleCell(*this, kModulePathColumn)); return true;
    case IDM_MODULE_LOCATE: common::LocateFile(ModuleCell(*this, kModulePathColumn), SW_SHOWMAXIMIZED); return true;
    case IDM_MODULE_COPY_PATH:
      common::CopyTextToClipboard(m_hWnd, ModuleCell(*this, kModulePathColumn), L"模块路径已复制到剪贴板!");
      return true;
    case IDM_MODULE_SEARCH: common::SearchWeb(m_hWnd, ModuleCell(*this, kModuleNameColumn)); return true;
    case IDM_COPY_SHA256: common::CopyFileSha256(m_hWnd, ModuleCell(*this, kModulePathColumn)); return true;
    case IDM_VIRUSTOTAL: common::LookUpOnVirusTotal(m_hWnd, ModuleCell(*this, kModulePathColumn)); return true;
    default: return false;
  }
}
