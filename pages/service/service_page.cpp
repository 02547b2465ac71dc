// Tab 2: the service list, the description of the clicked service and the row menu.
#include "pages/service/service_page.h"

#include <optional>

#include "common/listpage.h"
#include "common/path_lookup.h"
#include "common/registry.h"
#include "pages/service/service_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace {

using ServiceEntry = CServicePage::ServiceEntry;

// Every service and driver, in the order the manager returns them, each once. The manager may hand
// them out over several calls, each buffer as big as it asks.
std::vector<ServiceEntry> EnumerateServices(SC_HANDLE manager) {
  std::vector<ServiceEntry> all;
  std::vector<BYTE> buf(16 * 1024);
  DWORD resume = 0;
  for (int round = 0; round < 64; ++round) {
    DWORD needed = 0, count = 0;
    const DWORD resumeBefore = resume;
    BOOL ok = ::EnumServicesStatusW(manager, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL,
                                    reinterpret_cast<ENUM_SERVICE_STATUSW*>(buf.data()),
                                    static_cast<DWORD>(buf.size()), &needed, &count, &resume);
    const bool moreData = !ok && ::GetLastError() == ERROR_MORE_DATA;
    service::EnumRound next = service::NextEnumRound(ok != FALSE, moreData, count, resumeBefore, resume, needed,
                                                     static_cast<unsigned long>(buf.size()));
    if (next.keepEntries) {
      const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buf.data());
      for (DWORD i = 0; i < count; ++i)
        all.push_back({entries[i].lpServiceName ? entries[i].lpServiceName : L"",
                       entries[i].lpDisplayName ? entries[i].lpDisplayName : L"",
                       entries[i].ServiceStatus.dwCurrentState, entries[i].ServiceStatus.dwServiceType});
    } else {
      resume = resumeBefore;
    }
    if (!next.callAgain) break;
    buf.resize(next.nextBufferSize);
  }
  return all;
}

// Runs a configuration query, growing buf to the size the manager asks for until it fits.
template <typename Query>
bool QueryGrowing(std::vector<BYTE>& buf, Query query) {
  for (int tries = 0; tries < 4; ++tries) {
    DWORD needed = 0;
    if (query(buf.data(), static_cast<DWORD>(buf.size()), &needed)) return true;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buf.size()) return false;
    buf.resize(needed);
  }
  return false;
}

// The description of a service; nothing when it cannot be read, empty when it has none.
std::optional<std::wstring> ReadDescription(SC_HANDLE service) {
  std::vector<BYTE> buf(1024);
  bool ok = QueryGrowing(buf, [service](BYTE* p, DWORD size, DWORD* needed) {
    return ::QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, p, size, needed);
  });
  if (!ok) return std::nullopt;
  const wchar_t* text = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(buf.data())->lpDescription;
  return std::wstring(text ? text : L"");
}

// The DLL a shared service host loads for a service: "ServiceDll" of the service's Parameters
// key, or of the service key itself; empty when neither holds one.
std::wstring ServiceDll(const std::wstring& name) {
  const std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
  for (const std::wstring& path : {key + L"\\Parameters", key}) {
    ui::CRegKey k;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, k.put()) !=
        ERROR_SUCCESS)
      continue;
    common::RegValue value;
    if (common::QueryValue(k.get(), L"ServiceDll", value) != ERROR_SUCCESS) continue;
    std::wstring dll = common::DataText(value.type, value.data);
    if (!dll.empty()) return dll;
  }
  return {};
}

// The file a service runs: a driver's image as the kernel finds it, the DLL of a service in a
// shared host, otherwise the program its command line starts.
std::wstring ServiceFile(const std::wstring& name, const std::wstring& commandLine, bool driver,
                         const common::PathLookup& lookup) {
  if (driver) return common::DriverPath(commandLine, name, lookup);
  std::wstring path = common::CommandPath(commandLine, lookup);
  if (common::IsFileNamed(path, L"svchost.exe")) {
    std::wstring dll = ServiceDll(name);
    if (!dll.empty()) return common::CommandPath(L"\"" + dll + L"\"", lookup);
  }
  return path;
}

constexpr DWORD kReadManagerAccess = GENERIC_READ | SC_MANAGER_ENUMERATE_SERVICE;
// Only the right each query needs: a service whose security refuses more (READ_CONTROL, say)
// still shows its configuration.
constexpr DWORD kReadServiceAccess = SERVICE_QUERY_CONFIG;

}  // namespace

void CServicePage::DoDataExchange(ui::CDataExchange& dx) {
  ui::DDX_Control(dx, IDC_SERVICE_LIST, m_list);
  ui::DDX_Text(dx, IDC_SERVICE_DESCRIPTION, m_strDescription);
}

