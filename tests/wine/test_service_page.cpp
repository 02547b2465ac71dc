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

// A service running tests/programs/wardlet_test_service.exe under a name of its own; the
// destructor stops it (or ends its process) and deletes it, whatever the test did.
class TestService {
 public:
  static constexpr const wchar_t* kPrefix = L"WardletTestSvc";

  explicit TestService(const std::wstring& arguments = L"", const std::wstring& displayName = L"",
                       const wchar_t* dependencies = nullptr, const std::wstring& commandLine = L"") {
    static int counter = 0;
    if (counter == 0) RemoveLeftovers();
    m_name = kPrefix + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
    m_commandLine = commandLine.empty() ? L"\"" + wt::ExeDir() + L"wardlet_test_service.exe\" " + arguments
                                        : commandLine;
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ui::CServiceHandle svc(::CreateServiceW(scm.get(), m_name.c_str(),
                                            (displayName.empty() ? m_name : displayName).c_str(), SERVICE_ALL_ACCESS,
                                            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                            m_commandLine.c_str(), nullptr, nullptr, dependencies, L"LocalSystem",
                                            nullptr));
    m_created = static_cast<bool>(svc);
  }
  ~TestService() { Remove(m_name); }
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;

  bool created() const { return m_created; }
  const std::wstring& name() const { return m_name; }
  const std::wstring& commandLine() const { return m_commandLine; }

  SERVICE_STATUS_PROCESS Status() const {
    SERVICE_STATUS_PROCESS st{};
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), m_name.c_str(), SERVICE_QUERY_STATUS));
    DWORD needed = 0;
    if (!svc || !::QueryServiceStatusEx(svc.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&st), sizeof(st),
                                        &needed))
      st.dwCurrentState = 0;
    return st;
  }
  DWORD StartType() const {
    std::vector<BYTE> buf = Config();
    return buf.empty() ? 0xFFFFFFFF : reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data())->dwStartType;
  }
  // First entry of the dependencies as the manager returns them (Wine's returns none).
  std::wstring FirstDependency() const {
    std::vector<BYTE> buf = Config();
    const wchar_t* deps = buf.empty() ? nullptr : reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data())->lpDependencies;
    return deps ? deps : L"";
  }
  // The description; "<none>" when the service has none, "<error>" when it cannot be read.
  std::wstring Description() const {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), m_name.c_str(), SERVICE_QUERY_CONFIG));
    std::vector<BYTE> buf(64 * 1024);
    DWORD needed = 0;
    if (!svc || !::QueryServiceConfig2W(svc.get(), SERVICE_CONFIG_DESCRIPTION, buf.data(),
                                        static_cast<DWORD>(buf.size()), &needed))
      return L"<error>";
    const wchar_t* text = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buf.data())->lpDescription;
    return text && *text ? text : L"<none>";
  }
  bool SetDescription(const std::wstring& text) const {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), m_name.c_str(), SERVICE_CHANGE_CONFIG));
    std::wstring copy = text;
    SERVICE_DESCRIPTIONW d{copy.data()};
    return svc && ::ChangeServiceConfig2W(svc.get(), SERVICE_CONFIG_DESCRIPTION, &d);
  }

  // Stops a service (ends its process when it does not stop) and deletes it.
  static void Remove(const std::wstring& name) {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!svc) return;
    auto state = [&svc](SERVICE_STATUS_PROCESS& st) {
      DWORD needed = 0;
      st = {};
      ::QueryServiceStatusEx(svc.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&st), sizeof(st), &needed);
      return st.dwCurrentState;
    };
    SERVICE_STATUS_PROCESS st{};
    SERVICE_STATUS ignored{};
    if (::ControlService(svc.get(), SERVICE_CONTROL_STOP, &ignored))
      for (int i = 0; i < 40 && state(st) != SERVICE_STOPPED; ++i) ::Sleep(100);
    if (state(st) != SERVICE_STOPPED && st.dwProcessId) {
      ui::CHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, st.dwProcessId));
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
    if (!::EnumServicesStatusW(scm.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                               reinterpret_cast<ENUM_SERVICE_STATUSW*>(buf.data()), static_cast<DWORD>(buf.size()),
                               &needed, &count, &resume))
      return;
    std::vector<std::wstring> names;
    const auto* e = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buf.data());
    for (DWORD i = 0; i < count; ++i)
      if (std::wcsncmp(e[i].lpServiceName, kPrefix, std::wcslen(kPrefix)) == 0) names.push_back(e[i].lpServiceName);
    for (const std::wstring& name : names) Remove(name);
  }

 private:
  std::vector<BYTE> Config() const {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), m_name.c_str(), SERVICE_QUERY_CONFIG));
    std::vector<BYTE> buf(16 * 1024);
    DWORD needed = 0;
    if (!svc || !::QueryServiceConfigW(svc.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data()),
                                       static_cast<DWORD>(buf.size()), &needed))
      buf.clear();
    return buf;
  }

  std::wstring m_name;
  std::wstring m_commandLine;
  bool m_created = false;
};

