// The service page: the list of services, the description edit and every command of the row
// menu, on test services installed for the test and removed afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "common/shell_rules.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

std::wstring ServiceExePath() { return wt::ExeDir() + L"wardlet_test_service.exe"; }

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

// A service running wardlet_test_service.exe under a name of its own; the destructor stops it
// (or ends its process) and deletes it, whatever the test did.
class TestService {
 public:
  static constexpr const wchar_t* kPrefix = L"WardletTestSvc";

  explicit TestService(const std::wstring& arguments = L"", const std::wstring& displayName = L"",
                       const wchar_t* dependencies = nullptr, const std::wstring& commandLine = L"") {
    static int counter = 0;
    if (counter == 0) RemoveLeftovers();
    m_name = kPrefix + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
    const std::wstring command = commandLine.empty() ? wt::Quoted(ServiceExePath()) + L" " + arguments : commandLine;
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ui::CServiceHandle svc(::CreateServiceW(scm.get(), m_name.c_str(),
                                            (displayName.empty() ? m_name : displayName).c_str(), SERVICE_ALL_ACCESS,
                                            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                            command.c_str(), nullptr, nullptr, dependencies, L"LocalSystem", nullptr));
    m_created = static_cast<bool>(svc);
  }
  ~TestService() { Remove(m_name); }
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;

  bool created() const { return m_created; }
  const std::wstring& name() const { return m_name; }
  DWORD State() const { return StateOf(OpenTestService(m_name, SERVICE_QUERY_STATUS)); }  // 0 when unknown
  // The start type and the first dependency as the manager tells them (Wine's tells none).
  struct Config {
    DWORD startType = 0xFFFFFFFF;
    std::wstring firstDependency;
  };
  Config ReadConfig() const {
    ui::CServiceHandle svc = OpenTestService(m_name, SERVICE_QUERY_CONFIG);
    std::vector<BYTE> buf(16 * 1024);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data());
    DWORD needed = 0;
    if (!svc || !::QueryServiceConfigW(svc.get(), config, static_cast<DWORD>(buf.size()), &needed)) return {};
    return {config->dwStartType, config->lpDependencies ? config->lpDependencies : L""};
  }
  // The description; "<none>" when the service has none, "<error>" when it cannot be read.
  std::wstring Description() const {
    ui::CServiceHandle svc = OpenTestService(m_name, SERVICE_QUERY_CONFIG);
    std::vector<BYTE> buf(64 * 1024);
    DWORD needed = 0;
    if (!svc || !::QueryServiceConfig2W(svc.get(), SERVICE_CONFIG_DESCRIPTION, buf.data(),
                                        static_cast<DWORD>(buf.size()), &needed))
      return L"<error>";
    const wchar_t* text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buf.data())->lpDescription;
    return text && *text ? text : L"<none>";
  }
  bool SetDescription(std::wstring text) const {
    ui::CServiceHandle svc = OpenTestService(m_name, SERVICE_CHANGE_CONFIG);
    SERVICE_DESCRIPTIONW d{text.data()};
    return svc && ::ChangeServiceConfig2W(svc.get(), SERVICE_CONFIG_DESCRIPTION, &d);
  }

  // Stops a service (ends its process when it does not stop) and deletes it.
  static void Remove(const std::wstring& name) {
    ui::CServiceHandle svc = OpenTestService(name, SERVICE_ALL_ACCESS);
    if (!svc) return;
    SERVICE_STATUS ignored{};
    if (::ControlService(svc.get(), SERVICE_CONTROL_STOP, &ignored))
      for (int i = 0; i < 40 && StateOf(svc) != SERVICE_STOPPED; ++i) ::Sleep(100);
    DWORD pid = 0;
    if (StateOf(svc, &pid) != SERVICE_STOPPED && pid) {
      ui::CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
      if (process) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
      }
    }
    ::DeleteService(svc.get());
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

 private:
  std::wstring m_name;
  bool m_created = false;
};

// The service page, with its list and description edit at hand.
struct ServiceTab : wt::PageTab<CServicePage> {
  ServiceTab() : PageTab(&CWardletDlg::m_servicePage, 2) {}
  HWND hwnd() const { return page.GetSafeHwnd(); }
  int Row(const TestService& s) const { return wt::FindRow(list, 1, s.name()); }
  std::wstring Cell(const TestService& s, int column) const {
    int row = Row(s);
    return row < 0 ? L"<no row>" : list.GetItemText(row, column);
  }
  std::wstring Edit() const { return page.GetDlgItem(IDC_SERVICE_DESCRIPTION).GetWindowText(); }
  void SetEdit(const std::wstring& text) const { page.GetDlgItem(IDC_SERVICE_DESCRIPTION).SetWindowText(text); }
  using PageTab::Run;
  void Run(const TestService& s, UINT command, wt::MenuChooser* seen = nullptr) { Run(Row(s), command, seen); }
  // A row put in by hand: gone after the next refill.
  void AddMarker() const { list.InsertItem(list.GetItemCount(), L"marker"); }
  bool MarkerGone() const { return wt::FindRow(list, 0, L"marker") == -1; }
};

