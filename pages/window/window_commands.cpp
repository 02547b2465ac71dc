// The window page's row menu, its commands and the opacity slider.
#include <cstdint>

#include "common/listpage.h"
#include "common/shell.h"
#include "pages/window/window_page.h"
#include "pages/window/window_rules.h"

HWND CWindowPage::TargetWindow() const {
  auto rec = m_rows.SelectedAs<window::WindowRecord>();
  return rec && rec->StillThere() ? rec->hwnd : nullptr;
}

// The window commands do not wait for the window's thread: a window of a hung program (or of one
// that stops answering on purpose) must not freeze the tool. The window's own thread carries the
// change out; a window of this thread changes at once.
void CWindowPage::ShowTarget(int command) {
  if (HWND target = TargetWindow()) ::ShowWindowAsync(target, command);
}

void CWindowPage::OnTopmost() {
  if (HWND target = TargetWindow())
    ::SetWindowPos(target, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
}

// Waits until the window has handled WM_CLOSE (it may ask its user first or refuse), then shows
// whether it went. The wait is bounded: a window whose thread does not answer (hung, or made so
// on purpose) must not freeze the tool; it still gets the message and may close later.
// Closing the program's own main window takes this page with it.
void CWindowPage::OnCloseWindow() {
  constexpr UINT kCloseWaitMs = 5000;
  DWORD_PTR ignored = 0;
  if (HWND target = TargetWindow())
    ::SendMessageTimeoutW(target, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseWaitMs, &ignored);
  if (m_hWnd && ::IsWindow(m_hWnd)) RefreshWindowList();
}

void CWindowPage::ApplyWindowOpacity() {
  using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
  HWND target = TargetWindow();
  UpdateData(true);
  if (!target) return;
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  FARPROC proc = user32 ? ::GetProcAddress(user32, "SetLayeredWindowAttributes") : nullptr;
  if (!proc) return;  // no layered windows on this system: the window is left as it is
  auto setLayered = reinterpret_cast<SetLayeredFn>(reinterpret_cast<void*>(proc));
  // Changing the style waits for the window's thread: a window that does not answer a probe
  // within a second (hung, or made so on purpose) is left as it is rather than freezing the tool.
  DWORD_PTR ignored = 0;
  if (::GetWindowThreadProcessId(target, nullptr) != ::GetCurrentThreadId() &&
      !::SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 1000, &ignored))
    return;
  ::SetWindowLongW(target, GWL_EXSTYLE, ::GetWindowLongW(target, GWL_EXSTYLE) | WS_EX_LAYERED);
  setLayered(target, 0, static_cast<BYTE>(m_nOpacity), LWA_ALPHA);
}

// Every movement of the slider, by mouse or keys, fades the selected window at once.
void CWindowPage::OnSliderMoved() {
  m_nOpacity = m_slider.GetPos();
  ApplyWindowOpacity();
  m_strOpacity = std::to_wstring(m_nOpacity);
  UpdateData(false);
}

bool CWindowPage::OnMessage(UINT msg, WPARAM /*wp*/, LPARAM lp, LRESULT& /*result*/) {
  if (msg == WM_HSCROLL && reinterpret_cast<HWND>(lp) == m_slider.GetSafeHwnd()) OnSliderMoved();
  return false;  // the dialog's own scroll handling runs as well
}

bool CWindowPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_WINDOW_LIST || nm->code != NM_RCLICK) return false;
  common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_WINDOW, {});
  result = 0;
  return true;
}

bool CWindowPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_WINDOW_REFRESH: RefreshWindowList(); return true;
    case IDM_WINDOW_SHOW: ShowTarget(SW_SHOW); return true;
    case IDM_WINDOW_HIDE: ShowTarget(SW_HIDE); return true;
    case IDM_WINDOW_MINIMIZE: ShowTarget(SW_MINIMIZE); return true;
    case IDM_WINDOW_NORMAL: ShowTarget(SW_SHOWNORMAL); return true;
    case IDM_WINDOW_MAXIMIZE: ShowTarget(SW_SHOWMAXIMIZED); return true;
    case IDM_WINDOW_TOPMOST: OnTopmost(); return true;
    case IDM_WINDOW_CLOSE: OnCloseWindow(); return true;
    case IDM_WINDOW_TRANSPARENT: ApplyWindowOpacity(); return true;
    case IDM_WINDOW_COPY_CLASS:
      common::CopyTextToClipboard(m_hWnd, SelectedCell(2), L"窗口类名已复制到剪贴板!");
      return true;
    case IDM_WINDOW_COPY_PATH:
      common::CopyTextToClipboard(m_hWnd, SelectedCell(4), L"文件路径已复制到剪贴板!");
      return true;
    case IDM_WINDOW_LOCATE: common::LocateFile(SelectedCell(4), SW_SHOWMAXIMIZED); return true;
    case IDM_WINDOW_PROPERTIES: common::ShowFileProperties(SelectedCell(4)); return true;
    case IDM_WINDOW_SEARCH: common::SearchWeb(m_hWnd, SelectedCell(2)); return true;
    default: return false;
  }
}
