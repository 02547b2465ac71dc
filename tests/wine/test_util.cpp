// Shared helpers of the Wine tests.
#include "tests/wine/test_util.h"

#include <gtest/gtest.h>

#include "common/settings.h"
#include "ui/handle.h"
#include "ui/text.h"

void common::PrintTo(const ShellRequest& r, std::ostream* os) {
  *os << "{owner " << r.owner << ", " << ui::ToUtf8(r.verb) << ", \"" << ui::ToUtf8(r.file) << "\", \""
      << ui::ToUtf8(r.parameters) << "\", show " << r.show << (r.properties ? ", properties}" : "}");
}

namespace wt {
namespace {

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void CollectItems(HMENU menu, MenuChooser& m) {
  for (int i = 0, n = ::GetMenuItemCount(menu); i < n; ++i) {
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

void SendItemNotify(HWND page, const ui::CListCtrl& list, int row, UINT code) {
  NMITEMACTIVATE nm{};
  nm.hdr = {list.GetSafeHwnd(), static_cast<UINT_PTR>(::GetDlgCtrlID(list.GetSafeHwnd())), code};
  nm.iItem = row;
  ::SendMessageW(page, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

// Removes a folder (path with a trailing backslash) with everything in it, read-only files too.
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"*").c_str(), &fd);
  for (BOOL ok = h != INVALID_HANDLE_VALUE; ok; ok = ::FindNextFileW(h, &fd)) {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(dir + name + L"\\");
    } else {
      ::SetFileAttributesW((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW((dir + name).c_str());
    }
  }
  if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
  ::RemoveDirectoryW(dir.c_str());
}

}  // namespace

void PrintTo(const MessageLog::Entry& e, std::ostream* os) {
  *os << "{owner " << e.owner << ", \"" << ui::ToUtf8(e.text) << "\", \"" << ui::ToUtf8(e.caption) << "\", style 0x"
      << std::hex << e.style << std::dec << "}";
}

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
  if (common::RecordList* rows = m_dlg->Records(index)) {  // the page's rows are shown
    EXPECT_TRUE(rows->WaitIdle()) << "the refresh of page " << index << " did not end";
  }
}

void ClickRow(HWND page, const ui::CListCtrl& list, int row) { SendItemNotify(page, list, row, NM_CLICK); }
void RightClickRow(HWND page, const ui::CListCtrl& list, int row) { SendItemNotify(page, list, row, NM_RCLICK); }
void RunRowCommand(HWND page, const ui::CListCtrl& list, int row, UINT command, MenuChooser* seen) {
  SelectRow(list, row);
  std::optional<MenuChooser> own;
  (seen ? seen : &own.emplace())->command = command;
  RightClickRow(page, list, row);
  Pump();
}

TempDir::TempDir() {
  wchar_t base[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  m_path = std::wstring(base) + L"wardlet-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L"\\";
  ::CreateDirectoryW(m_path.c_str(), nullptr);
}
TempDir::~TempDir() { RemoveTree(L"\\\\?\\" + m_path); }  // the \\?\ form reaches deep folders

std::wstring ClipboardText() {
  std::wstring text = L"<no text>";
  if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(nullptr)) return text;
  if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
      text = p;
      ::GlobalUnlock(h);
    }
  }
  ::CloseClipboard();
  return text;
}

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

std::vector<std::wstring> TempNamesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"Morvane*").c_str(), &fd);
  for (BOOL ok = h != INVALID_HANDLE_VALUE; ok; ok = ::FindNextFileW(h, &fd)) names.push_back(fd.cFileName);
  if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

OwnSettings::OwnSettings(const std::wstring& name)
    : key(L"Software\\WardletTests\\" + name + L"-" + std::to_wstring(::GetCurrentProcessId())) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  common::SetSettingsKey(key);
}
OwnSettings::~OwnSettings() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  common::SetSettingsKey(L"Software\\WardletTests\\" + std::to_wstring(::GetCurrentProcessId()));
}

FakeVerdict::FakeVerdict(std::wstring marker, common::SignatureVerdict verdict) {
  common::SetSignatureVerdictHook(
      [marker = std::move(marker), verdict = std::move(verdict)](const std::wstring& path)
          -> std::optional<common::SignatureVerdict> {
        if (path.find(marker) == std::wstring::npos) return std::nullopt;
        return verdict;
      });
}
FakeVerdict::~FakeVerdict() { common::SetSignatureVerdictHook(nullptr); }

common::SignatureVerdict MicrosoftSigned() {
  common::SignatureVerdict v;
  v.state = common::SignatureState::Signed;
  v.signer = L"Microsoft Windows";
  v.root = L"Microsoft Root Certificate Authority 2011";
  return v;
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  while (!done()) {
    if (::GetTickCount64() > end) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(10);
  }
  return true;
}

}  // namespace wt
