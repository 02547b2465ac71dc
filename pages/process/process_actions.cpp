// Ending processes and barring programs.
#include "pages/process/process_actions.h"

#include "common/shell_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace process {

bool EndProcessAndWait(DWORD pid) {
  ui::CHandle proc(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  if (!proc) return false;
  ::TerminateProcess(proc.get(), 1);
  // A process that was opened but does not end must not hold the window forever.
  return ::WaitForSingleObject(proc.get(), kKillWaitMs) == WAIT_OBJECT_0;
}

void KillProcess(HWND owner, DWORD pid) {
  if (!EndProcessAndWait(pid)) ui::ShowMessage(owner, L"进程结束失败!", L"警告", MB_ICONERROR);
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

}  // namespace process
