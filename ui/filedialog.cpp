// Open-file and save-file dialogs through the common dialog library.
#include "ui/filedialog.h"

#include <commdlg.h>
#include <algorithm>
#include <utility>
#include <vector>

#include "ui/modal.h"

namespace ui {
namespace {
FileDialogHook& Hook() {
  static FileDialogHook hook;
  return hook;
}
}  // namespace

void SetFileDialogHook(FileDialogHook hook) { Hook() = std::move(hook); }

namespace {
bool Browse(HWND owner, const std::wstring& filter, const std::wstring& title, std::wstring& path, bool save,
            const wchar_t* defaultExt) {
  ModalScope open;
  if (Hook()) return Hook()(filter, title, path);
  std::wstring f = filter;  // "label|patterns||" becomes "label\0patterns\0\0"
  for (auto& c : f)
    if (c == L'|') c = L'\0';
  f.push_back(L'\0');
  // A save dialog starts in the suggested name's folder with the name filled in.
  const size_t slash = save ? path.find_last_of(L"\\/") : std::wstring::npos;
  const std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash);
  const std::wstring name = !save ? L"" : slash == std::wstring::npos ? path : path.substr(slash + 1);
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
  ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : 0);
  ofn.lpstrDefExt = defaultExt;
  if (!(save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn))) return false;
  path = buf.data();
  return true;
}
}  // namespace

bool BrowseForFile(HWND owner, const std::wstring& filter, const std::wstring& title, std::wstring& path) {
  return Browse(owner, filter, title, path, false, nullptr);
}

bool BrowseForSaveFile(HWND owner, const std::wstring& filter, const std::wstring& title, const wchar_t* defaultExt,
                       std::wstring& path) {
  return Browse(owner, filter, title, path, true, defaultExt);
}

}  // namespace ui
