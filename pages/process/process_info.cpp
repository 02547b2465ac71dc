// Debug privilege, executable path lookup and kernel-style path rewriting.
#include "pages/process/process_info.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <winternl.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <vector>

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

using NtQueryFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kProcessBasicInformation = 0;
constexpr ULONG kProcessWow64Information = 26;
constexpr ULONG kProcessCommandLineInformation = 60;  // Windows 8.1 and later

NtQueryFn NtQuery() {
  static const auto query = reinterpret_cast<NtQueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  return query;
}

// The command line as the system hands it out: a counted string followed by its text.
std::optional<std::wstring> CommandLineFromSystem(HANDLE process) {
  NtQueryFn query = NtQuery();
  if (!query) return std::nullopt;
  std::vector<ULONGLONG> buf(128);  // 8-byte aligned, as the counted string needs
  for (int tries = 0; tries < 4; ++tries) {
    const ULONG bytes = static_cast<ULONG>(buf.size() * sizeof(ULONGLONG));
    ULONG needed = 0;
    const LONG status = query(process, kProcessCommandLineInformation, buf.data(), bytes, &needed);
    if (status >= 0) {
      const auto* text = reinterpret_cast<const UNICODE_STRING*>(buf.data());
      if (text->Length == 0) return std::wstring();
      const auto* begin = reinterpret_cast<const BYTE*>(buf.data());
      const auto* at = reinterpret_cast<const BYTE*>(text->Buffer);
      if (at < begin + sizeof(UNICODE_STRING) || at + text->Length > begin + bytes) return std::nullopt;
      return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
    }
    if (needed <= bytes) return std::nullopt;  // not this kind of failure: the system cannot tell
    buf.resize(needed / sizeof(ULONGLONG) + 1);
  }
  return std::nullopt;
}

// Reads bytes of another process at an address that may lie above 4 GiB.
using MemoryReader = std::function<bool(ULONGLONG address, void* out, size_t size)>;

// The command line from the process parameters its environment block points at, in the layout of
// a 32-bit or of a 64-bit process.
std::optional<std::wstring> CommandLineFromPeb(ULONGLONG peb, bool wide, const MemoryReader& read) {
  if (peb == 0) return std::nullopt;
  const size_t pointer = wide ? 8 : 4;
  ULONGLONG parameters = 0;
  if (!read(peb + (wide ? 0x20 : 0x10), &parameters, pointer) || parameters == 0) return std::nullopt;
  BYTE counted[16] = {};  // the UNICODE_STRING CommandLine
  if (!read(parameters + (wide ? 0x70 : 0x40), counted, wide ? 16 : 8)) return std::nullopt;
  USHORT length = 0;
  std::memcpy(&length, counted, sizeof(length));
  ULONGLONG text = 0;
  std::memcpy(&text, counted + pointer, pointer);
  if (length == 0) return std::wstring();
  if (text == 0) return std::nullopt;
  std::wstring line(length / sizeof(wchar_t), L'\0');
  if (!read(text, line.data(), line.size() * sizeof(wchar_t))) return std::nullopt;
  return line;
}

MemoryReader NativeReader(HANDLE process) {
  return [process](ULONGLONG address, void* out, size_t size) {
    if (address > static_cast<ULONGLONG>(static_cast<ULONG_PTR>(-1)) - size) return false;
    SIZE_T got = 0;
    return ::ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<ULONG_PTR>(address)), out, size, &got) &&
           got == size;
  };
}

std::optional<std::wstring> CommandLineFromMemory(HANDLE process) {
  NtQueryFn query = NtQuery();
  if (!query) return std::nullopt;
#ifdef _WIN64
  // A 32-bit process on 64-bit Windows: the environment block it uses itself.
  // (Wine answers 1 there, no address: the native block below then holds the line.)
  ULONG_PTR peb32 = 0;
  if (query(process, kProcessWow64Information, &peb32, sizeof(peb32), nullptr) >= 0 && peb32)
    if (auto line = CommandLineFromPeb(peb32, false, NativeReader(process))) return line;
  PROCESS_BASIC_INFORMATION info{};
  if (query(process, kProcessBasicInformation, &info, sizeof(info), nullptr) < 0) return std::nullopt;
  return CommandLineFromPeb(reinterpret_cast<ULONG_PTR>(info.PebBaseAddress), true, NativeReader(process));
#else
  BOOL selfWow = FALSE, targetWow = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &selfWow);
  ::IsWow64Process(process, &targetWow);
  if (!selfWow || targetWow) {
    PROCESS_BASIC_INFORMATION info{};
    if (query(process, kProcessBasicInformation, &info, sizeof(info), nullptr) < 0) return std::nullopt;
    return CommandLineFromPeb(reinterpret_cast<ULONG_PTR>(info.PebBaseAddress), false, NativeReader(process));
  }
  // A 64-bit process seen from this 32-bit one: only the system's 64-bit entry points reach its
  // memory, where they exist.
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  using Query64Fn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  using Read64Fn = LONG(NTAPI*)(HANDLE, ULONGLONG, PVOID, ULONGLONG, PULONGLONG);
  auto query64 = reinterpret_cast<Query64Fn>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtWow64QueryInformationProcess64")));
  auto read64 =
      reinterpret_cast<Read64Fn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtWow64ReadVirtualMemory64")));
  if (!query64 || !read64) return std::nullopt;
  struct {
    LONG exitStatus;
    ULONG pad;
    ULONGLONG peb, affinity, basePriority, pid, parentPid;
  } info64{};
  if (query64(process, kProcessBasicInformation, &info64, sizeof(info64), nullptr) < 0) return std::nullopt;
  return CommandLineFromPeb(info64.peb, true, [process, read64](ULONGLONG address, void* out, size_t size) {
    ULONGLONG got = 0;
    return read64(process, address, out, size, &got) >= 0 && got == size;
  });
#endif
}

}  // namespace

std::optional<std::wstring> KernelImagePath(HANDLE process) {
  // Looked up by name: systems before Vista lack the call.
  using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  static const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
  if (!query || !process) return std::nullopt;
  std::wstring path(32768, L'\0');
  DWORD size = static_cast<DWORD>(path.size());
  if (!query(process, 0, path.data(), &size) || size == 0) return std::nullopt;
  path.resize(size);
  // Pseudo-processes such as "Registry" answer with a bare name, which is no file to act on.
  if (path.find(L'\\') == std::wstring::npos) return std::nullopt;
  return path;
}

std::optional<std::wstring> KernelImagePath(DWORD pid) {
  if (pid == 0) return std::nullopt;
  ui::CHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) process.reset(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
  return KernelImagePath(process.get());
}

std::wstring ProcessCommandLine(HANDLE process) {
  if (!process) return {};
  if (auto line = CommandLineFromSystem(process)) return *line;
  return CommandLineFromMemory(process).value_or(L"");
}

std::wstring CommandLineFromProcessMemory(HANDLE process) {
  return process ? CommandLineFromMemory(process).value_or(L"") : std::wstring();
}

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
  // The system's answer first: the loader's list, read below, is the process's own memory, and a
  // process can rewrite its entry to name another file.
  if (auto path = KernelImagePath(pid)) return NormalizeImagePath(*path);
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
  if (!snap) return std::nullopt;
  MODULEENTRY32W me{};
  me.dwSize = sizeof(me);
  for (BOOL ok = ::Module32FirstW(snap.get(), &me); ok; ok = ::Module32NextW(snap.get(), &me)) {
    if (me.th32ProcessID != pid) continue;
    if (auto path = ModulePath(me)) return NormalizeImagePath(*path);
    break;
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
