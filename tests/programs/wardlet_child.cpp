// A child program the tests start and act on: it waits, by default for a minute.
//   wardlet_child.exe [sleep MILLISECONDS]
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  ::Sleep(argc >= 3 && std::wcscmp(argv[1], L"sleep") == 0 ? std::wcstoul(argv[2], nullptr, 10) : 60000);
  return 0;
}
