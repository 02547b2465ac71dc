// Ending processes and barring programs.
#include "pages/process/process_actions.h"

#include <tlhelp32.h>

#include "common/shell_rules.h"
#include "pages/process/process_info.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace process {

namespace {

constexpr UINT kQuestion = MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING;
constexpr ULONG kProcessBreakOnTermination = 29;

std::function<bool(HANDLE)>& CriticalHook() {
  static std::function<bool(HANDLE)> hook;
  return hook;
}

std::wstring SystemDirectory() {
  wchar_t dir[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir, n < MAX_PATH ? n : 0);
}

bool Exists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The system folder's program of that name, or empty. A 32-bit build on 64-bit Windows sees the
// 32-bit folder under the system folder's name, so the 64-bit one is looked at through Sysnative.
std::wstring SystemFolderProgram(const std::wstring& name) {
  const std::wstring own = SystemDirectory() + L"\\" + name;
  if (Exists(own)) return own;
#ifndef _WIN64
  BOOL wow = FALSE;
  if (::IsWow64Process(::GetCurrentProcess(), &wow) && wow) {
    wchar_t dir[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryW(dir, MAX_PATH);
    const std::wstring native = std::wstring(dir, n < MAX_PATH ? n : 0) + L"\\Sysnative\\" + name;
    if (Exists(native)) return own;  // shown as the system knows it
  }
#endif
  return {};
}

// Running processes of that file name other than pid, with their paths.
std::vector<SameNameProcess> RunningProcessesNamed(const std::wstring& name, DWORD pid) {
  std::vector<SameNameProcess> found;
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = ::Process32FirstW(snap.get(), &entry); ok; ok = ::Process32NextW(snap.get(), &entry)) {
    if (entry.th32ProcessID == pid || entry.th32ProcessID == 0 || !SamePathText(entry.szExeFile, name)) continue;
    found.push_back({entry.th32ProcessID, FindProcessImagePath(entry.th32ProcessID).value_or(L"")});
  }
  return found;
}

}  // namespace

bool EndOpenedProcess(HANDLE process) {
  if (!process) return false;
  ::TerminateProcess(process, 1);
  // A process that was opened but does not end must not hold the window forever.
  return ::WaitForSingleObject(process, kKillWaitMs) == WAIT_OBJECT_0;
}

bool IsCriticalProcess(HANDLE process) {
  if (CriticalHook()) return CriticalHook()(process);
  if (!process) return false;
  using NtQueryFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<NtQueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  ULONG critical = 0;
  return query && query(process, kProcessBreakOnTermination, &critical, sizeof(critical), nullptr) >= 0 &&
         critical != 0;
}

void SetCriticalQueryHook(std::function<bool(HANDLE)> hook) { CriticalHook() = std::move(hook); }

bool ConfirmEndingSystemProcess(HWND owner, HANDLE process, DWORD pid, const std::wstring& path) {
  if (!IsCriticalProcess(process) && !IsSessionSystemProcess(path, SystemDirectory())) return true;
  const std::wstring name = path.empty() ? L"" : FileNameOf(path);
  return ui::ShowMessage(owner, CriticalQuestionText(name, pid), L"警告", kQuestion) == IDYES;
}

void ReportProcessGone(HWND owner) { ui::ShowMessage(owner, kProcessGoneText, L"提示", MB_ICONINFORMATION); }

EndResult EndListedProcess(HWND owner, DWORD pid, const ListedProcess& listed, const std::wstring& path,
                           bool reportFailure) {
  // The query right reads the creation time and the critical mark on the same handle.
  OpenedProcess opened = OpenListedProcess(pid, listed, PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION);
  if (!opened.handle && !opened.replaced)
    opened = OpenListedProcess(pid, listed, PROCESS_TERMINATE | SYNCHRONIZE);
  if (opened.replaced) {
    ReportProcessGone(owner);
    return EndResult::Gone;
  }
  // Asked also when the process cannot be opened: a force deletion goes on to its file.
  if (!ConfirmEndingSystemProcess(owner, opened.handle.get(), pid, path)) return EndResult::Declined;
  if (EndOpenedProcess(opened.handle.get())) return EndResult::Ended;
  if (reportFailure) ui::ShowMessage(owner, L"进程结束失败!", L"警告", MB_ICONERROR);
  return EndResult::Failed;
}

bool ForbidRunning(const std::wstring& imageName) {
  if (imageName.empty() || imageName.find_first_of(L"\\/") != std::wstring::npos) return false;
  // Volatile: a key made here lasts until the system restarts. The 64-bit view is the one the
  // system reads when it starts a program, also for a 32-bit build on 64-bit Windows.
  ui::CRegKey key;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, common::IfeoSubKey(imageName).c_str(), 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring marker = kForbidMarker;
  // The confirmation follows only a marker that is really in place.
  return ::RegSetValueExW(key.get(), L"Debugger", 0, REG_SZ, reinterpret_cast<const BYTE*>(marker.c_str()),
                          static_cast<DWORD>((marker.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool HasTwoRegistryViews() {
#ifdef _WIN64
  return true;
#else
  BOOL wow = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow) && wow;
#endif
}

bool ConfirmBarringName(HWND owner, const std::wstring& name, DWORD pid, const std::wstring& path) {
  if (name.empty() || name.find_first_of(L"\\/") != std::wstring::npos) return true;  // bars nothing
  const std::vector<std::wstring> others =
      OtherProgramsBarred(path, SystemFolderProgram(name), RunningProcessesNamed(name, pid));
  if (others.empty()) return true;
  return ui::ShowMessage(owner, BarQuestionText(name, others), L"警告", kQuestion) == IDYES;
}

}  // namespace process
