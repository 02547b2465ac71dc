// Helpers the Wine tests share: catching message boxes, shell requests and row menus, driving
// the real main dialog and its lists with messages.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/wardlet_dlg.h"
#include "common/listpage.h"
#include "common/shell.h"
#include "ui/controls.h"
#include "ui/msgbox.h"

namespace common {
inline auto Tie(const ShellRequest& r) { return std::tie(r.owner, r.verb, r.file, r.parameters, r.show, r.properties); }
inline bool operator==(const ShellRequest& a, const ShellRequest& b) { return Tie(a) == Tie(b); }
void PrintTo(const ShellRequest& r, std::ostream* os);
}  // namespace common

namespace wt {

// Records every message box instead of showing it; answers with IDOK.
struct MessageLog {
  struct Entry {
    HWND owner;
    std::wstring text, caption;
    UINT style;
    bool operator==(const Entry&) const = default;
  };
  std::vector<Entry> entries;
  MessageLog();
  ~MessageLog() { ui::SetMessageHook(nullptr); }
  bool Has(const std::wstring& text) const;
};
using Messages = std::vector<MessageLog::Entry>;  // EXPECT_EQ(log.entries, Shown(...))
inline Messages Shown(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
  return {{owner, text, caption, style}};
}
void PrintTo(const MessageLog::Entry& e, std::ostream* os);

// Records shell requests instead of starting programs.
struct ShellLog {
  std::vector<common::ShellRequest> requests;
  ShellLog() { common::SetShellHook([this](const common::ShellRequest& r) { requests.push_back(r); }); }
  ~ShellLog() { common::SetShellHook(nullptr); }
};

// Answers row menus: records the last menu's state and chooses `command` (0 dismisses it).
struct MenuChooser {
  UINT command = 0;
  UINT lastMenuId = 0;
  int opened = 0;
  std::vector<UINT> greyed, checked;
  std::vector<UINT> items;  // every command, nested pop-ups included
  explicit MenuChooser(UINT cmd = 0);
  ~MenuChooser() { common::SetMenuHook(nullptr); }
  bool IsGreyed(UINT id) const;
  bool IsChecked(UINT id) const;
};

// The real main dialog, created modeless without the fade-in; destroyed at the end.
class MainDialog {
 public:
  MainDialog();
  ~MainDialog();
  CWardletDlg& dlg() { return *m_dlg; }
  void SelectTab(int index);  // as a user click does (TCN_SELCHANGE)

 private:
  std::unique_ptr<CWardletDlg> m_dlg;
};

// Row helpers on a list control.
int FindRow(const ui::CListCtrl& list, int column, const std::wstring& text);
std::vector<std::wstring> RowTexts(const ui::CListCtrl& list, int row);
void SelectRow(const ui::CListCtrl& list, int row);
// Sends the list's NM_CLICK / NM_RCLICK notification for row (-1: empty area) to its page.
void ClickRow(HWND page, const ui::CListCtrl& list, int row);
void RightClickRow(HWND page, const ui::CListCtrl& list, int row);
// Selects row, right-clicks it and chooses command; a test that holds a MenuChooser must pass it
// as seen (another one would end its hook).
void RunRowCommand(HWND page, const ui::CListCtrl& list, int row, UINT command, MenuChooser* seen = nullptr);

// The main dialog's process page with its two lists.
struct ProcessTab {
  static constexpr int kName = 1, kPid = 3, kParent = 4, kPath = 9;  // process list
  static constexpr int kModuleName = 1, kModulePath = 2;             // module list
  MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  const ui::CListCtrl& modules = page.ModuleList();
  int RowOf(DWORD pid) {  // after a refill; -1 when none
    page.RefreshProcessList();
    return FindRow(list, kPid, std::to_wstring(pid));
  }
  void Click(int row) {  // selects the row and clicks it (-1: the empty area)
    SelectRow(list, row);
    ClickRow(page, list, row);
  }
};

// The main dialog showing one of its list pages (the dialog's member, the tab's index).
template <class Page>
struct PageTab {
  MainDialog main;
  Page& page;
  const ui::CListCtrl& list;
  PageTab(Page CWardletDlg::*member, int tab) : page(main.dlg().*member), list(page.List()) { main.SelectTab(tab); }
  void Run(int row, UINT command, MenuChooser* seen = nullptr) { RunRowCommand(page, list, row, command, seen); }
  void Click(int row) {
    SelectRow(list, row);
    ClickRow(page, list, row);
  }
};

// A fresh folder under the temporary directory, removed with all it holds at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::wstring& path() const { return m_path; }  // with a trailing backslash
 private:
  std::wstring m_path;
};

// A started program (command line); ended at the end if it still runs.
struct Child {
  PROCESS_INFORMATION pi{};
  explicit Child(const std::wstring& commandLine);
  ~Child();
  bool started() const { return pi.hProcess != nullptr; }
  DWORD pid() const { return pi.dwProcessId; }
};

// Deletes a registry key tree at the end (it may or may not exist).
struct KeyCleanup {
  HKEY root;
  std::wstring path;
  ~KeyCleanup();
};

// Answers the file dialog with a path, or cancels it when there is none; records what it asked.
struct FileAnswer {
  std::wstring filter, title;
  int asked = 0;
  explicit FileAnswer(std::optional<std::wstring> answer);
  ~FileAnswer();
};

// A hidden window, for owning message boxes.
struct OwnerWindow {
  HWND hwnd = ::CreateWindowW(L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ~OwnerWindow() { ::DestroyWindow(hwnd); }
};

std::wstring ExeDir();          // folder of the test binary, with a trailing backslash
std::wstring OwnPath();         // path of the test binary
std::wstring ClipboardText();   // the Unicode text on the clipboard; "<no text>" when none
inline std::wstring ChildExe() { return ExeDir() + L"wardlet_child.exe"; }
inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
inline bool SamePath(const std::wstring& a, const std::wstring& b) {  // equal but for case
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}
inline bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool WriteText(const std::wstring& path, const std::string& text);  // creates or replaces the file
std::string ReadText(const std::wstring& path);                      // "(missing)" when unreadable
// Copies wardlet_child.exe into dir under name; returns the copy's path, empty on failure.
std::wstring CopyChild(const TempDir& dir, const std::wstring& name);
// Sorted names in dir that start with "Morvane" (the temporary names of force deletion).
std::vector<std::wstring> TempNamesIn(const std::wstring& dir);

}  // namespace wt
