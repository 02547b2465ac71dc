// Tab 4: image keys that hold a "Debugger" value.
#pragma once
#include <windows.h>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CIfeoPage : public ui::CDialog {
 public:
  CIfeoPage() : ui::CDialog(IDD_IFEO_PAGE) {}

  void SetupLists();
  void RefreshIfeoList();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;

 private:
  ui::CListCtrl m_list;
};
