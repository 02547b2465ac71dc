// Ending a process by its PID, shared by the process and port pages, and barring a program
// through its IFEO key.
#pragma once
#include <windows.h>

#include <string>

namespace process {

// How long the process commands wait for a process they ended to be gone.
constexpr DWORD kKillWaitMs = 5000;

// The "Debugger" text that bars a program: no program of that name exists.
constexpr const wchar_t* kForbidMarker = L"Forbid by Morvane";

// Ends the process with exit code 1 and waits (bounded) for it; reports a failure to owner.
void KillProcess(HWND owner, DWORD pid);

// Ends the process with exit code 1 and waits (bounded) for it to be gone; reports nothing.
// True when the process has ended.
bool EndProcessAndWait(DWORD pid);

// Writes "Debugger" = kForbidMarker under the program's IFEO key of HKEY_LOCAL_MACHINE, creating
// the key volatile. An empty name, or one that is not a bare file name, writes nothing. True when
// the value was written.
bool ForbidRunning(const std::wstring& imageName);

}  // namespace process
