// List refill, selected cell and the row menu.
#include "common/listpage.h"

#include <utility>

#include "ui/handle.h"
#include "ui/modal.h"

namespace common {
namespace {
MenuHook& Hook() {
  static MenuHook hook;
  return hook;
}
struct MenuPoint {
  bool next = false;
  POINT pt{};
  POINT last{};
};
MenuPoint& Point() {
  static MenuPoint point;
  return point;
}
}  // namespace

void SetNextMenuPoint(POINT screen) {
  Point().next = true;
  Point().pt = screen;
}

POINT LastMenuPoint() { return Point().last; }

bool OpenMenuAtSelectedRow(HWND list) {
  const int row = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0) return false;
  RECT r{};
  r.left = LVIR_LABEL;
  if (!::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r))) return false;
  RECT client{};
  ::GetClientRect(list, &client);
  POINT pt{r.left + 8, r.bottom};
  if (pt.y > client.bottom || pt.y < 0) pt.y = client.top + 8;  // the row is scrolled out of sight
  ::ClientToScreen(list, &pt);
  SetNextMenuPoint(pt);
  NMITEMACTIVATE nm{};
  nm.hdr = {list, static_cast<UINT_PTR>(::GetDlgCtrlID(list)), static_cast<UINT>(NM_RCLICK)};
  nm.iItem = row;
  nm.ptAction = pt;
  ::ScreenToClient(list, &nm.ptAction);
  ::SendMessageW(::GetParent(list), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  Point().next = false;  // a page that showed no menu leaves no point for the next one
  return true;
}

void SetMenuHook(MenuHook hook) { Hook() = std::move(hook); }

void BeginListRefill(const ui::CListCtrl& list) {
  ::LockWindowUpdate(list.GetSafeHwnd());
  list.SendMessage(WM_SETREDRAW, FALSE);
  list.DeleteAllItems();
  ::LockWindowUpdate(nullptr);
}

void EndListRefill(const ui::CListCtrl& list) { list.SendMessage(WM_SETREDRAW, TRUE); }

std::wstring GetSelectedCell(const ui::CListCtrl& list, int column) {
  int row = list.GetNextItem(-1, LVNI_SELECTED);
  if (row < 0) return {};
  return list.GetItemText(row, column);
}

int InsertNumberedRow(const ui::CListCtrl& list, int row) {
  return list.InsertItem(row, std::to_wstring(row + 1));
}

void InsertColumns(const ui::CListCtrl& list, const std::vector<ColumnSpec>& columns) {
  list.SetExtendedStyle(kListExStyle);
  int i = 0;
  for (const auto& c : columns) list.InsertColumn(i++, c.heading, c.format, c.width);
}

void ShowRowMenu(HWND page, int item, UINT menuId, const MenuMarks& marks) {
  if (item == -1) return;
  DWORD pos = ::GetMessagePos();
  int x = static_cast<short>(LOWORD(pos));
  int y = static_cast<short>(HIWORD(pos));
  if (Point().next) {
    x = Point().pt.x;
    y = Point().pt.y;
    Point().next = false;
  }
  Point().last = {x, y};
  ui::ModalScope open;
  ui::CMenuHandle menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId)));
  if (!menu) return;
  HMENU popup = ::GetSubMenu(menu.get(), 0);
  if (!popup) return;
  for (UINT id : marks.greyed) ::EnableMenuItem(popup, id, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
  for (UINT id : marks.checked) ::CheckMenuItem(popup, id, MF_BYCOMMAND | MF_CHECKED);
  if (Hook()) {
    UINT cmd = Hook()(popup, menuId);
    menu.reset();
    if (cmd) ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(cmd, 0), 0);
    return;
  }
  ::TrackPopupMenu(popup, 0, x, y, 0, page, nullptr);
}

}  // namespace common
