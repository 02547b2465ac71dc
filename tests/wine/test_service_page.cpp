// The service page: the list of services, the description edit and every command of the row
// menu, on test services installed for the test and removed afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "common/shell_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

#include <sddl.h>
#include "ui/handle.h"

namespace {

std::wstring ServiceExe() { return wt::ExeDir() + L"wardlet_test_service.exe"; }
std::wstring Command(const std::wstring& arguments) { return wt::Quoted(ServiceExe()) + L" " + arguments; }

ui::CServiceHandle OpenTestService(const std::wstring& name, DWORD access) {
  ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  return ui::CServiceHandle(::OpenServiceW(scm.get(), name.c_str(), access));
}

DWORD StateOf(const ui::CServiceHandle& svc, DWORD* pid = nullptr) {
  SERVICE_STATUS_PROCESS st{};
  DWORD needed = 0;
  if (svc) ::QueryServiceStatusEx(svc.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&st), sizeof(st), &needed);
  if (pid) *pid = st.dwProcessId;
  return st.dwCurrentState;
}

// A service of its own name; the destructor ends its process, if it runs, and deletes it.
struct TestService {
  static constexpr const wchar_t* kPrefix = L"WardletTestSvc";
  std::wstring name;
  bool created = false;

  explicit TestService(const std::wstring& command = Command(L""), const std::wstring& display = L"",
                       const wchar_t* dependencies = nullptr) {
    static int counter = 0;
    if (counter++ == 0) RemoveLeftovers();
    name = kPrefix + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(counter);
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    created = static_cast<bool>(ui::CServiceHandle(::CreateServiceW(
        scm.get(), name.c_str(), (display.empty() ? name : display).c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr,
        dependencies, L"LocalSystem", nullptr)));
  }
  ~TestService() { Remove(name); }
  TestService(const TestService&) = delete;

  DWORD State() const { return StateOf(OpenTestService(name, SERVICE_QUERY_STATUS)); }  // 0 when unknown
  // The start type and the first dependency as the manager tells them (Wine's tells none).
  std::pair<DWORD, std::wstring> Config() const {
    std::vector<BYTE> buf(1 << 16);
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data());
    DWORD needed = 0;
    if (!::QueryServiceConfigW(OpenTestService(name, SERVICE_QUERY_CONFIG).get(), c, 1 << 16, &needed))
      return {0xFFFFFFFF, L"<error>"};
    return {c->dwStartType, c->lpDependencies ? c->lpDependencies : L""};
  }
  // The description; "<none>" when the service has none, "<error>" when it cannot be read.
  std::wstring Description() const {
    std::vector<BYTE> buf(1 << 16);
    DWORD needed = 0;
    if (!::QueryServiceConfig2W(OpenTestService(name, SERVICE_QUERY_CONFIG).get(), SERVICE_CONFIG_DESCRIPTION,
                                buf.data(), 1 << 16, &needed))
      return L"<error>";
    const wchar_t* text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buf.data())->lpDescription;
    return text && *text ? text : L"<none>";
  }

  static void Remove(const std::wstring& name) {
    ui::CServiceHandle svc = OpenTestService(name, SERVICE_ALL_ACCESS);
    DWORD pid = 0;
    if (StateOf(svc, &pid) != SERVICE_STOPPED && pid) {
      ui::CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
      if (process && ::TerminateProcess(process.get(), 1)) ::WaitForSingleObject(process.get(), 5000);
    }
    if (svc) ::DeleteService(svc.get());
  }
  // Removes the test services an earlier run left behind when it was cut short.
  static void RemoveLeftovers() {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    std::vector<BYTE> buf(256 * 1024);
    DWORD needed = 0, count = 0, resume = 0;
    auto* e = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buf.data());
    if (!::EnumServicesStatusW(scm.get(), SERVICE_WIN32, SERVICE_STATE_ALL, e, static_cast<DWORD>(buf.size()), &needed,
                               &count, &resume))
      return;
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < count; ++i)
      if (std::wcsncmp(e[i].lpServiceName, kPrefix, std::wcslen(kPrefix)) == 0) names.push_back(e[i].lpServiceName);
    for (const std::wstring& name : names) Remove(name);
  }
};

