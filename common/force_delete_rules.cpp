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

}  // namespace common
