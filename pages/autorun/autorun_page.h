// Tab 3: the values of the Run-type startup keys.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "pages/autorun/autorun_sources.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CAutorunPage : public ui::CDialog {
 public:
  CAutorunPage() : ui::CDialog(IDD_AUTORUN_PAGE) {}

  void SetupLists();
  // Lists every startup entry; registry keys are read in the 64-bit and then the 32-bit view, each
  // key once.
  void RefreshAutorunList();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void FillList(const std::vector<autorun::Entry>& entries);
  void OnDeleteItem();
  void OnOpenInRegedit();
  void OnAddItem();

  ui::CListCtrl m_list;
};
