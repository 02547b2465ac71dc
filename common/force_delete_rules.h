// Platform-free naming rules of the force deletion: the file's folder and the temporary name.
#pragma once
#include <functional>
#include <string>

namespace common {

// Drive and folder of a path, as _splitpath gives them joined ("C:\a\" for C:\a\b.exe, "D:\" for
// D:\x.txt, "C:" for C:x.txt, empty for a bare file name).
std::wstring FolderOf(const std::wstring& path);

// How many temporary names FreeTempName tries in one folder before it gives up.
constexpr int kTempNameTries = 1000;

// The temporary name in folder: "Morvane.tmp", or "Morvane.<n>.tmp" for the first n from 1 on
// whose name exists() denies, so that no file already there is replaced. Empty when the first
// kTempNameTries names all exist (a folder filled on purpose must not hold the deletion forever).
std::wstring FreeTempName(const std::wstring& folder, const std::function<bool(const std::wstring&)>& exists);

// Whether path names one file whatever the current drive and folder: "X:\..." (either slash), a
// UNC path "\\server\share...", or their "\\?\" and "\\.\" forms. "C:x", "\x" and "x" depend on
// the current drive or folder and are not absolute.
bool IsAbsolutePath(const std::wstring& path);

// The path typed or pasted into the force-delete tool: white space around it dropped, then one pair
// of double quotes around the whole (as Explorer's "copy as path" puts them) taken off. Inside
// quotes the text is kept exactly, trailing blanks included.
std::wstring ToolPathText(const std::wstring& text);

// The \\?\ form of a full path written out plainly (a drive or UNC path, backslashes only, no
// empty, "." or ".." element): it names exactly that file, where the ordinary rules would drop a
// trailing dot or blank of a name and so name another file. Empty for any other path.
std::wstring ExactPathForm(const std::wstring& path);

}  // namespace common
