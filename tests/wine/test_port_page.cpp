// The port page: loopback sockets in the real table, the location database beside the program,
// the failures of the network-information library and the row menu's commands.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "common/shell_rules.h"
#include "pages/port/port_rules.h"
#include "pages/process/listed_process.h"
#include "pages/process/process_rules.h"
#include "tests/host/port_test_db.h"
#include "tests/wine/port_test_files.h"
#include "tests/wine/test_util.h"

namespace {

std::wstring DatabasePath() { return wt::ExeDir() + L"QQwry.dat"; }


unsigned short BoundPort(SOCKET s) {
  sockaddr_in a{};
  int len = sizeof(a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

// A listening TCP socket, a connected pair (client and accepted end) and a UDP socket, all on
// 127.0.0.1; closed at the end.
struct LoopbackSockets {
  SOCKET listener = INVALID_SOCKET, client = INVALID_SOCKET, accepted = INVALID_SOCKET, udp = INVALID_SOCKET;
  unsigned short listenPort = 0, clientPort = 0, udpPort = 0;
  LoopbackSockets() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* address = reinterpret_cast<sockaddr*>(&a);
    listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (::bind(listener, address, sizeof(a)) != 0 || ::listen(listener, 4) != 0) return;
    listenPort = BoundPort(listener);
    client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    a.sin_port = htons(listenPort);
    if (::connect(client, address, sizeof(a)) != 0) return;
    clientPort = BoundPort(client);
    accepted = ::accept(listener, nullptr, nullptr);
    udp = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    a.sin_port = 0;
    if (::bind(udp, address, sizeof(a)) == 0) udpPort = BoundPort(udp);
  }
  ~LoopbackSockets() {
    for (SOCKET s : {client, accepted, listener, udp})
      if (s != INVALID_SOCKET) ::closesocket(s);
  }
};

class PortPage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(s.accepted != INVALID_SOCKET && s.udpPort != 0); }
  ~PortPage() override { CPortPage::SetNetworkLibrary(L"iphlpapi.dll"); }
  // The menu's refresh, waited for.
  void Refresh() {
    page.SendMessage(WM_COMMAND, IDM_PORT_REFRESH, 0);
    page.Records().WaitIdle();
  }
  // A timed refresh, as the main window's watch timer starts it, waited for.
  void AutoRefresh() {
    page.Records().Refresh(true);
    page.Records().WaitIdle();
  }
  // Shows made-up rows in place of the gathered ones: (pid, path, local port, owner) each.
  struct Made { std::wstring pid, path; unsigned long localPort; process::ListedProcess owner; };
  void ShowMade(const std::vector<Made>& made) {
    common::Records rows;
    for (const Made& m : made) {
      auto rec = std::make_shared<port::PortRecord>();
      rec->cells.assign(port::kColumnCount, L"");
      rec->cells[port::kColId] = std::to_wstring(rows.size() + 1);
      rec->cells[port::kColProtocol] = rec->protocol = L"UDP";
      rec->cells[port::kColPid] = m.pid;
      rec->cells[port::kColLocalIp] = rec->localIp = L"127.0.0.1";
      rec->cells[port::kColLocalPort] = std::to_wstring(m.localPort);
      rec->cells[port::kColPath] = m.path;
      rec->localPort = m.localPort;
      rec->owner = m.owner;
      rec->key = L"made|" + std::to_wstring(m.localPort);
      rows.push_back(std::move(rec));
    }
    page.Records().Replace(std::move(rows));
  }
  // The row of a loopback endpoint by protocol, local port and (TCP only) remote port.
  int Endpoint(const wchar_t* protocol, unsigned short localPort, const std::wstring& remotePort) {
    for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
      auto cell = [&](int column) { return list.GetItemText(i, column); };
      if (cell(port::kColProtocol) == protocol && cell(port::kColLocalIp) == L"127.0.0.1" &&
          cell(port::kColLocalPort) == std::to_wstring(localPort) && cell(port::kColRemotePort) == remotePort)
        return i;
    }
    return -1;
  }
  wt::MessageLog::Entry Shown(const std::wstring& text, const wchar_t* caption, UINT style) {
    return wt::Shown(page.GetSafeHwnd(), text, caption, style)[0];
  }

  port_test::DatabasesAside aside;  // every location database beside the binary
  LoopbackSockets s;
  wt::MessageLog messages;
  wt::ShellLog shell;
  struct FreshRun {
    FreshRun() { CPortPage::ForgetDatabaseNotice(); }
  } fresh;  // as if the program had just started
  wt::MainDialog main;
  CPortPage& page = main.dlg().m_portPage;
  const ui::CListCtrl& list = page.List();
};

}  // namespace

