// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#pragma once
#include <windows.h>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CPortPage : public ui::CDialog {
 public:
  CPortPage() : ui::CDialog(IDD_PORT_PAGE) {}

  void SetupLists();
  void RefreshConnectionTable();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;

 private:
  ui::CListCtrl m_list;
};