// The service page, with its list and description edit at hand.
struct ServiceTab : wt::PageTab<CServicePage> {
  ServiceTab() : PageTab(&CWardletDlg::m_servicePage, 2) {}
  HWND hwnd() const { return page.GetSafeHwnd(); }
  int Row(const TestService& s) const { return wt::FindRow(list, 1, s.name); }
  std::wstring Cell(const TestService& s, int column) const {
    return Row(s) < 0 ? L"<no row>" : list.GetItemText(Row(s), column);
  }
  std::wstring Edit() const { return page.GetDlgItem(IDC_SERVICE_DESCRIPTION).GetWindowText(); }
  void SetEdit(const std::wstring& text) const { page.GetDlgItem(IDC_SERVICE_DESCRIPTION).SetWindowText(text); }
  using PageTab::Run;
  void Run(const TestService& s, UINT command, wt::MenuChooser* seen = nullptr) { Run(Row(s), command, seen); }
  // A row put in by hand: gone after the next refill.
  void AddMarker() const { wt::AddRecord(page.Records(), wt::MarkerRecord(L"marker")); }
  bool MarkerGone() const { return wt::FindRow(list, 0, L"marker") == -1; }
  wt::MessageLog::Entry Shown(const std::wstring& text, UINT style) const {
    return wt::Shown(hwnd(), text, L"提示", style)[0];
  }
};

}  // namespace

// Every service is listed once, also when they do not fit one enumeration call, with its texts;
// a left click shows the description, long ones whole, and "更新服务描述(E)" writes the edit's
// text; the file and search commands take the path and display name cells.
TEST(ServicePage, ListsEveryServiceOnceAndItsCommandsTakeItsCells) {
  const std::wstring longArgument(1500, L'a');
  TestService svc(Command(longArgument + L" -k wardlet"), L"瓦德测试服务 a&b", L"RpcSs\0PlugPlay\0Winmgmt\0");
  TestService pathless(L"/only-switches");
  ASSERT_TRUE(svc.created && pathless.created);
  std::wstring longText = L"第一行\r\nsecond line " + std::wstring(3000, L'd') + L"end";
  SERVICE_DESCRIPTIONW d{longText.data()};
  ASSERT_TRUE(::ChangeServiceConfig2W(OpenTestService(svc.name, SERVICE_CHANGE_CONFIG).get(),
                                      SERVICE_CONFIG_DESCRIPTION, &d));
  std::vector<std::unique_ptr<TestService>> many;
  for (int i = 0; i < 150; ++i) {
    many.push_back(std::make_unique<TestService>(Command(L""), L"很多测试服务 longer display name " + std::to_wstring(i)));
    ASSERT_TRUE(many.back()->created);
  }
  ServiceTab tab;
  wt::MessageLog messages;
  wt::ShellLog shell;
  const int row = tab.Row(svc);
  ASSERT_GE(row, 0);
  // Only the first dependency ("RpcSs" where the manager tells them); the path of the program
  // the command line starts; the command line whole.
  const std::wstring path = ServiceExe();
  std::vector<std::wstring> cells = wt::RowTexts(tab.list, row);
  ASSERT_EQ(cells.size(), 11u);  // the signer column last
  cells.pop_back();
  EXPECT_EQ(cells,
            (std::vector<std::wstring>{std::to_wstring(row + 1), svc.name, L"瓦德测试服务 a&b", L"停止", L"手动",
                                       L"LocalSystem", svc.Config().second, path, L"服务",
                                       Command(longArgument + L" -k wardlet")}));
  EXPECT_EQ(tab.Cell(pathless, 7), L"");
  EXPECT_EQ(tab.Cell(pathless, 9), L"/only-switches");
  std::vector<std::wstring> names;
  for (int i = 0; i < tab.list.GetItemCount(); ++i) {
    ASSERT_EQ(tab.list.GetItemText(i, 0), std::to_wstring(i + 1));
    names.push_back(tab.list.GetItemText(i, 1));
  }
  EXPECT_GE(wt::FindRow(tab.list, 1, L"RpcSs"), 0);  // Wine's own services are there
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "a service is listed twice";
  for (const auto& s : many) EXPECT_TRUE(std::binary_search(names.begin(), names.end(), s->name)) << s->name;

  tab.Click(tab.Row(svc));
  EXPECT_EQ(tab.Edit(), longText);
  tab.Click(-1);  // neither a click with no row selected nor a refresh changes the edit
  tab.page.SendMessage(WM_COMMAND, IDM_SERVICE_REFRESH, 0);
  EXPECT_EQ(tab.Edit(), longText);
  tab.Click(tab.Row(pathless));  // a service without a description empties the edit
  EXPECT_EQ(tab.Edit(), L"");
  tab.SetEdit(L"新的描述 new text");
  tab.AddMarker();
  tab.Run(svc, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(svc.Description(), L"新的描述 new text");
  EXPECT_TRUE(tab.MarkerGone());
  tab.SetEdit(L"");  // an empty edit removes the description
  tab.Run(svc, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(svc.Description(), L"<none>");
  EXPECT_TRUE(messages.entries.empty());

  for (UINT command : {IDM_SERVICE_LOCATE, IDM_SERVICE_PROPERTIES, IDM_SERVICE_SEARCH}) tab.Run(svc, command);
  ASSERT_EQ(shell.requests.size(), 3u);
  EXPECT_EQ(shell.requests[0].parameters, common::ExplorerSelectArgument(path));
  EXPECT_EQ(shell.requests[0].show, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(shell.requests[1].properties && shell.requests[1].file == path);
  EXPECT_EQ(shell.requests[2].file, common::SearchAddress(L"瓦德测试服务 a&b"));
  tab.Run(svc, IDM_SERVICE_COPY_PATH);
  EXPECT_EQ(messages.entries, wt::Messages{tab.Shown(L"服务路径已复制到剪贴板!", MB_ICONINFORMATION)});
  EXPECT_EQ(wt::ClipboardText(), path);
  wt::MenuChooser seen;  // an empty path cell greys the file commands, not the search
  tab.Run(pathless, 0, &seen);
  EXPECT_TRUE(seen.IsGreyed(IDM_SERVICE_LOCATE) && seen.IsGreyed(IDM_SERVICE_PROPERTIES) &&
              seen.IsGreyed(IDM_SERVICE_COPY_PATH) && !seen.IsGreyed(IDM_SERVICE_SEARCH));
}

// A service whose security refuses READ_CONTROL (and so GENERIC_READ) still shows its start type,
// account, path and description: the page asks only for the right each query needs.
TEST(ServicePage, AServiceThatRefusesReadControlStillShowsItsCells) {
  TestService svc(Command(L"-k guarded"));
  ASSERT_TRUE(svc.created);
  std::wstring text = L"guarded description";
  SERVICE_DESCRIPTIONW d{text.data()};
  ASSERT_TRUE(::ChangeServiceConfig2W(OpenTestService(svc.name, SERVICE_CHANGE_CONFIG).get(),
                                      SERVICE_CONFIG_DESCRIPTION, &d));
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;RC;;;WD)(A;;GA;;;WD)", SDDL_REVISION_1,
                                                                     &sd, nullptr));
  const BOOL secured = ::SetServiceObjectSecurity(OpenTestService(svc.name, WRITE_DAC).get(),
                                                  DACL_SECURITY_INFORMATION, sd);
  ::LocalFree(sd);
  ASSERT_TRUE(secured);
  // Where the manager enforces the DACL, a request that includes READ_CONTROL is refused.
  const bool enforced = !OpenTestService(svc.name, GENERIC_READ);
  ServiceTab tab;
  ASSERT_GE(tab.Row(svc), 0);
  EXPECT_EQ(tab.Cell(svc, 4), L"手动");
  EXPECT_EQ(tab.Cell(svc, 5), L"LocalSystem");
  EXPECT_EQ(tab.Cell(svc, 7), ServiceExe());
  EXPECT_EQ(tab.Cell(svc, 9), Command(L"-k guarded"));
  tab.Click(tab.Row(svc));
  EXPECT_EQ(tab.Edit(), text);
  if (!enforced) std::printf("[ note ] this service manager does not enforce the DACL\n");
}

