// Process facts other pages share: the debug privilege and a process's executable path.
#pragma once
#include <windows.h>
#include <optional>
#include <string>

namespace process {

// Enables SeDebugPrivilege in the program's own token; reports a failure to owner.
void EnableDebugPrivilege(HWND owner);

// Normalised path of the process's executable, from the first module of its module snapshot that
// belongs to it, or, when no snapshot can be taken (a 64-bit process seen from the 32-bit build),
// from the image name the system keeps; nothing when neither can be read.
std::optional<std::wstring> FindProcessImagePath(DWORD pid);

// Turns "\??\" and "\SystemRoot" prefixes into an ordinary path.
std::wstring NormalizeImagePath(const std::wstring& path);

}  // namespace process
