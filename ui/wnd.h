// CWnd: a non-owning value that holds one window handle, with the calls the pages use.
#pragma once
#include <windows.h>
#include <string>

namespace ui {

class CWnd {
 public:
  CWnd() = default;
  explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  void Attach(HWND hwnd) { m_hWnd = hwnd; }

  CWnd GetDlgItem(int id) const { return CWnd(::GetDlgItem(m_hWnd, id)); }
  LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
    return ::SendMessageW(m_hWnd, msg, wp, lp);
  }
  BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
  BOOL EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
  bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
  bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
  BOOL MoveWindow(int x, int y, int w, int h, bool repaint = true) const {
    return ::MoveWindow(m_hWnd, x, y, w, h, repaint ? TRUE : FALSE);
  }
  void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
  std::wstring GetWindowText() const {
    int len = ::GetWindowTextLengthW(m_hWnd);
    if (len <= 0) return {};
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    int got = ::GetWindowTextW(m_hWnd, s.data(), len + 1);
    s.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return s;
  }
  RECT GetClientRect() const {
    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    return r;
  }

 protected:
  HWND m_hWnd = nullptr;
};

}  // namespace ui
