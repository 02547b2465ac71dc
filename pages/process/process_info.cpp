// Debug privilege, executable path lookup and kernel-style path rewriting.
#include "pages/process/process_info.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cwchar>

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

namespace {

// The path the system keeps for the process's image. A 32-bit program cannot take a module
// snapshot of a 64-bit process, so on 64-bit Windows this is how the i686 build reads the paths of
// most processes. Looked up by name: systems before Vista lack the call.
std::optional<std::wstring> QueryImageName(DWORD pid) {
  using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  static const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
  if (!query) return std::nullopt;
  ui::CHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return std::nullopt;
  std::wstring path(32768, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  if (!query(process.get(), 0, path.data(), &size) || size == 0) return std::nullopt;
  path.resize(size);
  // Pseudo-processes such as "Registry" answer with a bare name, which is no file to act on.
  if (path.find(L'\\') == std::wstring::npos) return std::nullopt;
  return path;
}

}  // namespace

std::optional<std::wstring> ModulePath(const MODULEENTRY32W& module) {
  const size_t n = ::wcsnlen(module.szExePath, MAX_PATH);
  if (n < MAX_PATH - 1) return std::wstring(module.szExePath, n);
  ui::CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, module.th32ProcessID));
  if (!process) return std::nullopt;
  std::wstring path(32768, L'\0');
  const DWORD got =
      ::GetModuleFileNameExW(process.get(), module.hModule, path.data(), static_cast<DWORD>(path.size()));
  if (got == 0 || got >= path.size()) return std::nullopt;
  path.resize(got);
  return path;
}

std::optional<std::wstring> FindProcessImagePath(DWORD pid) {
  // Process 0 is the idle process, with no image; a snapshot of "process 0" is this program's own.
  if (pid == 0) return std::nullopt;
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
  if (snap) {
    MODULEENTRY32W me{};
    me.dwSize = sizeof(me);
    for (BOOL ok = ::Module32FirstW(snap.get(), &me); ok; ok = ::Module32NextW(snap.get(), &me)) {
      if (me.th32ProcessID != pid) continue;
      if (auto path = ModulePath(me)) return NormalizeImagePath(*path);
      break;  // a path too long for the entry: the image name the system keeps has it whole
    }
  }
  auto path = QueryImageName(pid);
  if (!path) return std::nullopt;
  return NormalizeImagePath(*path);
}

// "\SystemRoot" is the system's own Windows directory; on a terminal server a program that is not
// marked terminal-server aware gets a private per-user folder from GetWindowsDirectory.
std::wstring NormalizeImagePath(const std::wstring& path) {
  wchar_t dir[MAX_PATH] = {};
  UINT n = ::GetSystemWindowsDirectoryW(dir, MAX_PATH);
  return process::NormalizeImagePath(path, std::wstring(dir, n < MAX_PATH ? n : 0));
}

}  // namespace process
