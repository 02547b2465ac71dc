// The record list with 10,000 synthetic rows: a refresh against the gathering alone, a sort of
// each column kind, a find keystroke, and the private bytes a refresh takes against the records'
// own size. Runs under Wine.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "bench/wine/bench_util.h"
#include "common/record_list.h"
#include "common/settings.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Every byte asked of the heap through new, counted.
std::atomic<size_t> g_allocated{0};
void* operator new(size_t size) {
  g_allocated += size;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

constexpr int kRows = 10000;
const wchar_t* const kWords[] = {L"svchost", L"explorer", L"记事本", L"Wardlet", L"计算器", L"winlogon", L"浏览器",
                                 L"updater", L"驱动程序", L"notepad"};

common::Records Synthetic() {
  common::Records rows;
  rows.reserve(kRows);
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < kRows; ++i) {
    auto r = std::make_shared<common::Record>();
    const unsigned a = next() >> 8, b = next() >> 8;
    std::wstring name = std::wstring(kWords[a % 10]) + L"_" + std::to_wstring(b % 997) + L".exe";
    wchar_t time[32];
    std::swprintf(time, 32, L"2026/%u/%u %u:%02u:%02u", 1 + a % 12, 1 + b % 28, a % 24, b % 60, (a >> 4) % 60);
    r->cells = {std::to_wstring(i + 1), name, std::to_wstring(b % 65536), time,
                L"C:\\Program Files\\" + std::wstring(kWords[b % 10]) + L"\\" + name};
    r->key = r->cells[2] + L"|" + r->cells[3] + L"|" + std::to_wstring(i);
    rows.push_back(std::move(r));
  }
  return rows;
}

size_t OwnSize(const common::Records& rows) {
  auto str = [](const std::wstring& s) {
    return sizeof(std::wstring) + (s.capacity() > 7 ? (s.capacity() + 1) * sizeof(wchar_t) : 0);
  };
  size_t total = 0;
  for (const auto& r : rows) {
    total += sizeof(common::Record) + 16 /* shared count */ + sizeof(common::RecordPtr);
    total += str(r->key) - sizeof(std::wstring);
    for (const auto& c : r->cells) total += str(c);
  }
  return total;
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof(pmc);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc));
  return pmc.PrivateUsage;
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
  common::SetSettingsKey(L"Software\\WardletBench");
  HWND parent = ::CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 900, 700, nullptr, nullptr,
                                  nullptr, nullptr);
  HWND listWnd = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, 880,
                                   660, parent, reinterpret_cast<HMENU>(1), nullptr, nullptr);
  ::ShowWindow(parent, SW_SHOW);
  using K = lists::Kind;
  common::RecordList rows;
  rows.Setup(listWnd,
             {{L"id", LVCFMT_LEFT, 40, K::Number}, {L"名称", LVCFMT_LEFT, 150, K::Text},
              {L"PID", LVCFMT_LEFT, 60, K::Number}, {L"启动时间", LVCFMT_LEFT, 130, K::Time},
              {L"路径", LVCFMT_LEFT, 400, K::Text}},
             L"Bench", &Synthetic);
  rows.SortBy(-1, false);

  const size_t before = PrivateBytes();
  const size_t newBefore = g_allocated;
  rows.RefreshNow();
  const size_t allocated = g_allocated - newBefore;
  const size_t after = PrivateBytes();
  const size_t own = OwnSize(Synthetic());

  const int runs = 5;
  const bench::Turns t = bench::InTurns(runs, [&] { rows.RefreshNow(); }, [&] { Synthetic(); });
  std::printf("record list of %d synthetic rows (%d runs)\n", kRows, runs);
  std::printf("  refresh %8.2f ms against gathering alone %8.2f ms: ratio %.2f\n", t.refresh * 1000, t.floor * 1000,
              t.refresh / t.floor);
  std::printf("  bytes allocated by a refresh %zu KB, records' own size %zu KB: ratio %.2f (target <= 2)\n",
              allocated / 1024, own / 1024, static_cast<double>(allocated) / static_cast<double>(own));
  std::printf("  private bytes before/after that refresh %zu KB / %zu KB (as the system reports them)\n",
              before / 1024, after / 1024);
  const char* names[] = {"id (number)", "name (text, locale order)", "PID (number)", "start (time)",
                         "path (text, locale order)"};
  {
    const double s = bench::Time([&] { rows.SortBy(-1, false); });
    std::printf("  showing the gathered order again (no sort) %8.2f ms\n", s * 1000);
  }
  for (int c = 0; c < 5; ++c) {
    double best = 1e9;
    for (int r = 0; r < 3; ++r) best = std::min(best, bench::Time([&] { rows.SortBy(c, r % 2 == 1); }));
    std::printf("  sort by %-26s %8.2f ms (target < 50)\n", names[c], best * 1000);
  }
  const wchar_t* typed[] = {L"n", L"no", L"not", L"note", L"ｎｏｔｅｐ", L"记", L"记事本_1"};
  for (const wchar_t* text : typed) {
    const double s = bench::Time([&] { rows.SetFindText(text); });
    std::printf("  find keystroke to %-14s %8.2f ms, %5d of %d rows (target < 50)\n", lists::Utf8(text).c_str(),
                s * 1000, rows.RowCount(), rows.TotalCount());
  }
  rows.SetFindText(L"");
  ::DestroyWindow(parent);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\WardletBench");
  std::fflush(stdout);
  return 0;
}