TEST_F(PortPage, ListsLoopbackSocketsWithLocationsAndReportsWhatItCannotRead) {
  main.SelectTab(5);
  const std::wstring listenPort = std::to_wstring(s.listenPort);
  struct Expect { const wchar_t* protocol; unsigned short port; std::wstring remotePort, state, remoteIp; };
  const Expect expects[] = {
      {L"TCP", s.listenPort, L"0", L"Listen", L"0.0.0.0"},
      {L"TCP", s.clientPort, listenPort, L"Established", L"127.0.0.1"},
      {L"TCP", s.listenPort, std::to_wstring(s.clientPort), L"Established", L"127.0.0.1"},
      {L"UDP", s.udpPort, L"", L"", L""}};
  for (const Expect& e : expects) {
    const int row = Endpoint(e.protocol, e.port, e.remotePort);
    ASSERT_GE(row, 0) << e.protocol << " " << e.port;
    auto cells = wt::RowTexts(list, row);
    EXPECT_EQ(cells[port::kColState] + L"|" + cells[port::kColRemoteIp], e.state + L"|" + e.remoteIp);
    EXPECT_EQ(cells[port::kColLocation], L"");  // no database
    // Our process with our path, or no owner as the system tells it (Wine: PID 0, no path).
    if (cells[port::kColPid] == std::to_wstring(::GetCurrentProcessId()))
      EXPECT_TRUE(wt::SamePath(cells[port::kColPath], wt::OwnPath())) << cells[port::kColPath];
    else
      EXPECT_EQ(cells[port::kColPid] + L"|" + cells[port::kColPath], L"0|");
  }

  // The missing database is told, and its download page opened, once a run: not again at a
  // refresh by the menu, by coming back to the tab or by the watch timer.
  const auto missing = Shown(L"没有找到QQwry.dat\r\n请将QQwry.dat数据库文件放于本程序目录下!\r\n\r\n程序将自动打开QQwry.dat下载页面",
                             L"提示", MB_ICONINFORMATION);
  Refresh();
  main.SelectTab(0);
  main.SelectTab(5);
  AutoRefresh();
  main.SelectTab(1);
  main.SelectTab(5);
  EXPECT_EQ(messages.entries, wt::Messages(1, missing));
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].verb + L" " + shell.requests[0].file + L" " + shell.requests[0].parameters,
            L"open https://www.cz88.net/ ");
  EXPECT_TRUE(shell.requests[0].show == SW_SHOWMAXIMIZED && !shell.requests[0].properties);
  // A timed refresh never tells it, even in a run that has not told it yet; the next refresh the
  // user asks for does.
  CPortPage::ForgetDatabaseNotice();
  AutoRefresh();
  EXPECT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(shell.requests.size(), 1u);
  page.RefreshConnectionTableNow();
  EXPECT_EQ(messages.entries, wt::Messages(2, missing));
  EXPECT_EQ(shell.requests.size(), 2u);

  // The database beside the program gives the locations; once it is gone the contents already
  // read stay in use.
  ASSERT_TRUE(port_test::StandardDatabase().Write(std::filesystem::path(DatabasePath())));
  Refresh();
  EXPECT_EQ(list.GetItemText(Endpoint(L"TCP", s.listenPort, L"0"), port::kColLocation), L"IANA保留地址");
  EXPECT_EQ(list.GetItemText(Endpoint(L"TCP", s.clientPort, listenPort), port::kColLocation), L"本机地址");
  ASSERT_TRUE(::DeleteFileW(DatabasePath().c_str()));
  Refresh();
  EXPECT_EQ(list.GetItemText(Endpoint(L"TCP", s.clientPort, listenPort), port::kColLocation), L"本机地址");
  EXPECT_EQ(messages.entries.size(), 2u);
  EXPECT_EQ(shell.requests.size(), 2u);

  // A network library that is missing, or that lacks the table functions, leaves the list empty
  // and is told at a refresh the user asks for; a timed one empties the list and says nothing.
  messages.entries.clear();
  CPortPage::SetNetworkLibrary(L"wardlet-no-such-library.dll");
  Refresh();
  EXPECT_EQ(list.GetItemCount(), 0);
  CPortPage::SetNetworkLibrary(L"version.dll");
  Refresh();
  EXPECT_EQ(list.GetItemCount(), 0);
  AutoRefresh();
  CPortPage::SetNetworkLibrary(L"wardlet-no-such-library.dll");
  AutoRefresh();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(messages.entries, (wt::Messages{Shown(L"定位iphlpapi.dll失败!", L"哦豁,出错了", MB_ICONERROR),
                                            Shown(port::kTablesMissingText, L"哦豁,出错了", MB_ICONERROR)}));
  EXPECT_EQ(shell.requests.size(), 2u);
}

