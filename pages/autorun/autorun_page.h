// Tab 3: the values of the Run-type startup keys.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "pages/autorun/autorun_rules.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CAutorunPage : public ui::CDialog {
 public:
  CAutorunPage() : ui::CDialog(IDD_AUTORUN_PAGE) {}

  void SetupLists();
  // Lists the six keys, each in the 64-bit and then the 32-bit registry view, every key once.
  void RefreshAutorunList();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  // Appends the rows of one key seen through one view, unless that key was listed already.
  void ListRunKey(const autorun::RunKey& runKey, REGSAM view, std::vector<std::wstring>& seen);
  void OnDeleteItem();
  void OnAddItem();

  ui::CListCtrl m_list;
};
