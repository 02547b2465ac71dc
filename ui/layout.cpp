// Anchored placement of a window's controls.
#include "ui/layout.h"

#include <commctrl.h>

#include <string>

namespace ui {

Layout::~Layout() {
  if (m_parent && ::IsWindow(m_parent)) ::RemoveWindowSubclass(m_parent, &Layout::Proc, reinterpret_cast<UINT_PTR>(this));
}

void Layout::Attach(HWND parent) {
  if (m_parent) ::RemoveWindowSubclass(m_parent, &Layout::Proc, reinterpret_cast<UINT_PTR>(this));
  m_parent = parent;
  m_items.clear();
  RECT r{};
  ::GetClientRect(parent, &r);
  m_base = {r.right - r.left, r.bottom - r.top};
  ::SetWindowSubclass(parent, &Layout::Proc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
}

void Layout::Anchor(HWND control, unsigned edges) {
  if (!control || !m_parent) return;
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(HWND_DESKTOP, m_parent, reinterpret_cast<POINT*>(&r), 2);
  m_items.push_back({control, r, edges});
}

void Layout::Anchor(int id, unsigned edges) { Anchor(::GetDlgItem(m_parent, id), edges); }

void Layout::AnchorText(const wchar_t* text, unsigned edges) {
  for (HWND c = ::GetWindow(m_parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    wchar_t buf[64] = {};
    ::GetWindowTextW(c, buf, 64);
    if (std::wstring(buf) == text) return Anchor(c, edges);
  }
}

void Layout::Apply() {
  if (!m_parent || m_items.empty()) return;
  RECT client{};
  ::GetClientRect(m_parent, &client);
  const int dx = client.right - m_base.cx, dy = client.bottom - m_base.cy;
  HDWP dwp = ::BeginDeferWindowPos(static_cast<int>(m_items.size()));
  for (const Item& it : m_items) {
    if (!::IsWindow(it.control)) continue;
    RECT r = it.base;
    if (it.edges & kRight) {
      r.right += dx;
      if (!(it.edges & kLeft)) r.left += dx;
    }
    if (it.edges & kBottom) {
      r.bottom += dy;
      if (!(it.edges & kTop)) r.top += dy;
    }
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    if (dwp)
      dwp = ::DeferWindowPos(dwp, it.control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (dwp) ::EndDeferWindowPos(dwp);
  ::InvalidateRect(m_parent, nullptr, TRUE);
}

// Places the controls before the other handlers of WM_SIZE run, so that they see the new places.
LRESULT CALLBACK Layout::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* self = reinterpret_cast<Layout*>(ref);
  if (msg == WM_SIZE) self->Apply();
  if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &Layout::Proc, id);
    self->m_parent = nullptr;
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace ui
