// Platform-free texts the shell actions hand to the shell.
#pragma once
#include <string>

namespace common {

// Explorer's parameters that open the folder of path with the file selected. The path is quoted
// (any double quote in it dropped), so commas, blanks or switch-like text in it cannot add
// arguments of their own.
std::wstring ExplorerSelectArgument(const std::wstring& path);

// UTF-8 bytes of a wide text (UTF-16 where wchar_t has 16 bits, UTF-32 elsewhere).
std::string WideToUtf8(const std::wstring& text);

// Percent-encodes bytes for a URL query value: unreserved characters stay, all else is %XX.
std::string PercentEncode(const std::string& bytes);

// Address of a web search for text, the text percent-encoded as UTF-8 into the q parameter.
std::wstring SearchAddress(const std::wstring& text);

// A 32-bit program on 64-bit Windows sees SysWOW64 wherever it names the Windows directory's
// System32, while paths shown in the lists name files as the system does. Under WOW64 (wow64
// true) a path into windowsDirectory\System32 (case-insensitive, "\\?\" form included) is
// turned into the same path through the Sysnative alias, which reaches the real System32 without
// turning redirection off; any other path, and every path when wow64 is false, stays as it is.
std::wstring NativeViewPath(const std::wstring& path, const std::wstring& windowsDirectory, bool wow64);

// A path as GetFinalPathNameByHandle gives it, written plainly: "\\?\C:\a" becomes "C:\a" and
// "\\?\UNC\server\share" becomes "\\server\share"; any other text stays.
std::wstring PlainFinalPath(const std::wstring& finalPath);

// The IFEO key of an image name under HKEY_LOCAL_MACHINE, and its full path for Registry Editor.
std::wstring IfeoSubKey(const std::wstring& imageName);
std::wstring IfeoKeyPath(const std::wstring& imageName);

}  // namespace common
