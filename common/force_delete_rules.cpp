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
  for (int n = 1; exists(name); ++n) name = folder + L"Morvane." + std::to_wstring(n) + L".tmp";
  return name;
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