// The main dialog on tab 2, with the page's list and edit at hand.
struct ServiceTab {
  wt::MainDialog main;
  CServicePage& page;
  const ui::CListCtrl& list;
  ServiceTab() : page(main.dlg().m_servicePage), list(page.List()) { main.SelectTab(2); }
  HWND hwnd() const { return page.GetSafeHwnd(); }
  int Row(const TestService& s) const { return wt::FindRow(list, 1, s.name()); }
  std::wstring Cell(const TestService& s, int column) const {
    int row = Row(s);
    return row < 0 ? L"<no row>" : list.GetItemText(row, column);
  }
  std::wstring Edit() const { return page.GetDlgItem(IDC_SERVICE_DESCRIPTION).GetWindowText(); }
  void SetEdit(const std::wstring& text) const { page.GetDlgItem(IDC_SERVICE_DESCRIPTION).SetWindowText(text); }
  // Runs a menu command on the service's row; returns what the menu showed.
  void Run(const TestService& s, UINT command, wt::MenuChooser* seen = nullptr) const {
    wt::RunRowCommand(hwnd(), list, Row(s), command, seen);
  }
  // A row put in by hand: gone after the next refill.
  void AddMarker() const { list.InsertItem(list.GetItemCount(), L"marker"); }
  bool MarkerGone() const { return wt::FindRow(list, 0, L"marker") == -1; }
};

std::wstring ServiceExePath() { return wt::ExeDir() + L"wardlet_test_service.exe"; }

// Restores the page's wait bound when a test ends.
struct WaitBound {
  explicit WaitBound(DWORD ms) { CServicePage::SetWaitBound(ms); }
  ~WaitBound() { CServicePage::SetWaitBound(30000); }
};

}  // namespace

TEST(ServicePage, ListsEveryServiceWithItsTexts) {
  TestService svc(L"-k wardlet", L"瓦德测试服务 one", L"RpcSs\0PlugPlay\0Winmgmt\0");
  ASSERT_TRUE(svc.created());
  TestService bare(L"", L"", nullptr, L"\"" + ServiceExePath() + L"\"");
  ASSERT_TRUE(bare.created());
  ServiceTab tab;
  ASSERT_EQ(tab.list.GetColumnCount(), 8);
  int row = tab.Row(svc);
  ASSERT_GE(row, 0);
  std::vector<std::wstring> cells = wt::RowTexts(tab.list, row);
  EXPECT_EQ(cells[0], std::to_wstring(row + 1));
  EXPECT_EQ(cells[2], L"瓦德测试服务 one");
  EXPECT_EQ(cells[3], L"停止");
  EXPECT_EQ(cells[4], L"手动");
  EXPECT_EQ(cells[5], L"LocalSystem");
  EXPECT_EQ(cells[6], svc.FirstDependency());  // only the first one, "RpcSs" where the manager tells
  EXPECT_EQ(cells[6].find(L"PlugPlay"), std::wstring::npos);
  EXPECT_EQ(cells[7], ServiceExePath() + L" ");  // quotes gone, cut before the "-k" switch
  EXPECT_EQ(tab.Cell(bare, 6), L"");
  EXPECT_EQ(tab.Cell(bare, 7), ServiceExePath());
  // Rows are numbered 1, 2, 3... in the order of the enumeration; Wine's own services are there.
  for (int i = 0; i < tab.list.GetItemCount(); ++i) ASSERT_EQ(tab.list.GetItemText(i, 0), std::to_wstring(i + 1));
  EXPECT_GE(wt::FindRow(tab.list, 1, L"RpcSs"), 0);
}

