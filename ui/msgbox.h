// The one message-box function of the program; tests replace it to read what would be shown.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace ui {

// Shows a message box owned by owner. An empty caption shows the program's name, as a message box
// without a caption of its own does.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// While a hook is set, ShowMessage calls it instead of showing anything and returns its result.
using MessageHook = std::function<int(HWND owner, const std::wstring& text,
                                      const std::wstring& caption, UINT style)>;
void SetMessageHook(MessageHook hook);
// The hook now set (empty when none), for a caller that sets its own for a while and puts it back.
MessageHook CurrentMessageHook();

// The caption used when a message names none.
std::wstring AppTitle();

}  // namespace ui
