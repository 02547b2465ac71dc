// Rows of the port list from synthetic endpoint tables, menu greying and remote locations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <tuple>

#include "ipdb/ipdb.h"
#include "pages/port/port_rules.h"
#include "res/resource.h"
#include "tests/host/port_test_db.h"

using namespace port;

namespace {

// One 32-bit field of a table: a number in the machine's own byte order, or four bytes in memory order.
struct Field {
  uint8_t b[4];
  Field(uint32_t v) { std::memcpy(b, &v, 4); }
  Field(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) : b{b0, b1, b2, b3} {}
};
std::vector<uint8_t> Table(std::initializer_list<Field> fields) {
  std::vector<uint8_t> bytes;
  for (const Field& f : fields) bytes.insert(bytes.end(), f.b, f.b + 4);
  return bytes;
}

}  // namespace

// Addresses and ports in network byte order, the rest in the machine's; an entry count beyond the
// buffer keeps the whole rows it holds.
TEST(PortRules, TablesReadAsTheSystemLaysThemOut) {
  const auto tcp = Table({3,  // claims three rows, holds two and a half
                          5, {192, 168, 1, 20}, {0x1F, 0x90, 0xAB, 0xCD}, {10, 0, 0, 255}, {0xFF, 0xFF, 0, 0},
                          0xFFFFFFFEu, 2, {0, 0, 0, 0}, {0x00, 0x50, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, 1234, 7, 7, 7});
  const std::vector<RowCells> tcpRows = {
      {L"1", L"TCP", L"4294967294", L"Established", L"192.168.1.20", L"8080", L"10.0.0.255", L"65535", L"", L""},
      {L"2", L"TCP", L"1234", L"Listen", L"0.0.0.0", L"80", L"0.0.0.0", L"0", L"", L""}};
  EXPECT_EQ(BuildRows(ReadTcpTable(tcp.data(), tcp.size()), {}, {}), tcpRows);
  EXPECT_EQ(ReadTcpTable(tcp.data(), 4 + 2 * kTcpRowSize - 1).size(), 1u);
  EXPECT_EQ(ReadTcpTable(tcp.data(), 3).size(), 0u);
  EXPECT_EQ(ReadTcpTable(nullptr, 0).size(), 0u);

  const auto udp = Table({2, {127, 0, 0, 1}, {0x01, 0xBB, 0x12, 0x34}, 77, {5, 6, 7, 8}, {0, 67, 0, 0}, 9});
  EXPECT_EQ(BuildRows({}, ReadUdpTable(udp.data(), udp.size()), {}),
            (std::vector<RowCells>{{L"1", L"UDP", L"77", L"", L"127.0.0.1", L"443", L"", L"", L"", L""},
                                   {L"2", L"UDP", L"9", L"", L"5.6.7.8", L"67", L"", L"", L"", L""}}));
  const auto empty = Table({0, {1, 2, 3, 4}, 53, 8});  // an empty table with a row behind it
  EXPECT_EQ(ReadUdpTable(empty.data(), empty.size()).size(), 0u);
}

TEST(PortRules, StateNamesAndNumbersOutsideTheTable) {
  const wchar_t* names[] = {L"Closed", L"Listen", L"Sent SYN", L"Receive SYN", L"Established", L"FIN Wait1",
                            L"FIN Wait2", L"Close Wait", L"Closing", L"Last ACK", L"Time Wait", L"Delete TCB"};
  for (uint32_t s = 1; s <= 12; ++s) EXPECT_EQ(StateText(s), names[s - 1]) << s;
  for (uint32_t s : {0u, 13u, 4294967295u}) EXPECT_EQ(StateText(s), std::to_wstring(s));
}

TEST(PortRules, UdpRowsAreNumberedOnFromTheTcpRowsAndEachProcessIsAskedForItsPathOnce) {
  const std::vector<TcpEndpoint> tcp = {{2, 0, 80, 0, 0, 700}, {11, 0x7F000001u, 1000, 0x0A000001u, 443, 0}};
  const std::vector<UdpEndpoint> udp = {{0, 53, 800}, {0x7F000001u, 137, 700}, {1, 9, 800}};
  std::map<uint32_t, int> asked;
  std::vector<uint32_t> located;
  const RowSources sources{[&](uint32_t ip) { located.push_back(ip); return L"at " + AddressTextW(ip); },
                           [&](uint32_t pid) -> std::optional<std::wstring> {
                             ++asked[pid];
                             if (pid == 0) return std::nullopt;
                             return L"C:\\p" + std::to_wstring(pid) + L".exe";
                           },
                           nullptr};
  const std::vector<RowCells> want = {
      {L"1", L"TCP", L"700", L"Listen", L"0.0.0.0", L"80", L"0.0.0.0", L"0", L"at 0.0.0.0", L"C:\\p700.exe"},
      {L"2", L"TCP", L"0", L"Time Wait", L"127.0.0.1", L"1000", L"10.0.0.1", L"443", L"at 10.0.0.1", L""},
      {L"3", L"UDP", L"800", L"", L"0.0.0.0", L"53", L"", L"", L"", L"C:\\p800.exe"},
      {L"4", L"UDP", L"700", L"", L"127.0.0.1", L"137", L"", L"", L"", L"C:\\p700.exe"},
      {L"5", L"UDP", L"800", L"", L"0.0.0.1", L"9", L"", L"", L"", L"C:\\p800.exe"}};
  EXPECT_EQ(BuildRows(tcp, udp, sources), want);
  EXPECT_EQ(asked, (std::map<uint32_t, int>{{0, 1}, {700, 1}, {800, 1}}));
  EXPECT_EQ(located, (std::vector<uint32_t>{0, 0x0A000001u}));
  EXPECT_EQ(BuildRows({}, udp, sources)[0][kColId], L"1");
}

TEST(PortRules, MenuGreyingForSystemPidsAndEmptyPaths) {
  const std::vector<unsigned> none, kill = {IDM_PORT_KILL}, path = {IDM_PORT_LOCATE, IDM_PORT_COPY_PATH},
                                    all = {IDM_PORT_LOCATE, IDM_PORT_COPY_PATH, IDM_PORT_KILL};
  const std::tuple<const wchar_t*, const wchar_t*, std::vector<unsigned>> cases[] = {
      {L"1234", L"C:\\x.exe", none}, {L"1234", L"", path}, {L"0", L"C:\\x.exe", kill}, {L"4", L"C:\\x.exe", kill},
      {L"0", L"", all}, {L"4", L"", all},
      // Whole-text comparisons: other spellings of 0 and 4 are ordinary PIDs.
      {L"40", L"p", none}, {L"04", L"p", none}, {L" 4", L"p", none}, {L"", L"p", none}};
  for (auto [pid, file, want] : cases) {
    std::vector<unsigned> greyed = PortMenuGreyed(pid, file);
    std::sort(greyed.begin(), greyed.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(greyed, want) << pid << "|" << file;
  }
}

TEST(PortRules, LocationsFromASmallDatabase) {
  using namespace port_test;
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "wardlet-port-rules-QQwry.dat";
  ASSERT_TRUE(StandardDatabase().Write(file));
  CIpLocationDb db;
  EXPECT_EQ(LocationOf(db, 0), "");  // nothing loaded
  ASSERT_TRUE(db.LoadDatabase(file));
  std::filesystem::remove(file);
  const std::pair<uint32_t, std::string> cases[] = {
      {0, kIana + kReserved}, {0x00FFFFFFu, kIana + kReserved}, {0x01000080u, kBeijing + kUnicom},
      {0x7F000001u, kLoopback}, {0x02000000u, kUnknown}, {0x80000000u, kUnknown},
      {0xFFFFFFFFu, ""}};  // the dotted text of the broadcast address is what inet_addr cannot read
  for (const auto& [ip, text] : cases) EXPECT_EQ(LocationOf(db, ip), text) << AddressText(ip);
  db.ReleaseDatabase();
  EXPECT_EQ(LocationOf(db, 0x7F000001u), "");
}

// The IPv6 tables: a 16-byte address and a scope for each address; the scope is written only for
// a link-local address. Their rows follow the IPv4 ones, numbered on, as TCPv6 and UDPv6.
TEST(PortRules, Ipv6TablesAndRowsAfterTheIpv4Ones) {
  std::vector<uint8_t> tcp6 = Table({2});
  auto add = [](std::vector<uint8_t>& t, std::initializer_list<uint8_t> bytes) { t.insert(t.end(), bytes); };
  auto addField = [](std::vector<uint8_t>& t, Field f) { t.insert(t.end(), f.b, f.b + 4); };
  // Row 1: fe80::1%7 port 8080 to 2001:db8::2 port 443, Established, PID 900.
  add(tcp6, {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  addField(tcp6, 7);
  addField(tcp6, {0x1F, 0x90, 0xAB, 0xCD});
  add(tcp6, {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
  addField(tcp6, 4096);  // a scope on a global address is not shown
  addField(tcp6, {0x01, 0xBB, 0, 0});
  addField(tcp6, 5);
  addField(tcp6, 900);
  // Row 2: ::1 listening on 80, from ::, with a scope the system gave it anyway.
  add(tcp6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  addField(tcp6, 4096);
  addField(tcp6, {0x00, 0x50, 0, 0});
  add(tcp6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  addField(tcp6, 0);
  addField(tcp6, 0);
  addField(tcp6, 2);
  addField(tcp6, 0);
  ASSERT_EQ(tcp6.size(), 4 + 2 * kTcp6RowSize);
  std::vector<uint8_t> udp6 = Table({1});
  add(udp6, {0xFF, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFB});
  addField(udp6, 3);
  addField(udp6, {0x14, 0xE9, 0, 0});
  addField(udp6, 77);
  ASSERT_EQ(udp6.size(), 4 + kUdp6RowSize);

  std::vector<ipdb::Ipv6Bytes> located;
  const RowSources sources{[](uint32_t) { return L"v4"; }, [](uint32_t pid) -> std::optional<std::wstring> {
                             return pid == 0 ? std::nullopt : std::optional<std::wstring>(L"p" + std::to_wstring(pid));
                           },
                           [&](const ipdb::Ipv6Bytes& ip) {
                             located.push_back(ip);
                             return L"at " + std::to_wstring(ip[15]);
                           }};
  const Ipv6Endpoints v6{ReadTcp6Table(tcp6.data(), tcp6.size()), ReadUdp6Table(udp6.data(), udp6.size())};
  const std::vector<RowCells> want = {
      {L"1", L"UDP", L"5", L"", L"0.0.0.0", L"53", L"", L"", L"", L"p5"},
      {L"2", L"TCPv6", L"900", L"Established", L"fe80::1%7", L"8080", L"2001:db8::2", L"443", L"at 2", L"p900"},
      {L"3", L"TCPv6", L"0", L"Listen", L"::1", L"80", L"::", L"0", L"at 0", L""},
      {L"4", L"UDPv6", L"77", L"", L"ff02::fb%3", L"5353", L"", L"", L"", L"p77"}};
  EXPECT_EQ(BuildRows({}, {{0, 53, 5}}, sources, v6), want);
  EXPECT_EQ(located.size(), 2u);
  // Short buffers keep the whole rows they hold.
  EXPECT_EQ(ReadTcp6Table(tcp6.data(), tcp6.size() - 1).size(), 1u);
  EXPECT_EQ(ReadUdp6Table(udp6.data(), udp6.size() - 1).size(), 0u);
  EXPECT_EQ(ReadTcp6Table(nullptr, 0).size(), 0u);
}

TEST(PortRules, DatabaseMenuItemTexts) {
  EXPECT_EQ(DatabaseItemText(L"QQwry.dat", L"2024-01-17", true), L"QQwry.dat (数据日期 2024-01-17)");
  EXPECT_EQ(DatabaseItemText(L"a.mmdb", L"", true), L"a.mmdb (数据日期不详)");
  EXPECT_EQ(DatabaseItemText(L"b.mmdb", L"2024-01-17", false), L"b.mmdb (无法读取)");
}
