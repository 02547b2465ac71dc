// Command line and image path to the file Windows starts.
#include "common/path_rules.h"

#include <cwctype>
#include <vector>

namespace common {
namespace {
// The blanks that separate the words of a command line.
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::towlower(static_cast<wint_t>(s[i])) != std::towlower(static_cast<wint_t>(prefix[i]))) return false;
  return true;
}

// One path as written to an ordinary Win32 path: slashes become backslashes, the kernel's
// prefixes are taken off.
std::wstring Win32Form(std::wstring path, const PathLookup& lookup) {
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (StartsWithNoCase(path, L"\\??\\") || StartsWithNoCase(path, L"\\\\?\\")) return path.substr(4);
  if (StartsWithNoCase(path, L"\\SystemRoot\\")) return lookup.windowsDir + path.substr(11);
  if (StartsWithNoCase(path, L"SystemRoot\\")) return lookup.windowsDir + path.substr(10);
  return path;
}

// The existing file a candidate names, as written or with ".exe" added; empty when neither.
std::wstring Existing(const std::wstring& candidate, const PathLookup& lookup) {
  if (candidate.empty() || !lookup.findFile) return {};
  if (std::wstring found = lookup.findFile(candidate); !found.empty()) return found;
  return lookup.findFile(candidate + L".exe");
}
}  // namespace

std::wstring ExpandVariables(const std::wstring& text, const PathLookup& lookup) {
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    size_t close = text[i] == L'%' ? text.find(L'%', i + 1) : std::wstring::npos;
    if (close == std::wstring::npos || close == i + 1) {
      out += text[i++];
      continue;
    }
    std::optional<std::wstring> value = lookup.variable ? lookup.variable(text.substr(i + 1, close - i - 1))
                                                        : std::nullopt;
    if (!value) {  // not set: the first % stays, the second may open a reference
      out += text[i++];
      continue;
    }
    out += *value;
    i = close + 1;
  }
  return out;
}

std::wstring CommandPath(const std::wstring& commandLine, const PathLookup& lookup) {
  const std::wstring line = ExpandVariables(commandLine, lookup);
  size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  if (start == line.size() || line[start] == L'/') return {};  // nothing but switches
  if (line[start] == L'"') {
    size_t close = line.find(L'"', start + 1);
    std::wstring quoted = line.substr(start + 1, close == std::wstring::npos ? std::wstring::npos : close - start - 1);
    std::wstring path = Win32Form(quoted, lookup);
    std::wstring found = Existing(path, lookup);
    return found.empty() ? path : found;
  }
  // The places where a word ends, up to the first switch.
  std::vector<size_t> ends;
  for (size_t i = start; i <= line.size(); ++i) {
    if (i < line.size() && !IsBlank(line[i])) continue;
    if (ends.empty() || ends.back() != i) ends.push_back(i);
    size_t next = i;
    while (next < line.size() && IsBlank(line[next])) ++next;
    if (next == line.size() || line[next] == L'/') break;
    i = next - 1;
  }
  for (size_t end : ends) {
    std::wstring found = Existing(Win32Form(line.substr(start, end - start), lookup), lookup);
    if (!found.empty()) return found;
  }
  return Win32Form(line.substr(start, ends.front() - start), lookup);
}

std::wstring DriverPath(const std::wstring& imagePath, const std::wstring& serviceName, const PathLookup& lookup) {
  std::wstring path = ExpandVariables(imagePath, lookup);
  while (!path.empty() && IsBlank(path.back())) path.pop_back();
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  if (path.empty()) return lookup.windowsDir + L"\\system32\\drivers\\" + serviceName + L".sys";
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  const bool absolute = path[0] == L'\\' || (path.size() >= 2 && path[1] == L':');
  if (!absolute) return lookup.windowsDir + L"\\" + path;
  return Win32Form(path, lookup);
}

bool IsFileNamed(const std::wstring& path, const std::wstring& fileName) {
  size_t cut = path.find_last_of(L"\\/");
  std::wstring last = cut == std::wstring::npos ? path : path.substr(cut + 1);
  return last.size() == fileName.size() && StartsWithNoCase(last, fileName);
}

}  // namespace common