// The menu greys "end process" by the PID cell and the file commands by the path cell; the
// commands take the selected row's record.
TEST_F(PortPage, RowMenuAndItsCommandsTakeThePidAndPathCells) {
  main.SelectTab(5);
  wt::MenuChooser menu;
  const std::wstring path = L"C:\\Program Files\\Wardlet Test\\holder.exe";
  struct Case { const wchar_t* pid; std::wstring path; std::vector<UINT> greyed; } cases[] = {
      {L"0", path, {IDM_PORT_KILL}}, {L"4", path, {IDM_PORT_KILL}}, {L"1234", L"", {IDM_PORT_COPY_PATH, IDM_PORT_LOCATE}}};
  for (const Case& c : cases) {
    ShowMade({{c.pid, c.path, 5000, {}}});
    wt::RunRowCommand(page, list, 0, 0, &menu);
    EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_PORT));
    EXPECT_EQ(menu.greyed, c.greyed) << c.pid;
  }

  ShowMade({{L"1234", path, 5000, {}}});
  messages.entries.clear();
  shell.requests.clear();
  wt::RunRowCommand(page, list, 0, IDM_PORT_COPY_PATH, &menu);
  EXPECT_EQ(messages.entries, wt::Messages{Shown(L"文件路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION)});
  EXPECT_EQ(wt::ClipboardText(), path);
  wt::RunRowCommand(page, list, 0, IDM_PORT_LOCATE, &menu);
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].parameters, common::ExplorerSelectArgument(path));
  EXPECT_EQ(shell.requests[0].show, SW_SHOWMAXIMIZED);

  // "End process" ends the row's owner and refreshes, but only when its PID still names the
  // process the row listed (its creation time, taken at the refresh): a row whose process has
  // since made way for another ends nothing, says so and refreshes. (The system here gives owners
  // as PID 0, so the rows are given the child as their owner.)
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  const process::ListedProcess owner = process::ListProcess(child.pid());
  ASSERT_NE(owner.created, 0u);
  ShowMade({{std::to_wstring(child.pid()), path, 5000, {owner.pid, owner.created - 1}}});
  messages.entries.clear();
  wt::RunRowCommand(page, list, 0, IDM_PORT_KILL, &menu);
  page.Records().WaitIdle();
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_FALSE(messages.entries.empty());
  EXPECT_EQ(messages.entries[0], Shown(process::kProcessGoneText, L"提示", MB_ICONINFORMATION));
  EXPECT_FALSE(messages.Has(L"进程结束失败!"));
  EXPECT_EQ(wt::FindRow(list, port::kColPath, path), -1);  // refreshed
  EXPECT_GE(Endpoint(L"UDP", s.udpPort, L""), 0);

  ShowMade({{std::to_wstring(child.pid()), path, 5000, owner}});
  messages.entries.clear();
  wt::RunRowCommand(page, list, 0, IDM_PORT_KILL, &menu);
  ASSERT_EQ(::WaitForSingleObject(child.pi.hProcess, 5000), WAIT_OBJECT_0);
  page.Records().WaitIdle();
  DWORD code = 0;
  ::GetExitCodeProcess(child.pi.hProcess, &code);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(wt::FindRow(list, port::kColPath, path), -1);  // refreshed
  EXPECT_FALSE(messages.Has(L"进程结束失败!"));
}

