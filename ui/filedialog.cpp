// Open-file and save-file dialogs through the common dialog library.
#include "ui/filedialog.h"

#include <commdlg.h>
#include <algorithm>
#include <utility>
#include <vector>

namespace ui {
namespace {
FileDialogHook& Hook() {
  static FileDialogHook hook;
  return hook;
}
}  // namespace

void SetFileDialogHook(FileDialogHook hook) { Hook() = std::move(hook); }

bool BrowseForFile(HWND owner, const std::wstring& filter, const std::wstring& title, std::wstring& path) {
  if (Hook()) return Hook()(filter, title, path);
  std::wstring f = filter;  // "label|patterns||" becomes "label\0patterns\0\0"
  for (auto& c : f)
    if (c == L'|') c = L'\0';
  f.push_back(L'\0');
  std::vector<wchar_t> buf(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = f.c_str();
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = static_cast<DWORD>(buf.size());
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
  if (!::GetOpenFileNameW(&ofn)) return false;
  path = buf.data();
  return true;
}

bool BrowseForSaveFile(HWND owner, const std::wstring& filter, const std::wstring& title, std::wstring& path) {
  if (Hook()) return Hook()(filter, title, path);
  std::wstring f = filter;
  for (auto& c : f)
    if (c == L'|') c = L'\0';
  f.push_back(L'\0');
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash);
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  std::vector<wchar_t> buf(32768, L'\0');
  name.copy(buf.data(), std::min(name.size(), buf.size() - 1));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = f.c_str();
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = static_cast<DWORD>(buf.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = L"txt";
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  if (!::GetSaveFileNameW(&ofn)) return false;
  path = buf.data();
  return true;
}

}  // namespace ui
