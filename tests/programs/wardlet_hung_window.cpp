// A program whose one window stops answering: it creates a top-level window with the given title,
// then waits without handling any message, by default for a minute.
//   wardlet_hung_window.exe TITLE [MILLISECONDS]
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  HWND w = ::CreateWindowExW(0, L"Static", argv[1], WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  if (!w) return 1;
  ::Sleep(argc >= 3 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 60000);
  return 0;
}
