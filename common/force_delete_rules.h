// Platform-free naming rules of the force deletion: the file's folder and the temporary name.
#pragma once
#include <functional>
#include <string>

namespace common {

// Drive and folder of a path, as _splitpath gives them joined ("C:\a\" for C:\a\b.exe, "D:\" for
// D:\x.txt, "C:" for C:x.txt, empty for a bare file name).
std::wstring FolderOf(const std::wstring& path);

// The temporary name in folder: "Morvane.tmp", or "Morvane.<n>.tmp" for the first n from 1 on
// whose name exists() denies, so that no file already there is replaced.
std::wstring FreeTempName(const std::wstring& folder, const std::function<bool(const std::wstring&)>& exists);

// The \\?\ form of a full path written out plainly (a drive or UNC path, backslashes only, no
// empty, "." or ".." element): it names exactly that file, where the ordinary rules would drop a
// trailing dot or blank of a name and so name another file. Empty for any other path.
std::wstring ExactPathForm(const std::wstring& path);

}  // namespace common
