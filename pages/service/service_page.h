// Tab 2: every Win32 service, its description and the service commands.
#pragma once
#include <windows.h>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CServicePage : public ui::CDialog {
 public:
  CServicePage() : ui::CDialog(IDD_SERVICE_PAGE) {}

  void SetupLists();
  void RefreshServiceList();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;

 private:
  ui::CListCtrl m_list;
};
