// Shared helpers of the Wine tests.
#include "tests/wine/test_util.h"

#include <shlwapi.h>

#include <algorithm>

namespace wt {

MessageLog::MessageLog() {
  ui::SetMessageHook([this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
    entries.push_back({owner, text, caption, style});
    return IDOK;
  });
}
MessageLog::~MessageLog() { ui::SetMessageHook(nullptr); }
bool MessageLog::Has(const std::wstring& text) const {
  return std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.text == text; });
}

ShellLog::ShellLog() {
  common::SetShellHook([this](const common::ShellRequest& r) { requests.push_back(r); });
}
ShellLog::~ShellLog() { common::SetShellHook(nullptr); }

namespace {
void CollectItems(HMENU menu, MenuChooser& m) {
  int n = ::GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    if (HMENU sub = ::GetSubMenu(menu, i)) {
      CollectItems(sub, m);
      continue;
    }
    UINT id = ::GetMenuItemID(menu, i);
    if (id == 0 || id == static_cast<UINT>(-1)) continue;  // separator
    m.items.push_back(id);
    UINT state = ::GetMenuState(menu, id, MF_BYCOMMAND);
    if (state & (MF_GRAYED | MF_DISABLED)) m.greyed.push_back(id);
    if (state & MF_CHECKED) m.checked.push_back(id);
  }
}
}  // namespace

MenuChooser::MenuChooser(UINT cmd) : command(cmd) {
  common::SetMenuHook([this](HMENU popup, UINT menuId) {
    ++opened;
    lastMenuId = menuId;
    greyed.clear();
    checked.clear();
    items.clear();
    CollectItems(popup, *this);
    return command;
  });
}
MenuChooser::~MenuChooser() { common::SetMenuHook(nullptr); }
bool MenuChooser::IsGreyed(UINT id) const { return std::find(greyed.begin(), greyed.end(), id) != greyed.end(); }
bool MenuChooser::IsChecked(UINT id) const { return std::find(checked.begin(), checked.end(), id) != checked.end(); }

void Pump(DWORD ms) {
  DWORD until = ::GetTickCount() + ms;
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (ms) ::Sleep(10);
  } while (static_cast<LONG>(until - ::GetTickCount()) > 0);
}

MainDialog::MainDialog() : m_dlg(std::make_unique<CWardletDlg>()) {
  CWardletDlg::SetFadeIn(false);
  m_dlg->Create(nullptr);
  Pump();
}
MainDialog::~MainDialog() {
  if (m_dlg->GetSafeHwnd()) m_dlg->DestroyWindow();
  Pump();
}
void MainDialog::SelectTab(int index) {
  m_dlg->m_tab.SetCurSel(index);
  NMHDR nm{m_dlg->m_tab.GetSafeHwnd(), static_cast<UINT_PTR>(IDC_TAB), static_cast<UINT>(TCN_SELCHANGE)};
  m_dlg->SendMessage(WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&nm));
}

int FindRow(const ui::CListCtrl& list, int column, const std::wstring& text) {
  int n = list.GetItemCount();
  for (int i = 0; i < n; ++i)
    if (list.GetItemText(i, column) == text) return i;
  return -1;
}

std::vector<std::wstring> RowTexts(const ui::CListCtrl& list, int row) {
  std::vector<std::wstring> cells;
  int columns = list.GetColumnCount();
  for (int c = 0; c < columns; ++c) cells.push_back(list.GetItemText(row, c));
  return cells;
}

void SelectRow(const ui::CListCtrl& list, int row) {
  list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (row >= 0) list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

namespace {
void SendItemNotify(HWND page, const ui::CListCtrl& list, int row, UINT code) {
  NMITEMACTIVATE nm{};
  nm.hdr.hwndFrom = list.GetSafeHwnd();
  nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(list.GetSafeHwnd()));
  nm.hdr.code = code;
  nm.iItem = row;
  ::SendMessageW(page, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}
}  // namespace

void ClickRow(HWND page, const ui::CListCtrl& list, int row) { SendItemNotify(page, list, row, NM_CLICK); }
void RightClickRow(HWND page, const ui::CListCtrl& list, int row) { SendItemNotify(page, list, row, NM_RCLICK); }

void RunRowCommand(HWND page, const ui::CListCtrl& list, int row, UINT command, MenuChooser* seen) {
  SelectRow(list, row);
  if (seen) {
    seen->command = command;
    RightClickRow(page, list, row);
  } else {
    MenuChooser chooser(command);
    RightClickRow(page, list, row);
  }
  Pump();
}

std::wstring ExeDir() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

TempDir::TempDir() {
  wchar_t base[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  m_path = std::wstring(base) + L"wardlet-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"\\";
  ::CreateDirectoryW(m_path.c_str(), nullptr);
}
TempDir::~TempDir() {
  std::wstring from = m_path.substr(0, m_path.size() - 1);
  from.push_back(L'\0');
  from.push_back(L'\0');
  // Remove the files, then the folder.
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((m_path + L"*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      ::SetFileAttributesW((m_path + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW((m_path + name).c_str());
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
  }
  ::RemoveDirectoryW(m_path.c_str());
}

Child::Child(const std::wstring& commandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::wstring cmd = commandLine;
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) pi = {};
}
Child::~Child() {
  if (!pi.hProcess) return;
  if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(pi.hProcess, 0);
    ::WaitForSingleObject(pi.hProcess, 5000);
  }
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
}

KeyCleanup::KeyCleanup(HKEY r, std::wstring p) : root(r), path(std::move(p)) {}
KeyCleanup::~KeyCleanup() { ::SHDeleteKeyW(root, path.c_str()); }

}  // namespace wt
