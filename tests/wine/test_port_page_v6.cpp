// The port page over IPv6: loopback sockets of the test process in the IPv6 tables, their cells
// and commands, and the location database chosen for each address family from the Tools menu,
// kept across a restart.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "common/settings.h"
#include "pages/port/port_rules.h"
#include "pages/process/listed_process.h"
#include "tests/host/ipdb_test_files.h"
#include "tests/host/port_test_db.h"
#include "tests/wine/port_test_files.h"
#include "tests/wine/test_util.h"
#include "ui/text.h"

namespace {

const std::wstring kSettingsKey = L"Software\\WardletTest\\PortPageV6";

unsigned short BoundPort6(SOCKET s) {
  sockaddr_in6 a{};
  int len = sizeof(a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin6_port);
}

// A listening TCP socket, a connected pair and a UDP socket on ::1; closed at the end.
struct Loopback6 {
  SOCKET listener = INVALID_SOCKET, client = INVALID_SOCKET, accepted = INVALID_SOCKET, udp = INVALID_SOCKET;
  unsigned short listenPort = 0, clientPort = 0, udpPort = 0;
  Loopback6() {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    auto* address = reinterpret_cast<sockaddr*>(&a);
    listener = ::socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    if (::bind(listener, address, sizeof(a)) != 0 || ::listen(listener, 4) != 0) return;
    listenPort = BoundPort6(listener);
    client = ::socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    a.sin6_port = htons(listenPort);
    if (::connect(client, address, sizeof(a)) != 0) return;
    clientPort = BoundPort6(client);
    accepted = ::accept(listener, nullptr, nullptr);
    udp = ::socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
    a.sin6_port = 0;
    if (::bind(udp, address, sizeof(a)) == 0) udpPort = BoundPort6(udp);
  }
  ~Loopback6() {
    for (SOCKET s : {client, accepted, listener, udp})
      if (s != INVALID_SOCKET) ::closesocket(s);
  }
};

void WriteFile(const std::wstring& name, const std::string& bytes) {
  std::ofstream(std::filesystem::path(wt::ExeDir() + name), std::ios::binary | std::ios::trunc) << bytes;
}

// ipv6wry.db: ::/64 (the unspecified and loopback addresses) is "IANA 保留地址".
std::string Ipv6Wry() {
  ipdb_test::CIpv6WryFile f;
  f.Date("20210511");
  f.Add(0, f.Put("IANA" + std::string(1, '\0') + "\xE4\xBF\x9D\xE7\x95\x99\xE5\x9C\xB0\xE5\x9D\x80" + '\0'));
  f.Add(1, f.Put(std::string("x\0y\0", 4)));
  return f.Finish();
}

// An .mmdb file: 127.0.0.0/8 is 本机 (by its Chinese name), :: and ::1 have country codes only.
std::string Mmdb() {
  using namespace ipdb_test::mm;
  ipdb_test::CMmdbFile f;
  f.InsertV4(0x7F000000, 8, f.Put(Map({{"country", Map({{"names", Names("\xE6\x9C\xAC\xE6\x9C\xBA", "Loopback")}})}})));
  ipdb::Ipv6Bytes a{};
  f.Insert(a, 128, f.Put(Map({{"country_code", Str("ZZ")}})));
  a[15] = 1;
  f.Insert(a, 128, f.Put(Map({{"country_code", Str("L6")}})));
  return f.Finish();
}

// QQwry.dat with a version record dated 2024年01月17日.
std::string Qqwry() {
  port_test::CTinyDatabase db = port_test::StandardDatabase();
  db.Add(0xFFFFFF00u, db.Record(0xFFFFFFFFu, port_test::Z("\xB4\xBF\xD5\xE6\xCD\xF8\xC2\xE7") +
                                                 port_test::Z("2024\xC4\xEA" "01\xD4\xC2" "17\xC8\xD5IP\xCA\xFD\xBE\xDD")));
  return db.Finish();
}

struct MenuItem {
  UINT id;
  std::wstring text;
  bool checked, greyed;
  bool operator==(const MenuItem&) const = default;
};
void PrintTo(const MenuItem& m, std::ostream* os) {
  *os << m.id << " \"" << ui::ToUtf8(m.text) << "\"" << (m.checked ? " checked" : "") << (m.greyed ? " greyed" : "");
}

class PortPageV6 : public ::testing::Test {
 protected:
  PortPageV6() {
    common::SetSettingsKey(kSettingsKey);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey.c_str());
  }
  ~PortPageV6() override {
    main.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\WardletTest");
    common::SetSettingsKey(L"");
  }
  void SetUp() override { ASSERT_TRUE(s.accepted != INVALID_SOCKET && s.udpPort != 0) << "IPv6 loopback sockets"; }
  CPortPage& Page() { return main->dlg().m_portPage; }
  const ui::CListCtrl& List() { return Page().List(); }
  void Restart() {
    main.reset();
    main = std::make_unique<wt::MainDialog>();
    main->SelectTab(5);
  }
  int Endpoint(const wchar_t* protocol, unsigned short localPort, const std::wstring& remotePort) {
    const ui::CListCtrl& list = List();
    for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
      auto cell = [&](int column) { return list.GetItemText(i, column); };
      if (cell(port::kColProtocol) == protocol && cell(port::kColLocalIp) == L"::1" &&
          cell(port::kColLocalPort) == std::to_wstring(localPort) && cell(port::kColRemotePort) == remotePort)
        return i;
    }
    return -1;
  }
  std::wstring LocationOf(const wchar_t* protocol, unsigned short localPort, const std::wstring& remotePort) {
    const int row = Endpoint(protocol, localPort, remotePort);
    return row < 0 ? L"(no row)" : List().GetItemText(row, port::kColLocation);
  }
  // The Tools menu's location-database submenu as it shows when opened.
  std::vector<MenuItem> DatabaseMenu() {
    HWND dlg = main->dlg().GetSafeHwnd();
    HMENU tools = ::GetSubMenu(::GetMenu(dlg), 1);
    HMENU popup = ::GetSubMenu(tools, ::GetMenuItemCount(tools) - 1);
    wchar_t label[64] = {};
    ::GetMenuStringW(tools, ::GetMenuItemCount(tools) - 1, label, 64, MF_BYPOSITION);
    EXPECT_STREQ(label, L"位置数据库");
    ::SendMessageW(dlg, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(2, FALSE));
    std::vector<MenuItem> items;
    for (int i = 0, n = ::GetMenuItemCount(popup); i < n; ++i) {
      wchar_t text[256] = {};
      ::GetMenuStringW(popup, i, text, 256, MF_BYPOSITION);
      const UINT state = ::GetMenuState(popup, i, MF_BYPOSITION);
      if (state & MF_SEPARATOR) continue;
      items.push_back({::GetMenuItemID(popup, i), text, (state & MF_CHECKED) != 0, (state & MF_GRAYED) != 0});
    }
    return items;
  }
  void Choose(UINT id) {
    main->dlg().SendMessage(WM_COMMAND, id, 0);
    Page().Records().WaitIdle();
  }

  port_test::DatabasesAside aside;
  Loopback6 s;
  wt::MessageLog messages;
  wt::ShellLog shell;
  std::unique_ptr<wt::MainDialog> main = std::make_unique<wt::MainDialog>();
};

}  // namespace

