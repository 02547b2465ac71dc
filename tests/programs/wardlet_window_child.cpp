// A child program with top-level windows of its own, for the window list tests and benchmarks.
//   wardlet_window_child.exe CLASS TITLE [COUNT [SECONDS]]
// Creates a visible window titled TITLE and a hidden one titled TITLE plus " 2", both of class
// CLASS, and COUNT more hidden ones titled TITLE plus " #1" and on; then handles messages until
// all are closed or SECONDS (by default 60) have passed.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {
int g_open = 0;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY && --g_open == 0) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool Open(const wchar_t* cls, const std::wstring& title, bool visible) {
  if (!::CreateWindowExW(0, cls, title.c_str(), WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 10, 10, 200, 100,
                         nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr))
    return false;
  ++g_open;
  return true;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const unsigned long extra = argc >= 4 ? std::wcstoul(argv[3], nullptr, 10) : 0;
  const unsigned long seconds = argc >= 5 ? std::wcstoul(argv[4], nullptr, 10) : 60;
  WNDCLASSW wc{0, WindowProc, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, argv[1]};
  if (!::RegisterClassW(&wc)) return 1;
  const std::wstring title = argv[2];
  if (!Open(argv[1], title, true) || !Open(argv[1], title + L" 2", false)) return 1;
  for (unsigned long i = 1; i <= extra; ++i)
    if (!Open(argv[1], title + L" #" + std::to_wstring(i), false)) return 1;
  ::SetTimer(nullptr, 0, seconds * 1000, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0 && !(msg.message == WM_TIMER && msg.hwnd == nullptr))
    ::DispatchMessageW(&msg);
  return 0;
}
