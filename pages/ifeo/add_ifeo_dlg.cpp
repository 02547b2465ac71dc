// The add-IFEO dialog: Add is enabled exactly while the name edit holds text.
#include "pages/ifeo/add_ifeo_dlg.h"

void CAddIfeoDlg::DoDataExchange(ui::CDataExchange& dx) {
  ui::DDX_Control(dx, IDC_IFEO_ADD, m_btnAdd);
  ui::DDX_Text(dx, IDC_IFEO_NAME, m_strImageName);
}

bool CAddIfeoDlg::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (id == IDC_IFEO_ADD && code == BN_CLICKED) {
    UpdateData(true);
    ui::CDialog::OnOK();
    return true;
  }
  if (id == IDC_IFEO_NAME && code == EN_CHANGE) {
    UpdateData(true);
    m_btnAdd.EnableWindow(!m_strImageName.empty());
    return true;
  }
  return false;
}
