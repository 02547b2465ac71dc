// A Win32 service the Wine tests install: it starts, stops, pauses and continues, each change
// passing through its pending state for a moment so that the page has to wait for it.
//   wardlet_test_service.exe [refuse | stall] [other arguments, ignored]
// refuse: the start ends in the stopped state with a service-specific error.
// stall: the start never ends (start-pending for a minute, then stopped).
#include <windows.h>

#include <cwchar>

namespace {

enum class Mode { Normal, Refuse, Stall } g_mode = Mode::Normal;
SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_wake = nullptr;
volatile LONG g_request = 0;  // the last control asked for, taken by the service's main loop
constexpr DWORD kTransitionMs = 300;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
  const bool settled = state == SERVICE_RUNNING || state == SERVICE_PAUSED || state == SERVICE_STOPPED;
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING
                                    ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
  g_status.dwWin32ExitCode = exitCode ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
  g_status.dwServiceSpecificExitCode = exitCode;
  g_status.dwWaitHint = settled ? 0 : 5000;
  ++g_status.dwCheckPoint;
  ::SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  if (control < SERVICE_CONTROL_STOP || control > SERVICE_CONTROL_CONTINUE) return ERROR_CALL_NOT_IMPLEMENTED;
  const DWORD pending[] = {0, SERVICE_STOP_PENDING, SERVICE_PAUSE_PENDING, SERVICE_CONTINUE_PENDING};
  Report(pending[control]);
  ::InterlockedExchange(&g_request, static_cast<LONG>(control));
  ::SetEvent(g_wake);
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  g_handle = ::RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", Handler, nullptr);
  if (!g_handle) return;
  Report(SERVICE_START_PENDING);
  ::Sleep(kTransitionMs);
  if (g_mode == Mode::Stall) ::Sleep(60000);
  if (g_mode != Mode::Normal) return Report(SERVICE_STOPPED, g_mode == Mode::Refuse ? 42 : NO_ERROR);
  Report(SERVICE_RUNNING);
  for (;;) {
    ::WaitForSingleObject(g_wake, INFINITE);
    const DWORD control = static_cast<DWORD>(::InterlockedExchange(&g_request, 0));
    ::Sleep(kTransitionMs);
    if (control == SERVICE_CONTROL_STOP) return Report(SERVICE_STOPPED);
    if (control == SERVICE_CONTROL_PAUSE) Report(SERVICE_PAUSED);
    if (control == SERVICE_CONTROL_CONTINUE) Report(SERVICE_RUNNING);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"refuse") == 0) g_mode = Mode::Refuse;
    if (std::wcscmp(argv[i], L"stall") == 0) g_mode = Mode::Stall;
  }
  g_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
