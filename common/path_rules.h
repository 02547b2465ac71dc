// The rule that reduces a command line to the text of a path column (services and startup items).
#pragma once
#include <string>

namespace common {

// Drops every double quote and trailing white space, then cuts before the first "/" or, failing
// that, just before the hyphen of the first " -" (the blank stays).
std::wstring CleanCommandPath(const std::wstring& commandLine);

inline std::wstring CleanServicePath(const std::wstring& commandLine) { return CleanCommandPath(commandLine); }
inline std::wstring CleanAutorunPath(const std::wstring& commandLine) { return CleanCommandPath(commandLine); }

}  // namespace common
