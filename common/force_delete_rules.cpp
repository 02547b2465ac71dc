// Folder and temporary-name rules of the force deletion.
#include "common/force_delete_rules.h"

namespace common {

std::wstring FolderOf(const std::wstring& path) {
  size_t sep = path.find_last_of(L"\\/");
  if (sep != std::wstring::npos) return path.substr(0, sep + 1);
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
  return {};
}

std::wstring FreeTempName(const std::wstring& folder, const std::function<bool(const std::wstring&)>& exists) {
  std::wstring name = folder + L"Morvane.tmp";
  for (int n = 1; exists(name); ++n) {
    if (n >= kTempNameTries) return {};
    name = folder + L"Morvane." + std::to_wstring(n) + L".tmp";
  }
  return name;
}

namespace {
bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsDriveForm(const std::wstring& path, size_t at) {
  if (path.size() < at + 3) return false;
  const wchar_t letter = static_cast<wchar_t>(path[at] | 0x20);
  return letter >= L'a' && letter <= L'z' && path[at + 1] == L':' && IsSlash(path[at + 2]);
}
// "server\share...": a server name, a separator and a share name.
bool IsUncRest(const std::wstring& path, size_t at) {
  const size_t sep = path.find_first_of(L"\\/", at);
  return sep != std::wstring::npos && sep > at && sep + 1 < path.size() && !IsSlash(path[sep + 1]);
}
}  // namespace

bool IsAbsolutePath(const std::wstring& path) {
  if (IsDriveForm(path, 0)) return true;
  if (path.size() < 3 || !IsSlash(path[0]) || !IsSlash(path[1])) return false;
  if ((path[2] == L'?' || path[2] == L'.') && path.size() > 3 && IsSlash(path[3])) {
    if (IsDriveForm(path, 4)) return true;
    const std::wstring unc = path.substr(4, 4);
    return unc.size() == 4 && (unc[0] | 0x20) == L'u' && (unc[1] | 0x20) == L'n' && (unc[2] | 0x20) == L'c' &&
           IsSlash(unc[3]) && IsUncRest(path, 8);
  }
  return IsUncRest(path, 2);
}

std::wstring ToolPathText(const std::wstring& text) {
  const wchar_t* blanks = L" \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::wstring::npos) return {};
  std::wstring path = text.substr(first, text.find_last_not_of(blanks) - first + 1);
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  return path;
}

std::wstring ExactPathForm(const std::wstring& path) {
  const wchar_t letter = path.empty() ? L'\0' : static_cast<wchar_t>(path[0] | 0x20);
  const bool drive = path.size() > 3 && letter >= L'a' && letter <= L'z' && path[1] == L':' && path[2] == L'\\';
  const bool unc = !drive && path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' &&
                   path[2] != L'.';
  if (!drive && !unc) return {};
  const size_t start = drive ? 3 : 2;
  if (path.find(L'/') != std::wstring::npos) return {};
  for (size_t at = start;;) {
    const size_t end = path.find(L'\\', at);
    const std::wstring element = path.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
    if (element.empty() || element == L"." || element == L"..") return {};
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  return unc ? L"\\\\?\\UNC\\" + path.substr(2) : L"\\\\?\\" + path;
}

}  // namespace common
