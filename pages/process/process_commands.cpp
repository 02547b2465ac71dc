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

std::wstring ProcessCell(const CProcessPage& page, int column) {
  return common::GetSelectedCell(page.ProcessList(), column);
}
std::wstring ModuleCell(const CProcessPage& page, int column) {
  return common::GetSelectedCell(page.ModuleList(), column);
}
DWORD SelectedPid(const CProcessPage& page) {
  return static_cast<DWORD>(process::CellToLong(ProcessCell(page, kPidColumn)));
}

void OnEndProcess(CProcessPage& page) {
  const DWORD pid = SelectedPid(page);
  process::EnableDebugPrivilege(page);
  if (pid == ::GetCurrentProcessId())
    ui::ShowMessage(page, L"自杀嗦", L"提示", MB_ICONINFORMATION);
  else
    process::KillProcess(page, pid);
  page.RefreshProcessList();
}

// The process is ended and gone (bounded wait) before its file is moved, so that the image is no
// longer in use.
void OnForceDelete(CProcessPage& page) {
  const DWORD pid = SelectedPid(page);
  const std::wstring path = ProcessCell(page, kPathColumn);
  if (pid != ::GetCurrentProcessId()) process::EndProcessAndWait(pid);
  common::ForceDeleteFile(path, page);
  page.RefreshProcessList();
}

// The program's own process is refused before anything is written.
void OnForbidRunning(CProcessPage& page) {
  if (SelectedPid(page) == ::GetCurrentProcessId()) {
    OnEndProcess(page);  // shows "自杀嗦" and refills the list
    return;
  }
  const std::wstring name = ProcessCell(page, kNameColumn);
  const bool written = process::ForbidRunning(name);
  OnEndProcess(page);
  if (written) ui::ShowMessage(page, L"成功禁止程序" + name + L"的再次运行!", L"提示", MB_ICONINFORMATION);
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
    int row = 0;
    for (BOOL ok = ::Module32FirstW(snap.get(), &me); ok; ok = ::Module32NextW(snap.get(), &me), ++row) {
      common::InsertNumberedRow(m_listModule, row);
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
