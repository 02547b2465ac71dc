// Program entry: starts Windows Sockets, then runs the main dialog as the program's window.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "app/wardlet_dlg.h"
#include "ui/msgbox.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
    wchar_t text[256] = {};
    ::LoadStringW(instance, IDS_SOCKETS_INIT_FAILED, text, 256);
    ui::ShowMessage(nullptr, text, L"", MB_OK);
    return 0;
  }
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  CWardletDlg dlg;
  dlg.DoModal(nullptr);
  ::WSACleanup();
  return 0;
}
