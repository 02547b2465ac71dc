// Platform-free rules of the connection table: the endpoint tables as the system delivers them,
// the cell texts of each row, the numbering across TCP and UDP, and the greying of the row menu.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ipdb/ipv6_address.h"

class CIpLocationDb;

namespace port {

// Columns of the port list.
enum Column {
  kColId,
  kColProtocol,
  kColPid,
  kColState,
  kColLocalIp,
  kColLocalPort,
  kColRemoteIp,
  kColRemotePort,
  kColLocation,
  kColPath,
  kColumnCount
};

// One TCP endpoint; addresses in host order (1.2.3.4 is 0x01020304), ports as numbers.
struct TcpEndpoint {
  uint32_t state = 0;
  uint32_t localIp = 0;
  uint16_t localPort = 0;
  uint32_t remoteIp = 0;
  uint16_t remotePort = 0;
  uint32_t pid = 0;
};

struct UdpEndpoint {
  uint32_t localIp = 0;
  uint16_t localPort = 0;
  uint32_t pid = 0;
};

// IPv6 endpoints: addresses as their 16 bytes with the scope identifier of each.
struct Tcp6Endpoint {
  uint32_t state = 0;
  ipdb::Ipv6Bytes localIp{};
  uint32_t localScope = 0;
  uint16_t localPort = 0;
  ipdb::Ipv6Bytes remoteIp{};
  uint32_t remoteScope = 0;
  uint16_t remotePort = 0;
  uint32_t pid = 0;
};

struct Udp6Endpoint {
  ipdb::Ipv6Bytes localIp{};
  uint32_t localScope = 0;
  uint16_t localPort = 0;
  uint32_t pid = 0;
};

// Row sizes of the owner-PID tables: six and three 32-bit fields after a 32-bit entry count; the
// IPv6 rows add a 16-byte address and a scope for each address.
constexpr size_t kTcpRowSize = 24;
constexpr size_t kUdpRowSize = 12;
constexpr size_t kTcp6RowSize = 56;
constexpr size_t kUdp6RowSize = 28;

// Reads a table laid out as the system delivers it (addresses and ports in network byte order,
// the other fields in the machine's own). An entry count beyond the buffer keeps the rows that
// fit.
std::vector<TcpEndpoint> ReadTcpTable(const void* table, size_t size);
std::vector<UdpEndpoint> ReadUdpTable(const void* table, size_t size);
std::vector<Tcp6Endpoint> ReadTcp6Table(const void* table, size_t size);
std::vector<Udp6Endpoint> ReadUdp6Table(const void* table, size_t size);

// Name of a TCP state; a value outside 1 to 12 shows its number.
std::wstring StateText(uint32_t state);

// Dotted decimal text of an address in host order.
std::string AddressText(uint32_t ip);
std::wstring AddressTextW(uint32_t ip);

// The database's location of an address, as the GBK bytes it holds: "未知数据" for an address it
// does not cover, empty when nothing is loaded.
std::string LocationOf(const CIpLocationDb& db, uint32_t ip);

// What a fill asks per row: the displayable location of a remote address, and the owning
// executable's path (nothing when it cannot be found).
struct RowSources {
  std::function<std::wstring(uint32_t remoteIp)> location;
  std::function<std::optional<std::wstring>(uint32_t pid)> path;
  std::function<std::wstring(const ipdb::Ipv6Bytes& remoteIp)> location6;
};

// The IPv6 endpoints, listed after the IPv4 ones.
struct Ipv6Endpoints {
  std::vector<Tcp6Endpoint> tcp;
  std::vector<Udp6Endpoint> udp;
};

using RowCells = std::array<std::wstring, kColumnCount>;

// Every row of the table: the TCP rows in table order, then the UDP rows, then the TCPv6 and the
// UDPv6 rows, numbered on from one to the next. The path of each distinct PID is asked once.
std::vector<RowCells> BuildRows(const std::vector<TcpEndpoint>& tcp, const std::vector<UdpEndpoint>& udp,
                                const RowSources& sources, const Ipv6Endpoints& v6 = {});

// Commands of the port menu greyed for a row with these cells.
std::vector<unsigned> PortMenuGreyed(const std::wstring& pidCell, const std::wstring& pathCell);

// The text of a file's item in the location-database menu: its name and the date of its data,
// or that it cannot be read.
std::wstring DatabaseItemText(const std::wstring& name, const std::wstring& date, bool readable);
// The settings that keep the file chosen for each address family (a file name beside the program).
inline constexpr wchar_t kIpv4DatabaseSetting[] = L"LocationDbIpv4";
inline constexpr wchar_t kIpv6DatabaseSetting[] = L"LocationDbIpv6";
inline constexpr wchar_t kIpv4MenuHeading[] = L"IPv4 地址用:";
inline constexpr wchar_t kIpv6MenuHeading[] = L"IPv6 地址用:";
inline constexpr wchar_t kNoDatabaseItem[] = L"(程序目录下没有位置数据库文件)";

// Messages of the refresh.
inline constexpr wchar_t kDatabaseFileName[] = L"QQwry.dat";
inline constexpr wchar_t kDatabaseMissingText[] =
    L"没有找到QQwry.dat\r\n请将QQwry.dat数据库文件放于本程序目录下!\r\n\r\n程序将自动打开QQwry.dat下载页面";
inline constexpr wchar_t kDatabaseMissingCaption[] = L"提示";
// The database publisher's download page.
inline constexpr wchar_t kDownloadPage[] = L"https://www.cz88.net/";
inline constexpr wchar_t kLibraryMissingText[] = L"定位iphlpapi.dll失败!";
inline constexpr wchar_t kTablesMissingText[] =
    L"这个系统的iphlpapi.dll没有GetExtendedTcpTable或GetExtendedUdpTable, 无法列出端口。";
inline constexpr wchar_t kErrorCaption[] = L"哦豁,出错了";

}  // namespace port