// Control and start-type commands reach their states and refresh, the menu following them;
// delete removes the service, and commands on a gone one are reported.
TEST(ServicePage, CommandsReachTheirStatesAndTheMenuFollows) {
  TestService svc, refusing(Command(L"refuse")), stalling(Command(L"stall"));
  ASSERT_TRUE(svc.created && refusing.created && stalling.created);
  ServiceTab tab;
  wt::MessageLog messages;
  wt::MenuChooser seen;
  const UINT start = IDM_SERVICE_START, stop = IDM_SERVICE_STOP, pause = IDM_SERVICE_PAUSE, resume = IDM_SERVICE_RESUME;
  const UINT automatic = IDM_SERVICE_AUTO, manual = IDM_SERVICE_MANUAL, disabled = IDM_SERVICE_DISABLED;
  auto enabledControls = [&] {
    tab.Run(svc, 0, &seen);
    std::vector<UINT> enabled;
    for (UINT c : {start, stop, pause, resume})
      if (!seen.IsGreyed(c)) enabled.push_back(c);
    return enabled;
  };
  EXPECT_EQ(enabledControls(), std::vector<UINT>{start});  // stopped, manual
  EXPECT_EQ(seen.checked, std::vector<UINT>{manual});

  tab.AddMarker();  // stop and pause fail on a stopped service: nothing changes or is refreshed
  tab.Run(svc, stop, &seen);
  tab.Run(svc, pause, &seen);
  EXPECT_FALSE(tab.MarkerGone());
  EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_STOPPED));

  // Each command reaches its state or start type; the refilled row and the menu show both.
  struct Step { UINT command; DWORD state, type; std::wstring texts; std::vector<UINT> enabled; UINT checked; };
  const Step steps[] = {
      {start, SERVICE_RUNNING, SERVICE_DEMAND_START, L"运行|手动", {stop, pause}, manual},
      {automatic, SERVICE_RUNNING, SERVICE_AUTO_START, L"运行|自动", {stop, pause}, automatic},
      {pause, SERVICE_PAUSED, SERVICE_AUTO_START, L"暂停|自动", {resume}, automatic},
      {disabled, SERVICE_PAUSED, SERVICE_DISABLED, L"暂停|禁用", {resume}, disabled},
      {resume, SERVICE_RUNNING, SERVICE_DISABLED, L"运行|禁用", {stop, pause}, disabled},
      {stop, SERVICE_STOPPED, SERVICE_DISABLED, L"停止|禁用", {start}, disabled},
      {manual, SERVICE_STOPPED, SERVICE_DEMAND_START, L"停止|手动", {start}, manual}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command);
    tab.AddMarker();
    tab.Run(svc, step.command, &seen);
    EXPECT_EQ(svc.State(), step.state);
    EXPECT_EQ(svc.Config().first, step.type);
    EXPECT_EQ(tab.Cell(svc, 3) + L"|" + tab.Cell(svc, 4), step.texts);  // state and start type
    EXPECT_TRUE(tab.MarkerGone());
    EXPECT_EQ(enabledControls(), step.enabled);
    EXPECT_EQ(seen.checked, std::vector<UINT>{step.checked});
  }
  // A start that ends stopped, or never ends, leaves the wait (within its bound) and refreshes.
  CServicePage::SetWaitBound(1500);
  struct WaitBound { ~WaitBound() { CServicePage::SetWaitBound(30000); } } restore;
  struct Start { const TestService& svc; DWORD state; const wchar_t* text; } starts[] = {
      {refusing, SERVICE_STOPPED, L"停止"}, {stalling, SERVICE_START_PENDING, L"未知"}};
  for (const Start& s : starts) {
    tab.AddMarker();
    tab.Run(s.svc, start, &seen);
    EXPECT_EQ(s.svc.State(), s.state);
    EXPECT_EQ(tab.Cell(s.svc, 3), s.text);
    EXPECT_TRUE(tab.MarkerGone());
  }
  EXPECT_TRUE(messages.entries.empty());

  tab.Run(svc, IDM_SERVICE_DELETE, &seen);
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_EQ(tab.Row(svc), -1);
  EXPECT_EQ(svc.State(), 0u);  // the manager no longer knows it
  // A row left with the gone service's name: each command is refused in plain words, nothing is
  // written, and the list is refreshed.
  for (UINT command : {IDM_SERVICE_SET_DESCRIPTION, IDM_SERVICE_DELETE}) {
    auto fake = std::make_shared<service::ServiceRecord>();
    fake->cells = {L"x", svc.name};
    fake->name = svc.name;
    fake->key = L"fake";
    wt::AddRecord(tab.page.Records(), fake);
    const int row = wt::FindRow(tab.list, 0, L"x");
    ASSERT_GE(row, 0);
    tab.SetEdit(L"text");
    messages.entries.clear();
    tab.Run(row, command, &seen);
    EXPECT_EQ(wt::FindRow(tab.list, 0, L"x"), -1);
    EXPECT_EQ(tab.Edit(), L"text");
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_NE(messages.entries[0].text.find(svc.name), std::wstring::npos);
    EXPECT_NE(messages.entries[0].text.find(L"已不存在"), std::wstring::npos);
  }
}

