// Connection table refresh against its floor: the two table calls and one path lookup per
// distinct owning PID, without any list. Runs under Wine with 1,000 and 5,000 loopback sockets
// (half UDP, half TCP as connected pairs). With a QQwry.dat path as argument (default
// ..\data\QQwry.dat) it also times the refresh with that database beside the program.
//   bench_port.exe [QQWRY.DAT]
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "bench/wine/bench_sockets.h"
#include "bench/wine/bench_util.h"
#include "common/shell.h"
#include "pages/port/port_rules.h"
#include "pages/process/process_info.h"
#include "ui/msgbox.h"

namespace {

// Wine's table calls take seconds for thousands of sockets: few runs keep the bench short.
constexpr int kRuns = 3;

using TableFunction = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, int, ULONG);

double Median(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// Median seconds of runs calls.
double Time(const std::function<void()>& work, int runs = kRuns) {
  std::vector<double> t;
  for (int r = 0; r < runs; ++r) t.push_back(bench::Time(work));
  return Median(t);
}

using bench::SocketSet;

std::vector<DWORD> ReadTable(TableFunction read, int tableClass, DWORD& size) {
  std::vector<DWORD> buffer;
  size = 0;
  for (int tries = 0; tries < 32; ++tries) {
    DWORD rc = read(buffer.empty() ? nullptr : buffer.data(), &size, TRUE, 2, tableClass, 0);
    if (rc == NO_ERROR) return buffer;
    if (rc != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.assign(size / sizeof(DWORD) + 1, 0);
  }
  size = 0;
  return {};
}

struct Tables {
  std::vector<port::TcpEndpoint> tcp;
  std::vector<port::UdpEndpoint> udp;
};

Tables ReadTables(HMODULE iphlpapi) {
  auto tcpFn = reinterpret_cast<TableFunction>(reinterpret_cast<void*>(::GetProcAddress(iphlpapi, "GetExtendedTcpTable")));
  auto udpFn = reinterpret_cast<TableFunction>(reinterpret_cast<void*>(::GetProcAddress(iphlpapi, "GetExtendedUdpTable")));
  Tables t;
  DWORD size = 0;
  std::vector<DWORD> buf = ReadTable(tcpFn, 5, size);
  t.tcp = port::ReadTcpTable(buf.data(), size);
  buf = ReadTable(udpFn, 1, size);
  t.udp = port::ReadUdpTable(buf.data(), size);
  return t;
}

size_t g_sink = 0;

// One figure in milliseconds, with its ratio to the floor when one is given.
void Line(const char* label, double seconds, double floor) {
  if (floor > 0)
    std::printf("  %-40s %10.2f ms  %6.2f x floor\n", label, seconds * 1000, seconds / floor);
  else
    std::printf("  %-40s %10.2f ms\n", label, seconds * 1000);
}

void Measure(int count, CPortPage& page, HMODULE iphlpapi, const std::wstring& database) {
  SocketSet sockets(count);

  auto floorPass = [&] {
    Tables f = ReadTables(iphlpapi);
    std::set<uint32_t> distinct;
    for (const auto& e : f.tcp) distinct.insert(e.pid);
    for (const auto& e : f.udp) distinct.insert(e.pid);
    for (uint32_t pid : distinct)
      if (auto path = process::FindProcessImagePath(pid)) g_sink += path->size();
  };
  // The refresh as the report takes it (gathered and shown on this thread), and as the tab takes
  // it (gathered on a worker, waited for).
  auto refreshPass = [&] { page.RefreshConnectionTableNow(); };
  auto workerPass = [&] {
    page.RefreshConnectionTable();
    page.Records().WaitIdle();
  };
  // The floor and the refresh take turns, so that a change of the machine's load between them
  // touches both alike.
  std::vector<double> floors, refreshes, workers;
  for (int r = 0; r < kRuns; ++r) {
    floors.push_back(Time(floorPass, 1));
    refreshes.push_back(Time(refreshPass, 1));
    bench::DrainMessages();
    workers.push_back(Time(workerPass, 1));
  }
  double floor = Median(floors), refresh = Median(refreshes), worker = Median(workers);
  int rows = page.Records().RowCount();
  // The tables as they stand now (closed sockets of an earlier run may linger in Time Wait).
  Tables t = ReadTables(iphlpapi);
  std::set<uint32_t> pids;
  for (const auto& e : t.tcp) pids.insert(e.pid);
  for (const auto& e : t.udp) pids.insert(e.pid);
  double tables = Time([&] { g_sink += ReadTables(iphlpapi).tcp.size(); }, 1);
  double perRowPaths = Time([&] {
    for (const auto& e : t.tcp)
      if (auto path = process::FindProcessImagePath(e.pid)) g_sink += path->size();
    for (const auto& e : t.udp)
      if (auto path = process::FindProcessImagePath(e.pid)) g_sink += path->size();
  }, 1);

  std::printf("sockets %4zu: rows %4d (TCP %zu, UDP %zu, distinct PIDs %zu)\n", sockets.size(), rows,
              t.tcp.size(), t.udp.size(), pids.size());
  Line("floor (two tables + one path per PID)", floor, 0);
  Line("two table calls alone (one run)", tables, floor);
  Line("a path lookup per row (one run)", perRowPaths, floor);
  Line("refresh, no database (target 1.2x)", refresh, floor);
  Line("refresh on a worker, waited for", worker, floor);

  if (database.empty()) return;
  std::wstring beside = bench::ExeDir() + L"QQwry.dat";
  if (!::CopyFileW(database.c_str(), beside.c_str(), TRUE)) return;
  std::vector<double> withDbs;
  floors.clear();
  for (int r = 0; r < kRuns; ++r) {
    floors.push_back(Time(floorPass, 1));
    withDbs.push_back(Time(refreshPass, 1));
  }
  double withDb = Median(withDbs), floorNow = Median(floors);
  double load = Time([&] {
    CIpLocationDb db;
    g_sink += db.LoadDatabase(std::filesystem::path(beside)) ? 1 : 0;
  });
  ::DeleteFileW(beside.c_str());
  Line("floor, measured again", floorNow, 0);
  Line("refresh with QQwry.dat", withDb, floorNow);
  Line("QQwry.dat load alone", load, floorNow);
}

}  // namespace

int main() {
  WSADATA wsa;
  ::WSAStartup(MAKEWORD(2, 2), &wsa);
  // The missing-database message and the download page are answered silently.
  ui::SetMessageHook([](HWND, const std::wstring&, const std::wstring&, UINT) { return IDOK; });
  common::SetShellHook([](const common::ShellRequest&) {});

  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::wstring database = argv && argc >= 2 ? argv[1] : bench::ExeDir() + L"..\\data\\QQwry.dat";
  if (argv) ::LocalFree(argv);
  if (::GetFileAttributesW(database.c_str()) == INVALID_FILE_ATTRIBUTES) database.clear();
  if (::GetFileAttributesW((bench::ExeDir() + L"QQwry.dat").c_str()) != INVALID_FILE_ATTRIBUTES) {
    std::printf("a QQwry.dat stands beside this program: the no-database figures include its load\n");
    database.clear();
  }

  auto dlg = bench::OpenMainDialog();
  HMODULE iphlpapi = ::LoadLibraryW(L"iphlpapi.dll");
  std::printf("connection table refresh against its floor, the table calls and one path per PID (medians of %d, taken in turns)\n", kRuns);
  if (database.empty()) std::printf("no QQwry.dat given or found: the refresh with a database is not timed\n");
  for (int n : {1000, 5000}) Measure(n, dlg->m_portPage, iphlpapi, database);
  if (iphlpapi) ::FreeLibrary(iphlpapi);
  dlg->DestroyWindow();
  ::WSACleanup();
  std::printf("(sink %zu)\n", g_sink % 10);
  std::fflush(stdout);
  return 0;
}
