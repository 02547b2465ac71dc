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

// Row sizes of the owner-PID tables: six and three 32-bit fields after a 32-bit entry count.
constexpr size_t kTcpRowSize = 24;
constexpr size_t kUdpRowSize = 12;

// Reads a table laid out as the system delivers it (addresses and ports in network byte order,
// the other fields in the machine's own). An entry count beyond the buffer keeps the rows that
// fit.
std::vector<TcpEndpoint> ReadTcpTable(const void* table, size_t size);
std::vector<UdpEndpoint> ReadUdpTable(const void* table, size_t size);

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
};

using RowCells = std::array<std::wstring, kColumnCount>;

// Every row of the table: the TCP rows in table order, then the UDP rows numbered on from them.
// The path of each distinct PID is asked once.
std::vector<RowCells> BuildRows(const std::vector<TcpEndpoint>& tcp, const std::vector<UdpEndpoint>& udp,
                                const RowSources& sources);

// Commands of the port menu greyed for a row with these cells.
std::vector<unsigned> PortMenuGreyed(const std::wstring& pidCell, const std::wstring& pathCell);

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
