// Tab 3: the values of the Run-type startup keys.
#pragma once
#include <windows.h>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CAutorunPage : public ui::CDialog {
 public:
  CAutorunPage() : ui::CDialog(IDD_AUTORUN_PAGE) {}

  void SetupLists();
  void RefreshAutorunList();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;

 private:
  ui::CListCtrl m_list;
};
