// Commands of the Tools, Repair and Help menus.
#include "app/wardlet_dlg.h"

bool CWardletDlg::OnMenuCommand(UINT /*id*/) { return false; }