namespace {
// A service of a given type and command line, removed at the end.
struct TypedService {
  std::wstring name;
  bool created = false;
  TypedService(const std::wstring& suffix, DWORD type, const std::wstring& command) {
    name = L"WardletTDrv" + std::to_wstring(::GetCurrentProcessId()) + suffix;
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    created = static_cast<bool>(ui::CServiceHandle(
        ::CreateServiceW(scm.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, type, SERVICE_DEMAND_START,
                         SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr, nullptr,
                         type & SERVICE_DRIVER ? nullptr : L"LocalSystem", nullptr)));
  }
  ~TypedService() {
    if (ui::CServiceHandle svc = OpenTestService(name, DELETE)) ::DeleteService(svc.get());
    rt::DeleteTree(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", name);
  }
  bool Exists() const { return static_cast<bool>(OpenTestService(name, SERVICE_QUERY_STATUS)); }
  std::wstring Key() const { return L"SYSTEM\\CurrentControlSet\\Services\\" + name; }
};
}  // namespace

// Drivers are listed with their images as the kernel finds them; a service of the shared host
// shows its ServiceDll, the host's command line beside it; delete removes the row's service only.
TEST(ServicePage, DriversAndSharedHostServicesShowTheFileThatRuns) {
  wchar_t windir[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windir, MAX_PATH);
  const std::wstring win = windir;
  TypedService relative(L"r", SERVICE_KERNEL_DRIVER, L"System32\\drivers\\wardlet_t_r.sys");
  TypedService kernelForm(L"k", SERVICE_KERNEL_DRIVER, L"\\SystemRoot\\System32\\drivers\\wardlet_t_k.sys");
  TypedService fileSystem(L"f", SERVICE_FILE_SYSTEM_DRIVER, L"\\??\\C:\\wt\\wardlet_t_f.sys");
  const std::wstring host = L"%SystemRoot%\\System32\\svchost.exe -k WardletT";
  TypedService shared(L"s", SERVICE_WIN32_SHARE_PROCESS, host), ownKey(L"o", SERVICE_WIN32_SHARE_PROCESS, host);
  ASSERT_TRUE(relative.created && kernelForm.created && fileSystem.created && shared.created && ownKey.created);
  rt::TestKey parameters(HKEY_LOCAL_MACHINE, shared.Key() + L"\\Parameters");
  rt::TestValue dll(HKEY_LOCAL_MACHINE, shared.Key() + L"\\Parameters", KEY_WOW64_64KEY, L"ServiceDll", REG_EXPAND_SZ,
                    rt::SzData(L"%SystemRoot%\\System32\\wardlet_t_s.dll"));
  rt::TestValue ownDll(HKEY_LOCAL_MACHINE, ownKey.Key(), KEY_WOW64_64KEY, L"ServiceDll", REG_EXPAND_SZ,
                       rt::SzData(L"C:\\wt\\wardlet_t_o.dll"));
  ServiceTab tab;
  auto cells = [&](const TypedService& s) {
    int row = wt::FindRow(tab.list, 1, s.name);
    if (row < 0) return std::vector<std::wstring>{L"<no row>"};
    return std::vector<std::wstring>{tab.list.GetItemText(row, 7), tab.list.GetItemText(row, 8),
                                     tab.list.GetItemText(row, 9)};
  };
  using Cells = std::vector<std::wstring>;
  EXPECT_EQ(cells(relative), (Cells{win + L"\\System32\\drivers\\wardlet_t_r.sys", L"驱动",
                                    L"System32\\drivers\\wardlet_t_r.sys"}));
  EXPECT_EQ(cells(kernelForm), (Cells{win + L"\\System32\\drivers\\wardlet_t_k.sys", L"驱动",
                                      L"\\SystemRoot\\System32\\drivers\\wardlet_t_k.sys"}));
  EXPECT_EQ(cells(fileSystem), (Cells{L"C:\\wt\\wardlet_t_f.sys", L"驱动", L"\\??\\C:\\wt\\wardlet_t_f.sys"}));
  EXPECT_EQ(cells(shared), (Cells{win + L"\\System32\\wardlet_t_s.dll", L"服务", host}));
  EXPECT_EQ(cells(ownKey), (Cells{L"C:\\wt\\wardlet_t_o.dll", L"服务", host}));

  wt::MessageLog messages;
  tab.Run(wt::FindRow(tab.list, 1, kernelForm.name), IDM_SERVICE_DELETE);
  EXPECT_FALSE(kernelForm.Exists());
  EXPECT_TRUE(relative.Exists() && fileSystem.Exists());
  EXPECT_EQ(wt::FindRow(tab.list, 1, kernelForm.name), -1);
  tab.Run(wt::FindRow(tab.list, 1, shared.name), IDM_SERVICE_DELETE);
  EXPECT_FALSE(shared.Exists());
  EXPECT_TRUE(ownKey.Exists());
  EXPECT_TRUE(messages.entries.empty());
}
