// A child program the tests start and act on: it waits, by default for a minute.
//   wardlet_child.exe [sleep MILLISECONDS]
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  DWORD ms = 60000;
  if (argc >= 3 && std::wcscmp(argv[1], L"sleep") == 0) ms = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  ::Sleep(ms);
  return 0;
}
