// Program entry: reads the command line; without options starts Windows Sockets and runs the main
// dialog as the program's window, with /report writes the scan report and shows no window.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/report.h"
#include "app/report_rules.h"
#include "app/wardlet_dlg.h"
#include "ui/msgbox.h"

namespace {

// The arguments after the program's name.
std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv[i]);
  if (argv) ::LocalFree(argv);
  return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const report::Options options = report::ParseCommandLine(Arguments());
  if (options.action == report::Action::kBad) return app::RefuseCommandLine(options.error);
  if (options.action == report::Action::kHelp) return app::PrintUsage();
  const bool reporting = options.action == report::Action::kReport;

  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
    wchar_t text[256] = {};
    ::LoadStringW(instance, IDS_SOCKETS_INIT_FAILED, text, 256);
    if (reporting) return app::ReportFailure(text);
    ui::ShowMessage(nullptr, text, L"", MB_OK);
    return 0;
  }
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  int rc = 0;
  if (reporting) {
    rc = app::RunReportCommand(options.path);
  } else {
    CWardletDlg dlg;
    dlg.DoModal(nullptr);
  }
  ::WSACleanup();
  return rc;
}
