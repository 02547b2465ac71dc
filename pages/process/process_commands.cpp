// Commands of the process page's menus and the module list fill.
#include "pages/process/process_page.h"

#include "common/listpage.h"

void CProcessPage::FillModuleList() {}

bool CProcessPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_PROCESS_REFRESH: RefreshProcessList(); return true;
    default: return false;
  }
}
