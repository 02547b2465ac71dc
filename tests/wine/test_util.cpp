// Shared helpers of the Wine tests.
#include "tests/wine/test_util.h"

#include <shlwapi.h>

#include <algorithm>

#include "ui/filedialog.h"
#include "ui/handle.h"
#include "ui/text.h"

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

int ProcessTab::RowOf(DWORD pid) {
  page.RefreshProcessList();
  return FindRow(list, kPid, std::to_wstring(pid));
}
void ProcessTab::Click(int row) {
  SelectRow(list, row);
  ClickRow(page, list, row);
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
namespace {
// Removes a folder (path with a trailing backslash) with everything in it, read-only files too.
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(dir + name + L"\\");
      } else {
        ::SetFileAttributesW((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW((dir + name).c_str());
      }
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
  }
  ::RemoveDirectoryW(dir.c_str());
}
}  // namespace

// The \\?\ form reaches folders deeper than MAX_PATH.
TempDir::~TempDir() { RemoveTree(L"\\\\?\\" + m_path); }

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

Messages Shown(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
  return {{owner, text, caption, style}};
}
void PrintTo(const MessageLog::Entry& e, std::ostream* os) {
  *os << "{owner " << e.owner << ", \"" << ui::ToUtf8(e.text) << "\", \"" << ui::ToUtf8(e.caption) << "\", style 0x"
      << std::hex << e.style << std::dec << "}";
}

FileAnswer::FileAnswer(std::optional<std::wstring> answer) {
  ui::SetFileDialogHook([this, answer](const std::wstring& f, const std::wstring& t, std::wstring& path) {
    filter = f;
    title = t;
    ++asked;
    if (answer) path = *answer;
    return answer.has_value();
  });
}
FileAnswer::~FileAnswer() { ui::SetFileDialogHook(nullptr); }

OwnerWindow::OwnerWindow()
    : hwnd(::CreateWindowW(L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)) {}
OwnerWindow::~OwnerWindow() { ::DestroyWindow(hwnd); }

namespace {
// The clipboard's text in one format; none when it holds no such text or cannot be opened.
template <class Char>
std::basic_string<Char> ClipboardData(UINT format, const Char* none) {
  if (!::IsClipboardFormatAvailable(format) || !::OpenClipboard(nullptr)) return none;
  std::basic_string<Char> text = none;
  if (HANDLE h = ::GetClipboardData(format)) {
    if (auto* p = static_cast<const Char*>(::GlobalLock(h))) {
      text = p;
      ::GlobalUnlock(h);
    }
  }
  ::CloseClipboard();
  return text;
}
}  // namespace

std::wstring ClipboardText() { return ClipboardData<wchar_t>(CF_UNICODETEXT, L"<no text>"); }
std::string ClipboardAnsiText() { return ClipboardData<char>(CF_TEXT, "<no text>"); }

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}
std::wstring ChildExe() { return ExeDir() + L"wardlet_child.exe"; }
std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}
bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteText(const std::wstring& path, const std::string& text) {
  ui::CFileHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  return f && ::WriteFile(f.get(), text.data(), static_cast<DWORD>(text.size()), &n, nullptr) && n == text.size();
}
std::string ReadText(const std::wstring& path) {
  ui::CFileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char buf[256];
  DWORD n = 0;
  return f && ::ReadFile(f.get(), buf, sizeof(buf), &n, nullptr) ? std::string(buf, n) : "(missing)";
}

std::wstring CopyChild(const TempDir& dir, const std::wstring& name) {
  std::wstring to = dir.path() + name;
  return ::CopyFileW(ChildExe().c_str(), to.c_str(), FALSE) ? to : L"";
}

std::vector<std::wstring> TempNamesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"Morvane*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace wt
