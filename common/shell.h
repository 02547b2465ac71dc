// The shell actions many page commands share: locate a file in Explorer, its properties sheet,
// copy a text, search the web, open Registry Editor at a key.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace common {

// Whether this is a 32-bit program on 64-bit Windows, whose file operations on the Windows
// directory's System32 are sent to SysWOW64 (asked of the system once).
bool RunsUnderWow64();

// The lists name files as the system does: C:\Windows\System32 is the real System32 (the image
// path of a 64-bit process says so). The path through which this program's own file operations
// reach the file so named: under WOW64, System32 through the Sysnative alias; otherwise path.
// Redirection stays on for everything else the program does.
std::wstring FileOperationPath(const std::wstring& path);

// The reverse, for a path this program's own view produced (its file dialog lists SysWOW64 under
// the name System32): the system's name of the file this program reaches by path. Under WOW64 a
// path into System32 becomes the real folder it reached (SysWOW64, or a folder such as
// System32\drivers\etc that is not redirected); otherwise path.
std::wstring SystemViewPath(const std::wstring& path);

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
