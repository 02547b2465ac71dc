// The main window's list features: resizing and the kept place, column widths, the File menu's
// find, copy, export and automatic refresh, and the keys of the pages.
#include <algorithm>
#include <cwchar>
#include <vector>

#include "app/wardlet_dlg.h"
#include "common/list_rules.h"
#include "common/listpage.h"
#include "common/settings.h"
#include "ui/controls.h"
#include "ui/filedialog.h"
#include "ui/handle.h"
#include "ui/modal.h"
#include "ui/msgbox.h"

namespace {

constexpr const wchar_t* kPlacementSetting = L"Window.Placement";
constexpr const wchar_t* kWatchSetting = L"WatchSeconds";
constexpr const wchar_t* kTabNames[kPageCount] = {L"进程", L"窗口", L"服务", L"启动项", L"映像劫持", L"端口"};

// The lists of each page, the first being the one a list command takes when no list has the focus.
struct PageListId {
  int page;
  int id;
};
constexpr PageListId kPageLists[] = {{0, IDC_PROCESS_LIST}, {0, IDC_MODULE_LIST}, {1, IDC_WINDOW_LIST},
                                     {2, IDC_SERVICE_LIST}, {3, IDC_AUTORUN_LIST}, {4, IDC_IFEO_LIST},
                                     {5, IDC_PORT_LIST}};

// Main windows alive on this thread; one message hook serves them all.
std::vector<CWardletDlg*>& Dialogs() {
  static std::vector<CWardletDlg*> dialogs;
  return dialogs;
}
HHOOK g_hook = nullptr;

// Keys reach the window with the focus through the dialog manager, which would take Tab and
// Escape for itself: they are looked at as they leave the message queue instead.
LRESULT CALLBACK KeyHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) {
    MSG* msg = reinterpret_cast<MSG*>(lp);
    if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN || msg->message == WM_KEYUP) {
      HWND root = ::GetAncestor(msg->hwnd, GA_ROOT);
      for (CWardletDlg* dlg : Dialogs())
        if (dlg->GetSafeHwnd() == root && dlg->HandleKey(*msg)) {
          msg->message = WM_NULL;
          break;
        }
    }
  }
  return ::CallNextHookEx(g_hook, code, wp, lp);
}

ui::CListCtrl AsList(HWND h) {
  ui::CListCtrl l;
  l.Attach(h);
  return l;
}

bool IsListView(HWND h) {
  wchar_t cls[32] = {};
  return h && ::GetClassNameW(h, cls, 32) && std::wcscmp(cls, WC_LISTVIEWW) == 0;
}

std::vector<std::wstring> ReadHeadings(HWND list) {
  std::vector<std::wstring> out;
  for (int c = 0, n = AsList(list).GetColumnCount(); c < n; ++c) {
    wchar_t buf[260] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = buf;
    col.cchTextMax = 260;
    ::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
    out.push_back(buf);
  }
  return out;
}

std::vector<std::wstring> ReadRow(HWND list, int row) {
  const ui::CListCtrl l = AsList(list);
  std::vector<std::wstring> cells;
  for (int c = 0, n = l.GetColumnCount(); c < n; ++c) cells.push_back(l.GetItemText(row, c));
  return cells;
}

bool PutOnClipboard(HWND owner, const std::wstring& text) {
  if (!::OpenClipboard(owner)) return false;
  ::EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  bool placed = false;
  if (HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = ::GlobalLock(block)) {
      std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(p));
      ::GlobalUnlock(block);
      placed = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    }
    if (!placed) ::GlobalFree(block);
  }
  ::CloseClipboard();
  return placed;
}

std::wstring SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring s = text ? text : L"";
  if (text) ::LocalFree(text);
  while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
  return s.empty() ? L"错误 " + std::to_wstring(error) : s;
}