namespace {
// Posted to the page when a refresh found the service-control manager closed to it.
constexpr UINT kManagerFailedMessage = WM_APP + 0x5301;

// One row: names and state from the enumeration, cells 4 to 7 from the configuration (left
// empty when the service cannot be opened or its configuration cannot be read).
common::RecordPtr ServiceRow(SC_HANDLE manager, int row, const ServiceEntry& entry, std::vector<BYTE>& configBuffer,
                             const common::PathLookup& lookup) {
  auto rec = std::make_shared<service::ServiceRecord>();
  rec->name = entry.name;
  rec->key = entry.name;
  auto& c = rec->cells;
  c.resize(service::kColCommandLine + 1);
  c[0] = std::to_wstring(row + 1);
  c[1] = entry.name;
  c[2] = entry.displayName;
  c[3] = service::StateText(entry.state);
  const bool driver = (entry.type & SERVICE_DRIVER) != 0;
  c[service::kColKind] = driver ? L"驱动" : L"服务";

  ui::CServiceHandle svc(::OpenServiceW(manager, entry.name.c_str(), kReadServiceAccess));
  if (!svc) return rec;
  bool ok = QueryGrowing(configBuffer, [&svc](BYTE* p, DWORD size, DWORD* needed) {
    return ::QueryServiceConfigW(svc.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(p), size, needed);
  });
  if (!ok) return rec;
  const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(configBuffer.data());
  c[4] = service::StartTypeText(config->dwStartType);
  if (config->lpServiceStartName) c[5] = config->lpServiceStartName;
  if (config->lpDependencies) c[6] = config->lpDependencies;  // up to its first NUL
  const std::wstring commandLine = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
  c[service::kColPath] = ServiceFile(entry.name, commandLine, driver, lookup);
  c[service::kColCommandLine] = commandLine;
  return rec;
}
}  // namespace

common::Records service::GatherServices(bool* managerFailed) {
  common::Records rows;
  ui::CServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, kReadManagerAccess));
  if (managerFailed) *managerFailed = !manager;
  if (!manager) return rows;
  std::vector<BYTE> configBuffer(8 * 1024);
  const common::PathLookup lookup = common::SystemPathLookup();
  int row = 0;
  for (const ServiceEntry& entry : EnumerateServices(manager.get()))
    rows.push_back(ServiceRow(manager.get(), row++, entry, configBuffer, lookup));
  return rows;
}

void CServicePage::SetupLists() {
  using K = lists::Kind;
  const HWND page = m_hWnd;
  m_rows.Setup(m_list,
               {{L"id", LVCFMT_CENTER, 27, K::Number},
                {L"服务", LVCFMT_LEFT, 100, K::Text},
                {L"显示名称", LVCFMT_LEFT, 250, K::Text},
                {L"状态", LVCFMT_CENTER, 60, K::Text},
                {L"类型", LVCFMT_LEFT, 60, K::Text},
                {L"用户", LVCFMT_CENTER, 140, K::Text},
                {L"依赖", LVCFMT_CENTER, 80, K::Text},
                {L"路径", LVCFMT_LEFT, 600, K::Text},
                {L"类型", LVCFMT_CENTER, 50, K::Text},
                {L"命令行", LVCFMT_LEFT, 600, K::Text}},
               L"Service", [page] {
                 bool failed = false;
                 common::Records rows = service::GatherServices(&failed);
                 if (failed && !common::IsAutomaticRefresh()) ::PostMessageW(page, kManagerFailedMessage, 0, 0);
                 return rows;
               });
  m_rows.SetSignatureColumn(service::kColPath);
}

void CServicePage::RefreshServiceList() { m_rows.Refresh(); }
void CServicePage::RefreshServiceListNow() { m_rows.RefreshNow(); }

bool CServicePage::OnMessage(UINT msg, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& result) {
  if (msg != kManagerFailedMessage) return false;
  GetDlgItem(IDC_SERVICE_DESCRIPTION).SetWindowText(L"服务控制句柄打开失败!");
  ui::ShowMessage(m_hWnd, L"服务控制句柄打开失败", L"错误", MB_OK | MB_ICONINFORMATION);
  result = 0;
  return true;
}

std::wstring CServicePage::SelectedCell(int column) const {
  common::RecordPtr rec = m_rows.Selected();
  return rec && static_cast<size_t>(column) < rec->cells.size() ? rec->cells[static_cast<size_t>(column)] : L"";
}

void CServicePage::ShowServiceDescription() {
  auto rec = m_rows.SelectedAs<service::ServiceRecord>();
  if (!rec) return;
  const std::wstring& name = rec->name;
  ui::CServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, kReadManagerAccess));
  if (!manager) return;
  ui::CServiceHandle svc(::OpenServiceW(manager.get(), name.c_str(), kReadServiceAccess));
  if (!svc) return;
  if (std::optional<std::wstring> text = ReadDescription(svc.get()))
    GetDlgItem(IDC_SERVICE_DESCRIPTION).SetWindowText(*text);
}

void CServicePage::ShowRowMenu(int item) {
  service::RowMenuMarks rules = service::ServiceMenuMarks(SelectedCell(3), SelectedCell(4), SelectedCell(service::kColPath));
  common::MenuMarks marks;
  marks.greyed.assign(rules.greyed.begin(), rules.greyed.end());
  marks.checked.assign(rules.checked.begin(), rules.checked.end());
  common::ShowRowMenu(m_hWnd, item, IDR_MENU_SERVICE, marks);
}

bool CServicePage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_SERVICE_LIST) return false;
  if (nm->code == NM_CLICK) {
    ShowServiceDescription();
  } else if (nm->code == NM_RCLICK) {
    ShowRowMenu(reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem);
  } else {
    return false;
  }
  result = 0;
  return true;
}
