// Entry of the Wine test binary: common controls, sockets, then every test.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "common/settings.h"

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  WSADATA wsa;
  ::WSAStartup(MAKEWORD(2, 2), &wsa);
  ::testing::InitGoogleTest(&argc, argv);
  // The program's settings go to a key of this run, removed at the end.
  const std::wstring settings = L"Software\\WardletTests\\" + std::to_wstring(::GetCurrentProcessId());
  common::SetSettingsKey(settings);
  int rc = RUN_ALL_TESTS();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, settings.c_str());
  ::WSACleanup();
  return rc;
}
