// The port page: loopback sockets in the real table, the location database beside the program,
// the row menu and its commands, and the failures of the network-information library.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/shell_rules.h"
#include "pages/port/port_rules.h"
#include "tests/host/port_test_db.h"
#include "tests/wine/test_util.h"
#include "ui/text.h"

namespace {

std::wstring DatabasePath() { return wt::ExeDir() + L"QQwry.dat"; }

// Keeps any QQwry.dat beside the test binary out of the way while a test runs.
class DatabaseAside {
 public:
  DatabaseAside() {
    m_moved = ::MoveFileExW(DatabasePath().c_str(), Aside().c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  }
  ~DatabaseAside() {
    ::DeleteFileW(DatabasePath().c_str());
    if (m_moved) ::MoveFileW(Aside().c_str(), DatabasePath().c_str());
  }
  DatabaseAside(const DatabaseAside&) = delete;
  DatabaseAside& operator=(const DatabaseAside&) = delete;

 private:
  static std::wstring Aside() { return DatabasePath() + L".wardlet-aside"; }
  bool m_moved = false;
};

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
    listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || ::listen(listener, 4) != 0) return;
    listenPort = BoundPort(listener);
    client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    a.sin_port = htons(listenPort);
    if (::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) return;
    clientPort = BoundPort(client);
    accepted = ::accept(listener, nullptr, nullptr);
    udp = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    a.sin_port = 0;
    if (::bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) return;
    udpPort = BoundPort(udp);
  }
  ~LoopbackSockets() {
    for (SOCKET s : {client, accepted, listener, udp})
      if (s != INVALID_SOCKET) ::closesocket(s);
  }
  bool ready() const { return accepted != INVALID_SOCKET && udpPort != 0; }
};

// The row of an endpoint: protocol, local address and port, and for TCP the remote port.
int FindEndpoint(const ui::CListCtrl& list, const std::wstring& protocol, unsigned short localPort,
                 const std::wstring& remotePort = L"") {
  for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
    if (list.GetItemText(i, port::kColProtocol) == protocol && list.GetItemText(i, port::kColLocalIp) == L"127.0.0.1" &&
        list.GetItemText(i, port::kColLocalPort) == std::to_wstring(localPort) &&
        list.GetItemText(i, port::kColRemotePort) == remotePort)
      return i;
  }
  return -1;
}

std::wstring OwnExePath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// Which PID and path the system reported for a row; printed once so that a run shows it.
void NoteOwner(const char* what, const std::vector<std::wstring>& cells) {
  std::printf("[ port     ] %s: PID %ls, path \"%ls\"\n", what, cells[port::kColPid].c_str(),
              cells[port::kColPath].c_str());
}

// The PID cell is either our own process, with our executable as path, or a PID the system
// reports without an owner (0), with no path.
void ExpectOwnedByUsOrUnowned(const std::vector<std::wstring>& cells) {
  const std::wstring& pid = cells[port::kColPid];
  if (pid == std::to_wstring(::GetCurrentProcessId())) {
    EXPECT_TRUE(_wcsicmp(cells[port::kColPath].c_str(), OwnExePath().c_str()) == 0) << cells[port::kColPath];
  } else {
    EXPECT_EQ(pid, L"0");
    EXPECT_EQ(cells[port::kColPath], L"");
  }
}

class PortPage : public ::testing::Test {
 protected:
  void SetUp() override { CPortPage::SetNetworkLibrary(L"iphlpapi.dll"); }
  void TearDown() override { CPortPage::SetNetworkLibrary(L"iphlpapi.dll"); }

  CPortPage& page() { return m_main.dlg().m_portPage; }
  const ui::CListCtrl& list() { return page().List(); }
  void Refresh() { page().SendMessage(WM_COMMAND, IDM_PORT_REFRESH, 0); }

  DatabaseAside m_aside;
  wt::MessageLog m_messages;
  wt::ShellLog m_shell;
  wt::MainDialog m_main;
};

}  // namespace

