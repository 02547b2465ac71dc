// Rows of the port list from synthetic endpoint tables, menu greying and remote locations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "ipdb/ipdb.h"
#include "pages/port/port_rules.h"
#include "res/resource.h"
#include "tests/host/port_test_db.h"

using namespace port;

namespace {

// Builds a table the way the system lays it out: a 32-bit count, then rows of 32-bit fields.
// Addresses and ports are given as the bytes of the field in memory order.
class CTableBytes {
 public:
  explicit CTableBytes(uint32_t count) { Native(count); }
  CTableBytes& Native(uint32_t v) {
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    bytes.insert(bytes.end(), b, b + 4);
    return *this;
  }
  CTableBytes& Raw(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    bytes.insert(bytes.end(), {b0, b1, b2, b3});
    return *this;
  }
  std::vector<uint8_t> bytes;
};

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace

TEST(PortRules, ListeningSocketOnPort80) {
  CTableBytes t(1);
  t.Native(2)                    // Listen
      .Raw(0, 0, 0, 0)           // local 0.0.0.0
      .Raw(0x00, 0x50, 0, 0)     // local port 80, high byte first
      .Raw(0, 0, 0, 0)           // remote 0.0.0.0
      .Raw(0, 0, 0, 0)           // remote port 0
      .Native(1234);
  std::vector<TcpEndpoint> tcp = ReadTcpTable(t.bytes.data(), t.bytes.size());
  ASSERT_EQ(tcp.size(), 1u);
  EXPECT_EQ(tcp[0].localPort, 80);

  std::vector<uint32_t> looked;
  RowSources sources{[&](uint32_t ip) { looked.push_back(ip); return std::wstring(L"保留地址"); },
                     [](uint32_t pid) { return std::optional<std::wstring>(L"C:\\srv\\web" + std::to_wstring(pid) + L".exe"); }};
  std::vector<RowCells> rows = BuildRows(tcp, {}, sources);
  ASSERT_EQ(rows.size(), 1u);
  RowCells expected = {L"1", L"TCP", L"1234", L"Listen", L"0.0.0.0", L"80", L"0.0.0.0", L"0",
                       L"保留地址", L"C:\\srv\\web1234.exe"};
  EXPECT_EQ(rows[0], expected);
  EXPECT_EQ(looked, std::vector<uint32_t>{0});
}

TEST(PortRules, AddressesAndPortsInNetworkByteOrder) {
  CTableBytes t(1);
  t.Native(5)
      .Raw(192, 168, 1, 20)
      .Raw(0x1F, 0x90, 0xAB, 0xCD)  // 8080; the upper half of the field is not part of the port
      .Raw(10, 0, 0, 255)
      .Raw(0xFF, 0xFF, 0, 0)        // 65535
      .Native(0xFFFFFFFEu);
  std::vector<TcpEndpoint> tcp = ReadTcpTable(t.bytes.data(), t.bytes.size());
  ASSERT_EQ(tcp.size(), 1u);
  EXPECT_EQ(tcp[0].localIp, 0xC0A80114u);
  EXPECT_EQ(tcp[0].remoteIp, 0x0A0000FFu);
  RowCells c = BuildRows(tcp, {}, {}).at(0);
  EXPECT_EQ(c[kColState], L"Established");
  EXPECT_EQ(c[kColLocalIp], L"192.168.1.20");
  EXPECT_EQ(c[kColLocalPort], L"8080");
  EXPECT_EQ(c[kColRemoteIp], L"10.0.0.255");
  EXPECT_EQ(c[kColRemotePort], L"65535");
  EXPECT_EQ(c[kColPid], L"4294967294");
  EXPECT_EQ(c[kColLocation], L"");
  EXPECT_EQ(c[kColPath], L"");

  CTableBytes u(1);
  u.Raw(127, 0, 0, 1).Raw(0x01, 0xBB, 0x12, 0x34).Native(77);
  std::vector<UdpEndpoint> udp = ReadUdpTable(u.bytes.data(), u.bytes.size());
  ASSERT_EQ(udp.size(), 1u);
  EXPECT_EQ(AddressText(udp[0].localIp), "127.0.0.1");
  EXPECT_EQ(udp[0].localPort, 443);
  EXPECT_EQ(udp[0].pid, 77u);
}

TEST(PortRules, TablesKeepOnlyTheRowsTheBufferHolds) {
  CTableBytes t(3);  // claims three rows, holds one and a half
  for (int i = 0; i < 6; ++i) t.Native(2);
  for (int i = 0; i < 3; ++i) t.Native(9);
  EXPECT_EQ(ReadTcpTable(t.bytes.data(), t.bytes.size()).size(), 1u);
  EXPECT_EQ(ReadTcpTable(t.bytes.data(), 3).size(), 0u);
  EXPECT_EQ(ReadTcpTable(nullptr, 0).size(), 0u);

  CTableBytes u(0);  // an empty table with rows behind it
  u.Raw(1, 2, 3, 4).Native(53).Native(8);
  EXPECT_EQ(ReadUdpTable(u.bytes.data(), u.bytes.size()).size(), 0u);
  CTableBytes v(2);
  v.Raw(1, 2, 3, 4).Raw(0, 53, 0, 0).Native(8).Raw(5, 6, 7, 8).Raw(0, 67, 0, 0).Native(9);
  std::vector<UdpEndpoint> udp = ReadUdpTable(v.bytes.data(), v.bytes.size());
  ASSERT_EQ(udp.size(), 2u);
  EXPECT_EQ(udp[1].localIp, 0x05060708u);
  EXPECT_EQ(udp[1].localPort, 67);
  EXPECT_EQ(udp[1].pid, 9u);
}

TEST(PortRules, StateNamesAndNumbersOutsideTheTable) {
  const wchar_t* names[] = {L"Closed",    L"Listen",     L"Sent SYN", L"Receive SYN",
                            L"Established", L"FIN Wait1", L"FIN Wait2", L"Close Wait",
                            L"Closing",   L"Last ACK",   L"Time Wait", L"Delete TCB"};
  for (uint32_t s = 1; s <= 12; ++s) EXPECT_EQ(StateText(s), names[s - 1]) << s;
  EXPECT_EQ(StateText(0), L"0");
  EXPECT_EQ(StateText(13), L"13");
  EXPECT_EQ(StateText(4294967295u), L"4294967295");
}

TEST(PortRules, AddressTexts) {
  EXPECT_EQ(AddressText(0), "0.0.0.0");
  EXPECT_EQ(AddressText(0x7F000001u), "127.0.0.1");
  EXPECT_EQ(AddressText(0xFFFFFFFFu), "255.255.255.255");
  EXPECT_EQ(AddressTextW(0x01020304u), L"1.2.3.4");
}

TEST(PortRules, UdpRowsAreNumberedOnFromTheTcpRows) {
  std::vector<TcpEndpoint> tcp(5);
  for (uint32_t i = 0; i < 5; ++i) tcp[i] = {11, 0x7F000001u, static_cast<uint16_t>(1000 + i), 0x7F000001u, 80, 0};
  std::vector<UdpEndpoint> udp = {{0, 53, 4}, {0x7F000001u, 137, 900}, {0x0A000001u, 138, 901}};
  std::map<uint32_t, std::wstring> paths = {{900, L"C:\\a b\\one.exe"}, {901, L""}};
  RowSources sources{[](uint32_t) { return std::wstring(L"somewhere"); },
                     [&](uint32_t pid) -> std::optional<std::wstring> {
                       auto it = paths.find(pid);
                       if (it == paths.end()) return std::nullopt;
                       return it->second;
                     }};
  std::vector<RowCells> rows = BuildRows(tcp, udp, sources);
  ASSERT_EQ(rows.size(), 8u);
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i][kColId], std::to_wstring(i + 1));
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(rows[i][kColProtocol], L"TCP");
    EXPECT_EQ(rows[i][kColState], L"Time Wait");
    EXPECT_EQ(rows[i][kColLocalPort], std::to_wstring(1000 + i));
    EXPECT_EQ(rows[i][kColLocation], L"somewhere");
    EXPECT_EQ(rows[i][kColPid], L"0");
    EXPECT_EQ(rows[i][kColPath], L"");
  }
  RowCells six = {L"6", L"UDP", L"4", L"", L"0.0.0.0", L"53", L"", L"", L"", L""};
  RowCells seven = {L"7", L"UDP", L"900", L"", L"127.0.0.1", L"137", L"", L"", L"", L"C:\\a b\\one.exe"};
  RowCells eight = {L"8", L"UDP", L"901", L"", L"10.0.0.1", L"138", L"", L"", L"", L""};
  EXPECT_EQ(rows[5], six);
  EXPECT_EQ(rows[6], seven);
  EXPECT_EQ(rows[7], eight);

  std::vector<RowCells> onlyUdp = BuildRows({}, udp, sources);
  ASSERT_EQ(onlyUdp.size(), 3u);
  EXPECT_EQ(onlyUdp[0][kColId], L"1");
  EXPECT_EQ(onlyUdp[2][kColId], L"3");
}

