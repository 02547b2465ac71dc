// Window list refresh against its floor: the Z-order enumeration with the class, title and owner
// queries alone, no list. Runs under Wine with 2,000 extra hidden top-level windows, first of
// another program (as a desktop's windows are), then of this program's own second thread.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include <psapi.h>

#include "bench/wine/bench_load.h"
#include "bench/wine/bench_util.h"
#include "pages/window/window_rules.h"

namespace {

size_t g_sink = 0;

// The walk with one module snapshot per window, as a lookup without the per-process cache would take.
size_t SnapshotPerWindowPass() {
  size_t work = 0;
  for (HWND w : window::TopLevelWindows()) {
    wchar_t cls[257], title[256];
    work += static_cast<size_t>(::GetClassNameW(w, cls, 257));
    work += static_cast<size_t>(::InternalGetWindowText(w, title, 256));
    DWORD pid = 0;
    if (::GetWindowThreadProcessId(w, &pid)) work += CWindowPage::GetWindowOwnerPath(pid).size();
  }
  return work;
}

// The refresh in turns with the floor, then once on the worker thread until its rows show.
void Measure(CWindowPage& page, const char* whose, size_t created) {
  const int runs = 7;
  page.RefreshWindowListNow();  // warm-up
  g_sink += bench::WindowFloorPass();
  const bench::Turns t =
      bench::InTurns(runs, [&] { page.RefreshWindowListNow(); }, [&] { g_sink += bench::WindowFloorPass(); });
  common::RecordList& rows = page.Records();
  bench::Turns w;
  for (int r = 0; r < 5; ++r) {
    bench::DrainMessages();
    const bench::Turns one = bench::InTurns(
        1,
        [&] {
          page.RefreshWindowList();
          rows.WaitIdle();
        },
        [&] { g_sink += bench::WindowFloorPass(); });
    w.refresh = std::min(w.refresh, one.refresh);
    w.floor = std::min(w.floor, one.floor);
  }
  std::printf("%s: extra windows %zu, rows %d (%d runs)\n", whose, created, page.List().GetItemCount(), runs);
  std::printf("  best: refresh %8.2f ms, floor %8.2f ms, ratio %.2f\n", t.refresh * 1000, t.floor * 1000,
              t.refresh / t.floor);
  std::printf("  mean: refresh %8.2f ms, floor %8.2f ms, ratio %.2f\n", t.refreshSum / runs * 1000,
              t.floorSum / runs * 1000, t.refreshSum / t.floorSum);
  std::printf("  refresh on the worker thread until shown, best of 5: %8.2f ms, floor %8.2f ms, ratio %.2f\n",
              w.refresh * 1000, w.floor * 1000, w.refresh / w.floor);
}

}  // namespace

int main() {
  auto dlg = bench::OpenMainDialog();
  CWindowPage& page = dlg->m_windowPage;
  const int extra = 2000;
  std::printf("window list refresh against the bare Z-order enumeration with class, title and owner queries\n");
  {
    bench::ProgramWindows windows(extra);
    Measure(page, "windows of another program", windows.size());
    const double floor = bench::Time([] { g_sink += bench::WindowFloorPass(); });
    const double perWindow = bench::Time([] { g_sink += SnapshotPerWindowPass(); });
    std::printf("  walk with one module snapshot per window (no per-process reuse): %8.2f ms, %.1f x the floor\n",
                perWindow * 1000, perWindow / floor);
  }
  {
    bench::Windows windows(extra);
    Measure(page, "windows of this program's second thread", windows.size());
    common::RecordList& rows = page.Records();
    double sort = 1e9, find = 1e9;
    for (int r = 0; r < 3; ++r) {
      sort = std::min(sort, bench::Time([&] { rows.SortBy(3, r % 2 == 1); }));
      find = std::min(find, bench::Time([&] { rows.SetFindText(L"测试窗口 1" + std::to_wstring(r)); }));
      rows.SetFindText(L"");
    }
    rows.SortBy(-1, false);
    std::printf("sort of %d rows by title %8.2f ms, find keystroke %8.2f ms (sink %zu)\n", rows.TotalCount(),
                sort * 1000, find * 1000, g_sink % 10);
  }
  dlg->DestroyWindow();
  std::fflush(stdout);
  return 0;
}
