// Open-file dialog through the common dialog library.
#include "ui/filedialog.h"

#include <commdlg.h>
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

}  // namespace ui
