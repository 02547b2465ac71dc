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

// The IFEO key of an image name under HKEY_LOCAL_MACHINE, and its full path for Registry Editor.
std::wstring IfeoSubKey(const std::wstring& imageName);
std::wstring IfeoKeyPath(const std::wstring& imageName);

}  // namespace common
