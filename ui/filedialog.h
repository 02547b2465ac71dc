// The file-open and file-save dialogs; tests answer them through a hook.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace ui {

// Shows an open-file dialog. filter uses '|' between label and patterns and ends with "||".
// Returns true and the chosen full path when the user chose a file.
bool BrowseForFile(HWND owner, const std::wstring& filter, const std::wstring& title, std::wstring& path);

// Shows a save-file dialog starting at path (a suggested name); defaultExt is added to a name
// typed without one. The file dialog hook answers it too.
bool BrowseForSaveFile(HWND owner, const std::wstring& filter, const std::wstring& title, const wchar_t* defaultExt,
                       std::wstring& path);

// While set, BrowseForFile and BrowseForSaveFile ask the hook instead of showing the dialog.
using FileDialogHook = std::function<bool(const std::wstring& filter, const std::wstring& title, std::wstring& path)>;
void SetFileDialogHook(FileDialogHook hook);

}  // namespace ui