// Writes bytes to path through a file beside it, so that a failed write leaves the old file whole.
DWORD WriteWhole(const std::wstring& path, const std::string& bytes) {
  const std::wstring temp = path + L".wardlet-tmp";
  DWORD error = ERROR_SUCCESS;
  {
    ui::CFileHandle f(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!f) return ::GetLastError();
    DWORD written = 0;
    if (!::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
      error = ::GetLastError() ? ::GetLastError() : ERROR_WRITE_FAULT;
  }
  if (error == ERROR_SUCCESS && !::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
    error = ::GetLastError();
  if (error != ERROR_SUCCESS) ::DeleteFileW(temp.c_str());
  return error;
}

std::wstring WidthsSetting(const PageListId& l) {
  return L"Widths." + std::to_wstring(l.page) + L"." + std::to_wstring(l.id);
}

}  // namespace

common::RecordList* CWardletDlg::Records(int index) {
  switch (index) {
    case 0: return &m_processPage.Records();
    case 1: return &m_windowPage.Records();
    case 2: return &m_servicePage.Records();
    case 3: return &m_autorunPage.Records();
    case 4: return &m_ifeoPage.Records();
    case 5: return &m_portPage.Records();
    default: return nullptr;
  }
}

HWND CWardletDlg::PageList(int index) const {
  HWND focus = ::GetFocus();
  HWND first = nullptr;
  for (const PageListId& l : kPageLists) {
    if (l.page != index) continue;
    HWND page = const_cast<CWardletDlg*>(this)->Page(index)->GetSafeHwnd();
    HWND list = ::GetDlgItem(page, l.id);
    if (list && list == focus) return list;
    if (!first) first = list;
  }
  return first;
}

// ---- placing ----------------------------------------------------------------------------------

// The tab control covers the client area; each page lies in the tab control's client area one
// pixel left of it and 21 pixels below its top (below the row of tabs), one pixel inside its
// right and bottom edges.
void CWardletDlg::PlacePages() {
  if (!m_tab.GetSafeHwnd()) return;
  RECT c = GetClientRect();
  m_tab.MoveWindow(0, 0, c.right - c.left, c.bottom - c.top, true);
  RECT r = m_tab.GetClientRect();
  for (int i = 0; i < kPageCount; ++i)
    if (Page(i)->GetSafeHwnd()) Page(i)->MoveWindow(r.left - 1, r.top + 21, r.right - r.left, r.bottom - r.top - 22, true);
}

void CWardletDlg::SetupLayouts() {
  using L = ui::Layout;
  for (int i = 0; i < kPageCount; ++i) m_layouts[i].Attach(Page(i)->GetSafeHwnd());
  m_layouts[0].Anchor(IDC_PROCESS_LIST, L::kAll);
  m_layouts[0].AnchorText(L"模块", L::kLeft | L::kBottom);
  m_layouts[0].Anchor(IDC_MODULE_LIST, L::kLeft | L::kRight | L::kBottom);
  m_layouts[1].Anchor(IDC_WINDOW_LIST, L::kAll);
  m_layouts[1].Anchor(IDC_OPACITY_SLIDER, L::kLeft | L::kRight | L::kBottom);
  m_layouts[1].Anchor(IDC_OPACITY_EDIT, L::kRight | L::kBottom);
  m_layouts[1].AnchorText(L"(0-255)", L::kRight | L::kBottom);
  m_layouts[2].Anchor(IDC_SERVICE_LIST, L::kAll);
  m_layouts[2].AnchorText(L"描述信息", L::kLeft | L::kBottom);
  m_layouts[2].Anchor(IDC_SERVICE_DESCRIPTION, L::kLeft | L::kRight | L::kBottom);
  m_layouts[3].Anchor(IDC_AUTORUN_LIST, L::kAll);
  m_layouts[4].Anchor(IDC_IFEO_LIST, L::kAll);
  m_layouts[5].Anchor(IDC_PORT_LIST, L::kAll);
}

// The place kept from the last run, unless it would lie off every screen or be too small.
void CWardletDlg::RestorePlacement() {
  RECT now{};
  ::GetWindowRect(m_hWnd, &now);
  m_minTrack = {(now.right - now.left) * 3 / 5, (now.bottom - now.top) * 3 / 5};
  const std::wstring text = common::ReadSettingText(kPlacementSetting);
  long v[5] = {};
  if (std::swscanf(text.c_str(), L"%ld,%ld,%ld,%ld,%ld", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5) return;
  RECT r{v[0], v[1], v[2], v[3]};
  if (r.right - r.left < m_minTrack.cx || r.bottom - r.top < m_minTrack.cy) return;
  HMONITOR monitor = ::MonitorFromRect(&r, MONITOR_DEFAULTTONULL);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  RECT seen{};
  if (!monitor || !::GetMonitorInfoW(monitor, &mi) || !::IntersectRect(&seen, &r, &mi.rcWork) ||
      seen.right - seen.left < 100 || seen.bottom - seen.top < 50 || r.top < mi.rcWork.top - 8)
    return;  // the caption must be reachable
  ::SetWindowPos(m_hWnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (v[4]) {
    ::ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
    SetFadeIn(false);
  }
}

void CWardletDlg::SavePlacement() const {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  if (!::GetWindowPlacement(m_hWnd, &wp)) return;
  const RECT& r = wp.rcNormalPosition;
  const bool maximised = wp.showCmd == SW_SHOWMAXIMIZED || ::IsZoomed(m_hWnd);
  common::WriteSettingText(kPlacementSetting, std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," +
                                                  std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom) + L"," +
                                                  (maximised ? L"1" : L"0"));
}

void CWardletDlg::RestoreColumnWidths() {
  for (const PageListId& l : kPageLists) {
    HWND list = ::GetDlgItem(Page(l.page)->GetSafeHwnd(), l.id);
    const std::wstring text = common::ReadSettingText(WidthsSetting(l).c_str());
    if (!list || text.empty()) continue;
    std::vector<int> widths;
    for (const wchar_t* p = text.c_str(); *p;) {
      wchar_t* end = nullptr;
      const long w = std::wcstol(p, &end, 10);
      if (end == p || w < 0 || w > 4000) break;
      widths.push_back(static_cast<int>(w));
      p = *end == L',' ? end + 1 : end;
    }
    if (static_cast<int>(widths.size()) != AsList(list).GetColumnCount()) continue;
    for (size_t c = 0; c < widths.size(); ++c) ::SendMessageW(list, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(widths[c], 0));
  }
}

void CWardletDlg::SaveColumnWidths() const {
  for (const PageListId& l : kPageLists) {
    HWND list = ::GetDlgItem(const_cast<CWardletDlg*>(this)->Page(l.page)->GetSafeHwnd(), l.id);
    if (!list) continue;
    std::wstring text;
    for (int c = 0, n = AsList(list).GetColumnCount(); c < n; ++c)
      text += (c ? L"," : L"") + std::to_wstring(::SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
    common::WriteSettingText(WidthsSetting(l).c_str(), text);
  }
}

// Narrow columns of the process list shrink to their contents, so that the path starts in sight;
// none grows. Widths the user set in an earlier run stay as they were.
void CWardletDlg::FitProcessColumns() {
  if (!common::ReadSettingText(WidthsSetting(kPageLists[0]).c_str()).empty()) return;
  HWND list = m_processPage.ProcessList().GetSafeHwnd();
  const int columns = AsList(list).GetColumnCount();
  for (int c = 0; c + 1 < columns; ++c) {
    const LRESULT before = ::SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0);
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
    if (::SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0) > before)
      ::SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), MAKELPARAM(before, 0));
  }
}

