// The shell actions many page commands share: locate a file in Explorer, its properties sheet,
// copy a text, search the web, open Registry Editor at a key.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace common {

void LocateFile(const std::wstring& path, int showMode);
void ShowFileProperties(const std::wstring& path);
void CopyTextToClipboard(HWND owner, const std::wstring& text, const std::wstring& confirmation);
void SearchWeb(HWND owner, const std::wstring& text);
void OpenKeyInRegedit(HWND owner, const std::wstring& keyPath);

// One request to the shell: ShellExecute with a verb, or the properties sheet of a file.
struct ShellRequest {
  HWND owner = nullptr;
  std::wstring verb;
  std::wstring file;
  std::wstring parameters;
  int show = SW_SHOWNORMAL;
  bool properties = false;  // the "properties" verb through the shell's item context menu
};
void ShellRun(const ShellRequest& request);

// While set, ShellRun hands requests to the hook instead of starting anything.
using ShellHook = std::function<void(const ShellRequest&)>;
void SetShellHook(ShellHook hook);
// The hook now set (empty when none), for a caller that sets its own for a while and puts it back.
ShellHook CurrentShellHook();

}  // namespace common
