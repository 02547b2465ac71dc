// Helpers the Wine tests share: catching message boxes, shell requests, file dialogs and row menus,
// driving the real main dialog and its lists with messages, child processes and temporary files.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/wardlet_dlg.h"
#include "common/listpage.h"
#include "common/shell.h"
#include "common/signature.h"
#include "ui/controls.h"
#include "ui/filedialog.h"
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
  MessageLog() {
    ui::SetMessageHook([this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
      entries.push_back({owner, text, caption, style});
      return IDOK;
    });
  }
  ~MessageLog() { ui::SetMessageHook(nullptr); }
  bool Has(const std::wstring& text) const {
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.text == text; });
  }
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

// Answers the file dialog with a path, or cancels it when there is none; records what it asked.
struct FileAnswer {
  std::wstring filter, title;
  int asked = 0;
  explicit FileAnswer(std::optional<std::wstring> answer) {
    ui::SetFileDialogHook([this, answer](const std::wstring& f, const std::wstring& t, std::wstring& path) {
      filter = f;
      title = t;
      ++asked;
      if (answer) path = *answer;
      return answer.has_value();
    });
  }
  ~FileAnswer() { ui::SetFileDialogHook(nullptr); }
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
  bool IsGreyed(UINT id) const { return std::find(greyed.begin(), greyed.end(), id) != greyed.end(); }
  bool IsChecked(UINT id) const { return std::find(checked.begin(), checked.end(), id) != checked.end(); }
};

// The real main dialog, created modeless without the fade-in; destroyed at the end.
class MainDialog {
 public:
  MainDialog();
  ~MainDialog();
  CWardletDlg& dlg() { return *m_dlg; }
  void SelectTab(int index);  // as a user click does (TCN_SELCHANGE), then waits for the page's rows

 private:
  std::unique_ptr<CWardletDlg> m_dlg;
};

// Row helpers on a list control.
inline int FindRow(const ui::CListCtrl& list, int column, const std::wstring& text) {
  for (int i = 0, n = list.GetItemCount(); i < n; ++i)
    if (list.GetItemText(i, column) == text) return i;
  return -1;
}
inline std::vector<std::wstring> RowTexts(const ui::CListCtrl& list, int row) {
  std::vector<std::wstring> cells;
  for (int c = 0, n = list.GetColumnCount(); c < n; ++c) cells.push_back(list.GetItemText(row, c));
  return cells;
}
inline void SelectRow(const ui::CListCtrl& list, int row) {
  list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (row >= 0) list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
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
    page.RefreshProcessListNow();
    return FindRow(list, kPid, std::to_wstring(pid));
  }
  void Click(int row) {  // selects the row and clicks it (-1: the empty area)
    SelectRow(list, row);
    ClickRow(page, list, row);
  }
  // The process a shown row listed (none for no such row).
  process::ListedProcess ListedAt(int row) {
    auto rec = dynamic_cast<const process::ProcessRecord*>(page.Records().RecordAt(row));
    return rec ? rec->listed : process::ListedProcess{};
  }
  // Shows the rows again with the record of row changed by edit (row -1: a made-up row, its cells
  // empty, added at the end, so that the other rows keep their places); returns the edited row's
  // index.
  int EditRow(int row, const std::function<void(process::ProcessRecord&)>& edit) {
    common::RecordList& rows = page.Records();
    common::Records records;
    std::wstring key;
    auto made = [&](const process::ProcessRecord& from, bool edited) {
      auto copy = std::make_shared<process::ProcessRecord>(from);
      if (edited) {
        edit(*copy);
        key = copy->key;
      }
      records.push_back(copy);
    };
    for (int i = 0, n = rows.RowCount(); i < n; ++i)
      if (auto rec = dynamic_cast<const process::ProcessRecord*>(rows.RecordAt(i))) made(*rec, i == row);
    if (row < 0) {
      process::ProcessRecord blank;
      blank.cells.resize(11);
      blank.key = L"made-up row " + std::to_wstring(rows.TotalCount());
      made(blank, true);
    }
    rows.Replace(records);
    return rows.RowOf(key);
  }
  // Adds a made-up row showing "marker" first; a refill leaves it out.
  void AddMarkerRow() {
    EditRow(-1, [](process::ProcessRecord& r) { r.cells[0] = L"marker"; });
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

// Adds rec to the rows a record list shows (as a refresh would show them): a marker row, or a
// row naming something that is not there.
inline void AddRecord(common::RecordList& rows, std::shared_ptr<common::Record> rec) {
  common::Records all = rows.ShownRecords();
  all.insert(all.begin(), std::move(rec));
  rows.Replace(std::move(all));
}
inline std::shared_ptr<common::Record> MarkerRecord(const std::wstring& text) {
  auto rec = std::make_shared<common::Record>();
  rec->cells = {text};
  rec->key = L"marker:" + text;
  return rec;
}

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
  explicit Child(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    std::wstring cmd = commandLine;
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) pi = {};
  }
  ~Child() {
    if (!pi.hProcess) return;
    if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 0);
    ::WaitForSingleObject(pi.hProcess, 5000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  bool started() const { return pi.hProcess != nullptr; }
  DWORD pid() const { return pi.dwProcessId; }
};

