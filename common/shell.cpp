// Shell actions over ShellExecute, the clipboard and Registry Editor's last-key setting.
#include "common/shell.h"

#include <shellapi.h>

#include <cstring>
#include <utility>

#include "common/force_delete_rules.h"
#include "common/shell_rules.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace common {
namespace {
ShellHook& Hook() {
  static ShellHook hook;
  return hook;
}

// A program of the Windows directory by its full path: a bare name would be looked for in the
// program's own folder first, where a planted Explorer.exe would run in its place.
std::wstring WindowsProgram(const wchar_t* name) {
  wchar_t dir[MAX_PATH] = {};
  const UINT n = ::GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return name;
  std::wstring path(dir, n);
  if (path.back() != L'\\') path += L'\\';
  return path + name;
}

// The Windows directory of the system, where System32 lies (not a user's private one).
std::wstring SystemWindowsDirectory() {
  wchar_t dir[MAX_PATH] = {};
  const UINT n = ::GetSystemWindowsDirectoryW(dir, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(dir, n);
}

// A full path with "/", "." or ".." in it is first written out as the file system reads it, so
// that the System32 test sees the folder the operation would reach.
std::wstring ResolvedForm(const std::wstring& path) {
  if (!IsAbsolutePath(path) || path.rfind(L"\\\\?\\", 0) == 0 || !ExactPathForm(path).empty()) return path;
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return path;
  full.resize(written);
  return full;
}
}  // namespace

bool RunsUnderWow64() {
  static const bool wow64 = [] {
    BOOL value = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &value) && value;
  }();
  return wow64;
}

std::wstring FileOperationPath(const std::wstring& path) {
  if (!RunsUnderWow64()) return path;
  const std::wstring windows = SystemWindowsDirectory();
  const std::wstring resolved = ResolvedForm(path);
  const std::wstring native = NativeViewPath(resolved, windows, true);
  return native == resolved ? path : native;
}

std::wstring SystemViewPath(const std::wstring& path) {
  if (!RunsUnderWow64()) return path;
  const std::wstring resolved = ResolvedForm(path);
  if (NativeViewPath(resolved, SystemWindowsDirectory(), true) == resolved) return path;  // not System32
  // Ask the system where the folder of the path leads in this program's view; the file itself may
  // not exist yet (the dialog also takes a typed name).
  const size_t sep = resolved.find_last_of(L"\\/");
  if (sep == std::wstring::npos || sep + 1 >= resolved.size()) return path;
  const std::wstring folder = resolved.substr(0, sep);
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  ui::CFileHandle dir(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!dir) return path;
  std::wstring reached(MAX_PATH, L'\0');
  DWORD n = ::GetFinalPathNameByHandleW(dir.get(), reached.data(), static_cast<DWORD>(reached.size()), VOLUME_NAME_DOS);
  if (n >= reached.size()) {
    reached.resize(n + 1);
    n = ::GetFinalPathNameByHandleW(dir.get(), reached.data(), static_cast<DWORD>(reached.size()), VOLUME_NAME_DOS);
  }
  if (n == 0 || n >= reached.size()) return path;
  reached.resize(n);
  return PlainFinalPath(reached) + L"\\" + resolved.substr(sep + 1);
}

void SetShellHook(ShellHook hook) { Hook() = std::move(hook); }
ShellHook CurrentShellHook() { return Hook(); }

void ShellRun(const ShellRequest& r) {
  if (Hook()) {
    Hook()(r);
    return;
  }
  if (r.properties) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = r.owner;
    info.lpVerb = L"properties";
    info.lpFile = r.file.c_str();
    info.lpParameters = L"";
    info.nShow = r.show;
    ::ShellExecuteExW(&info);
    return;
  }
  ::ShellExecuteW(r.owner, r.verb.c_str(), r.file.c_str(),
                  r.parameters.empty() ? nullptr : r.parameters.c_str(), nullptr, r.show);
}

// Explorer is a program of its own: on 64-bit Windows the native one (the Windows directory is
// not redirected), which reads the path as the lists write it; so the path goes unchanged.
void LocateFile(const std::wstring& path, int showMode) {
  ShellRun({nullptr, L"open", WindowsProgram(L"Explorer.exe"), ExplorerSelectArgument(path), showMode, false});
}

// The properties sheet is shown by this program's own shell code, which reads files in this
// program's view: the path goes through FileOperationPath.
void ShowFileProperties(const std::wstring& path) {
  ShellRun({nullptr, L"properties", FileOperationPath(path), L"", SW_SHOW, true});
}

void CopyTextToClipboard(HWND owner, const std::wstring& text, const std::wstring& confirmation) {
  if (!::OpenClipboard(owner)) {
    ui::ShowMessage(owner, L"打开剪贴板失败!", L"警告", MB_ICONERROR);
    return;
  }
  ::EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool placed = false;
  if (block) {
    if (void* p = ::GlobalLock(block)) {
      std::memcpy(p, text.c_str(), bytes);
      ::GlobalUnlock(block);
      placed = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    }
    if (!placed) ::GlobalFree(block);  // the clipboard owns the block only once it took it
  }
  ::CloseClipboard();
  if (!placed) {
    ui::ShowMessage(owner, L"复制到剪贴板失败!", L"警告", MB_ICONERROR);
    return;
  }
  ui::ShowMessage(owner, confirmation, L"提示", MB_ICONINFORMATION);
}

void SearchWeb(HWND owner, const std::wstring& text) {
  ShellRun({owner, L"open", SearchAddress(text), L"", SW_SHOWMAXIMIZED, false});
}

void OpenKeyInRegedit(HWND owner, const std::wstring& keyPath) {
  ui::CRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", 0,
                      KEY_WRITE, key.put()) == ERROR_SUCCESS) {
    ::RegSetValueExW(key.get(), L"Lastkey", 0, REG_SZ, reinterpret_cast<const BYTE*>(keyPath.c_str()),
                     static_cast<DWORD>((keyPath.size() + 1) * sizeof(wchar_t)));
  } else {
    ui::ShowMessage(owner, L"注册表打开失败", L"错误", MB_ICONERROR);
  }
  key.reset();
  ShellRun({nullptr, L"open", WindowsProgram(L"Regedit.exe"), L"", SW_SHOWMAXIMIZED, false});
}

}  // namespace common
