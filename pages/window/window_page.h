// Tab 1: every top-level window, with its actions and the opacity slider.
#pragma once
#include <windows.h>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CWindowPage : public ui::CDialog {
 public:
  CWindowPage() : ui::CDialog(IDD_WINDOW_PAGE) {}

  void SetupLists();
  void RefreshWindowList();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;

 private:
  ui::CListCtrl m_list;
};