void CWardletDlg::StartListFeatures() {
  if (Dialogs().empty()) g_hook = ::SetWindowsHookExW(WH_GETMESSAGE, KeyHook, nullptr, ::GetCurrentThreadId());
  Dialogs().push_back(this);
  SetWatchSeconds(static_cast<int>(common::ReadSetting(kWatchSetting, 0)));
}

void CWardletDlg::StopListFeatures() {
  SavePlacement();
  SaveColumnWidths();
  ::KillTimer(m_hWnd, kWatchTimer);
  auto& d = Dialogs();
  d.erase(std::remove(d.begin(), d.end(), this), d.end());
  if (d.empty() && g_hook) {
    ::UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
  }
}

// ---- commands ---------------------------------------------------------------------------------

void CWardletDlg::SwitchPage(int step) {
  const int index = ((m_tab.GetCurSel() + step) % kPageCount + kPageCount) % kPageCount;
  m_tab.SetCurSel(index);
  OnPageSwitch();
}

void CWardletDlg::SetWatchSeconds(int seconds) {
  if (seconds != 1 && seconds != 2 && seconds != 5) seconds = 0;
  m_watchSeconds = seconds;
  common::WriteSetting(kWatchSetting, static_cast<DWORD>(seconds));
  ::KillTimer(m_hWnd, kWatchTimer);
  if (seconds) ::SetTimer(m_hWnd, kWatchTimer, static_cast<UINT>(seconds) * 1000, nullptr);
  for (int i = 0; i < kPageCount; ++i)
    if (common::RecordList* r = Records(i); r && IsWatchedPage(i)) r->SetWatch(seconds != 0);
  if (HMENU menu = ::GetMenu(m_hWnd)) {
    const UINT ids[] = {IDM_WATCH_OFF, IDM_WATCH_1S, IDM_WATCH_2S, IDM_WATCH_5S};
    const int values[] = {0, 1, 2, 5};
    for (int k = 0; k < 4; ++k)
      ::CheckMenuItem(menu, ids[k], MF_BYCOMMAND | (values[k] == seconds ? MF_CHECKED : MF_UNCHECKED));
  }
}

bool CWardletDlg::WatchTick() {
  if (!m_watchSeconds || !m_hWnd || !::IsWindowEnabled(m_hWnd) || ::IsIconic(m_hWnd) || ui::ModalDepth() > 0)
    return false;
  GUITHREADINFO gti{};
  gti.cbSize = sizeof(gti);
  if (::GetGUIThreadInfo(::GetCurrentThreadId(), &gti) &&
      (gti.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)))
    return false;
  const int index = m_tab.GetCurSel();
  common::RecordList* records = IsWatchedPage(index) ? Records(index) : nullptr;
  if (!records || records->Busy() || !Page(index)->IsWindowVisible()) return false;
  records->Refresh(true);
  return true;
}