TEST(ServicePage, EveryServiceIsListedOnceWhenTheyDoNotFitOneCall) {
  std::vector<std::unique_ptr<TestService>> many;
  for (int i = 0; i < 150; ++i) {
    std::wstring display = L"很多测试服务 with a longer display name " + std::to_wstring(i);
    many.push_back(std::make_unique<TestService>(L"", display));
    ASSERT_TRUE(many.back()->created());
  }
  ServiceTab tab;
  std::vector<std::wstring> names;
  for (int i = 0; i < tab.list.GetItemCount(); ++i) names.push_back(tab.list.GetItemText(i, 1));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "a service is listed twice";
  for (const auto& s : many) EXPECT_TRUE(std::binary_search(names.begin(), names.end(), s->name())) << s->name();
}

TEST(ServicePage, LongConfigurationsAndDescriptionsAreShownWhole) {
  const std::wstring longArgument(1500, L'a');
  TestService svc(longArgument + L" -k x");
  ASSERT_TRUE(svc.created());
  const std::wstring longText = L"描述" + std::wstring(3000, L'd') + L"end";
  ASSERT_TRUE(svc.SetDescription(longText));
  ServiceTab tab;
  EXPECT_EQ(tab.Cell(svc, 7), ServiceExePath() + L" " + longArgument + L" ");
  EXPECT_EQ(tab.Cell(svc, 4), L"手动");
  wt::SelectRow(tab.list, tab.Row(svc));
  wt::ClickRow(tab.hwnd(), tab.list, tab.Row(svc));
  EXPECT_EQ(tab.Edit(), longText);
}

TEST(ServicePage, LeftClickShowsTheDescriptionOfTheSelectedRow) {
  TestService described, plain;
  ASSERT_TRUE(described.created() && plain.created());
  ASSERT_TRUE(described.SetDescription(L"第一行\r\nsecond line"));
  ServiceTab tab;
  wt::SelectRow(tab.list, tab.Row(described));
  wt::ClickRow(tab.hwnd(), tab.list, tab.Row(described));
  EXPECT_EQ(tab.Edit(), L"第一行\r\nsecond line");
  // A click with no row selected leaves the edit alone; a refresh does not clear it either.
  wt::SelectRow(tab.list, -1);
  wt::ClickRow(tab.hwnd(), tab.list, -1);
  EXPECT_EQ(tab.Edit(), L"第一行\r\nsecond line");
  tab.page.SendMessage(WM_COMMAND, IDM_SERVICE_REFRESH, 0);
  EXPECT_EQ(tab.Edit(), L"第一行\r\nsecond line");
  // A service without a description empties the edit.
  wt::SelectRow(tab.list, tab.Row(plain));
  wt::ClickRow(tab.hwnd(), tab.list, tab.Row(plain));
  EXPECT_EQ(tab.Edit(), L"");
}

TEST(ServicePage, StartPauseResumeStopReachTheirStatesAndRefresh) {
  TestService svc;
  ASSERT_TRUE(svc.created());
  ServiceTab tab;
  wt::MenuChooser seen;
  struct Step { UINT command; DWORD state; const wchar_t* text; } steps[] = {
      {IDM_SERVICE_START, SERVICE_RUNNING, L"运行"},
      {IDM_SERVICE_PAUSE, SERVICE_PAUSED, L"暂停"},
      {IDM_SERVICE_RESUME, SERVICE_RUNNING, L"运行"},
      {IDM_SERVICE_STOP, SERVICE_STOPPED, L"停止"}};
  for (const Step& step : steps) {
    tab.AddMarker();
    tab.Run(svc, step.command, &seen);
    EXPECT_EQ(seen.lastMenuId, static_cast<UINT>(IDR_MENU_SERVICE));
    EXPECT_EQ(svc.Status().dwCurrentState, step.state) << step.command;
    EXPECT_EQ(tab.Cell(svc, 3), step.text) << step.command;
    EXPECT_TRUE(tab.MarkerGone()) << step.command;
  }
}