TEST_F(PortPageV6, ListsIpv6LoopbackSocketsAfterTheIpv4RowsWithTheirCellsAndCommands) {
  WriteFile(L"ipv6wry.db", Ipv6Wry());
  main->SelectTab(5);
  const ui::CListCtrl& list = List();
  const std::wstring listenPort = std::to_wstring(s.listenPort);
  struct Expect { const wchar_t* protocol; unsigned short port; std::wstring remotePort, state, remoteIp, location; };
  const std::wstring reserved = L"IANA 保留地址";
  const Expect expects[] = {{L"TCPv6", s.listenPort, L"0", L"Listen", L"::", reserved},
                            {L"TCPv6", s.clientPort, listenPort, L"Established", L"::1", reserved},
                            {L"TCPv6", s.listenPort, std::to_wstring(s.clientPort), L"Established", L"::1", reserved},
                            {L"UDPv6", s.udpPort, L"", L"", L"", L""}};
  for (const Expect& e : expects) {
    const int row = Endpoint(e.protocol, e.port, e.remotePort);
    ASSERT_GE(row, 0) << ui::ToUtf8(e.protocol) << " " << e.port;
    auto cells = wt::RowTexts(list, row);
    EXPECT_EQ(cells[port::kColState] + L"|" + cells[port::kColRemoteIp] + L"|" + cells[port::kColLocation],
              e.state + L"|" + e.remoteIp + L"|" + e.location);
    if (cells[port::kColPid] == std::to_wstring(::GetCurrentProcessId()))
      EXPECT_TRUE(wt::SamePath(cells[port::kColPath], wt::OwnPath())) << ui::ToUtf8(cells[port::kColPath]);
    else
      EXPECT_EQ(cells[port::kColPid] + L"|" + cells[port::kColPath], L"0|");
  }
  // Numbered from 1 without a gap; the IPv4 rows (TCP, then UDP) come first, then TCPv6, then UDPv6.
  const wchar_t* order[] = {L"TCP", L"UDP", L"TCPv6", L"UDPv6"};
  int rank = 0;
  for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
    EXPECT_EQ(list.GetItemText(i, port::kColId), std::to_wstring(i + 1));
    const std::wstring protocol = list.GetItemText(i, port::kColProtocol);
    while (rank < 4 && protocol != order[rank]) ++rank;
    ASSERT_LT(rank, 4) << "row " << i << " (" << ui::ToUtf8(protocol) << ") is out of order";
  }
  // Sorted by the remote address: every IPv4 row before the IPv6 ones, "::" before "::1", the
  // rows without a remote address last; the listed order is back after a third click.
  Page().Records().SortBy(port::kColRemoteIp, false);
  int lastKind = 0;  // 1: IPv4, 2: "::", 3: "::1", 4: empty
  for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
    const std::wstring ip = list.GetItemText(i, port::kColRemoteIp);
    const int kind = ip.empty() ? 4 : ip == L"::" ? 2 : ip == L"::1" ? 3 : ip.find(L':') == std::wstring::npos ? 1 : 0;
    if (kind == 0) continue;  // another IPv6 address of the prefix
    EXPECT_LE(lastKind, kind) << "row " << i << ": " << ui::ToUtf8(ip);
    lastKind = kind;
  }
  EXPECT_EQ(lastKind, 4);
  Page().Records().SortBy(-1, false);

  // The row menu's commands take the record of an IPv6 row as of any other.
  const int udp = Endpoint(L"UDPv6", s.udpPort, L"");
  ASSERT_GE(udp, 0);
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  auto rec = std::make_shared<port::PortRecord>();
  rec->cells = Page().Records().RecordAt(udp)->cells;
  rec->cells[port::kColPath] = L"C:\\Wardlet Test\\v6.exe";
  rec->cells[port::kColPid] = std::to_wstring(child.pid());
  rec->owner = process::ListProcess(child.pid());
  rec->key = L"v6 row";
  Page().Records().Replace({rec});
  wt::MenuChooser menu;
  wt::RunRowCommand(Page(), list, 0, IDM_PORT_COPY_PATH, &menu);
  EXPECT_EQ(wt::ClipboardText(), L"C:\\Wardlet Test\\v6.exe");
  wt::RunRowCommand(Page(), list, 0, IDM_PORT_KILL, &menu);
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 5000), WAIT_OBJECT_0);
  Page().Records().WaitIdle();
  EXPECT_GE(Endpoint(L"UDPv6", s.udpPort, L""), 0);  // refreshed, and our own socket is still there
}

