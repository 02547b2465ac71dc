// Shell actions over ShellExecute, the clipboard and Registry Editor's last-key setting.
#include "common/shell.h"

#include <shellapi.h>

#include <cstring>
#include <utility>

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
}  // namespace

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

void LocateFile(const std::wstring& path, int showMode) {
  ShellRun({nullptr, L"open", WindowsProgram(L"Explorer.exe"), ExplorerSelectArgument(path), showMode, false});
}

void ShowFileProperties(const std::wstring& path) {
  ShellRun({nullptr, L"properties", path, L"", SW_SHOW, true});
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
