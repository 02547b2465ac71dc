// Location databases beside the test program for the port page's tests: any the run placed there
// are moved aside while a test runs, and the ones a test writes are removed after it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/wine/test_util.h"

namespace port_test {

struct DatabasesAside {
  std::vector<std::wstring> moved;
  DatabasesAside() {
    for (const wchar_t* pattern : {L"QQwry.dat", L"ipv6wry.db", L"*.mmdb"}) {
      WIN32_FIND_DATAW found;
      HANDLE find = ::FindFirstFileW((wt::ExeDir() + pattern).c_str(), &found);
      if (find == INVALID_HANDLE_VALUE) continue;
      do {
        const std::wstring path = wt::ExeDir() + found.cFileName;
        if (::MoveFileExW(path.c_str(), (path + L".wardlet-aside").c_str(), MOVEFILE_REPLACE_EXISTING))
          moved.push_back(path);
      } while (::FindNextFileW(find, &found));
      ::FindClose(find);
    }
  }
  ~DatabasesAside() {
    for (const wchar_t* pattern : {L"QQwry.dat", L"ipv6wry.db", L"*.mmdb"}) {
      WIN32_FIND_DATAW found;
      HANDLE find = ::FindFirstFileW((wt::ExeDir() + pattern).c_str(), &found);
      if (find == INVALID_HANDLE_VALUE) continue;
      do ::DeleteFileW((wt::ExeDir() + found.cFileName).c_str());
      while (::FindNextFileW(find, &found));
      ::FindClose(find);
    }
    for (const std::wstring& path : moved) ::MoveFileW((path + L".wardlet-aside").c_str(), path.c_str());
  }
};

}  // namespace port_test
