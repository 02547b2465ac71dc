// The force-delete tool dialog: the user types or browses for a file's path and chooses Delete.
#pragma once
#include <string>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CForceDeleteDlg : public ui::CDialog {
 public:
  CForceDeleteDlg() : ui::CDialog(IDD_FORCE_DELETE) {}

  ui::CButton m_btnDelete;  // control 1020
  ui::CButton m_btnBrowse;  // control 1019
  std::wstring m_strPath;   // edit 1018, read back when the dialog ends with Delete or Enter

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void OnBrowse();
  void OnDelete();
  void OnPathChange();
};