// On a list sorted other than as gathered, "end process" ends the owner of the row selected and
// no other.
TEST_F(PortPage, EndProcessOnASortedListEndsTheSelectedRowsOwnerOnly) {
  main.SelectTab(5);
  wt::Child first(wt::Quoted(wt::ChildExe())), second(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(first.started() && second.started());
  const process::ListedProcess a = process::ListProcess(first.pid()), b = process::ListProcess(second.pid());
  // Gathered order: first (port 900), second (port 80); by local port descending: first, second;
  // ascending: second on top.
  ShowMade({{std::to_wstring(a.pid), L"C:\\a.exe", 900, a}, {std::to_wstring(b.pid), L"C:\\b.exe", 80, b}});
  page.Records().SortBy(port::kColLocalPort, false);
  ASSERT_EQ(list.GetItemText(0, port::kColPath), L"C:\\b.exe");
  wt::MenuChooser menu;
  wt::RunRowCommand(page, list, 0, IDM_PORT_KILL, &menu);
  page.Records().WaitIdle();
  EXPECT_EQ(::WaitForSingleObject(second.pi.hProcess, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(::WaitForSingleObject(first.pi.hProcess, 300), static_cast<DWORD>(WAIT_TIMEOUT));  // still running
  page.Records().SortBy(-1, false);
}

// The local port column sorts by number and stays sorted across refreshes; the find box narrows
// the list to the rows that hold a listening socket's port.
TEST_F(PortPage, SortByLocalPortLastsAcrossARefreshAndFindNarrowsByPort) {
  main.SelectTab(5);
  common::RecordList& rows = page.Records();
  rows.SortBy(port::kColLocalPort, false);
  page.RefreshConnectionTableNow();
  AutoRefresh();
  EXPECT_EQ(rows.SortColumn(), port::kColLocalPort);
  ASSERT_GE(list.GetItemCount(), 4);
  long before = -1;
  for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
    const long portNumber = process::CellToLong(list.GetItemText(i, port::kColLocalPort));
    EXPECT_LE(before, portNumber) << "row " << i;
    before = portNumber;
  }
  EXPECT_GE(Endpoint(L"TCP", s.listenPort, L"0"), 0);

  const std::wstring listenPort = std::to_wstring(s.listenPort);
  rows.OpenFind();
  rows.SetFindText(listenPort);
  const int shown = list.GetItemCount();
  EXPECT_GE(shown, 3);  // the listener, its accepted end and the client's remote port
  EXPECT_LT(shown, rows.TotalCount());
  for (int i = 0; i < shown; ++i) {
    const auto cells = wt::RowTexts(list, i);
    EXPECT_TRUE(std::any_of(cells.begin(), cells.end(),
                            [&](const std::wstring& c) { return c.find(listenPort) != std::wstring::npos; }))
        << "row " << i;
  }
  const int listening = Endpoint(L"TCP", s.listenPort, L"0");
  ASSERT_GE(listening, 0);
  EXPECT_EQ(list.GetItemText(listening, port::kColState), L"Listen");
  if (std::to_wstring(s.udpPort).find(listenPort) == std::wstring::npos) {
    EXPECT_EQ(Endpoint(L"UDP", s.udpPort, L""), -1);  // narrowed away (its port is another)
  }
  rows.CloseFind();
  EXPECT_GE(Endpoint(L"UDP", s.udpPort, L""), 0);
  rows.SortBy(-1, false);
}

// Watched, the list marks a socket that appeared as new and keeps one that went for one refresh as
// gone; the timed refreshes show nothing, not even the missing database's notice of a fresh run.
TEST_F(PortPage, WatchMarksNewAndGoneSocketsAndItsRefreshesShowNothing) {
  main.SelectTab(5);
  common::RecordList& rows = page.Records();
  main.dlg().SetWatchSeconds(1);
  messages.entries.clear();
  shell.requests.clear();
  CPortPage::ForgetDatabaseNotice();
  auto tick = [&] {
    ASSERT_TRUE(main.dlg().WatchTick());
    rows.WaitIdle();
  };
  tick();
  SOCKET extra = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(extra, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  const unsigned short extraPort = BoundPort(extra);
  tick();
  ASSERT_GE(Endpoint(L"UDP", extraPort, L""), 0);
  EXPECT_EQ(rows.MarkAt(Endpoint(L"UDP", extraPort, L"")), lists::Mark::New);
  EXPECT_EQ(rows.MarkAt(Endpoint(L"UDP", s.udpPort, L"")), lists::Mark::None);
  ::closesocket(extra);
  tick();
  ASSERT_GE(Endpoint(L"UDP", extraPort, L""), 0);
  EXPECT_EQ(rows.MarkAt(Endpoint(L"UDP", extraPort, L"")), lists::Mark::Gone);
  tick();
  EXPECT_EQ(Endpoint(L"UDP", extraPort, L""), -1);
  EXPECT_GE(Endpoint(L"UDP", s.udpPort, L""), 0);  // the socket that stayed
  CPortPage::SetNetworkLibrary(L"wardlet-no-such-library.dll");
  tick();  // every row gone, shown so once
  tick();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_TRUE(shell.requests.empty());
  main.dlg().SetWatchSeconds(0);
}
