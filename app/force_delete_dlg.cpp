// The force-delete tool dialog: browsing, the Delete button's enabling and ending with Delete.
#include "app/force_delete_dlg.h"

#include "common/shell.h"
#include "ui/filedialog.h"
#include "ui/msgbox.h"

void CForceDeleteDlg::DoDataExchange(ui::CDataExchange& dx) {
  ui::DDX_Control(dx, IDC_FORCE_DELETE, m_btnDelete);
  ui::DDX_Control(dx, IDC_FORCE_BROWSE, m_btnBrowse);
  ui::DDX_Text(dx, IDC_FORCE_PATH, m_strPath);
}

bool CForceDeleteDlg::OnCommand(WORD id, WORD code, HWND /*control*/) {
  if (id == IDC_FORCE_BROWSE && code == BN_CLICKED) {
    OnBrowse();
    return true;
  }
  if (id == IDC_FORCE_DELETE && code == BN_CLICKED) {
    OnDelete();
    return true;
  }
  if (id == IDC_FORCE_PATH && code == EN_CHANGE) {
    OnPathChange();
    return true;
  }
  return false;
}

// A chosen file goes into the edit, whose change enables Delete; a cancelled choice disables it.
// The edit holds paths as the system names files (as the lists show them), which is what the
// deletion takes. The file dialog of a 32-bit build on 64-bit Windows lists SysWOW64 under the name
// System32, so the file the user picked there is the SysWOW64 one: its path is written into the
// edit under the name of the folder it really lies in, which is the file that will go.
void CForceDeleteDlg::OnBrowse() {
  std::wstring path;
  if (ui::BrowseForFile(m_hWnd, L"所有文件(*.*)|*.*||", L"请选择要删除的文件", path)) {
    GetDlgItem(IDC_FORCE_PATH).SetWindowText(common::SystemViewPath(path));
    return;
  }
  ui::ShowMessage(m_hWnd, L"可执行文件路径不能为空!", L"提示", MB_OK | MB_ICONEXCLAMATION);
  m_btnDelete.EnableWindow(false);
}

void CForceDeleteDlg::OnDelete() {
  UpdateData(true);
  OnOK();
}

void CForceDeleteDlg::OnPathChange() {
  m_btnDelete.EnableWindow(!GetDlgItem(IDC_FORCE_PATH).GetWindowText().empty());
}
