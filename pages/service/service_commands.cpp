// Commands of the service page's row menu: control, start type, description, deletion and the
// shell actions on the service's file.
#include "pages/service/service_page.h"

#include "common/listpage.h"
#include "common/shell.h"
#include "common/signature.h"
#include "pages/service/service_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace {

DWORD g_waitBoundMs = service::kWaitBoundMs;

// The manager and one service of it, opened with the same access mask; both close on return.
struct OpenedService {
  ui::CServiceHandle manager;
  ui::CServiceHandle service;

  OpenedService(const std::wstring& name, DWORD access) {
    manager.reset(::OpenSCManagerW(nullptr, nullptr, access));
    if (manager) service.reset(::OpenServiceW(manager.get(), name.c_str(), access));
  }
  explicit operator bool() const { return static_cast<bool>(service); }
};

// Queries the state at a steady pace until it is the target, the service has stopped on the way,
// or the bound has passed: a service that never gets there must not hold the window for ever.
void WaitForState(SC_HANDLE svc, DWORD target) {
  const DWORD started = ::GetTickCount();
  for (;;) {
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(svc, &status)) return;
    if (service::WaitStep(status.dwCurrentState, target, ::GetTickCount() - started, g_waitBoundMs) !=
        service::WaitVerdict::KeepWaiting)
      return;
    ::Sleep(service::kWaitPollMs);
  }
}

}  // namespace

void CServicePage::SetWaitBound(DWORD ms) { g_waitBoundMs = ms; }

std::shared_ptr<const service::ServiceRecord> CServicePage::TargetService() {
  auto rec = m_rows.SelectedAs<service::ServiceRecord>();
  if (!rec) return nullptr;
  ui::CServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return rec;  // the command's own open tells
  ui::CServiceHandle svc(::OpenServiceW(manager.get(), rec->name.c_str(), SERVICE_QUERY_STATUS));
  if (svc || ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) return rec;
  ui::ShowMessage(m_hWnd, L"服务“" + rec->name + L"”已不存在（可能已在别处删除），没有执行任何操作。列表已刷新。", L"提示",
                  MB_ICONINFORMATION);
  RefreshServiceListNow();
  return nullptr;
}

// Start, stop, pause, resume: the call, then the wait; the list shows the outcome either way.
// A failed call changes nothing and is not reported.
void CServicePage::OnControlCommand(UINT id) {
  service::ControlCommand command{};
  if (!service::FindControlCommand(id, command)) return;
  auto target = TargetService();
  if (!target) return;
  {
    OpenedService svc(target->name, command.access);
    if (!svc) return;
    BOOL ok = FALSE;
    if (command.control == 0) {
      ok = ::StartServiceW(svc.service.get(), 0, nullptr);
    } else {
      SERVICE_STATUS status{};
      ok = ::ControlService(svc.service.get(), command.control, &status);
    }
    if (!ok) return;
    WaitForState(svc.service.get(), command.targetState);
  }
  RefreshServiceListNow();
}

void CServicePage::OnStartTypeCommand(UINT id) {
  unsigned long startType = 0;
  if (!service::FindStartTypeCommand(id, startType)) return;
  auto target = TargetService();
  if (!target) return;
  {
    OpenedService svc(target->name, SERVICE_QUERY_STATUS | SERVICE_CHANGE_CONFIG);
    if (!svc) return;
    if (!::ChangeServiceConfigW(svc.service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
      return;
  }
  RefreshServiceListNow();
}

// Writes the edit's text as the description; an empty edit removes the description.
void CServicePage::OnSetDescription() {
  auto target = TargetService();
  if (!target) return;
  bool ok = false;
  {
    OpenedService svc(target->name, GENERIC_WRITE | SERVICE_CHANGE_CONFIG);
    if (svc) {
      UpdateData(true);
      SERVICE_DESCRIPTIONW description{m_strDescription.data()};
      ok = ::ChangeServiceConfig2W(svc.service.get(), SERVICE_CONFIG_DESCRIPTION, &description) != FALSE;
    }
  }
  if (ok) RefreshServiceListNow();
  else ui::ShowMessage(m_hWnd, L"服务描述信息修改失败!", L"提示", MB_ICONERROR);
}

// The list is rebuilt after the handles are closed: the manager drops a deleted service only
// once no handle holds it.
void CServicePage::OnDeleteService() {
  auto target = TargetService();
  if (!target) return;
  bool ok = false;
  {
    OpenedService svc(target->name, DELETE | SERVICE_QUERY_STATUS);
    ok = svc && ::DeleteService(svc.service.get());
  }
  if (!ok) ui::ShowMessage(m_hWnd, L"服务删除失败!", L"提示", MB_ICONERROR);
  RefreshServiceListNow();
}

bool CServicePage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_SERVICE_REFRESH: RefreshServiceListNow(); return true;
    case IDM_SERVICE_START:
    case IDM_SERVICE_STOP:
    case IDM_SERVICE_PAUSE:
    case IDM_SERVICE_RESUME: OnControlCommand(id); return true;
    case IDM_SERVICE_AUTO:
    case IDM_SERVICE_MANUAL:
    case IDM_SERVICE_DISABLED: OnStartTypeCommand(id); return true;
    case IDM_SERVICE_SET_DESCRIPTION: OnSetDescription(); return true;
    case IDM_SERVICE_DELETE: OnDeleteService(); return true;
    case IDM_SERVICE_LOCATE: common::LocateFile(SelectedCell(service::kColPath), SW_SHOWMAXIMIZED); return true;
    case IDM_SERVICE_PROPERTIES: common::ShowFileProperties(SelectedCell(service::kColPath)); return true;
    case IDM_SERVICE_COPY_PATH:
      common::CopyTextToClipboard(m_hWnd, SelectedCell(service::kColPath), L"服务路径已复制到剪贴板!");
      return true;
    case IDM_SERVICE_SEARCH: common::SearchWeb(m_hWnd, SelectedCell(2)); return true;
    case IDM_COPY_SHA256: common::CopyFileSha256(m_hWnd, SelectedCell(service::kColPath)); return true;
    case IDM_VIRUSTOTAL: common::LookUpOnVirusTotal(m_hWnd, SelectedCell(service::kColPath)); return true;
    default: return false;
  }
}
