// Deletion of a file that may be in use: moved aside to a temporary name, then deleted.
#pragma once
#include <windows.h>
#include <string>

namespace common {

// Deletes path; reports a failure to owner itself.
void ForceDeleteFile(const std::wstring& path, HWND owner);

}  // namespace common