TEST_F(PortPage, ListsLoopbackSocketsWithStatesAddressesAndPorts) {
  LoopbackSockets s;
  ASSERT_TRUE(s.ready());
  m_main.SelectTab(5);
  ASSERT_TRUE(page().IsWindowVisible());
  ASSERT_GT(list().GetItemCount(), 0);
  EXPECT_EQ(list().GetColumnCount(), 10);

  int listen = FindEndpoint(list(), L"TCP", s.listenPort, L"0");
  ASSERT_GE(listen, 0);
  auto cells = wt::RowTexts(list(), listen);
  EXPECT_EQ(cells[port::kColState], L"Listen");
  EXPECT_EQ(cells[port::kColRemoteIp], L"0.0.0.0");
  NoteOwner("listening TCP socket", cells);
  ExpectOwnedByUsOrUnowned(cells);

  int client = FindEndpoint(list(), L"TCP", s.clientPort, std::to_wstring(s.listenPort));
  int server = FindEndpoint(list(), L"TCP", s.listenPort, std::to_wstring(s.clientPort));
  ASSERT_GE(client, 0);
  ASSERT_GE(server, 0);
  for (int row : {client, server}) {
    cells = wt::RowTexts(list(), row);
    EXPECT_EQ(cells[port::kColState], L"Established");
    EXPECT_EQ(cells[port::kColRemoteIp], L"127.0.0.1");
    ExpectOwnedByUsOrUnowned(cells);
  }
  NoteOwner("connected TCP socket", cells);

  int udp = FindEndpoint(list(), L"UDP", s.udpPort);
  ASSERT_GE(udp, 0);
  cells = wt::RowTexts(list(), udp);
  for (int c : {port::kColState, port::kColRemoteIp, port::kColRemotePort, port::kColLocation}) {
    EXPECT_EQ(cells[c], L"") << c;
  }
  NoteOwner("UDP socket", cells);
  ExpectOwnedByUsOrUnowned(cells);

  // Ids run from 1 without gaps; every TCP row comes before every UDP row.
  int firstUdp = -1;
  for (int i = 0, n = list().GetItemCount(); i < n; ++i) {
    EXPECT_EQ(list().GetItemText(i, port::kColId), std::to_wstring(i + 1));
    std::wstring protocol = list().GetItemText(i, port::kColProtocol);
    if (protocol == L"UDP" && firstUdp < 0) firstUdp = i;
    if (firstUdp >= 0) {
      EXPECT_EQ(protocol, L"UDP") << i;
    }
  }
  EXPECT_GT(firstUdp, 0);
}

