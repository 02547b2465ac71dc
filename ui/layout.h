// Resizing: the controls of a window follow its size by the edges each is anchored to.
#pragma once
#include <windows.h>

#include <vector>

namespace ui {

class Layout {
 public:
  // Edges a control keeps its distance to. Left and right together stretch the control with the
  // window, right alone moves it with the right edge; top and bottom alike.
  enum : unsigned { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8, kAll = 15 };

  Layout() = default;
  ~Layout();
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  // Takes the window's client size now as the size the controls' present places belong to, and
  // places the controls anew at each WM_SIZE of the window.
  void Attach(HWND parent);
  // Anchors a control as it lies now; a missing control is skipped.
  void Anchor(HWND control, unsigned edges);
  void Anchor(int id, unsigned edges);
  // Anchors the static child whose text is text (labels have no ID of their own).
  void AnchorText(const wchar_t* text, unsigned edges);
  // Places every anchored control for the window's present client size.
  void Apply();

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  struct Item {
    HWND control;
    RECT base;
    unsigned edges;
  };
  HWND m_parent = nullptr;
  SIZE m_base{};
  std::vector<Item> m_items;
};

}  // namespace ui
