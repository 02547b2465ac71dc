// A program whose window answers every message (a WM_NULL probe included) but stalls the first
// time its style is about to change: inside WM_STYLECHANGING it signals STALLED, sleeps for the
// given time, then signals WOKE and goes on answering. It ends when its window is closed or after
// a minute.
//   wardlet_stalling_window.exe TITLE MILLISECONDS STALLED_EVENT WOKE_EVENT
// The window is visible, of class "WardletStalling"; the events are named events the caller made.
#include <windows.h>

#include <cwchar>

namespace {
DWORD g_sleep = 0;
HANDLE g_stalled = nullptr, g_woke = nullptr;
bool g_done = false;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_STYLECHANGING && !g_done) {
    g_done = true;
    ::SetEvent(g_stalled);
    ::Sleep(g_sleep);
    ::SetEvent(g_woke);
  }
  if (msg == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 2;
  g_sleep = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  g_stalled = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
  g_woke = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]);
  if (!g_stalled || !g_woke) return 1;
  WNDCLASSW wc{0, WindowProc, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"WardletStalling"};
  if (!::RegisterClassW(&wc)) return 1;
  if (!::CreateWindowExW(0, wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 200, 100, nullptr,
                         nullptr, wc.hInstance, nullptr))
    return 1;
  ::SetTimer(nullptr, 0, 60000, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0 && !(msg.message == WM_TIMER && msg.hwnd == nullptr))
    ::DispatchMessageW(&msg);
  return 0;
}