TEST(ServicePage, MenuGreysByStateAndMarksTheStartType) {
  TestService svc;
  ASSERT_TRUE(svc.created());
  ServiceTab tab;
  wt::MenuChooser seen;
  auto open = [&] {
    seen.command = 0;
    wt::SelectRow(tab.list, tab.Row(svc));
    wt::RightClickRow(tab.hwnd(), tab.list, tab.Row(svc));
  };
  open();  // stopped, manual
  EXPECT_FALSE(seen.IsGreyed(IDM_SERVICE_START));
  EXPECT_TRUE(seen.IsGreyed(IDM_SERVICE_STOP) && seen.IsGreyed(IDM_SERVICE_PAUSE) && seen.IsGreyed(IDM_SERVICE_RESUME));
  EXPECT_TRUE(seen.IsChecked(IDM_SERVICE_MANUAL) && seen.IsGreyed(IDM_SERVICE_MANUAL));
  EXPECT_FALSE(seen.IsChecked(IDM_SERVICE_AUTO) || seen.IsGreyed(IDM_SERVICE_AUTO));
  EXPECT_FALSE(seen.IsGreyed(IDM_SERVICE_LOCATE) || seen.IsGreyed(IDM_SERVICE_COPY_PATH));
  EXPECT_EQ(seen.items.size(), 14u);

  tab.Run(svc, IDM_SERVICE_START, &seen);
  open();  // running
  EXPECT_TRUE(seen.IsGreyed(IDM_SERVICE_START) && seen.IsGreyed(IDM_SERVICE_RESUME));
  EXPECT_FALSE(seen.IsGreyed(IDM_SERVICE_STOP) || seen.IsGreyed(IDM_SERVICE_PAUSE));

  tab.Run(svc, IDM_SERVICE_PAUSE, &seen);
  open();  // paused: only resume among the four
  EXPECT_TRUE(seen.IsGreyed(IDM_SERVICE_START) && seen.IsGreyed(IDM_SERVICE_STOP) && seen.IsGreyed(IDM_SERVICE_PAUSE));
  EXPECT_FALSE(seen.IsGreyed(IDM_SERVICE_RESUME));

  // A right click below the last row opens no menu.
  int opened = seen.opened;
  wt::RightClickRow(tab.hwnd(), tab.list, -1);
  EXPECT_EQ(seen.opened, opened);
}

TEST(ServicePage, EachStartTypeSwitchShowsInTheRow) {
  TestService svc;
  ASSERT_TRUE(svc.created());
  ServiceTab tab;
  struct Step { UINT command; DWORD type; const wchar_t* text; } steps[] = {
      {IDM_SERVICE_AUTO, SERVICE_AUTO_START, L"自动"},
      {IDM_SERVICE_DISABLED, SERVICE_DISABLED, L"禁用"},
      {IDM_SERVICE_MANUAL, SERVICE_DEMAND_START, L"手动"}};
  wt::MenuChooser seen;
  for (const Step& step : steps) {
    tab.AddMarker();
    tab.Run(svc, step.command, &seen);
    EXPECT_EQ(svc.StartType(), step.type);
    EXPECT_EQ(tab.Cell(svc, 4), step.text);
    EXPECT_TRUE(tab.MarkerGone());
    seen.command = 0;
    wt::SelectRow(tab.list, tab.Row(svc));
    wt::RightClickRow(tab.hwnd(), tab.list, tab.Row(svc));
    EXPECT_EQ(seen.checked, std::vector<UINT>{step.command});
  }
}

