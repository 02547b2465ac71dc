// Entry of the Wine test binary: common controls, sockets, then every test.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  WSADATA wsa;
  ::WSAStartup(MAKEWORD(2, 2), &wsa);
  ::testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  ::WSACleanup();
  return rc;
}
