// Non-owning wrappers of the stock controls the pages use: list, tab, slider, button, edit.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

#include "ui/wnd.h"

namespace ui {

class CListCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  int GetNextItem(int start, UINT flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
  }
  void DeleteAllItems() const { SendMessage(LVM_DELETEALLITEMS); }
  void SetExtendedStyle(DWORD style) const { SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style); }
  int InsertColumn(int col, const std::wstring& heading, int format, int width) const {
    LVCOLUMNW c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<wchar_t*>(heading.c_str());
    c.iSubItem = col;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c)));
  }
  int GetColumnCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
    return header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  }
  // Inserts a row with the text mask only; returns its index or -1.
  int InsertItem(int row, const std::wstring& text) const {
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = row;
    it.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  }
  bool SetItemText(int row, int col, const std::wstring& text) const {
    LVITEMW it{};
    it.iSubItem = col;
    it.pszText = const_cast<wchar_t*>(text.c_str());
    return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it)) != 0;
  }
  // The whole text of a cell, however long.
  std::wstring GetItemText(int row, int col) const {
    std::vector<wchar_t> buf(256);
    for (;;) {
      LVITEMW it{};
      it.iSubItem = col;
      it.cchTextMax = static_cast<int>(buf.size());
      it.pszText = buf.data();
      int n = static_cast<int>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it)));
      if (n < static_cast<int>(buf.size()) - 1) return std::wstring(buf.data(), static_cast<size_t>(n < 0 ? 0 : n));
      buf.resize(buf.size() * 4);
    }
  }
  bool SetItemState(int row, UINT state, UINT mask) const {
    LVITEMW it{};
    it.stateMask = mask;
    it.state = state;
    return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it)) != 0;
  }
};

class CTabCtrl : public CWnd {
 public:
  int InsertItem(int index, const std::wstring& text) const {
    TCITEMW it{};
    it.mask = TCIF_TEXT;
    it.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(SendMessage(TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&it)));
  }
  int GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
  int SetCurSel(int index) const { return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(index))); }
  int GetItemCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
};

class CSliderCtrl : public CWnd {
 public:
  void SetRange(int lo, int hi, bool redraw) const { SendMessage(TBM_SETRANGE, redraw, MAKELPARAM(lo, hi)); }
  void SetPos(int pos) const { SendMessage(TBM_SETPOS, TRUE, pos); }
  int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
  void SetLineSize(int n) const { SendMessage(TBM_SETLINESIZE, 0, n); }
  void SetPageSize(int n) const { SendMessage(TBM_SETPAGESIZE, 0, n); }
  void SetTicFreq(int n) const { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(n)); }
};

class CButton : public CWnd {};
class CEdit : public CWnd {};

}  // namespace ui
