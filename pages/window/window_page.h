// Tab 1: every top-level window, with its actions and the opacity slider.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace window {
class OwnerPathCache;
// Every top-level window of the desktop, hidden or not, top of the Z-order first.
std::vector<HWND> TopLevelWindows();
}

class CWindowPage : public ui::CDialog {
 public:
  CWindowPage() : ui::CDialog(IDD_WINDOW_PAGE) {}

  // Inserts the list's columns and sets the slider up: 0 to 255, at 120, steps and ticks of 5.
  void SetupLists();
  void RefreshWindowList();
  // Sets the selected window's alpha to the slider's position, making it layered.
  void ApplyWindowOpacity();
  // Full path of the executable of process pid; empty when it cannot be read.
  static std::wstring GetWindowOwnerPath(DWORD pid);

  const ui::CListCtrl& List() const { return m_list; }
  const ui::CSliderCtrl& Slider() const { return m_slider; }
  int Opacity() const { return m_nOpacity; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void AddWindowRow(int row, HWND window, window::OwnerPathCache& owners);
  // The window named by the handle cell of the selected row; null when there is none.
  HWND TargetWindow() const;
  void ShowTarget(int command);
  void OnTopmost();
  void OnCloseWindow();
  void OnSliderMoved();

  ui::CSliderCtrl m_slider;
  ui::CListCtrl m_list;
  int m_nOpacity = 0;
  std::wstring m_strOpacity;
};
