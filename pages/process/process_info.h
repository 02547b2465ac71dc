// Process facts other pages share: the debug privilege and a process's executable path.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <optional>
#include <string>

namespace process {

// Enables SeDebugPrivilege in the program's own token; reports a failure to owner.
void EnableDebugPrivilege(HWND owner);

// Normalised path of the process's executable as the system knows it (the image it mapped, which
// the process cannot rewrite), or, only when the system will not answer, from the first module of
// its module snapshot, which lives in the process's own memory; nothing when neither can be read.
std::optional<std::wstring> FindProcessImagePath(DWORD pid);

// The image path the system keeps for an open process (Win32 form), or for a PID; nothing when the
// system will not tell (no such process, no access, a pseudo-process without a file).
std::optional<std::wstring> KernelImagePath(HANDLE process);
std::optional<std::wstring> KernelImagePath(DWORD pid);

// The command line of an open process, whole and as the process was given it; empty when it cannot
// be read. Needs query and, on systems that cannot answer directly, memory-read access.
std::wstring ProcessCommandLine(HANDLE process);

// The command line read from the process parameters in the process's memory, which is where
// ProcessCommandLine looks when the system cannot answer; empty when it cannot be read.
std::wstring CommandLineFromProcessMemory(HANDLE process);

// Full path of a module of a module snapshot. An entry holds at most MAX_PATH - 1 characters of
// the path, so a path that may have been cut there is asked of the process itself; nothing when it
// cannot be read, rather than the first part of the path, which names another file or folder.
std::optional<std::wstring> ModulePath(const MODULEENTRY32W& module);

// Turns "\??\" and "\SystemRoot" prefixes into an ordinary path.
std::wstring NormalizeImagePath(const std::wstring& path);

}  // namespace process