TEST_F(PortPageV6, TheDatabaseChosenForEachFamilySetsTheLocationsAndSurvivesARestart) {
  WriteFile(L"QQwry.dat", Qqwry());
  WriteFile(L"ipv6wry.db", Ipv6Wry());
  WriteFile(L"x.mmdb", Mmdb());
  WriteFile(L"broken.mmdb", "not a database");
  main->SelectTab(5);
  EXPECT_EQ(LocationOf(L"TCPv6", s.clientPort, std::to_wstring(s.listenPort)), L"IANA 保留地址");
  EXPECT_TRUE(messages.entries.empty());  // QQwry.dat is there
  const std::vector<MenuItem> defaults = {
      {0, L"IPv4 地址用:", false, true},
      {IDM_LOCDB_V4_FIRST, L"QQwry.dat (数据日期 2024-01-17)", true, false},
      {IDM_LOCDB_V4_FIRST + 1, L"broken.mmdb (无法读取)", false, true},
      {IDM_LOCDB_V4_FIRST + 2, L"x.mmdb (数据日期 2023-11-14)", false, false},
      {0, L"IPv6 地址用:", false, true},
      {IDM_LOCDB_V6_FIRST, L"ipv6wry.db (数据日期 2021-05-11)", true, false},
      {IDM_LOCDB_V6_FIRST + 1, L"broken.mmdb (无法读取)", false, true},
      {IDM_LOCDB_V6_FIRST + 2, L"x.mmdb (数据日期 2023-11-14)", false, false}};
  EXPECT_EQ(DatabaseMenu(), defaults);

  // The .mmdb file for both families: its names and codes replace the other files' texts.
  Choose(IDM_LOCDB_V4_FIRST + 2);
  Choose(IDM_LOCDB_V6_FIRST + 2);
  EXPECT_EQ(LocationOf(L"TCPv6", s.clientPort, std::to_wstring(s.listenPort)), L"L6");
  EXPECT_EQ(LocationOf(L"TCPv6", s.listenPort, L"0"), L"ZZ");
  EXPECT_EQ(common::ReadSettingText(port::kIpv4DatabaseSetting), L"x.mmdb");
  EXPECT_EQ(common::ReadSettingText(port::kIpv6DatabaseSetting), L"x.mmdb");
  // An IPv4 loopback connection is located by the chosen IPv4 database.
  SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof(a);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  ::listen(listener, 1);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  const std::wstring v4Listen = std::to_wstring(ntohs(a.sin_port));
  auto v4Location = [&] {
    const int row = wt::FindRow(List(), port::kColRemotePort, v4Listen);
    return row < 0 ? std::wstring(L"(no row)") : List().GetItemText(row, port::kColLocation);
  };
  Page().RefreshConnectionTableNow();
  EXPECT_EQ(v4Location(), L"本机");

  // A restart reads the choice back.
  Restart();
  EXPECT_EQ(LocationOf(L"TCPv6", s.clientPort, std::to_wstring(s.listenPort)), L"L6");
  EXPECT_EQ(v4Location(), L"本机");
  std::vector<MenuItem> chosen = defaults;
  chosen[1].checked = chosen[5].checked = false;
  chosen[3].checked = chosen[7].checked = true;
  EXPECT_EQ(DatabaseMenu(), chosen);

  // A chosen file that goes away gives way to the defaults; the choice itself is kept.
  ::DeleteFileW((wt::ExeDir() + L"x.mmdb").c_str());
  Page().RefreshConnectionTableNow();
  EXPECT_EQ(v4Location(), L"本机地址");
  EXPECT_EQ(LocationOf(L"TCPv6", s.clientPort, std::to_wstring(s.listenPort)), L"IANA 保留地址");
  EXPECT_EQ(common::ReadSettingText(port::kIpv4DatabaseSetting), L"x.mmdb");
  EXPECT_TRUE(messages.entries.empty());
  ::closesocket(client);
  ::closesocket(listener);
}

TEST_F(PortPageV6, TheSubmenuSaysSoWhenNoDatabaseIsBesideTheProgram) {
  EXPECT_EQ(DatabaseMenu(), (std::vector<MenuItem>{{IDM_LOCDB_NONE, L"(程序目录下没有位置数据库文件)", false, true}}));
  Choose(IDM_LOCDB_NONE);
  Choose(IDM_LOCDB_V4_FIRST + 5);  // no item of that number: nothing is kept
  EXPECT_EQ(common::ReadSettingText(port::kIpv4DatabaseSetting, L"(none)"), L"(none)");
}
