// Process facts other pages share: the debug privilege and a process's executable path.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <optional>
#include <string>

namespace process {

// Enables SeDebugPrivilege in the program's own token; reports a failure to owner.
void EnableDebugPrivilege(HWND owner);

// Normalised path of the process's executable, from the first module of its module snapshot that
// belongs to it, or, when no snapshot can be taken (a 64-bit process seen from the 32-bit build),
// from the image name the system keeps; nothing when neither can be read.
std::optional<std::wstring> FindProcessImagePath(DWORD pid);

// Full path of a module of a module snapshot. An entry holds at most MAX_PATH - 1 characters of
// the path, so a path that may have been cut there is asked of the process itself; nothing when it
// cannot be read, rather than the first part of the path, which names another file or folder.
std::optional<std::wstring> ModulePath(const MODULEENTRY32W& module);

// Turns "\??\" and "\SystemRoot" prefixes into an ordinary path.
std::wstring NormalizeImagePath(const std::wstring& path);

}  // namespace process
