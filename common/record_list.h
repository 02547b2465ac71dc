// A page's list as records: the rows a refresh gathered, each with its cell texts and the key that
// identifies the thing it shows, shown through an owner-data list view (the list holds no texts,
// so its cost does not grow with the rows). The records are gathered off the user-interface
// thread and replace the shown ones in one step on it. On top: sorting by a heading click, a find
// box, new/gone marks of a watched list, copying and CSV export; the sort order and the selected
// row are kept across refreshes and restarts.
//
// Turning a page's list into a record list:
//  1. res/wardlet.rc: give the list control LVS_OWNERDATA and drop LVS_NOSORTHEADER.
//  2. Define the page's record: struct FooRecord : common::Record { identity fields }. Fill
//     `cells` with the texts the old fill put in the columns (column 0 too) and `key` with a
//     text made of the identity fields (e.g. PID and creation time).
//  3. Write the gathering as a static function `common::Records GatherFoo()` that touches no
//     control and no member of the page: it runs on a worker thread (RefreshNow runs it on the
//     calling thread). Ask common::IsAutomaticRefresh() before showing anything.
//  4. Add a member `common::RecordList m_rows;` and in SetupLists replace InsertColumns with
//     m_rows.Setup(m_list, {{heading, format, width, lists::Kind::...}, ...}, L"Foo", &GatherFoo);
//  5. The old RefreshFooList() becomes m_rows.Refresh(); keep a RefreshFooListNow() (or let
//     callers use Records().RefreshNow()) for tests and report writers.
//  6. Commands take `auto rec = m_rows.SelectedAs<FooRecord>();` (null: no row) instead of
//     GetSelectedCell, and check the thing is still the one of the record before acting
//     (a window handle reused, a PID reused: compare the identity fields).
//  7. Greying rules read rec->cells[n] as they read the cells before.
//  8. Expose `common::RecordList& Records()` and return it from CWardletDlg::Records(tab).
//  9. A list that shows files may add m_rows.SetSignatureColumn(pathColumn) after Setup: a
//     "签名" column at the end, filled as the shared checker's verdicts arrive.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/list_rules.h"
#include "common/signature_rules.h"

namespace common {

// One listed thing: its cell texts and its identity. Pages derive their own with the fields their
// commands need.
struct Record {
  virtual ~Record() = default;
  std::vector<std::wstring> cells;
  std::wstring key;
  // The file a signer column checks when no cell holds it alone (see SetSignatureColumn).
  std::wstring file;
};
using RecordPtr = std::shared_ptr<const Record>;
using Records = std::vector<RecordPtr>;

struct ListColumn {
  const wchar_t* heading;
  int format;  // LVCFMT_LEFT or LVCFMT_CENTER
  int width;
  lists::Kind kind;
};

// True while the gathering of a timed (automatic) refresh runs on this thread: it must then show
// no message box and open nothing.
bool IsAutomaticRefresh();

// Control IDs of the find box and its count text.
constexpr int kFindBoxId = 1100;
constexpr int kFindCountId = 1101;

class RecordList {
 public:
  using Gather = std::function<Records()>;

  RecordList() = default;
  ~RecordList();
  RecordList(const RecordList&) = delete;
  RecordList& operator=(const RecordList&) = delete;

  // list must be an owner-data report list (LVS_OWNERDATA). Inserts the columns with the list
  // style every list gets, reads the kept sort order and selected row of name, and handles the
  // list's notifications from its parent.
  void Setup(HWND list, const std::vector<ListColumn>& columns, const std::wstring& name, Gather gather);

  // Gathers on a worker thread; the rows change when it is done. A refresh asked for while one
  // runs is run once more after it (never two at once).
  void Refresh(bool automatic = false);
  // Gathers on this thread and shows the rows before returning; a worker's refresh still running
  // is left to end unseen.
  void RefreshNow();
  bool Busy() const { return m_job != nullptr; }
  // Handles messages until no refresh runs (the rows are in the list; their paint may follow), at
  // most timeoutMs; false on timeout.
  bool WaitIdle(DWORD timeoutMs = 120000);
  // Shows records (as a finished refresh does).
  void Replace(Records records);

  HWND List() const { return m_list; }
  int RowCount() const { return static_cast<int>(m_view.size()); }
  int TotalCount() const;  // rows before the find
  const Record* RecordAt(int row) const;
  lists::Mark MarkAt(int row) const;
  int RowOf(const std::wstring& key) const;  // -1 when not shown
  int SelectedRow() const;
  RecordPtr Selected() const;
  template <class T>
  std::shared_ptr<const T> SelectedAs() const {
    return std::dynamic_pointer_cast<const T>(Selected());
  }

  // Sorting: column -1 is the gathered order.
  void SortBy(int column, bool descending);
  void OnHeadingClick(int column);  // first click ascending, the next one reverses
  int SortColumn() const { return m_sortColumn; }
  bool SortDescending() const { return m_descending; }

