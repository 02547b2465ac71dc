// Ending processes, shared by the process and port pages, and barring a program through its IFEO
// key.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "pages/process/listed_process.h"
#include "pages/process/process_rules.h"

namespace process {

// How long the process commands wait for a process they ended to be gone.
constexpr DWORD kKillWaitMs = 5000;

// The "Debugger" text that bars a program: no program of that name exists.
constexpr const wchar_t* kForbidMarker = L"Forbid by Morvane";

// Ends an open process with exit code 1 and waits (bounded) for it to be gone. True when it has
// ended.
bool EndOpenedProcess(HANDLE process);

// Whether the system marks the process critical (its end stops Windows); false when it cannot be
// read.
bool IsCriticalProcess(HANDLE process);
// While set, IsCriticalProcess answers with the hook; tests mark their own children critical so.
void SetCriticalQueryHook(std::function<bool(HANDLE process)> hook);

// Asks, defaulting to No, before a process is ended whose end stops Windows: one the system marks
// critical (read on process, which may be null) or a session system process of the system folder
// (by path). True to go on: the user said Yes, or there was nothing to ask.
bool ConfirmEndingSystemProcess(HWND owner, HANDLE process, DWORD pid, const std::wstring& path);

// Tells the user that a row's process has exited and its PID may be another's.
void ReportProcessGone(HWND owner);

enum class EndResult { Ended, Failed, Gone, Declined };

// Ends the process a row listed: opened and checked to be that process (Gone, told, when it is
// not), asked about when it is critical (Declined on No), ended through that one handle. A failure
// to open or end it is told as "进程结束失败!" when reportFailure is set. The caller refreshes.
EndResult EndListedProcess(HWND owner, DWORD pid, const ListedProcess& listed, const std::wstring& path,
                           bool reportFailure);

// Writes "Debugger" = kForbidMarker under the program's IFEO key of HKEY_LOCAL_MACHINE (64-bit
// view), creating the key volatile. An empty name, or one that is not a bare file name, writes
// nothing. True when the value was written.
bool ForbidRunning(const std::wstring& imageName);

// Whether the registry has a 64-bit and a 32-bit view here (64-bit Windows).
bool HasTwoRegistryViews();

// Asks, defaulting to No, before barring a file name that also bars other programs: the system
// folder's program of that name, or same-named processes running from other folders (pid is the
// listed process, left out). True to go on.
bool ConfirmBarringName(HWND owner, const std::wstring& name, DWORD pid, const std::wstring& path);

}  // namespace process
