// Tab 4: image keys that hold a "Debugger" value.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "pages/ifeo/ifeo_sources.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CIfeoPage : public ui::CDialog {
 public:
  CIfeoPage() : ui::CDialog(IDD_IFEO_PAGE) {}

  void SetupLists();
  // Lists the image keys of the 64-bit and then the 32-bit registry view, every key once.
  void RefreshIfeoList();

  const ui::CListCtrl& List() const { return m_list; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void FillList(const std::vector<ifeo::Entry>& entries);
  void DeleteValueOfRow(const std::wstring& value);
  void OnDeleteEntry();
  void OnAddEntry();

  ui::CListCtrl m_list;
};
