// What every list page does alike: refilling a list, reading the selected row, the row menu.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace common {

// Empties a list for a fill with redraw off; EndListRefill turns redraw back on.
void BeginListRefill(const ui::CListCtrl& list);
void EndListRefill(const ui::CListCtrl& list);

// Text of a column in the first selected row; empty when no row is selected.
std::wstring GetSelectedCell(const ui::CListCtrl& list, int column);

// Inserts row n of a fill: column 0 gets n + 1, the other cells are set afterwards.
int InsertNumberedRow(const ui::CListCtrl& list, int row);

// Column set-up of a page's list.
struct ColumnSpec {
  const wchar_t* heading;
  int format;  // LVCFMT_LEFT or LVCFMT_CENTER
  int width;
};
void InsertColumns(const ui::CListCtrl& list, const std::vector<ColumnSpec>& columns);
// Extended style every list gets: grid lines, header drag, full-row select, one-click, flat bars.
constexpr DWORD kListExStyle = 0x171;

// Commands the row menu shows greyed or checked.
struct MenuMarks {
  std::vector<UINT> greyed;
  std::vector<UINT> checked;
};

// Opens the page's context menu for a right click on item (no menu when item is -1), at the
// position of the message that caused the notification. A chosen command reaches the page as
// WM_COMMAND.
void ShowRowMenu(HWND page, int item, UINT menuId, const MenuMarks& marks);

// The next ShowRowMenu opens its menu at this screen point rather than where the message that
// caused it happened (a menu opened from the keyboard).
void SetNextMenuPoint(POINT screen);
// Where the last row menu opened (screen coordinates).
POINT LastMenuPoint();
// Opens the page menu of list's selected row from the keyboard: the page gets the right-click
// notification of that row, and the menu opens at the row. False when no row is selected.
bool OpenMenuAtSelectedRow(HWND list);

// While set, ShowRowMenu hands the prepared pop-up to the hook instead of tracking it; the hook
// returns the command to run (0 for none). Tests read the greying from the pop-up.
using MenuHook = std::function<UINT(HMENU popup, UINT menuId)>;
void SetMenuHook(MenuHook hook);

}  // namespace common
