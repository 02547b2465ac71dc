// The rule that finds, in a command line, the file Windows would start (services, startup items),
// and the kernel's rule for a driver's image path. The file system is asked through a lookup the
// caller gives, so that the rules stay free of any platform service.
#pragma once
#include <functional>
#include <optional>
#include <string>

namespace common {

struct PathLookup {
  // The Windows folder, without a trailing backslash ("C:\windows"): \SystemRoot\ and a driver's
  // relative image path stand for it.
  std::wstring windowsDir;
  // The value of an environment variable by its name; nothing when it is not set.
  std::function<std::optional<std::wstring>(const std::wstring& name)> variable;
  // The full path of the existing file (not a folder) a name stands for: a path as it is, a bare
  // name searched as a program start searches it; empty when there is none.
  std::function<std::wstring(const std::wstring& name)> findFile;
};

// Expands %NAME% references whose variable is set; others stay as written.
std::wstring ExpandVariables(const std::wstring& text, const PathLookup& lookup);

// The file a command line starts, as Windows resolves it: the text in quotes when it begins with
// one; otherwise the shortest part up to a blank that names an existing file, as written or with
// ".exe" added, and failing that the first blank-separated word. A slash inside a word is a
// folder separator, a word after a blank that begins with a slash is a switch. Environment
// references are expanded first; the kernel's \??\ and \SystemRoot\ forms name ordinary paths.
std::wstring CommandPath(const std::wstring& commandLine, const PathLookup& lookup);

// A driver's image path as the kernel loads it: \SystemRoot\ is the Windows folder, \??\ a
// Win32 path, a relative path lies under the Windows folder, and an empty one means
// system32\drivers\<service name>.sys.
std::wstring DriverPath(const std::wstring& imagePath, const std::wstring& serviceName, const PathLookup& lookup);

// Whether a path names this file (the last element compared without regard to case), such as the
// shared service host svchost.exe.
bool IsFileNamed(const std::wstring& path, const std::wstring& fileName);

}  // namespace common