TEST(ServicePage, UpdateDescriptionWritesTheEditAndAnEmptyEditRemovesIt) {
  TestService first, second;
  ASSERT_TRUE(first.created() && second.created());
  ASSERT_TRUE(first.SetDescription(L"旧的描述"));
  ServiceTab tab;
  wt::MessageLog messages;

  tab.SetEdit(L"新的描述 new text");
  tab.AddMarker();
  tab.Run(first, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(first.Description(), L"新的描述 new text");
  EXPECT_TRUE(tab.MarkerGone());
  EXPECT_EQ(tab.Edit(), L"新的描述 new text");

  // The edit holds the first service's text after a left click on it; written to the second.
  wt::SelectRow(tab.list, tab.Row(first));
  wt::ClickRow(tab.hwnd(), tab.list, tab.Row(first));
  tab.Run(second, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(second.Description(), L"新的描述 new text");

  tab.SetEdit(L"");
  tab.Run(first, IDM_SERVICE_SET_DESCRIPTION);
  EXPECT_EQ(first.Description(), L"<none>");
  EXPECT_TRUE(messages.entries.empty());
}

TEST(ServicePage, UpdateDescriptionOfAVanishedServiceIsReported) {
  auto svc = std::make_unique<TestService>();
  ASSERT_TRUE(svc->created());
  ServiceTab tab;
  int row = tab.Row(*svc);
  ASSERT_GE(row, 0);
  svc.reset();  // deleted behind the page's back; its row stays until the next refresh
  wt::MessageLog messages;
  tab.SetEdit(L"text");
  tab.AddMarker();
  wt::RunRowCommand(tab.hwnd(), tab.list, row, IDM_SERVICE_SET_DESCRIPTION);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, L"服务描述信息修改失败!");
  EXPECT_EQ(messages.entries[0].caption, L"提示");
  EXPECT_EQ(messages.entries[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_FALSE(tab.MarkerGone());  // no refresh after a failure
  EXPECT_EQ(tab.Edit(), L"text");
}

TEST(ServicePage, DeleteRemovesTheServiceFromTheList) {
  TestService svc;
  ASSERT_TRUE(svc.created());
  ServiceTab tab;
  ASSERT_GE(tab.Row(svc), 0);
  wt::MessageLog messages;
  tab.Run(svc, IDM_SERVICE_DELETE);
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_EQ(tab.Row(svc), -1);
  EXPECT_EQ(svc.Status().dwCurrentState, 0u);  // the manager no longer knows it

  // Deleting it again (its name typed into a row by hand) fails, is reported and refreshes.
  int row = tab.list.InsertItem(0, L"x");
  tab.list.SetItemText(row, 1, svc.name());
  wt::RunRowCommand(tab.hwnd(), tab.list, row, IDM_SERVICE_DELETE);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, L"服务删除失败!");
  EXPECT_EQ(messages.entries[0].caption, L"提示");
  EXPECT_EQ(messages.entries[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(wt::FindRow(tab.list, 0, L"x"), -1);
}

TEST(ServicePage, AStartThatEndsStoppedOrNeverEndsLeavesTheWaitAndRefreshes) {
  TestService refusing(L"refuse"), stalling(L"stall");
  ASSERT_TRUE(refusing.created() && stalling.created());
  ServiceTab tab;

  tab.AddMarker();
  tab.Run(refusing, IDM_SERVICE_START);
  EXPECT_EQ(refusing.Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(tab.Cell(refusing, 3), L"停止");
  EXPECT_TRUE(tab.MarkerGone());

  WaitBound bound(1500);
  tab.AddMarker();
  tab.Run(stalling, IDM_SERVICE_START);
  EXPECT_EQ(stalling.Status().dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(tab.Cell(stalling, 3), L"未知");
  EXPECT_TRUE(tab.MarkerGone());
}

TEST(ServicePage, FailedControlsChangeNothingAndReportNothing) {
  TestService svc;
  ASSERT_TRUE(svc.created());
  ServiceTab tab;
  wt::MessageLog messages;
  tab.AddMarker();
  tab.Run(svc, IDM_SERVICE_STOP);  // not running
  tab.Run(svc, IDM_SERVICE_PAUSE);
  EXPECT_FALSE(tab.MarkerGone());
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_EQ(svc.Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  // With no row selected the commands act on an empty name and do nothing either.
  wt::SelectRow(tab.list, -1);
  tab.page.SendMessage(WM_COMMAND, IDM_SERVICE_START, 0);
  tab.page.SendMessage(WM_COMMAND, IDM_SERVICE_AUTO, 0);
  EXPECT_FALSE(tab.MarkerGone());
  EXPECT_TRUE(messages.entries.empty());
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
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, L"服务路径已复制到剪贴板!");
  EXPECT_EQ(messages.entries[0].caption, L"提示");
  ASSERT_TRUE(::OpenClipboard(nullptr));
  HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  std::wstring copied = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
  if (data) ::GlobalUnlock(data);
  ::CloseClipboard();
  EXPECT_EQ(copied, path);

  // A row whose path cell is empty greys the three file commands, never the search.
  EXPECT_EQ(tab.Cell(pathless, 7), L"");
  wt::MenuChooser seen;
  wt::SelectRow(tab.list, tab.Row(pathless));
  wt::RightClickRow(tab.hwnd(), tab.list, tab.Row(pathless));
  EXPECT_TRUE(seen.IsGreyed(IDM_SERVICE_LOCATE) && seen.IsGreyed(IDM_SERVICE_PROPERTIES) &&
              seen.IsGreyed(IDM_SERVICE_COPY_PATH));
  EXPECT_FALSE(seen.IsGreyed(IDM_SERVICE_SEARCH) || seen.IsGreyed(IDM_SERVICE_DELETE) ||
               seen.IsGreyed(IDM_SERVICE_SET_DESCRIPTION) || seen.IsGreyed(IDM_SERVICE_REFRESH));
}
