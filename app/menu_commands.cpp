// Commands of the Tools, Repair and Help menus.
#include "app/wardlet_dlg.h"

#include <iterator>

#include "app/repair.h"
#include "common/force_delete.h"
#include "common/force_delete_rules.h"
#include "common/record_list.h"
#include "common/shell.h"
#include "common/signature.h"

namespace {

constexpr const wchar_t* kHomePage = L"https://github.com/";

// Each About shows the whole text afresh: the dialog and its text are new every time.
void ShowAbout(HWND owner, std::unique_ptr<CAboutDlg>& slot) {
  slot = std::make_unique<CAboutDlg>();
  slot->m_strDescription = CAboutDlg::kIntroPieces[0];
  for (size_t i = 1; i < std::size(CAboutDlg::kIntroPieces); ++i) slot->m_strDescription += CAboutDlg::kIntroPieces[i];
  slot->DoModal(owner);
}

// Deletes the file only when the dialog ended with Delete (or Enter) and holds a path. A path
// pasted with the quotes of Explorer's "copy as path" is taken without them.
void RunForceDeleteTool(HWND owner, std::unique_ptr<CForceDeleteDlg>& slot) {
  slot = std::make_unique<CForceDeleteDlg>();
  if (slot->DoModal(owner) != IDOK) return;
  const std::wstring path = common::ToolPathText(slot->m_strPath);
  if (!path.empty()) common::ForceDeleteFile(path, owner);
}

}  // namespace

bool CWardletDlg::OnMenuCommand(UINT id) {
  if (const app::RepairRow* row = app::FindRepairRow(id)) {
    app::RunRepair(m_hWnd, *row);
    return true;
  }
  switch (id) {
    case IDM_HELP_ABOUT:
      ShowAbout(m_hWnd, m_pAboutDlg);
      return true;
    case IDM_HELP_HOMEPAGE:
      common::ShellRun({m_hWnd, L"open", kHomePage, L"", SW_SHOWMAXIMIZED, false});
      return true;
    case IDM_FILE_HIDE_MICROSOFT: {
      const bool hide = !common::HideMicrosoftSigned();
      common::SetHideMicrosoftSigned(hide);
      ::CheckMenuItem(::GetMenu(m_hWnd), IDM_FILE_HIDE_MICROSOFT, MF_BYCOMMAND | (hide ? MF_CHECKED : MF_UNCHECKED));
      common::RecordList::ApplyHideMicrosoftToAll();  // every list with a signer column at once
      return true;
    }
    case IDM_TOOLS_FORCE_DELETE:
      RunForceDeleteTool(m_hWnd, m_pForceDeleteDlg);
      return true;
    default:
      return m_portPage.OnDatabaseCommand(id);  // the location-database submenu's items
  }
}