wt::Messages Failure(const ServiceTab& tab, const std::wstring& text) {
  return wt::Shown(tab.hwnd(), text, L"提示", MB_ICONERROR);
}

// Restores the page's wait bound when a test ends.
struct WaitBound {
  explicit WaitBound(DWORD ms) { CServicePage::SetWaitBound(ms); }
  ~WaitBound() { CServicePage::SetWaitBound(30000); }
};

}  // namespace

// Every service is listed once, also when they do not fit one enumeration call, with its texts.
TEST(ServicePage, ListsEveryServiceOnceWithItsTexts) {
  TestService svc(L"-k wardlet", L"瓦德测试服务 one", L"RpcSs\0PlugPlay\0Winmgmt\0");
  TestService bare(L"", L"", nullptr, wt::Quoted(ServiceExePath()));
  ASSERT_TRUE(svc.created() && bare.created());
  std::vector<std::unique_ptr<TestService>> many;
  for (int i = 0; i < 150; ++i) {
    many.push_back(std::make_unique<TestService>(L"", L"很多测试服务 with a longer display name " + std::to_wstring(i)));
    ASSERT_TRUE(many.back()->created());
  }
  ServiceTab tab;
  ASSERT_EQ(tab.list.GetColumnCount(), 8);
  ASSERT_GE(tab.Row(svc), 0);
  std::vector<std::wstring> cells = wt::RowTexts(tab.list, tab.Row(svc));
  EXPECT_EQ(cells[2], L"瓦德测试服务 one");
  EXPECT_EQ(cells[3], L"停止");
  EXPECT_EQ(cells[4], L"手动");
  EXPECT_EQ(cells[5], L"LocalSystem");
  EXPECT_EQ(cells[6], svc.ReadConfig().firstDependency);  // only the first one, "RpcSs" where the manager tells
  EXPECT_EQ(cells[6].find(L"PlugPlay"), std::wstring::npos);
  EXPECT_EQ(cells[7], ServiceExePath() + L" ");  // quotes gone, cut before the "-k" switch
  EXPECT_EQ(tab.Cell(bare, 6), L"");
  EXPECT_EQ(tab.Cell(bare, 7), ServiceExePath());
  // Rows are numbered 1, 2, 3... in the order of the enumeration; Wine's own services are there.
  std::vector<std::wstring> names;
  for (int i = 0; i < tab.list.GetItemCount(); ++i) {
    ASSERT_EQ(tab.list.GetItemText(i, 0), std::to_wstring(i + 1));
    names.push_back(tab.list.GetItemText(i, 1));
  }
  EXPECT_GE(wt::FindRow(tab.list, 1, L"RpcSs"), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "a service is listed twice";
  for (const auto& s : many) EXPECT_TRUE(std::binary_search(names.begin(), names.end(), s->name())) << s->name();
}

// A left click shows the description, long ones whole; "更新服务描述(E)" writes the edit's text.
TEST(ServicePage, TheDescriptionEditShowsAndUpdatesTheDescription) {
  const std::wstring longArgument(1500, L'a');
  TestService described(longArgument + L" -k x"), plain;
  ASSERT_TRUE(described.created() && plain.created());
  const std::wstring longText = L"第一行\r\nsecond line " + std::wstring(3000, L'd') + L"end";
  ASSERT_TRUE(described.SetDescription(longText));
  ServiceTab tab;
  wt::MessageLog messages;
  EXPECT_EQ(tab.Cell(described, 7), ServiceExePath() + L" " + longArgument + L" ");
  EXPECT_EQ(tab.Cell(described, 4), L"手动");
  tab.Click(tab.Row(described));
  EXPECT_EQ(tab.Edit(), longText);
  // A click with no row selected leaves the edit alone; a refresh does not clear it either.
  tab.Click(-1);
  EXPECT_EQ(tab.Edit(), longText);
  tab.page.SendMessage(WM_COMMAND, IDM_SERVICE_REFRESH, 0);
  EXPECT_EQ(tab.Edit(), longText);
  tab.Click(tab.Row(plain));  // a service without a description empties the edit
  EXPECT_EQ(tab.Edit(), L"");

  tab.SetEdit(L"新的描述 new text");
  tab.AddMarker();
  tab.Run(described, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(described.Description(), L"新的描述 new text");
  EXPECT_TRUE(tab.MarkerGone());
  EXPECT_EQ(tab.Edit(), L"新的描述 new text");
  // The edit holds the first service's text after a left click on it; written to the second.
  tab.Click(tab.Row(described));
  tab.Run(plain, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(plain.Description(), L"新的描述 new text");
  tab.SetEdit(L"");  // an empty edit removes the description
  tab.Run(described, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(described.Description(), L"<none>");
  EXPECT_TRUE(messages.entries.empty());
}

// The control and start-type commands reach their states and refresh the list; the menu greys
// the controls by the state and checks the start type; controls that fail change nothing; a start
// that ends stopped or never ends leaves the wait (within its bound) and refreshes.
TEST(ServicePage, ControlAndStartTypeCommandsAndTheMenuFollowTheState) {
  TestService svc, refusing(L"refuse"), stalling(L"stall");
  ASSERT_TRUE(svc.created() && refusing.created() && stalling.created());
  ServiceTab tab;
  wt::MessageLog messages;
  wt::MenuChooser seen;
  auto enabledControls = [&] {
    tab.Run(svc, 0, &seen);
    EXPECT_EQ(seen.lastMenuId, static_cast<UINT>(IDR_MENU_SERVICE));
    std::vector<UINT> enabled;
    for (UINT c : {IDM_SERVICE_START, IDM_SERVICE_STOP, IDM_SERVICE_PAUSE, IDM_SERVICE_RESUME})
      if (!seen.IsGreyed(c)) enabled.push_back(c);
    return enabled;
  };
  EXPECT_EQ(enabledControls(), std::vector<UINT>{IDM_SERVICE_START});  // stopped, manual
  EXPECT_EQ(seen.items.size(), 14u);
  EXPECT_TRUE(seen.IsChecked(IDM_SERVICE_MANUAL) && seen.IsGreyed(IDM_SERVICE_MANUAL));
  EXPECT_FALSE(seen.IsChecked(IDM_SERVICE_AUTO) || seen.IsGreyed(IDM_SERVICE_AUTO));
  EXPECT_FALSE(seen.IsGreyed(IDM_SERVICE_LOCATE) || seen.IsGreyed(IDM_SERVICE_COPY_PATH));
  int opened = seen.opened;
  wt::RightClickRow(tab.hwnd(), tab.list, -1);  // below the last row: no menu
  EXPECT_EQ(seen.opened, opened);

  tab.AddMarker();
  tab.Run(svc, IDM_SERVICE_STOP, &seen);  // not running: fails, changes nothing, no refresh
  tab.Run(svc, IDM_SERVICE_PAUSE, &seen);
  EXPECT_FALSE(tab.MarkerGone());
  EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_STOPPED));
  wt::SelectRow(tab.list, -1);  // no row selected: the commands act on an empty name
  tab.page.SendMessage(WM_COMMAND, IDM_SERVICE_START, 0);
  tab.page.SendMessage(WM_COMMAND, IDM_SERVICE_AUTO, 0);
  EXPECT_FALSE(tab.MarkerGone());

  struct Step { UINT command; DWORD state; const wchar_t* text; std::vector<UINT> enabled; } steps[] = {
      {IDM_SERVICE_START, SERVICE_RUNNING, L"运行", {IDM_SERVICE_STOP, IDM_SERVICE_PAUSE}},
      {IDM_SERVICE_PAUSE, SERVICE_PAUSED, L"暂停", {IDM_SERVICE_RESUME}},
      {IDM_SERVICE_RESUME, SERVICE_RUNNING, L"运行", {IDM_SERVICE_STOP, IDM_SERVICE_PAUSE}},
      {IDM_SERVICE_STOP, SERVICE_STOPPED, L"停止", {IDM_SERVICE_START}}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command);
    tab.AddMarker();
    tab.Run(svc, step.command, &seen);
    EXPECT_EQ(svc.State(), step.state);
    EXPECT_EQ(tab.Cell(svc, 3), step.text);
    EXPECT_TRUE(tab.MarkerGone());
    EXPECT_EQ(enabledControls(), step.enabled);
  }
  struct Type { UINT command; DWORD type; const wchar_t* text; } types[] = {
      {IDM_SERVICE_AUTO, SERVICE_AUTO_START, L"自动"},
      {IDM_SERVICE_DISABLED, SERVICE_DISABLED, L"禁用"},
      {IDM_SERVICE_MANUAL, SERVICE_DEMAND_START, L"手动"}};
  for (const Type& type : types) {
    SCOPED_TRACE(type.command);
    tab.AddMarker();
    tab.Run(svc, type.command, &seen);
    EXPECT_EQ(svc.ReadConfig().startType, type.type);
    EXPECT_EQ(tab.Cell(svc, 4), type.text);
    EXPECT_TRUE(tab.MarkerGone());
    tab.Run(svc, 0, &seen);
    EXPECT_EQ(seen.checked, std::vector<UINT>{type.command});
  }
  tab.AddMarker();
  tab.Run(refusing, IDM_SERVICE_START, &seen);
  EXPECT_EQ(refusing.State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(tab.Cell(refusing, 3), L"停止");
  EXPECT_TRUE(tab.MarkerGone());
  WaitBound bound(1500);
  tab.AddMarker();
  tab.Run(stalling, IDM_SERVICE_START, &seen);
  EXPECT_EQ(stalling.State(), static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(tab.Cell(stalling, 3), L"未知");
  EXPECT_TRUE(tab.MarkerGone());
  EXPECT_TRUE(messages.entries.empty());
}

TEST(ServicePage, DeleteRemovesTheServiceAndCommandsOnAGoneServiceAreReported) {
  TestService svc;
  ASSERT_TRUE(svc.created());
  ServiceTab tab;
  ASSERT_GE(tab.Row(svc), 0);
  wt::MessageLog messages;
  tab.Run(svc, IDM_SERVICE_DELETE);
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_EQ(tab.Row(svc), -1);
  EXPECT_EQ(svc.State(), 0u);  // the manager no longer knows it

  // A row left with the gone service's name: the description fails and nothing is refreshed.
  int row = tab.list.InsertItem(0, L"x");
  tab.list.SetItemText(row, 1, svc.name());
  tab.SetEdit(L"text");
  tab.Run(row, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(messages.entries, Failure(tab, L"服务描述信息修改失败!"));
  EXPECT_EQ(wt::FindRow(tab.list, 0, L"x"), row);
  EXPECT_EQ(tab.Edit(), L"text");
  // Deleting it again fails, is reported and refreshes.
  messages.entries.clear();
  tab.Run(row, IDM_SERVICE_DELETE);
  EXPECT_EQ(messages.entries, Failure(tab, L"服务删除失败!"));
  EXPECT_EQ(wt::FindRow(tab.list, 0, L"x"), -1);
}

TEST(ServicePage, FileAndSearchCommandsUseThePathAndDisplayName) {
  TestService svc(L"/run", L"Wardlet a&b 服务");
  TestService pathless(L"", L"", nullptr, L"/only-switches");
  ASSERT_TRUE(svc.created() && pathless.created());
  ServiceTab tab;
  wt::ShellLog shell;
  wt::MessageLog messages;
  const std::wstring path = ServiceExePath() + L" ";
  ASSERT_EQ(tab.Cell(svc, 7), path);

  tab.Run(svc, IDM_SERVICE_LOCATE);
  tab.Run(svc, IDM_SERVICE_PROPERTIES);
  tab.Run(svc, IDM_SERVICE_SEARCH);
  ASSERT_EQ(shell.requests.size(), 3u);
  EXPECT_EQ(shell.requests[0].file, L"Explorer.exe");
  EXPECT_NE(shell.requests[0].parameters.find(path), std::wstring::npos);
  EXPECT_EQ(shell.requests[0].show, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(shell.requests[1].properties);
  EXPECT_EQ(shell.requests[1].file, path);
  EXPECT_EQ(shell.requests[2].owner, tab.hwnd());
  EXPECT_EQ(shell.requests[2].file, common::SearchAddress(L"Wardlet a&b 服务"));

  tab.Run(svc, IDM_SERVICE_COPY_PATH);
  EXPECT_EQ(messages.entries, wt::Shown(tab.hwnd(), L"服务路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION));
  EXPECT_EQ(wt::ClipboardText(), path);

  // A row whose path cell is empty greys the three file commands, never the search.
  EXPECT_EQ(tab.Cell(pathless, 7), L"");
  wt::MenuChooser seen;
  tab.Run(pathless, 0, &seen);
  EXPECT_TRUE(seen.IsGreyed(IDM_SERVICE_LOCATE) && seen.IsGreyed(IDM_SERVICE_PROPERTIES) &&
              seen.IsGreyed(IDM_SERVICE_COPY_PATH));
  EXPECT_FALSE(seen.IsGreyed(IDM_SERVICE_SEARCH) || seen.IsGreyed(IDM_SERVICE_DELETE) ||
               seen.IsGreyed(IDM_SERVICE_SET_DESCRIPTION) || seen.IsGreyed(IDM_SERVICE_REFRESH));
}
