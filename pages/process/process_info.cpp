// Debug privilege, executable path lookup and kernel-style path rewriting.
#include "pages/process/process_info.h"

#include <tlhelp32.h>

#include "pages/process/process_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace process {

void EnableDebugPrivilege(HWND owner) {
  ui::CHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, token.put())) {
    ui::ShowMessage(owner, L"OpenProcessToken失败!", L"", MB_OK);
    return;
  }
  TOKEN_PRIVILEGES tp{};
  if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &tp.Privileges[0].Luid)) {
    ui::ShowMessage(owner, L"LookupPrivilegeValue失败!", L"", MB_OK);
    return;
  }
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ::AdjustTokenPrivileges(token.get(), FALSE, &tp, sizeof(tp), nullptr, nullptr);
}

std::optional<std::wstring> FindProcessImagePath(DWORD pid) {
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
  if (!snap) return std::nullopt;
  MODULEENTRY32W me{};
  me.dwSize = sizeof(me);
  for (BOOL ok = ::Module32FirstW(snap.get(), &me); ok; ok = ::Module32NextW(snap.get(), &me)) {
    if (me.th32ProcessID == pid) return NormalizeImagePath(me.szExePath);
  }
  return std::nullopt;
}

// "\SystemRoot" is the system's own Windows directory; on a terminal server a program that is not
// marked terminal-server aware gets a private per-user folder from GetWindowsDirectory.
std::wstring NormalizeImagePath(const std::wstring& path) {
  wchar_t dir[MAX_PATH] = {};
  UINT n = ::GetSystemWindowsDirectoryW(dir, MAX_PATH);
  return process::NormalizeImagePath(path, std::wstring(dir, n < MAX_PATH ? n : 0));
}

}  // namespace process
