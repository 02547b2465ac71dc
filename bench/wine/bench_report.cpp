// The scan report against the sum of the pages' floors, under the benchmarks' load: 200 extra
// processes, 2,000 windows, 500 services, 10,000 startup values and 5,000 sockets. The floors are
// each page's source read without any list (as the page benchmarks time them); the report is
// built whole (hidden main dialog, every page refilled and read back) and written to a file.
//   bench_report.exe [SOCKETS]
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>

#include "app/report.h"
#include "bench/wine/bench_load.h"
#include "bench/wine/bench_util.h"
#include "common/shell.h"
#include "ui/msgbox.h"

namespace {

size_t g_sink = 0;

constexpr int kPages = 6;
constexpr const char* kPageNames[kPages] = {"processes", "windows", "services", "startup values", "IFEO keys", "ports"};

// Seconds of each page: its floor, or its refill in a hidden main dialog as the report does it.
struct PageTimes {
  double page[kPages] = {};
  double Sum() const {
    double s = 0;
    for (double t : page) s += t;
    return s;
  }
};

PageTimes TimeFloors(HMODULE iphlpapi) {
  PageTimes f;
  f.page[0] = bench::Time([] { g_sink += bench::ProcessFloorPass(); });
  f.page[1] = bench::Time([] { g_sink += bench::WindowFloorPass(); });
  f.page[2] = bench::Time([] { g_sink += bench::ServiceFloorPass(); });
  f.page[3] = bench::Time([] { g_sink += bench::StartupFloorPass(); });
  f.page[4] = bench::Time([] { g_sink += bench::IfeoFloorPass(); });
  f.page[5] = bench::Time([&] { g_sink += bench::PortFloorPass(iphlpapi); });
  return f;
}

PageTimes TimeRefills() {
  PageTimes r;
  CWardletDlg dlg;
  if (!dlg.CreateHidden()) return r;
  for (int i = 0; i < kPages; ++i) r.page[i] = bench::Time([&] { dlg.RefreshPageNow(i); });
  dlg.DestroyWindow();
  return r;
}

PageTimes Best(const PageTimes& a, const PageTimes& b) {
  PageTimes m;
  for (int i = 0; i < kPages; ++i) m.page[i] = std::min(a.page[i], b.page[i]);
  return m;
}

void Line(const char* label, double seconds, double of) {
  std::printf("  %-44s %9.1f ms", label, seconds * 1000);
  if (of > 0) std::printf("  %5.2f x", seconds / of);
  std::printf("\n");
}

// The number of sockets: 5,000, or the first argument (0 shows the report's own costs clearly,
// without the seconds the socket tables take under Wine).
int SocketCount() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  const int n = argv && argc >= 2 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 5000;
  if (argv) ::LocalFree(argv);
  return n;
}

}  // namespace

int main() {
  WSADATA wsa;
  ::WSAStartup(MAKEWORD(2, 2), &wsa);
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  // What a page would show or start while it is read is recorded by the report itself; anything
  // else is answered silently.
  ui::SetMessageHook([](HWND, const std::wstring&, const std::wstring&, UINT) { return IDOK; });
  common::SetShellHook([](const common::ShellRequest&) {});

  const auto t0 = std::chrono::steady_clock::now();
  bench::Children children(200);
  bench::ProgramWindows windows(2000);
  bench::Services services(500);
  bench::StartupValues values(10000);
  bench::SocketSet sockets(SocketCount());
  ::Sleep(1000);
  std::printf("scan report against the sum of the pages' floors\n");
  std::printf("load: %zu processes, %zu windows, %zu services, %zu startup values, %zu sockets (made in %.1f s)\n",
              children.size(), windows.size(), services.size(), values.size(), sockets.size(),
              bench::Seconds(std::chrono::steady_clock::now() - t0));

  HMODULE iphlpapi = ::LoadLibraryW(L"iphlpapi.dll");
  const std::wstring path = bench::ExeDir() + L"bench-report.txt";
  size_t bytes = 0;
  auto report = [&] {
    std::wstring error;
    const std::optional<std::string> text = app::BuildScanReport(error);
    if (!text || !app::WriteReportFile(path, *text, error)) {
      std::printf("the report failed\n");
      return;
    }
    bytes = text->size();
  };
  report();  // warm-up: first loads of the libraries and the pages' code
  TimeFloors(iphlpapi);

  // The report, the floors and the bare refills take turns, so that a busy moment falls on all.
  const int runs = 2;
  PageTimes floors, refills;
  for (double& t : floors.page) t = 1e9;
  for (double& t : refills.page) t = 1e9;
  double reportBest = 1e9, reportSum = 0, floorSum = 0, refillSum = 0;
  for (int r = 0; r < runs; ++r) {
    const double t = bench::Time(report);
    const PageTimes f = TimeFloors(iphlpapi);
    const PageTimes fill = TimeRefills();
    reportBest = std::min(reportBest, t);
    reportSum += t;
    floorSum += f.Sum();
    refillSum += fill.Sum();
    floors = Best(floors, f);
    refills = Best(refills, fill);
  }
  ::DeleteFileW(path.c_str());

  std::printf("report: %zu bytes (%d runs, best of each; ratios to the floor)\n", bytes, runs);
  std::printf("  %-44s %9s %12s\n", "page", "floor", "refill");
  for (int i = 0; i < kPages; ++i)
    std::printf("  %-44s %9.1f ms %9.1f ms  %5.2f x\n", kPageNames[i], floors.page[i] * 1000, refills.page[i] * 1000,
                refills.page[i] / floors.page[i]);
  Line("sum of the floors", floors.Sum(), 0);
  Line("sum of the refills alone", refills.Sum(), floors.Sum());
  Line("report: refills, reading, writing (best)", reportBest, floors.Sum());
  Line("reading and writing (report - refills)", reportBest - refills.Sum(), floors.Sum());
  std::printf("  mean over %d runs: report %.1f ms, refills %.1f ms, floors %.1f ms: report %.2f x floors (target"
              " 1.20), %.2f x refills (sink %zu)\n",
              runs, reportSum / runs * 1000, refillSum / runs * 1000, floorSum / runs * 1000, reportSum / floorSum,
              reportSum / refillSum, g_sink % 10);
  std::printf("  load still there at the end: %zu of %zu processes\n", children.Running(), children.size());
  if (iphlpapi) ::FreeLibrary(iphlpapi);
  ::WSACleanup();
  std::fflush(stdout);
  return 0;
}
