// What the Wine benchmarks share: the main dialog to refresh, and a refresh timed in turns
// against its floor.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "app/wardlet_dlg.h"
#include "common/settings.h"

namespace bench {

inline double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Seconds one call of work takes.
template <class Work>
double Time(Work&& work) {
  const auto t0 = std::chrono::steady_clock::now();
  work();
  return Seconds(std::chrono::steady_clock::now() - t0);
}

// Folder of this program, with a trailing backslash.
inline std::wstring ExeDir() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

// The real main dialog, created modeless without the fade-in.
inline std::unique_ptr<CWardletDlg> OpenMainDialog() {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  CWardletDlg::SetFadeIn(false);
  common::SetSettingsKey(L"Software\\WardletBench");  // the user's own choices play no part
  auto dlg = std::make_unique<CWardletDlg>();
  dlg->Create(nullptr);
  return dlg;
}

// Handles every message waiting for this thread: run before timing a refresh on the worker, so
// that the paints an earlier synchronous refresh left are not counted as the worker's.
inline void DrainMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Best and summed seconds of a refresh and of its floor.
struct Turns {
  double refresh = 1e9, floor = 1e9, refreshSum = 0, floorSum = 0;
};

// Runs the refresh and the floor in turns, so that a busy moment of the machine falls on both.
template <class Refresh, class Floor>
Turns InTurns(int runs, Refresh&& refresh, Floor&& floor) {
  Turns t;
  for (int r = 0; r < runs; ++r) {
    const double a = Time(refresh);
    const double b = Time(floor);
    t.refresh = std::min(t.refresh, a);
    t.floor = std::min(t.floor, b);
    t.refreshSum += a;
    t.floorSum += b;
  }
  return t;
}

}  // namespace bench
