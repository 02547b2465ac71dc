// Lists read from sources that change under them: the system's own processes, whose module
// snapshot a 32-bit program on 64-bit Windows cannot take, windows destroyed during a refresh, and
// registry keys added and removed during one.
#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <functional>
#include <string>
#include <thread>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// Calls step(0), step(1), … on another thread until told to stop, then done() there; meanwhile,
// once 16 steps have run, refreshes 30 times. Returns how many refreshes failed their check.
int FailedRefreshesDuringChurn(const std::function<void(int)>& step, const std::function<void()>& done,
                               const std::function<bool()>& refreshAndCheck) {
  std::atomic<bool> stop{false};
  std::atomic<int> steps{0};
  std::thread churn([&] {
    for (int i = 0; !stop; ++i, ++steps) step(i);
    done();
  });
  while (steps < 16) ::Sleep(1);
  int failed = 0;
  for (int i = 0; i < 30; ++i) failed += !refreshAndCheck();
  stop = true;
  churn.join();
  return failed;
}

}  // namespace

// Run by the i686 build in a 64-bit prefix too, where these processes are 64-bit ones.
TEST(LiveSources, SystemProcessesShowTheirPaths) {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  page.RefreshProcessListNow();
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
  HWND windows[8] = {};  // the other thread's, created and destroyed there
  wt::PageTab<CWindowPage> t(&CWardletDlg::m_windowPage, 1);
  const std::wstring steadyCell = std::to_wstring(reinterpret_cast<std::intptr_t>(steady));
  const int missed = FailedRefreshesDuringChurn(
      [&](int i) {
        HWND& w = windows[i % 8];
        if (w) ::DestroyWindow(w);
        w = ::CreateWindowExW(0, wc.lpszClassName, L"churn", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                              wc.hInstance, nullptr);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      },
      [&] {
        for (HWND w : windows)
          if (w) ::DestroyWindow(w);
      },
      [&] {
        t.page.RefreshWindowListNow();
        return wt::FindRow(t.list, 1, steadyCell) >= 0;
      });
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

// Another thread adds and removes image keys that come before a steady one while the IFEO page
// lists them, so that the indexes of the walk shift under it: every refresh must list the steady
// key, once.
TEST(LiveSources, ImageKeysAddedAndRemovedDuringARefreshHideNoOtherKey) {
  const std::wstring ifeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
  const std::wstring steady = L"wardlet_t_steady.exe";
  ui::CRegKey parent;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, ifeo.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, parent.put()),
            ERROR_SUCCESS);
  {
    ui::CRegKey image;
    ASSERT_EQ(::RegCreateKeyExW(parent.get(), steady.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, image.put(), nullptr),
              ERROR_SUCCESS);
    const wchar_t debugger[] = L"C:\\steady.exe";
    ::RegSetValueExW(image.get(), L"Debugger", 0, REG_SZ, reinterpret_cast<const BYTE*>(debugger), sizeof(debugger));
  }
  auto churnName = [](int i) { return L"0wardlet_t_churn" + std::to_wstring(i % 8); };
  wt::PageTab<CIfeoPage> t(&CWardletDlg::m_ifeoPage, 4);
  const int wrong = FailedRefreshesDuringChurn(
      [&](int i) {
        if ((i / 8) % 2 == 0) {
          ui::CRegKey k;
          ::RegCreateKeyExW(parent.get(), churnName(i).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.put(), nullptr);
        } else {
          ::RegDeleteKeyW(parent.get(), churnName(i).c_str());
        }
      },
      [] {},
      [&] {
        t.page.RefreshIfeoListNow();
        return rt::RowsWith(t.list, 1, steady).size() == 1;
      });
  for (int i = 0; i < 8; ++i) ::RegDeleteKeyW(parent.get(), churnName(i).c_str());
  ::RegDeleteKeyW(parent.get(), steady.c_str());
  EXPECT_EQ(wrong, 0) << "refreshes that lost or doubled a key after the ones added and removed";
}

// The same for the values of a Run key on the startup-item page: values added and removed before a
// steady one during each refresh hide it in none and double it in none.
TEST(LiveSources, RunValuesAddedAndRemovedDuringARefreshHideNoOtherValue) {
  ui::CRegKey run;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, run.put(), nullptr),
            ERROR_SUCCESS);
  const std::wstring steady = L"wardlet_t_steady";
  const wchar_t command[] = L"C:\\steady.exe";
  auto set = [&](const std::wstring& name) {
    ::RegSetValueExW(run.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command), sizeof(command));
  };
  auto churnName = [](int i) { return L"0wardlet_t_churn" + std::to_wstring(i % 8); };
  for (int i = 0; i < 8; ++i) set(churnName(i));
  set(steady);
  wt::PageTab<CAutorunPage> t(&CWardletDlg::m_autorunPage, 3);
  const int wrong = FailedRefreshesDuringChurn(
      [&](int i) {
        if ((i / 8) % 2 == 0) ::RegDeleteValueW(run.get(), churnName(i).c_str());
        else set(churnName(i));
      },
      [] {},
      [&] {
        t.page.RefreshAutorunListNow();
        return rt::RowsWith(t.list, 1, steady).size() == 1;
      });
  for (int i = 0; i < 8; ++i) ::RegDeleteValueW(run.get(), churnName(i).c_str());
  ::RegDeleteValueW(run.get(), steady.c_str());
  EXPECT_EQ(wrong, 0) << "refreshes that lost or doubled a value after the ones added and removed";
}