void CWardletDlg::CopyRows(bool all) {
  const int index = m_tab.GetCurSel();
  HWND list = PageList(index);
  if (!list) return;
  common::RecordList* records = Records(index);
  if (records && records->List() != list) records = nullptr;
  std::wstring text;
  if (all) {
    std::vector<std::vector<std::wstring>> rows;
    if (records) {
      rows = records->ShownRows();
    } else {
      for (int r = 0, n = AsList(list).GetItemCount(); r < n; ++r) rows.push_back(ReadRow(list, r));
    }
    text = lists::TabTable(records ? records->Headings() : ReadHeadings(list), rows);
  } else {
    const int row = AsList(list).GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    text = lists::TabRow(records ? records->RowTexts(row) : ReadRow(list, row));
  }
  if (!PutOnClipboard(m_hWnd, text)) ui::ShowMessage(m_hWnd, L"复制到剪贴板失败!", L"警告", MB_ICONERROR);
}

void CWardletDlg::ExportList() {
  const int index = m_tab.GetCurSel();
  HWND list = PageList(index);
  if (!list || index < 0 || index >= kPageCount) return;
  common::RecordList* records = Records(index);
  if (records && records->List() != list) records = nullptr;
  // The rows are taken before the dialog opens: what is written is what was shown.
  std::vector<std::vector<std::wstring>> rows;
  if (records) {
    rows = records->ShownRows();
  } else {
    for (int r = 0, n = AsList(list).GetItemCount(); r < n; ++r) rows.push_back(ReadRow(list, r));
  }
  const std::string bytes = lists::CsvUtf8(records ? records->Headings() : ReadHeadings(list), rows);
  std::wstring path = std::wstring(kTabNames[index]) + L".csv";
  if (!ui::BrowseForSaveFile(m_hWnd, L"CSV 文件 (*.csv)|*.csv|所有文件 (*.*)|*.*||", L"导出列表", L"csv", path)) return;
  if (const DWORD error = WriteWhole(path, bytes); error != ERROR_SUCCESS)
    ui::ShowMessage(m_hWnd, L"无法写入文件 " + path + L"：" + SystemErrorText(error) + L"\n原有的文件没有改动。",
                    L"导出列表", MB_ICONERROR);
}

bool CWardletDlg::OnListCommand(UINT id) {
  const int index = m_tab.GetCurSel();
  switch (id) {
    case IDM_FILE_FIND:
      if (common::RecordList* r = Records(index)) r->OpenFind();
      return true;
    case IDM_FILE_REFRESH:
      RefreshPage(index);
      return true;
    case IDM_FILE_COPY_ALL: CopyRows(true); return true;
    case IDM_COPY_ROW: CopyRows(false); return true;
    case IDM_FILE_EXPORT: ExportList(); return true;
    case IDM_NEXT_PAGE: SwitchPage(1); return true;
    case IDM_PREV_PAGE: SwitchPage(-1); return true;
    case IDM_WATCH_OFF: SetWatchSeconds(0); return true;
    case IDM_WATCH_1S: SetWatchSeconds(1); return true;
    case IDM_WATCH_2S: SetWatchSeconds(2); return true;
    case IDM_WATCH_5S: SetWatchSeconds(5); return true;
    default: return false;
  }
}

bool CWardletDlg::HandleKey(const MSG& msg) {
  if (!m_hWnd || !::IsWindowEnabled(m_hWnd) || ui::ModalDepth() > 0) return false;
  const bool ctrl = ::GetKeyState(VK_CONTROL) < 0, shift = ::GetKeyState(VK_SHIFT) < 0;
  const bool alt = ::GetKeyState(VK_MENU) < 0 || (msg.message == WM_SYSKEYDOWN && (msg.lParam & (1 << 29)));
  const bool onList = IsListView(msg.hwnd) && ::IsChild(m_hWnd, msg.hwnd);
  const UINT key = static_cast<UINT>(msg.wParam);
  if (msg.message == WM_KEYUP) return key == VK_APPS && onList;  // its menu opened as the key went down
  if ((key == VK_APPS && !ctrl && !alt) || (key == VK_F10 && shift && !ctrl)) {
    if (!onList) return false;
    common::OpenMenuAtSelectedRow(msg.hwnd);
    return true;
  }
  if (alt) return false;
  if (key == VK_F5 && !ctrl && !shift) return OnListCommand(IDM_FILE_REFRESH);
  if (key == VK_TAB && ctrl) return OnListCommand(shift ? IDM_PREV_PAGE : IDM_NEXT_PAGE);
  if (key == 'F' && ctrl && !shift) return OnListCommand(IDM_FILE_FIND);
  if (key == 'C' && ctrl && !shift && onList) return OnListCommand(IDM_COPY_ROW);
  return false;
}
