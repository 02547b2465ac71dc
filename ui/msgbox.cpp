// The one message-box function.
#include "ui/msgbox.h"

#include <utility>

#include "ui/modal.h"

namespace ui {
namespace {
MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}
}  // namespace

void SetMessageHook(MessageHook hook) { Hook() = std::move(hook); }
MessageHook CurrentMessageHook() { return Hook(); }

std::wstring AppTitle() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, n);
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name.empty() ? L"Wardlet" : name;
}

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
  const std::wstring shown = caption.empty() ? AppTitle() : caption;
  ModalScope open;
  if (Hook()) return Hook()(owner, text, shown, style);
  return ::MessageBoxW(owner, text.c_str(), shown.c_str(), style);
}

}  // namespace ui
