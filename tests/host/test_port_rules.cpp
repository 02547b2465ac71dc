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
                           }};
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