// A hidden window, for owning message boxes.
struct OwnerWindow {
  HWND hwnd = ::CreateWindowW(L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ~OwnerWindow() { ::DestroyWindow(hwnd); }
};

inline std::wstring OwnPath() {  // path of the test binary
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}
inline std::wstring ExeDir() { return OwnPath().substr(0, OwnPath().find_last_of(L'\\') + 1); }  // with a backslash
inline std::wstring ChildExe() { return ExeDir() + L"wardlet_child.exe"; }
// A program of the Windows directory by its full path, as the shell actions start it.
inline std::wstring WindowsProgram(const std::wstring& name) {
  wchar_t dir[MAX_PATH] = {};
  ::GetWindowsDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\" + name;
}
inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
inline bool SamePath(const std::wstring& a, const std::wstring& b) {  // equal but for case
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}
inline bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
// Copies wardlet_child.exe into dir under name; returns the copy's path, empty on failure.
inline std::wstring CopyChild(const TempDir& dir, const std::wstring& name) {
  std::wstring to = dir.path() + name;
  return ::CopyFileW(ChildExe().c_str(), to.c_str(), FALSE) ? to : L"";
}
std::wstring ClipboardText();                                        // Unicode text; "<no text>" when none
bool WriteText(const std::wstring& path, const std::string& text);  // creates or replaces the file
std::string ReadText(const std::wstring& path);                      // "(missing)" when unreadable
// Sorted names in dir that start with "Morvane" (the temporary names of force deletion).
std::vector<std::wstring> TempNamesIn(const std::wstring& dir);

// Settings of one test file's tests live in a key of their own (name), emptied before and after
// each test, so a sort order or choice made there reaches no other test.
struct OwnSettings {
  std::wstring key;
  explicit OwnSettings(const std::wstring& name);
  ~OwnSettings();
  OwnSettings(const OwnSettings&) = delete;
  OwnSettings& operator=(const OwnSettings&) = delete;
};

// While it lives, a file whose path contains marker gets verdict from the signature checker, as
// no fixture file can carry (Microsoft's own signature, a check that gave up); others are checked.
struct FakeVerdict {
  FakeVerdict(std::wstring marker, common::SignatureVerdict verdict);
  ~FakeVerdict();
  FakeVerdict(const FakeVerdict&) = delete;
  FakeVerdict& operator=(const FakeVerdict&) = delete;
};
// The verdict of a file signed by Microsoft.
common::SignatureVerdict MicrosoftSigned();

// Handles messages until done() holds, at most ms; false on timeout.
bool PumpUntil(const std::function<bool()>& done, DWORD ms);

}  // namespace wt
