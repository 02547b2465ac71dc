// Endpoint tables, row texts and menu greying of the port list.
#include "pages/port/port_rules.h"

#include <cstring>
#include <unordered_map>

#include "ipdb/ipdb.h"
#include "res/resource.h"

namespace port {
namespace {

const uint8_t* Bytes(const void* p) { return static_cast<const uint8_t*>(p); }

// A field in the machine's own byte order.
uint32_t NativeField(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof(v));
  return v;
}

// An address field: its four bytes are the dotted parts in order.
uint32_t AddressField(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// A port field: its first two bytes hold the port, high byte first.
uint16_t PortField(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Number of whole rows the table holds, at most its entry count.
size_t RowCount(const void* table, size_t size, size_t rowSize) {
  if (table == nullptr || size < 4) return 0;
  size_t fit = (size - 4) / rowSize;
  size_t count = NativeField(Bytes(table));
  return count < fit ? count : fit;
}

const wchar_t* const kStateNames[] = {L"Closed",    L"Listen",     L"Sent SYN", L"Receive SYN",
                                      L"Established", L"FIN Wait1", L"FIN Wait2", L"Close Wait",
                                      L"Closing",   L"Last ACK",   L"Time Wait", L"Delete TCB"};

}  // namespace

std::vector<TcpEndpoint> ReadTcpTable(const void* table, size_t size) {
  std::vector<TcpEndpoint> rows(RowCount(table, size, kTcpRowSize));
  const uint8_t* p = Bytes(table) + 4;
  for (TcpEndpoint& r : rows) {
    r.state = NativeField(p);
    r.localIp = AddressField(p + 4);
    r.localPort = PortField(p + 8);
    r.remoteIp = AddressField(p + 12);
    r.remotePort = PortField(p + 16);
    r.pid = NativeField(p + 20);
    p += kTcpRowSize;
  }
  return rows;
}

std::vector<UdpEndpoint> ReadUdpTable(const void* table, size_t size) {
  std::vector<UdpEndpoint> rows(RowCount(table, size, kUdpRowSize));
  const uint8_t* p = Bytes(table) + 4;
  for (UdpEndpoint& r : rows) {
    r.localIp = AddressField(p);
    r.localPort = PortField(p + 4);
    r.pid = NativeField(p + 8);
    p += kUdpRowSize;
  }
  return rows;
}

namespace {
ipdb::Ipv6Bytes Address6Field(const uint8_t* p) {
  ipdb::Ipv6Bytes a;
  std::memcpy(a.data(), p, a.size());
  return a;
}
}  // namespace

// Each row: local address, local scope, local port, then (TCP) remote address, remote scope,
// remote port and state; the owning PID last.
std::vector<Tcp6Endpoint> ReadTcp6Table(const void* table, size_t size) {
  std::vector<Tcp6Endpoint> rows(RowCount(table, size, kTcp6RowSize));
  const uint8_t* p = Bytes(table) + 4;
  for (Tcp6Endpoint& r : rows) {
    r.localIp = Address6Field(p);
    r.localScope = NativeField(p + 16);
    r.localPort = PortField(p + 20);
    r.remoteIp = Address6Field(p + 24);
    r.remoteScope = NativeField(p + 40);
    r.remotePort = PortField(p + 44);
    r.state = NativeField(p + 48);
    r.pid = NativeField(p + 52);
    p += kTcp6RowSize;
  }
  return rows;
}

std::vector<Udp6Endpoint> ReadUdp6Table(const void* table, size_t size) {
  std::vector<Udp6Endpoint> rows(RowCount(table, size, kUdp6RowSize));
  const uint8_t* p = Bytes(table) + 4;
  for (Udp6Endpoint& r : rows) {
    r.localIp = Address6Field(p);
    r.localScope = NativeField(p + 16);
    r.localPort = PortField(p + 20);
    r.pid = NativeField(p + 24);
    p += kUdp6RowSize;
  }
  return rows;
}

std::wstring StateText(uint32_t state) {
  if (state >= 1 && state <= 12) return kStateNames[state - 1];
  return std::to_wstring(state);
}

std::string AddressText(uint32_t ip) {
  return std::to_string(ip >> 24) + '.' + std::to_string(ip >> 16 & 0xFF) + '.' +
         std::to_string(ip >> 8 & 0xFF) + '.' + std::to_string(ip & 0xFF);
}

std::wstring AddressTextW(uint32_t ip) {
  std::string s = AddressText(ip);
  return std::wstring(s.begin(), s.end());
}

std::string LocationOf(const CIpLocationDb& db, uint32_t ip) {
  char out[1024] = {};
  db.LookupText(AddressText(ip).c_str(), out, sizeof(out));
  out[sizeof(out) - 1] = '\0';
  return out;
}

std::vector<RowCells> BuildRows(const std::vector<TcpEndpoint>& tcp, const std::vector<UdpEndpoint>& udp,
                                const RowSources& sources, const Ipv6Endpoints& v6) {
  std::vector<RowCells> rows;
  rows.reserve(tcp.size() + udp.size() + v6.tcp.size() + v6.udp.size());
  // Only a link-local address carries its scope (the system may give one for any address).
  auto text6 = [](const ipdb::Ipv6Bytes& ip, uint32_t scope) {
    const std::string s = ipdb::FormatIpv6(ip, ipdb::IsZoned(ip) ? scope : 0);
    return std::wstring(s.begin(), s.end());
  };
  // A module snapshot costs far more than the rest of a row: each owning process is asked once.
  std::unordered_map<uint32_t, std::wstring> paths;
  auto pathOf = [&](uint32_t pid) -> const std::wstring& {
    auto [it, added] = paths.try_emplace(pid);
    if (added && sources.path) it->second = sources.path(pid).value_or(L"");
    return it->second;
  };
  for (const TcpEndpoint& e : tcp) {
    RowCells& c = rows.emplace_back();
    c[kColId] = std::to_wstring(rows.size());
    c[kColProtocol] = L"TCP";
    c[kColPid] = std::to_wstring(e.pid);
    c[kColState] = StateText(e.state);
    c[kColLocalIp] = AddressTextW(e.localIp);
    c[kColLocalPort] = std::to_wstring(e.localPort);
    c[kColRemoteIp] = AddressTextW(e.remoteIp);
    c[kColRemotePort] = std::to_wstring(e.remotePort);
    if (sources.location) c[kColLocation] = sources.location(e.remoteIp);
    c[kColPath] = pathOf(e.pid);
  }
  for (const UdpEndpoint& e : udp) {
    RowCells& c = rows.emplace_back();
    c[kColId] = std::to_wstring(rows.size());
    c[kColProtocol] = L"UDP";
    c[kColPid] = std::to_wstring(e.pid);
    c[kColLocalIp] = AddressTextW(e.localIp);
    c[kColLocalPort] = std::to_wstring(e.localPort);
    c[kColPath] = pathOf(e.pid);
  }
  for (const Tcp6Endpoint& e : v6.tcp) {
    RowCells& c = rows.emplace_back();
    c[kColId] = std::to_wstring(rows.size());
    c[kColProtocol] = L"TCPv6";
    c[kColPid] = std::to_wstring(e.pid);
    c[kColState] = StateText(e.state);
    c[kColLocalIp] = text6(e.localIp, e.localScope);
    c[kColLocalPort] = std::to_wstring(e.localPort);
    c[kColRemoteIp] = text6(e.remoteIp, e.remoteScope);
    c[kColRemotePort] = std::to_wstring(e.remotePort);
    if (sources.location6) c[kColLocation] = sources.location6(e.remoteIp);
    c[kColPath] = pathOf(e.pid);
  }
  for (const Udp6Endpoint& e : v6.udp) {
    RowCells& c = rows.emplace_back();
    c[kColId] = std::to_wstring(rows.size());
    c[kColProtocol] = L"UDPv6";
    c[kColPid] = std::to_wstring(e.pid);
    c[kColLocalIp] = text6(e.localIp, e.localScope);
    c[kColLocalPort] = std::to_wstring(e.localPort);
    c[kColPath] = pathOf(e.pid);
  }
  return rows;
}

std::wstring DatabaseItemText(const std::wstring& name, const std::wstring& date, bool readable) {
  if (!readable) return name + L" (无法读取)";
  return name + (date.empty() ? L" (数据日期不详)" : L" (数据日期 " + date + L")");
}

std::vector<unsigned> PortMenuGreyed(const std::wstring& pidCell, const std::wstring& pathCell) {
  std::vector<unsigned> greyed;
  if (pathCell.empty()) {
    greyed.push_back(IDM_PORT_COPY_PATH);
    greyed.push_back(IDM_PORT_LOCATE);
  }
  if (pidCell == L"4" || pidCell == L"0") greyed.push_back(IDM_PORT_KILL);
  return greyed;
}

}  // namespace port