TEST_F(PortPage, MissingDatabaseIsReportedAndTheDownloadPageOpenedAtEveryRefresh) {
  LoopbackSockets s;
  ASSERT_TRUE(s.ready());
  m_main.SelectTab(5);
  Refresh();
  m_main.SelectTab(0);
  m_main.SelectTab(5);
  ASSERT_EQ(m_messages.entries.size(), 3u);
  for (const auto& m : m_messages.entries) {
    EXPECT_EQ(m.text, L"没有找到QQwry.dat\r\n请将QQwry.dat数据库文件放于本程序目录下!\r\n\r\n程序将自动打开QQwry.dat下载页面");
    EXPECT_EQ(m.caption, L"提示");
    EXPECT_EQ(m.style, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(m.owner, page().GetSafeHwnd());
  }
  ASSERT_EQ(m_shell.requests.size(), 3u);
  for (const auto& r : m_shell.requests) {
    EXPECT_EQ(r.verb, L"open");
    EXPECT_EQ(r.file, port::kDownloadPage);
    EXPECT_EQ(r.parameters, L"");
    EXPECT_EQ(r.show, SW_SHOWMAXIMIZED);
    EXPECT_FALSE(r.properties);
  }
  // The table is filled all the same, without locations.
  int listen = FindEndpoint(list(), L"TCP", s.listenPort, L"0");
  ASSERT_GE(listen, 0);
  EXPECT_EQ(list().GetItemText(listen, port::kColLocation), L"");
}

TEST_F(PortPage, LocationsComeFromTheDatabaseBesideTheProgram) {
  LoopbackSockets s;
  ASSERT_TRUE(s.ready());
  ASSERT_TRUE(port_test::StandardDatabase().Write(std::filesystem::path(DatabasePath())));
  m_main.SelectTab(5);
  EXPECT_TRUE(m_messages.entries.empty());
  EXPECT_TRUE(m_shell.requests.empty());
  int listen = FindEndpoint(list(), L"TCP", s.listenPort, L"0");
  int client = FindEndpoint(list(), L"TCP", s.clientPort, std::to_wstring(s.listenPort));
  ASSERT_GE(listen, 0);
  ASSERT_GE(client, 0);
  EXPECT_EQ(list().GetItemText(listen, port::kColLocation), L"IANA保留地址");
  EXPECT_EQ(list().GetItemText(client, port::kColLocation), L"本机地址");

  // Once the file is gone, the message comes back, and the contents already read stay in use.
  ASSERT_TRUE(::DeleteFileW(DatabasePath().c_str()));
  Refresh();
  EXPECT_EQ(m_messages.entries.size(), 1u);
  EXPECT_EQ(m_shell.requests.size(), 1u);
  client = FindEndpoint(list(), L"TCP", s.clientPort, std::to_wstring(s.listenPort));
  ASSERT_GE(client, 0);
  EXPECT_EQ(list().GetItemText(client, port::kColLocation), L"本机地址");
}

TEST_F(PortPage, NetworkLibraryMissingOrWithoutTheTables) {
  LoopbackSockets s;
  ASSERT_TRUE(s.ready());
  m_main.SelectTab(5);
  ASSERT_GT(list().GetItemCount(), 0);
  m_messages.entries.clear();

  CPortPage::SetNetworkLibrary(L"wardlet-no-such-library.dll");
  Refresh();
  EXPECT_EQ(list().GetItemCount(), 0);
  ASSERT_EQ(m_messages.entries.size(), 2u);  // the database's message, then the library's
  EXPECT_EQ(m_messages.entries[1].text, L"定位iphlpapi.dll失败!");
  EXPECT_EQ(m_messages.entries[1].caption, L"哦豁,出错了");
  EXPECT_EQ(m_messages.entries[1].style, static_cast<UINT>(MB_ICONERROR));

  CPortPage::SetNetworkLibrary(L"version.dll");  // loads, but has neither table function
  Refresh();
  EXPECT_EQ(list().GetItemCount(), 0);
  ASSERT_EQ(m_messages.entries.size(), 4u);
  EXPECT_EQ(m_messages.entries[3].text, port::kTablesMissingText);
  EXPECT_EQ(m_messages.entries[3].caption, L"哦豁,出错了");
  EXPECT_EQ(m_messages.entries[3].style, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(PortPage, RowMenuGreysByThePidAndPathCells) {
  LoopbackSockets s;
  ASSERT_TRUE(s.ready());
  m_main.SelectTab(5);
  int listen = FindEndpoint(list(), L"TCP", s.listenPort, L"0");
  ASSERT_GE(listen, 0);
  wt::MenuChooser menu;
  wt::RunRowCommand(page().GetSafeHwnd(), list(), listen, 0, &menu);
  ASSERT_EQ(menu.opened, 1);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_PORT));
  EXPECT_EQ(menu.items, (std::vector<UINT>{IDM_PORT_REFRESH, IDM_PORT_KILL, IDM_PORT_COPY_PATH, IDM_PORT_LOCATE}));
  // The greying follows whatever the row's cells say.
  const std::wstring pid = list().GetItemText(listen, port::kColPid);
  const bool emptyPath = list().GetItemText(listen, port::kColPath).empty();
  EXPECT_EQ(menu.IsGreyed(IDM_PORT_KILL), pid == L"0" || pid == L"4");
  EXPECT_EQ(menu.IsGreyed(IDM_PORT_COPY_PATH), emptyPath);
  EXPECT_EQ(menu.IsGreyed(IDM_PORT_LOCATE), emptyPath);
  EXPECT_FALSE(menu.IsGreyed(IDM_PORT_REFRESH));

  struct Case {
    const wchar_t* pid;
    const wchar_t* path;
    bool kill, copy;
  } cases[] = {{L"0", L"", true, true}, {L"4", L"C:\\Windows\\System32\\svchost.exe", true, false},
               {L"1234", L"", false, true}, {L"1234", L"C:\\Program Files\\a.exe", false, false}};
  for (const Case& c : cases) {
    list().SetItemText(listen, port::kColPid, c.pid);
    list().SetItemText(listen, port::kColPath, c.path);
    wt::RunRowCommand(page().GetSafeHwnd(), list(), listen, 0, &menu);
    EXPECT_EQ(menu.IsGreyed(IDM_PORT_KILL), c.kill) << c.pid << L" " << c.path;
    EXPECT_EQ(menu.IsGreyed(IDM_PORT_COPY_PATH), c.copy) << c.pid << L" " << c.path;
    EXPECT_EQ(menu.IsGreyed(IDM_PORT_LOCATE), c.copy) << c.pid << L" " << c.path;
  }

  // A right click below the rows opens no menu.
  wt::RightClickRow(page().GetSafeHwnd(), list(), -1);
  EXPECT_EQ(menu.opened, 5);
}

TEST_F(PortPage, CopyAndLocateTakeThePathCell) {
  LoopbackSockets s;
  ASSERT_TRUE(s.ready());
  m_main.SelectTab(5);
  int udp = FindEndpoint(list(), L"UDP", s.udpPort);
  ASSERT_GE(udp, 0);
  const std::wstring path = L"C:\\Program Files\\Wardlet Test\\holder.exe";
  list().SetItemText(udp, port::kColPath, path);
  m_messages.entries.clear();

  wt::RunRowCommand(page().GetSafeHwnd(), list(), udp, IDM_PORT_COPY_PATH);
  ASSERT_EQ(m_messages.entries.size(), 1u);
  EXPECT_EQ(m_messages.entries[0].text, L"文件路径已复制到剪贴板!");
  EXPECT_EQ(m_messages.entries[0].caption, L"提示");
  ASSERT_TRUE(::OpenClipboard(nullptr));
  HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  std::wstring copied = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
  if (data) ::GlobalUnlock(data);
  ::CloseClipboard();
  EXPECT_EQ(copied, path);

  m_shell.requests.clear();
  wt::RunRowCommand(page().GetSafeHwnd(), list(), udp, IDM_PORT_LOCATE);
  ASSERT_EQ(m_shell.requests.size(), 1u);
  EXPECT_EQ(m_shell.requests[0].file, L"Explorer.exe");
  EXPECT_EQ(m_shell.requests[0].parameters, common::ExplorerSelectArgument(path));
  EXPECT_EQ(m_shell.requests[0].show, SW_SHOWMAXIMIZED);
}

TEST_F(PortPage, EndProcessEndsThePidOfTheRowAndRefreshes) {
  LoopbackSockets s;
  ASSERT_TRUE(s.ready());
  m_main.SelectTab(5);
  const int rows = list().GetItemCount();
  ASSERT_GT(rows, 0);
  wt::Child child(L"\"" + wt::ExeDir() + L"wardlet_child.exe\"");
  ASSERT_TRUE(child.started());
  // A row as the system would show it for a socket of the child.
  int row = list().InsertItem(rows, std::to_wstring(rows + 1));
  list().SetItemText(row, port::kColProtocol, L"UDP");
  list().SetItemText(row, port::kColPid, std::to_wstring(child.pid()));
  m_messages.entries.clear();

  wt::RunRowCommand(page().GetSafeHwnd(), list(), row, IDM_PORT_KILL);
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeProcess(child.pi.hProcess, &code);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(wt::FindRow(list(), port::kColPid, std::to_wstring(child.pid())), -1);  // refreshed
  for (const auto& m : m_messages.entries) EXPECT_NE(m.text, L"进程结束失败!");

  // A row whose process cannot be opened (PID 0) reports the failure and still refreshes.
  int listen = FindEndpoint(list(), L"TCP", s.listenPort, L"0");
  ASSERT_GE(listen, 0);
  list().SetItemText(listen, port::kColPid, L"0");
  list().SetItemText(listen, port::kColState, L"marker");
  m_messages.entries.clear();
  wt::RunRowCommand(page().GetSafeHwnd(), list(), listen, IDM_PORT_KILL);
  EXPECT_TRUE(m_messages.Has(L"进程结束失败!"));
  EXPECT_EQ(wt::FindRow(list(), port::kColState, L"marker"), -1);
}
