// The main dialog: page creation, placement and switching, and the window's own messages.
#include "app/wardlet_dlg.h"

#include "app/report.h"
#include "common/signature.h"

namespace {
bool g_fadeIn = true;
constexpr const wchar_t* kTabLabels[kPageCount] = {L"进程", L"窗口", L"服务", L"启动项", L"映像劫持", L"端口"};
}  // namespace

void CWardletDlg::SetFadeIn(bool on) { g_fadeIn = on; }

CWardletDlg::CWardletDlg()
    : ui::CDialog(IDD_WARDLET_DIALOG),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CWardletDlg::~CWardletDlg() = default;

ui::CDialog* CWardletDlg::Page(int index) {
  ui::CDialog* pages[kPageCount] = {&m_processPage, &m_windowPage, &m_servicePage,
                                    &m_autorunPage,  &m_ifeoPage,   &m_portPage};
  return index >= 0 && index < kPageCount ? pages[index] : nullptr;
}

void CWardletDlg::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_TAB, m_tab); }

BOOL CWardletDlg::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  for (int i = 0; i < kPageCount; ++i) m_tab.InsertItem(i, kTabLabels[i]);
  ::CheckMenuItem(::GetMenu(m_hWnd), IDM_FILE_HIDE_MICROSOFT,
                  MF_BYCOMMAND | (common::HideMicrosoftSigned() ? MF_CHECKED : MF_UNCHECKED));

  HWND tab = GetDlgItem(IDC_TAB);
  for (int i = 0; i < kPageCount; ++i) Page(i)->Create(tab);
  PlacePages();
  ShowPage(0);

  m_processPage.SetupLists();
  m_servicePage.SetupLists();
  m_windowPage.SetupLists();
  m_ifeoPage.SetupLists();
  m_portPage.SetupLists();
  m_autorunPage.SetupLists();
  SetupLayouts();
  RestoreColumnWidths();

  if (m_bHidden) return FALSE;  // no focus: focusing a control would activate the hidden window
  m_processPage.RefreshProcessListNow();  // the columns fit the rows shown
  FitProcessColumns();
  RestorePlacement();
  StartListFeatures();
  if (g_fadeIn) ::AnimateWindow(m_hWnd, 2000, AW_BLEND);
  return TRUE;
}

void CWardletDlg::ShowPage(int index) {
  for (int i = 0; i < kPageCount; ++i) Page(i)->ShowWindow(i == index ? SW_SHOW : SW_HIDE);
}

void CWardletDlg::RefreshPage(int index) {
  switch (index) {
    case 0: m_processPage.RefreshProcessList(); break;
    case 1: m_windowPage.RefreshWindowList(); break;
    case 2: m_servicePage.RefreshServiceList(); break;
    case 3: m_autorunPage.RefreshAutorunList(); break;
    case 4: m_ifeoPage.RefreshIfeoList(); break;
    case 5: m_portPage.RefreshConnectionTable(); break;
    default: break;
  }
}

bool CWardletDlg::CreateHidden() {
  m_bHidden = true;
  return ui::CDialog::CreateHidden(nullptr);
}

HWND CWardletDlg::RefreshPageNow(int index) {
  // A record list gathers on a worker: the report reads the rows right afterwards.
  if (common::RecordList* records = Records(index))
    records->RefreshNow();
  else
    RefreshPage(index);
  ui::CDialog* page = Page(index);
  return page ? page->GetSafeHwnd() : nullptr;
}

void CWardletDlg::OnPageSwitch() {
  int index = m_tab.GetCurSel();
  ShowPage(index);
  RefreshPage(index);
}

void CWardletDlg::DestroyWindow() {
  if (m_hWnd) StopListFeatures();
  for (int i = 0; i < kPageCount; ++i) Page(i)->DestroyWindow();
  ui::CDialog::DestroyWindow();
}

// Enter never closes the main window.
void CWardletDlg::OnOK() {}

// Escape ends the program only from the tab control; inside a page it is ignored.
void CWardletDlg::OnCancel() {
  HWND focus = ::GetFocus();
  for (int i = 0; i < kPageCount; ++i) {
    HWND page = Page(i)->GetSafeHwnd();
    if (focus && page && (focus == page || ::IsChild(page, focus))) return;
  }
  DestroyWindow();
}

bool CWardletDlg::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  if (id == IDM_FILE_EXIT) {
    DestroyWindow();
    return true;
  }
  if (id == IDM_FILE_SAVE_REPORT) {
    app::SaveScanReport(m_hWnd);
    return true;
  }
  return OnListCommand(id) || OnMenuCommand(id);
}

bool CWardletDlg::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom == IDC_TAB && nm->code == TCN_SELCHANGE) {
    OnPageSwitch();
    result = 0;
    return true;
  }
  return false;
}

bool CWardletDlg::PaintMinimized() {
  if (!::IsIconic(m_hWnd)) return false;
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT r = GetClientRect();
  int x = (r.right - r.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (r.bottom - r.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(m_hWnd, &ps);
  return true;
}

bool CWardletDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_INITMENUPOPUP:  // the Tools menu's location-database submenu lists the files as they are now
      m_portPage.FillDatabaseMenu(reinterpret_cast<HMENU>(wp));
      return false;
    case WM_SIZE:
      if (wp != SIZE_MINIMIZED) PlacePages();
      return false;
    case WM_GETMINMAXINFO:
      if (m_minTrack.cx > 0) {
        reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {m_minTrack.cx, m_minTrack.cy};
        result = 0;
        return true;
      }
      return false;
    case WM_TIMER:
      if (wp != kWatchTimer) return false;
      WatchTick();
      return true;
    case WM_PAINT:
      return PaintMinimized();
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    case WM_CLOSE:  // the close box ends the program wherever the focus is
      DestroyWindow();
      return true;
    default:
      return false;
  }
}
