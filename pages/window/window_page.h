// Tab 1: every top-level window, with its actions and the opacity slider.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/record_list.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace window {
// Every top-level window of the desktop, hidden or not, top of the Z-order first.
std::vector<HWND> TopLevelWindows();

// A listed window: its handle with the thread and process it belonged to when listed, so that a
// handle the system has given to another window since is not mistaken for it.
struct WindowRecord : common::Record {
  HWND hwnd = nullptr;
  DWORD thread = 0;
  DWORD process = 0;
  // Whether hwnd still names the window listed.
  bool StillThere() const;
};

// The rows of the window list, in Z-order; touches no control (runs on a worker thread).
common::Records GatherWindows();
}

class CWindowPage : public ui::CDialog {
 public:
  CWindowPage() : ui::CDialog(IDD_WINDOW_PAGE) {}

  // Inserts the list's columns and sets the slider up: 0 to 255, at 120, steps and ticks of 5.
  void SetupLists();
  // Refills the list: gathered on a worker thread, shown when done.
  void RefreshWindowList();
  // Refills the list before returning.
  void RefreshWindowListNow();
  // Sets the selected window's alpha to the slider's position, making it layered.
  void ApplyWindowOpacity();
  // Full path of the executable of process pid; empty when it cannot be read.
  static std::wstring GetWindowOwnerPath(DWORD pid);

  const ui::CListCtrl& List() const { return m_list; }
  common::RecordList& Records() { return m_rows; }
  const ui::CSliderCtrl& Slider() const { return m_slider; }
  int Opacity() const { return m_nOpacity; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  // The window of the selected row; null when there is none or it has gone.
  HWND TargetWindow() const;
  // A cell of the selected row; empty when no row is selected.
  std::wstring SelectedCell(int column) const;
  void ShowTarget(int command);
  void OnTopmost();
  void OnCloseWindow();
  void OnSliderMoved();

  ui::CSliderCtrl m_slider;
  ui::CListCtrl m_list;
  common::RecordList m_rows;
  int m_nOpacity = 0;
  std::wstring m_strOpacity;
};
