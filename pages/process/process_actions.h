// Ending a process by its PID, shared by the process and port pages.
#pragma once
#include <windows.h>

namespace process {

// How long KillProcess waits for the process to end before it reports a failure.
constexpr DWORD kKillWaitMs = 5000;

// Ends the process with exit code 1 and waits (bounded) for it; reports a failure to owner.
void KillProcess(HWND owner, DWORD pid);

}  // namespace process
