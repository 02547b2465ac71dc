// Ending processes.
#include "pages/process/process_actions.h"

#include "ui/handle.h"
#include "ui/msgbox.h"

namespace process {

void KillProcess(HWND owner, DWORD pid) {
  ui::CHandle proc(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  if (proc) ::TerminateProcess(proc.get(), 1);
  // A process that was opened but does not end must not hold the window forever.
  if (!proc || ::WaitForSingleObject(proc.get(), kKillWaitMs) != WAIT_OBJECT_0)
    ui::ShowMessage(owner, L"进程结束失败!", L"警告", MB_ICONERROR);
}

}  // namespace process