  // The find box above the list.
  void OpenFind();
  void CloseFind();  // clears the text too
  bool FindOpen() const { return m_findOpen; }
  void SetFindText(const std::wstring& text);
  const std::wstring& FindText() const { return m_findText; }
  HWND FindBox() const { return m_findBox; }
  std::wstring FindCountText() const;

  // Watching: each refresh marks the rows that appeared (New) and keeps those that went for one
  // more refresh (Gone). Off clears the marks.
  void SetWatch(bool on);
  bool Watching() const { return m_watch; }
  // Called after each finished refresh (tests and the main window's timer).
  void SetOnRefreshed(std::function<void()> f) { m_onRefreshed = std::move(f); }

  std::vector<std::wstring> Headings() const;
  std::vector<std::vector<std::wstring>> ShownRows() const;
  std::vector<std::wstring> RowTexts(int row) const;  // a shown row's cells, the signer's too
  Records ShownRecords() const;  // in shown order

  // Keeps the sort order and the selected row under the list's name (also done when the page goes).
  void SaveSettings() const;

  // The signer column: appends "签名" after the columns of Setup (call once, after it). After each
  // refresh the path cells of pathColumn are asked of the shared signature checker (cached
  // verdicts at once, the rest on its workers); rows are repainted as verdicts arrive, sorting and
  // the find read the verdict texts, unsigned or invalid files are drawn in the warning colour,
  // the heading's tooltip tells what the colours mean, and while "隐藏微软签名项" is on the rows
  // signed by Microsoft are left out and a line under the list says so.
  // pathColumn kRecordFile: the records' `file` field instead of a cell.
  static constexpr int kRecordFile = -1;
  void SetSignatureColumn(int pathColumn);
  int SignatureColumn() const { return m_signColumn; }
  SignatureVerdict VerdictAt(int row) const;  // Pending without a signer column
  int HiddenCount() const { return m_hidden; }  // rows left out as signed by Microsoft
  std::wstring NoticeText() const;             // the line under the list; empty when none shows
  HWND LegendTip() const { return m_tip; }
  // Applies the "隐藏微软签名项" choice anew to every record list with a signer column.
  static void ApplyHideMicrosoftToAll();
  // A list that shows every row whatever the choice (a report lists everything); call before the
  // first refresh.
  void ListEverything() { m_everything = true; m_hideMicrosoft = false; }
  // Handles messages until every row's signer verdict is in, at most timeoutMs; false on timeout.
  bool WaitForVerdicts(DWORD timeoutMs);

 private:
  struct Entry {
    RecordPtr rec;
    lists::Mark mark;
  };
  struct Job;
  static LRESULT CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK FindProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  bool OnNotify(NMHDR* nm, LRESULT& result);
  void StartJob(bool automatic);
  void Finish(Records records, bool automatic);
  void Resort();   // order of every entry, then the view
  void Refilter(); // the view from the order
  void ShowView(const std::wstring& keepKey);
  void ShowSortArrow() const;
  void PlaceFind();
  void UpdateFindCount() const;
  std::wstring SelectedKey() const;
  static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  const SignatureVerdict* VerdictOf(const Record& rec) const;
  std::wstring SignerText(const Record& rec) const;
  void RequestSignatures();
  void OnVerdicts();
  void ReapplyKeepingSelection();
  void PlaceNotice();
  void PlaceLegendTip() const;

  HWND m_list = nullptr;
  HWND m_page = nullptr;
  HWND m_findBox = nullptr;
  HWND m_findCount = nullptr;
  std::wstring m_name;
  Gather m_gather;
  std::vector<ListColumn> m_columns;
  std::vector<Entry> m_entries;
  std::vector<std::uint32_t> m_order;  // entries in display order
  std::vector<std::uint32_t> m_view;   // m_order kept by the find
  int m_sortColumn = -1;
  bool m_descending = false;
  bool m_findOpen = false;
  int m_findInset = 0;
  std::wstring m_findText, m_findFolded;
  bool m_watch = false;
  bool m_listed = false;
  std::wstring m_pendingKey;  // selected row kept from the last run
  std::shared_ptr<Job> m_job;
  unsigned m_generation = 0;
  bool m_again = false;
  bool m_againAutomatic = false;
  std::function<void()> m_onRefreshed;
  // The signer column.
  int m_signColumn = -1;
  int m_pathColumn = -1;
  std::map<std::wstring, SignatureVerdict> m_verdicts;  // by folded path
  bool m_hideMicrosoft = false;
  bool m_everything = false;
  int m_hidden = 0;
  HWND m_notice = nullptr;
  int m_noticeInset = 0;
  int m_noticeListBottom = 0;  // the list's bottom as the notice left it
  HWND m_tip = nullptr;
};

}  // namespace common
