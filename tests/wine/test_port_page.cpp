// The port page: loopback sockets in the real table, the location database beside the program,
// the failures of the network-information library and the row menu's commands.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <filesystem>

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
  void Refresh() { page.SendMessage(WM_COMMAND, IDM_PORT_REFRESH, 0); }
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

  // Each refresh, by the menu or by coming back to the tab, reports the missing database and
  // opens its download page.
  Refresh();
  main.SelectTab(0);
  main.SelectTab(5);
  const auto missing = Shown(L"没有找到QQwry.dat\r\n请将QQwry.dat数据库文件放于本程序目录下!\r\n\r\n程序将自动打开QQwry.dat下载页面",
                             L"提示", MB_ICONINFORMATION);
  EXPECT_EQ(messages.entries, wt::Messages(3, missing));
  ASSERT_EQ(shell.requests.size(), 3u);
  for (const auto& r : shell.requests) {
    EXPECT_EQ(r.verb + L" " + r.file + L" " + r.parameters, L"open https://www.cz88.net/ ");
    EXPECT_TRUE(r.show == SW_SHOWMAXIMIZED && !r.properties);
  }
  // The database beside the program gives the locations; once it is gone the message comes back
  // and the contents already read stay in use.
  ASSERT_TRUE(port_test::StandardDatabase().Write(std::filesystem::path(DatabasePath())));
  Refresh();
  EXPECT_EQ(list.GetItemText(Endpoint(L"TCP", s.listenPort, L"0"), port::kColLocation), L"IANA保留地址");
  EXPECT_EQ(list.GetItemText(Endpoint(L"TCP", s.clientPort, listenPort), port::kColLocation), L"本机地址");
  ASSERT_TRUE(::DeleteFileW(DatabasePath().c_str()));
  Refresh();
  EXPECT_EQ(list.GetItemText(Endpoint(L"TCP", s.clientPort, listenPort), port::kColLocation), L"本机地址");
  EXPECT_EQ(messages.entries, wt::Messages(4, missing));
  EXPECT_EQ(shell.requests.size(), 4u);

  // A network library that is missing, or that lacks the table functions, leaves the list empty.
  messages.entries.clear();
  CPortPage::SetNetworkLibrary(L"wardlet-no-such-library.dll");
  Refresh();
  EXPECT_EQ(list.GetItemCount(), 0);
  CPortPage::SetNetworkLibrary(L"version.dll");
  Refresh();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(messages.entries, (wt::Messages{missing, Shown(L"定位iphlpapi.dll失败!", L"哦豁,出错了", MB_ICONERROR),
                                            missing, Shown(port::kTablesMissingText, L"哦豁,出错了", MB_ICONERROR)}));
}

// The menu greys "end process" by the PID cell and the file commands by the path cell; the
// commands take those cells.
TEST_F(PortPage, RowMenuAndItsCommandsTakeThePidAndPathCells) {
  main.SelectTab(5);
  const int udp = Endpoint(L"UDP", s.udpPort, L"");
  ASSERT_GE(udp, 0);
  wt::MenuChooser menu;
  const std::wstring path = L"C:\\Program Files\\Wardlet Test\\holder.exe";
  struct Case { const wchar_t* pid; std::wstring path; std::vector<UINT> greyed; } cases[] = {
      {L"0", path, {IDM_PORT_KILL}}, {L"1234", L"", {IDM_PORT_COPY_PATH, IDM_PORT_LOCATE}}};
  for (const Case& c : cases) {
    list.SetItemText(udp, port::kColPid, c.pid);
    list.SetItemText(udp, port::kColPath, c.path);
    wt::RunRowCommand(page, list, udp, 0, &menu);
    EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_PORT));
    EXPECT_EQ(menu.greyed, c.greyed) << c.pid;
  }

  list.SetItemText(udp, port::kColPath, path);
  messages.entries.clear();
  shell.requests.clear();
  wt::RunRowCommand(page, list, udp, IDM_PORT_COPY_PATH, &menu);
  EXPECT_EQ(messages.entries, wt::Messages{Shown(L"文件路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION)});
  EXPECT_EQ(wt::ClipboardText(), path);
  wt::RunRowCommand(page, list, udp, IDM_PORT_LOCATE, &menu);
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].parameters, common::ExplorerSelectArgument(path));
  EXPECT_EQ(shell.requests[0].show, SW_SHOWMAXIMIZED);

  // "End process" ends the row's PID and refreshes, but only when the PID still names the process
  // the row listed (its creation time, taken at the refresh): a row whose process has since made
  // way for another ends nothing, says so and refreshes. (The system here gives owners as PID 0,
  // so the row is given the child as its owner.)
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  list.SetItemText(udp, port::kColPid, std::to_wstring(child.pid()));
  const process::ListedProcess owner = process::ListProcess(child.pid());
  ASSERT_NE(owner.created, 0u);
  page.RowOwners().Set(udp, {owner.pid, owner.created - 1});
  messages.entries.clear();
  wt::RunRowCommand(page, list, udp, IDM_PORT_KILL, &menu);
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_FALSE(messages.entries.empty());  // then the refresh's own messages
  EXPECT_EQ(messages.entries[0], Shown(process::kProcessGoneText, L"提示", MB_ICONINFORMATION));
  EXPECT_FALSE(messages.Has(L"进程结束失败!"));
  EXPECT_EQ(wt::FindRow(list, port::kColPath, path), -1);  // refreshed

  const int again = Endpoint(L"UDP", s.udpPort, L"");
  ASSERT_GE(again, 0);
  list.SetItemText(again, port::kColPid, std::to_wstring(child.pid()));
  list.SetItemText(again, port::kColPath, path);
  page.RowOwners().Set(again, owner);
  messages.entries.clear();
  wt::RunRowCommand(page, list, again, IDM_PORT_KILL, &menu);
  ASSERT_EQ(::WaitForSingleObject(child.pi.hProcess, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeProcess(child.pi.hProcess, &code);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(wt::FindRow(list, port::kColPath, path), -1);  // refreshed
  EXPECT_FALSE(messages.Has(L"进程结束失败!"));
}
