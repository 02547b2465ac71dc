// A child program with top-level windows of its own, for the window list tests.
//   wardlet_window_child.exe CLASS TITLE
// Creates a visible window titled TITLE and a hidden one titled TITLE plus " 2", both of class
// CLASS, then handles messages until both are closed or a minute has passed.
#include <windows.h>

#include <string>

namespace {
int g_open = 0;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY && --g_open == 0) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  WNDCLASSW wc{0, WindowProc, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, argv[1]};
  if (!::RegisterClassW(&wc)) return 1;
  const std::wstring titles[] = {argv[2], std::wstring(argv[2]) + L" 2"};
  for (int i = 0; i < 2; ++i)
    if (::CreateWindowExW(0, argv[1], titles[i].c_str(), WS_OVERLAPPEDWINDOW | (i == 0 ? WS_VISIBLE : 0), 10, 10, 200,
                          100, nullptr, nullptr, wc.hInstance, nullptr))
      ++g_open;
  if (g_open != 2) return 1;
  ::SetTimer(nullptr, 0, 60000, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0 && !(msg.message == WM_TIMER && msg.hwnd == nullptr))
    ::DispatchMessageW(&msg);
  return 0;
}
