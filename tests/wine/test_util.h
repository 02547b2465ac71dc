// Helpers the Wine tests share: catching message boxes, shell requests and row menus, driving
// the real main dialog and its lists with messages.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/wardlet_dlg.h"
#include "common/listpage.h"
#include "common/shell.h"
#include "ui/controls.h"
#include "ui/msgbox.h"

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
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;
  bool Has(const std::wstring& text) const;
};

// Records shell requests instead of starting programs.
struct ShellLog {
  std::vector<common::ShellRequest> requests;
  ShellLog();
  ~ShellLog();
  ShellLog(const ShellLog&) = delete;
  ShellLog& operator=(const ShellLog&) = delete;
};

// Answers row menus: records the menu's state and chooses `command` (0 dismisses it).
struct MenuChooser {
  UINT command = 0;
  UINT lastMenuId = 0;
  int opened = 0;
  std::vector<UINT> greyed;   // commands shown greyed at the last opening
  std::vector<UINT> checked;  // commands shown checked at the last opening
  std::vector<UINT> items;    // every command of the last pop-up, nested pop-ups included
  explicit MenuChooser(UINT cmd = 0);
  ~MenuChooser();
  MenuChooser(const MenuChooser&) = delete;
  MenuChooser& operator=(const MenuChooser&) = delete;
  bool IsGreyed(UINT id) const;
  bool IsChecked(UINT id) const;
};

// Handles pending messages of this thread for about ms milliseconds (at least once).
void Pump(DWORD ms = 0);

// The real main dialog, created modeless without the fade-in; destroyed at the end.
class MainDialog {
 public:
  MainDialog();
  ~MainDialog();
  CWardletDlg& dlg() { return *m_dlg; }
  // Selects a tab as a user click would (TCN_SELCHANGE reaches the main dialog).
  void SelectTab(int index);

 private:
  std::unique_ptr<CWardletDlg> m_dlg;
};

// The main dialog's process page with its two lists, and the cells the tests read.
struct ProcessTab {
  static constexpr int kName = 1, kPid = 3, kParent = 4, kPath = 9;  // process list
  static constexpr int kModuleName = 1, kModulePath = 2;             // module list
  MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  const ui::CListCtrl& modules = page.ModuleList();
  int RowOf(DWORD pid);   // the process's row after a refill; -1 when none
  void Click(int row);    // selects the row and clicks it (-1: the empty area), as the user does
};

// Row helpers on a list control.
int FindRow(const ui::CListCtrl& list, int column, const std::wstring& text);
std::vector<std::wstring> RowTexts(const ui::CListCtrl& list, int row);
void SelectRow(const ui::CListCtrl& list, int row);
// Sends the list's NM_CLICK / NM_RCLICK notification for row (-1: empty area) to its page.
void ClickRow(HWND page, const ui::CListCtrl& list, int row);
void RightClickRow(HWND page, const ui::CListCtrl& list, int row);
// Selects row, right-clicks it and chooses command from the menu; seen, if given, records the
// menu. A test that holds a MenuChooser must pass it: another one would end its hook.
void RunRowCommand(HWND page, const ui::CListCtrl& list, int row, UINT command, MenuChooser* seen = nullptr);

// The main dialog showing one of its list pages (the dialog's member, the tab's index).
template <class Page>
struct PageTab {
  MainDialog main;
  Page& page;
  const ui::CListCtrl& list;
  PageTab(Page CWardletDlg::*member, int tab) : page(main.dlg().*member), list(page.List()) { main.SelectTab(tab); }
  // Selects the row and chooses command from its menu (0: none); seen, if given, records the menu.
  void Run(int row, UINT command, MenuChooser* seen = nullptr) { RunRowCommand(page, list, row, command, seen); }
  void Click(int row) {  // selects the row and clicks it (-1: the empty area), as the user does
    SelectRow(list, row);
    ClickRow(page, list, row);
  }
};

// Folder of the test binary (the helper programs stand beside it), with a trailing backslash.
std::wstring ExeDir();
// A fresh, empty folder under the temporary directory; removed with all it holds by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::wstring& path() const { return m_path; }  // with a trailing backslash
 private:
  std::wstring m_path;
};

// Starts a program (command line) and returns its process information; the handles are owned.
struct Child {
  PROCESS_INFORMATION pi{};
  explicit Child(const std::wstring& commandLine);
  ~Child();  // ends the process if it still runs
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool started() const { return pi.hProcess != nullptr; }
  DWORD pid() const { return pi.dwProcessId; }
};

// Deletes a registry key tree when the test ends (it may or may not exist).
struct KeyCleanup {
  HKEY root;
  std::wstring path;
  KeyCleanup(HKEY r, std::wstring p);
  ~KeyCleanup();
};

// The list of one message, to compare with a log's entries: EXPECT_EQ(log.entries, Shown(...)).
using Messages = std::vector<MessageLog::Entry>;
Messages Shown(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);
void PrintTo(const MessageLog::Entry& e, std::ostream* os);  // readable in failure messages

// Answers the file dialog with a path, or cancels it when there is none; records what it asked.
struct FileAnswer {
  std::wstring filter, title;
  int asked = 0;
  explicit FileAnswer(std::optional<std::wstring> answer);
  ~FileAnswer();
  FileAnswer(const FileAnswer&) = delete;
  FileAnswer& operator=(const FileAnswer&) = delete;
};

// A plain hidden window, for owning message boxes; destroyed at the end.
struct OwnerWindow {
  HWND hwnd;
  OwnerWindow();
  ~OwnerWindow();
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
};

std::wstring ClipboardText();      // the Unicode text on the clipboard; "<no text>" when none
std::string ClipboardAnsiText();   // the system's ANSI form of it
std::wstring OwnPath();            // path of the test binary
std::wstring ChildExe();           // tests/programs/wardlet_child.exe beside it
std::wstring Quoted(const std::wstring& path);
bool SamePath(const std::wstring& a, const std::wstring& b);  // equal but for case
bool FileExists(const std::wstring& path);
bool WriteText(const std::wstring& path, const std::string& text);  // creates or replaces the file
std::string ReadText(const std::wstring& path);                      // "(missing)" when it cannot be read
// Copies wardlet_child.exe into dir under name; returns the copy's path, empty on failure.
std::wstring CopyChild(const TempDir& dir, const std::wstring& name);
// Sorted names in dir that start with "Morvane" (the temporary names of force deletion).
std::vector<std::wstring> TempNamesIn(const std::wstring& dir);

}  // namespace wt
