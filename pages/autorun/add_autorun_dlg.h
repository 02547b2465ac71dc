// The add-startup-item dialog: collects a value name and a command line.
#pragma once
#include <windows.h>

#include <string>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CAddAutorunDlg : public ui::CDialog {
 public:
  CAddAutorunDlg() : ui::CDialog(IDD_ADD_AUTORUN) {}

  ui::CButton m_btnBrowse;
  ui::CButton m_btnAdd;
  std::wstring m_strName;  // the value's name
  std::wstring m_strPath;  // the command line

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void OnBrowse();
};
