// Lists read from sources that change under them: the system's own processes, whose module
// snapshot a 32-bit program on 64-bit Windows cannot take, and windows destroyed during a refresh.
#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <string>
#include <thread>

#include "tests/wine/test_util.h"

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

}  // namespace

// Run by the i686 build in a 64-bit prefix too, where these processes are 64-bit ones.
TEST(LiveSources, SystemProcessesShowTheirPaths) {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  page.RefreshProcessList();
  wchar_t system[MAX_PATH] = {};
  ::GetSystemWindowsDirectoryW(system, MAX_PATH);
  int found = 0;
  for (const wchar_t* name : {L"services.exe", L"explorer.exe", L"rpcss.exe", L"plugplay.exe"}) {
    const int row = wt::FindRow(list, 1, name);
    if (row < 0) continue;
    ++found;
    EXPECT_EQ(Lower(list.GetItemText(row, 9)), Lower(std::wstring(system) + L"\\system32\\" + name)) << name;
  }
  EXPECT_GE(found, 2) << "the system's own processes are not running";
}

// Another thread creates and destroys windows at the top of the Z-order, answering the page's
// title queries in between, so that windows vanish while the page lists them. Every refresh must
// still reach a window lying below them.
TEST(LiveSources, WindowsDestroyedDuringARefreshHideNoOtherWindow) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"WardletChurnWindow";
  ::RegisterClassW(&wc);
  HWND steady = ::CreateWindowExW(0, wc.lpszClassName, L"steady", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                  wc.hInstance, nullptr);
  ASSERT_TRUE(steady);
  std::atomic<bool> stop{false};
  std::atomic<int> churned{0};
  std::thread churn([&] {
    HWND windows[8] = {};
    for (int i = 0; !stop; ++i) {
      HWND& w = windows[i % 8];
      if (w) ::DestroyWindow(w);
      w = ::CreateWindowExW(0, wc.lpszClassName, L"churn", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                            wc.hInstance, nullptr);
      ++churned;
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    for (HWND w : windows)
      if (w) ::DestroyWindow(w);
  });
  while (churned < 16) ::Sleep(1);

  wt::PageTab<CWindowPage> t(&CWardletDlg::m_windowPage, 1);
  const std::wstring steadyCell = std::to_wstring(reinterpret_cast<std::intptr_t>(steady));
  int missed = 0;
  for (int i = 0; i < 30; ++i) {
    t.page.RefreshWindowList();
    if (wt::FindRow(t.list, 1, steadyCell) < 0) ++missed;
  }
  stop = true;
  churn.join();
  ::DestroyWindow(steady);
  EXPECT_EQ(missed, 0) << "refreshes that lost a window below the destroyed ones";
}

// A window of another program that stops answering: showing, hiding, pinning, fading and closing
// it do not wait for it (closing gives up after a bounded wait and refreshes), and the window,
// still there, stays listed. A window of another program that answers is faded as ever.
TEST(LiveSources, WindowCommandsDoNotWaitForAWindowThatDoesNotAnswer) {
  const std::wstring title = L"WardletHung" + std::to_wstring(::GetCurrentProcessId());
  wt::Child child(wt::Quoted(wt::ExeDir() + L"wardlet_hung_window.exe") + L" " + title + L" 20000");
  wt::Child answering(wt::Quoted(wt::ExeDir() + L"wardlet_window_child.exe") + L" WardletAnswering " + title);
  ASSERT_TRUE(child.started() && answering.started());
  HWND hung = nullptr, other = nullptr;
  for (int i = 0; i < 500 && !(hung && other); ++i, ::Sleep(10)) {
    hung = ::FindWindowW(L"Static", title.c_str());
    other = ::FindWindowW(L"WardletAnswering", title.c_str());
  }
  ASSERT_TRUE(hung && other);
  wt::PageTab<CWindowPage> t(&CWardletDlg::m_windowPage, 1);
  const auto cell = [](HWND w) { return std::to_wstring(reinterpret_cast<std::intptr_t>(w)); };
  t.Run(wt::FindRow(t.list, 1, cell(other)), IDM_WINDOW_TRANSPARENT);
  BYTE alpha = 0;
  DWORD flags = 0;
  EXPECT_TRUE(::GetLayeredWindowAttributes(other, nullptr, &alpha, &flags) && alpha == 120);

  const int row = wt::FindRow(t.list, 1, cell(hung));
  ASSERT_GE(row, 0);
  EXPECT_EQ(t.list.GetItemText(row, 3), title);
  for (UINT command : {IDM_WINDOW_HIDE, IDM_WINDOW_SHOW, IDM_WINDOW_MINIMIZE, IDM_WINDOW_NORMAL, IDM_WINDOW_MAXIMIZE,
                       IDM_WINDOW_TOPMOST, IDM_WINDOW_TRANSPARENT}) {
    t.Run(row, command);
    EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_TIMEOUT) << "command " << command << " waited for the window";
  }
  t.Run(row, IDM_WINDOW_CLOSE);
  EXPECT_GE(wt::FindRow(t.list, 1, cell(hung)), 0);
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_TIMEOUT) << "the program ended meanwhile";
}