TEST(PortRules, EachOwningProcessIsAskedForItsPathOnce) {
  std::vector<TcpEndpoint> tcp = {{5, 1, 1, 2, 2, 700}, {5, 1, 3, 2, 4, 0}, {2, 1, 5, 0, 0, 700}};
  std::vector<UdpEndpoint> udp = {{1, 6, 0}, {1, 7, 800}, {1, 8, 700}, {1, 9, 800}};
  std::map<uint32_t, int> asked;
  RowSources sources{nullptr, [&](uint32_t pid) -> std::optional<std::wstring> {
                       ++asked[pid];
                       if (pid == 0) return std::nullopt;
                       return L"C:\\p" + std::to_wstring(pid) + L".exe";
                     }};
  std::vector<RowCells> rows = BuildRows(tcp, udp, sources);
  EXPECT_EQ(asked, (std::map<uint32_t, int>{{0, 1}, {700, 1}, {800, 1}}));
  std::vector<std::wstring> paths;
  for (const RowCells& r : rows) paths.push_back(r[kColPath]);
  EXPECT_EQ(paths, (std::vector<std::wstring>{L"C:\\p700.exe", L"", L"C:\\p700.exe", L"", L"C:\\p800.exe",
                                              L"C:\\p700.exe", L"C:\\p800.exe"}));
  std::vector<std::wstring> ports;
  for (const RowCells& r : rows) ports.push_back(r[kColLocalPort]);
  EXPECT_EQ(ports, (std::vector<std::wstring>{L"1", L"3", L"5", L"6", L"7", L"8", L"9"}));
}

