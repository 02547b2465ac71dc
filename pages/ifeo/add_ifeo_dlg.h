// The add-IFEO dialog: collects the file name of a program to bar.
#pragma once
#include <windows.h>

#include <string>

#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CAddIfeoDlg : public ui::CDialog {
 public:
  CAddIfeoDlg() : ui::CDialog(IDD_ADD_IFEO) {}

  ui::CButton m_btnAdd;
  std::wstring m_strImageName;  // such as notepad.exe

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
};
