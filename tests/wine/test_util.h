// Helpers the Wine tests share: catching message boxes, shell requests and row menus, driving
// the real main dialog and its lists with messages.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
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

// Row helpers on a list control.
int FindRow(const ui::CListCtrl& list, int column, const std::wstring& text);
std::vector<std::wstring> RowTexts(const ui::CListCtrl& list, int row);
void SelectRow(const ui::CListCtrl& list, int row);
// Sends the list's NM_CLICK / NM_RCLICK notification for row (-1: empty area) to its page.
void ClickRow(HWND page, const ui::CListCtrl& list, int row);
void RightClickRow(HWND page, const ui::CListCtrl& list, int row);
// Selects row, right-clicks it and chooses command from the menu; returns what the menu showed.
void RunRowCommand(HWND page, const ui::CListCtrl& list, int row, UINT command, MenuChooser* seen = nullptr);

// Folder of the test binary (the helper programs stand beside it), with a trailing backslash.
std::wstring ExeDir();
// A fresh, empty folder under the temporary directory; removed with its files by the destructor.
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

}  // namespace wt
