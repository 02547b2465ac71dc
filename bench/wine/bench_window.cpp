// Window list refresh against its floor: the Z-order enumeration with the class, title and owner
// queries alone, no list. Runs under Wine with 2,000 extra hidden top-level windows.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include <psapi.h>

#include "bench/wine/bench_load.h"
#include "bench/wine/bench_util.h"
#include "pages/window/window_rules.h"

namespace {

// What the cells need, without any list: each process's executable read once per pass.
size_t FloorPass() {
  size_t work = 0;
  window::OwnerPathCache owners([](unsigned long pid) -> std::optional<std::wstring> {
    std::wstring path = CWindowPage::GetWindowOwnerPath(pid);
    if (path.empty()) return std::nullopt;
    return path;
  });
  for (HWND w : window::TopLevelWindows()) {
    wchar_t cls[257], title[256];
    work += static_cast<size_t>(::GetClassNameW(w, cls, 257));
    work += static_cast<size_t>(::InternalGetWindowText(w, title, 256));  // the title as the system keeps it
    DWORD pid = 0;
    if (::GetWindowThreadProcessId(w, &pid)) work += owners.PathOf(pid).value_or(L"").size();
  }
  return work;
}

// The same walk with one module snapshot per window, as a lookup without the cache would take.
size_t SnapshotPerWindowPass() {
  size_t work = 0;
  for (HWND w : window::TopLevelWindows()) {
    wchar_t cls[257];
    work += static_cast<size_t>(::GetClassNameW(w, cls, 257));
    work += ui::CWnd(w).GetWindowText().size();
    DWORD pid = 0;
    if (::GetWindowThreadProcessId(w, &pid)) work += CWindowPage::GetWindowOwnerPath(pid).size();
  }
  return work;
}

}  // namespace

int main() {
  auto dlg = bench::OpenMainDialog();

  const int extra = 2000;
  bench::Windows windows(extra);

  CWindowPage& page = dlg->m_windowPage;
  page.RefreshWindowListNow();  // warm-up
  FloorPass();
  const int runs = 7;
  size_t sink = 0;
  const bench::Turns t = bench::InTurns(runs, [&] { page.RefreshWindowListNow(); }, [&] { sink += FloorPass(); });
  const int listed = page.List().GetItemCount();
  const double perWindow = bench::Time([&] { sink += SnapshotPerWindowPass(); });

  std::printf("window list refresh against the bare Z-order enumeration with class, title and owner queries (%d runs)\n", runs);
  std::printf("extra windows %d (created %zu), rows %d\n", extra, windows.size(), listed);
  std::printf("  best: refresh %8.2f ms, floor %8.2f ms, ratio %.2f\n", t.refresh * 1000, t.floor * 1000,
              t.refresh / t.floor);
  std::printf("  mean: refresh %8.2f ms, floor %8.2f ms, ratio %.2f\n", t.refreshSum / runs * 1000,
              t.floorSum / runs * 1000, t.refreshSum / t.floorSum);
  std::printf("walk with one module snapshot per window (no per-process reuse): %8.2f ms, %.1f x the floor (sink %zu)\n",
              perWindow * 1000, perWindow / t.floor, sink % 10);
  common::RecordList& rows = page.Records();
  double sort = 1e9, find = 1e9;
  for (int r = 0; r < 3; ++r) {
    sort = std::min(sort, bench::Time([&] { rows.SortBy(3, r % 2 == 1); }));
    find = std::min(find, bench::Time([&] { rows.SetFindText(L"测试窗口 1" + std::to_wstring(r)); }));
    rows.SetFindText(L"");
  }
  rows.SortBy(-1, false);
  std::printf("sort of %d rows by title %8.2f ms, find keystroke %8.2f ms\n", rows.TotalCount(), sort * 1000,
              find * 1000);
  // The refresh running on a worker while the window keeps answering: time until its rows show.
  const double async = bench::Time([&] {
    page.RefreshWindowList();
    rows.WaitIdle();
  });
  std::printf("refresh on a worker thread until shown %8.2f ms\n", async * 1000);
  dlg->DestroyWindow();
  std::fflush(stdout);
  return 0;
}
