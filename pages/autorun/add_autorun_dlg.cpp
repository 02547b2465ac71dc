// The add-startup-item dialog. The edit that changed last decides whether Add is enabled; the page
// checks both texts once the dialog has ended.
#include "pages/autorun/add_autorun_dlg.h"

#include "pages/autorun/autorun_rules.h"
#include "ui/filedialog.h"
#include "ui/msgbox.h"

void CAddAutorunDlg::DoDataExchange(ui::CDataExchange& dx) {
  ui::DDX_Control(dx, IDC_AUTORUN_BROWSE, m_btnBrowse);
  ui::DDX_Control(dx, IDC_AUTORUN_ADD, m_btnAdd);
  ui::DDX_Text(dx, IDC_AUTORUN_NAME, m_strName);
  ui::DDX_Text(dx, IDC_AUTORUN_PATH, m_strPath);
}

bool CAddAutorunDlg::OnCommand(WORD id, WORD code, HWND /*control*/) {
  switch (id) {
    case IDC_AUTORUN_ADD:
      if (code == BN_CLICKED) {
        UpdateData(true);
        ui::CDialog::OnOK();
      }
      return true;
    case IDC_AUTORUN_BROWSE:
      if (code == BN_CLICKED) OnBrowse();
      return true;
    case IDC_AUTORUN_NAME:
    case IDC_AUTORUN_PATH:
      if (code != EN_CHANGE) return false;
      UpdateData(true);
      m_btnAdd.EnableWindow(!(id == IDC_AUTORUN_NAME ? m_strName : m_strPath).empty());
      return true;
    default:
      return false;
  }
}

// Puts the chosen file's full path into the path edit; a cancelled choice disables Add.
void CAddAutorunDlg::OnBrowse() {
  std::wstring path;
  if (ui::BrowseForFile(m_hWnd, autorun::kBrowseFilter, autorun::kBrowseTitle, path)) {
    GetDlgItem(IDC_AUTORUN_PATH).SetWindowText(path);
    return;
  }
  ui::ShowMessage(m_hWnd, L"可执行文件路径不能为空!", L"提示", MB_ICONEXCLAMATION);
  m_btnAdd.EnableWindow(false);
}
