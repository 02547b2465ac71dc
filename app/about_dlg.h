// The About dialog: version, contact address and the introduction with the change log.
#pragma once
#include <string>

#include "res/resource.h"
#include "ui/dialog.h"

class CAboutDlg : public ui::CDialog {
 public:
  CAboutDlg() : ui::CDialog(IDD_ABOUT) {}

  // The introduction and change log, in the order they are shown.
  static const wchar_t* const kIntroPieces[15];

  std::wstring m_strDescription;  // edit 1013; an edit by the user is dropped with the dialog

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
};