TEST(PortRules, MenuGreyingForSystemPidsAndEmptyPaths) {
  auto greyed = [](const std::wstring& pid, const std::wstring& path) {
    std::vector<unsigned> g = PortMenuGreyed(pid, path);
    std::sort(g.begin(), g.end());
    return g;
  };
  std::vector<unsigned> none;
  std::vector<unsigned> pathOnly = {IDM_PORT_LOCATE, IDM_PORT_COPY_PATH};
  std::vector<unsigned> killOnly = {IDM_PORT_KILL};
  std::vector<unsigned> all = {IDM_PORT_LOCATE, IDM_PORT_COPY_PATH, IDM_PORT_KILL};
  EXPECT_EQ(greyed(L"1234", L"C:\\x.exe"), none);
  EXPECT_EQ(greyed(L"1234", L""), pathOnly);
  EXPECT_EQ(greyed(L"0", L"C:\\x.exe"), killOnly);
  EXPECT_EQ(greyed(L"4", L"C:\\x.exe"), killOnly);
  EXPECT_EQ(greyed(L"0", L""), all);
  EXPECT_EQ(greyed(L"4", L""), all);
  // Whole-text comparisons: other spellings of 0 and 4 are ordinary PIDs.
  EXPECT_EQ(greyed(L"40", L"p"), none);
  EXPECT_EQ(greyed(L"04", L"p"), none);
  EXPECT_EQ(greyed(L" 4", L"p"), none);
  EXPECT_EQ(greyed(L"", L"p"), none);
}

TEST(PortRules, LocationsFromASmallDatabase) {
  std::filesystem::path file = std::filesystem::temp_directory_path() / "wardlet-port-rules-QQwry.dat";
  ASSERT_TRUE(port_test::StandardDatabase().Write(file));
  CIpLocationDb db;
  EXPECT_EQ(LocationOf(db, 0), "");  // nothing loaded
  ASSERT_TRUE(db.LoadDatabase(file));
  std::filesystem::remove(file);

  EXPECT_EQ(LocationOf(db, 0), port_test::kIana + port_test::kReserved);
  EXPECT_EQ(LocationOf(db, 0x00FFFFFFu), port_test::kIana + port_test::kReserved);
  EXPECT_EQ(LocationOf(db, 0x01000080u), port_test::kBeijing + port_test::kUnicom);
  EXPECT_EQ(LocationOf(db, 0x7F000001u), port_test::kLoopback);
  EXPECT_EQ(LocationOf(db, 0x02000000u), port_test::kUnknown);  // gap between ranges
  EXPECT_EQ(LocationOf(db, 0x80000000u), port_test::kUnknown);  // above the last range
  // The dotted text of the broadcast address is what inet_addr cannot read: no location.
  EXPECT_EQ(LocationOf(db, 0xFFFFFFFFu), "");

  // The rows carry what the database gives for each remote address.
  std::vector<TcpEndpoint> tcp = {{2, 0, 80, 0, 0, 8}, {5, 0x7F000001u, 5000, 0x01000001u, 443, 8},
                                  {5, 0x7F000001u, 5001, 0x7F000001u, 5002, 8}};
  RowSources sources{[&](uint32_t ip) { return Widen(LocationOf(db, ip)); }, nullptr};
  std::vector<RowCells> rows = BuildRows(tcp, {{0, 53, 8}}, sources);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][kColLocation], Widen(port_test::kIana + port_test::kReserved));
  EXPECT_EQ(rows[1][kColLocation], Widen(port_test::kBeijing + port_test::kUnicom));
  EXPECT_EQ(rows[2][kColLocation], Widen(port_test::kLoopback));
  EXPECT_EQ(rows[3][kColLocation], L"");

  db.ReleaseDatabase();
  EXPECT_EQ(LocationOf(db, 0x7F000001u), "");
}
