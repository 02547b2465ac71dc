// Path lookups on the running system.
#include "common/path_lookup.h"

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

namespace common {
namespace {
bool IsFile(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FindFileUncached(const std::wstring& name) {
  if (name.empty()) return {};
  if (name.find_first_of(L"\\:") != std::wstring::npos) return IsFile(name) ? name : std::wstring();
  std::vector<wchar_t> buf(MAX_PATH);
  for (int tries = 0; tries < 3; ++tries) {
    DWORD n = ::SearchPathW(nullptr, name.c_str(), nullptr, static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    if (n == 0) return {};
    if (n < buf.size()) {
      std::wstring found(buf.data(), n);
      return IsFile(found) ? found : std::wstring();
    }
    buf.resize(n + 1);
  }
  return {};
}
}  // namespace

PathLookup SystemPathLookup() {
  PathLookup lookup;
  wchar_t dir[MAX_PATH] = {};
  UINT n = ::GetWindowsDirectoryW(dir, MAX_PATH);
  lookup.windowsDir.assign(dir, n < MAX_PATH ? n : 0);
  lookup.variable = [](const std::wstring& name) -> std::optional<std::wstring> {
    std::vector<wchar_t> buf(256);
    for (int tries = 0; tries < 3; ++tries) {
      ::SetLastError(ERROR_SUCCESS);
      DWORD got = ::GetEnvironmentVariableW(name.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
      if (got == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::wstring();
      }
      if (got < buf.size()) return std::wstring(buf.data(), got);
      buf.resize(got + 1);
    }
    return std::nullopt;
  };
  auto cache = std::make_shared<std::map<std::wstring, std::wstring>>();
  lookup.findFile = [cache](const std::wstring& name) {
    auto it = cache->find(name);
    if (it == cache->end()) it = cache->emplace(name, FindFileUncached(name)).first;
    return it->second;
  };
  return lookup;
}

}  // namespace common
