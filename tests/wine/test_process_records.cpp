// The process list as a record list: sorting by a heading across refreshes, the selected process
// kept while rows come above it, the find box, watch marks of processes that start and end, and
// ending a process from a sorted and narrowed list.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "common/settings.h"
#include "common/signature.h"
#include "pages/process/process_rules.h"
#include "tests/wine/test_util.h"

namespace {

using Tab = wt::ProcessTab;

bool Running(const wt::Child& child) { return ::WaitForSingleObject(child.pi.hProcess, 0) == WAIT_TIMEOUT; }
DWORD EndedCode(const wt::Child& child) {
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(child.pi.hProcess, 5000) == WAIT_OBJECT_0) ::GetExitCodeProcess(child.pi.hProcess, &code);
  return code;
}
std::wstring Sleeper(const std::wstring& exe) { return wt::Quoted(exe) + L" sleep 60000"; }

class ProcessRecordsTest : public ::testing::Test {
 protected:
  ProcessRecordsTest() : tab(std::make_unique<Tab>()) {}
  CProcessPage& page() { return tab->page; }
  common::RecordList& rows() { return page().Records(); }
  const ui::CListCtrl& list() { return tab->list; }
  int RowOf(DWORD pid) { return wt::FindRow(list(), Tab::kPid, std::to_wstring(pid)); }  // no refill
  DWORD SelectedPid() {
    auto rec = page().SelectedProcess();
    return rec ? rec->listed.pid : 0;
  }
  void RefreshOnWorker() {
    page().RefreshProcessList();
    ASSERT_TRUE(rows().WaitIdle());
  }
  void ClickHeading(int column) {
    NMLISTVIEW nm{};
    nm.hdr = {list().GetSafeHwnd(), IDC_PROCESS_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    nm.iItem = -1;
    nm.iSubItem = column;
    page().SendMessage(WM_NOTIFY, IDC_PROCESS_LIST, reinterpret_cast<LPARAM>(&nm));
  }
  std::vector<long> PidsShown() {
    std::vector<long> pids;
    for (int i = 0, n = list().GetItemCount(); i < n; ++i)
      pids.push_back(process::CellToLong(list().GetItemText(i, Tab::kPid)));
    return pids;
  }

  wt::OwnSettings settings{L"proc"};
  std::unique_ptr<Tab> tab;
};

// The PID heading sorts by value (a text sort would put "1040" before "56"), the next click
// reverses, and the order holds across refreshes on this thread and on a worker.
TEST_F(ProcessRecordsTest, PidHeadingSortsNumbersAsNumbersAcrossRefreshes) {
  wt::Child a(Sleeper(wt::ChildExe())), b(Sleeper(wt::ChildExe()));
  ASSERT_TRUE(a.started() && b.started());
  page().RefreshProcessListNow();
  ClickHeading(Tab::kPid);
  EXPECT_EQ(rows().SortColumn(), Tab::kPid);
  EXPECT_FALSE(rows().SortDescending());
  std::vector<long> pids = PidsShown();
  ASSERT_GE(pids.size(), 3u);
  EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));
  EXPECT_GE(RowOf(a.pid()), 0);

  wt::Child c(Sleeper(wt::ChildExe()));
  ASSERT_TRUE(c.started());
  page().RefreshProcessListNow();
  pids = PidsShown();
  EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));
  EXPECT_GE(RowOf(c.pid()), 0);
  RefreshOnWorker();
  pids = PidsShown();
  EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));

  ClickHeading(Tab::kPid);
  EXPECT_TRUE(rows().SortDescending());
  RefreshOnWorker();
  pids = PidsShown();
  EXPECT_TRUE(std::is_sorted(pids.rbegin(), pids.rend()));
  EXPECT_EQ(rows().SortColumn(), Tab::kPid);
}

// Sorted by name, processes that start under a name sorting first come above the selected row; a
// refresh (here or on a worker) keeps the selection on the same process, further down.
TEST_F(ProcessRecordsTest, SelectionStaysOnItsProcessWhenRowsComeAboveIt) {
  wt::TempDir dir;
  wt::Child kept(Sleeper(wt::CopyChild(dir, L"wardlet_zz_kept.exe")));
  ASSERT_TRUE(kept.started());
  page().RefreshProcessListNow();
  ClickHeading(Tab::kName);
  const int before = RowOf(kept.pid());
  ASSERT_GE(before, 0);
  wt::SelectRow(list(), before);
  ASSERT_EQ(SelectedPid(), kept.pid());

  const std::wstring early = wt::CopyChild(dir, L"wardlet_aa_early.exe");
  std::vector<std::unique_ptr<wt::Child>> above;
  for (int i = 0; i < 3; ++i) {
    above.push_back(std::make_unique<wt::Child>(Sleeper(early)));
    ASSERT_TRUE(above.back()->started());
  }
  page().RefreshProcessListNow();
  EXPECT_EQ(SelectedPid(), kept.pid());
  EXPECT_EQ(rows().SelectedRow(), RowOf(kept.pid()));
  EXPECT_GE(RowOf(kept.pid()), before + 3);

  above.push_back(std::make_unique<wt::Child>(Sleeper(early)));
  RefreshOnWorker();
  EXPECT_EQ(SelectedPid(), kept.pid());
  EXPECT_GE(RowOf(kept.pid()), before + 4);
  EXPECT_EQ(list().GetNextItem(-1, LVNI_SELECTED), RowOf(kept.pid()));
}

// The find box narrows the list to the child of that name; the other processes are left out and
// come back when the text is cleared.
TEST_F(ProcessRecordsTest, FindNarrowsToAChildByItsName) {
  wt::TempDir dir;
  wt::Child found(Sleeper(wt::CopyChild(dir, L"wardlet_findme.exe")));
  wt::Child other(Sleeper(wt::ChildExe()));
  ASSERT_TRUE(found.started() && other.started());
  page().RefreshProcessListNow();
  const int all = list().GetItemCount();
  rows().OpenFind();
  rows().SetFindText(L"FINDME");
  EXPECT_EQ(list().GetItemCount(), 1);
  EXPECT_EQ(RowOf(found.pid()), 0);
  EXPECT_EQ(RowOf(other.pid()), -1);
  EXPECT_EQ(list().GetItemText(0, Tab::kName), L"wardlet_findme.exe");
  page().RefreshProcessListNow();  // the find holds across a refresh
  EXPECT_EQ(list().GetItemCount(), 1);
  EXPECT_EQ(RowOf(found.pid()), 0);
  rows().CloseFind();
  EXPECT_GE(list().GetItemCount(), all);
  EXPECT_GE(RowOf(other.pid()), 0);
}

// With automatic refresh on, a child that starts is marked new and one that ends stays one
// refresh as gone, then leaves.
TEST_F(ProcessRecordsTest, WatchMarksChildrenThatStartAndEnd) {
  CWardletDlg& dlg = tab->main.dlg();
  ASSERT_TRUE(CWardletDlg::IsWatchedPage(0));
  auto going = std::make_unique<wt::Child>(Sleeper(wt::ChildExe()));
  ASSERT_TRUE(going->started());
  const DWORD goingPid = going->pid();
  dlg.SendMessage(WM_COMMAND, IDM_WATCH_5S, 0);  // the ticks below come well before the timer's
  EXPECT_TRUE(rows().Watching());
  ASSERT_TRUE(dlg.WatchTick());
  ASSERT_TRUE(rows().WaitIdle());
  ASSERT_GE(RowOf(goingPid), 0);
  EXPECT_EQ(rows().MarkAt(RowOf(goingPid)), lists::Mark::New);  // came after the first listing
  EXPECT_EQ(rows().MarkAt(RowOf(::GetCurrentProcessId())), lists::Mark::None);

  wt::Child coming(Sleeper(wt::ChildExe()));
  ASSERT_TRUE(coming.started());
  going.reset();  // ended and waited for
  ASSERT_TRUE(dlg.WatchTick());
  ASSERT_TRUE(rows().WaitIdle());
  ASSERT_GE(RowOf(coming.pid()), 0);
  EXPECT_EQ(rows().MarkAt(RowOf(coming.pid())), lists::Mark::New);
  ASSERT_GE(RowOf(goingPid), 0);
  EXPECT_EQ(rows().MarkAt(RowOf(goingPid)), lists::Mark::Gone);
  EXPECT_EQ(rows().MarkAt(RowOf(::GetCurrentProcessId())), lists::Mark::None);

  ASSERT_TRUE(dlg.WatchTick());
  ASSERT_TRUE(rows().WaitIdle());
  EXPECT_EQ(RowOf(goingPid), -1);
  EXPECT_EQ(rows().MarkAt(RowOf(coming.pid())), lists::Mark::None);
  dlg.SendMessage(WM_COMMAND, IDM_WATCH_OFF, 0);
  EXPECT_FALSE(rows().Watching());
  EXPECT_FALSE(dlg.WatchTick());
}

// Two children of one file, the list sorted by PID downwards and narrowed to their name: ending
// the selected one ends that child only; its sibling runs on and is the one row left, still sorted
// and narrowed, when the command returns.
TEST_F(ProcessRecordsTest, EndingFromASortedNarrowedListEndsExactlyTheSelectedChild) {
  wt::TempDir dir;
  const std::wstring exe = wt::CopyChild(dir, L"wardlet_twin.exe");
  wt::Child first(Sleeper(exe)), second(Sleeper(exe));
  ASSERT_TRUE(first.started() && second.started());
  page().RefreshProcessListNow();
  ClickHeading(Tab::kPid);
  ClickHeading(Tab::kPid);
  ASSERT_TRUE(rows().SortDescending());
  rows().OpenFind();
  rows().SetFindText(L"wardlet_twin");
  ASSERT_EQ(list().GetItemCount(), 2);
  const wt::Child& target = first.pid() < second.pid() ? first : second;
  const wt::Child& sibling = first.pid() < second.pid() ? second : first;
  const int row = RowOf(target.pid());
  EXPECT_EQ(row, 1);  // the lower PID below
  wt::MessageLog log;
  wt::RunRowCommand(page(), list(), row, IDM_PROCESS_KILL);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(EndedCode(target), 1u);
  EXPECT_TRUE(Running(sibling));
  EXPECT_EQ(list().GetItemCount(), 1);
  EXPECT_EQ(RowOf(target.pid()), -1);
  EXPECT_EQ(RowOf(sibling.pid()), 0);
  EXPECT_EQ(rows().SortColumn(), Tab::kPid);
  rows().CloseFind();
}

// The module list is filled from the selected record on a click and a right-click of the process
// list, and follows the selection to another process.
TEST_F(ProcessRecordsTest, ModuleListFollowsTheSelectedRecordOnClicks) {
  wt::Child child(Sleeper(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  ::Sleep(300);  // its modules loaded
  page().RefreshProcessListNow();
  ClickHeading(Tab::kPid);
  tab->Click(RowOf(child.pid()));
  ASSERT_GT(tab->modules.GetItemCount(), 0);
  EXPECT_TRUE(wt::SamePath(tab->modules.GetItemText(0, Tab::kModulePath), wt::ChildExe()));
  wt::MenuChooser menu;
  wt::RunRowCommand(page(), list(), RowOf(::GetCurrentProcessId()), 0, &menu);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_PROCESS));
  ASSERT_GT(tab->modules.GetItemCount(), 0);
  EXPECT_TRUE(wt::SamePath(tab->modules.GetItemText(0, Tab::kModulePath), wt::OwnPath()));
}

}  // namespace

// The hash commands of the process list take the selected record's file: of two children whose
// files differ by one byte, the one selected. A row without a path greys both.
TEST_F(ProcessRecordsTest, HashCommandsTakeTheSelectedProcesssFile) {
  wt::TempDir dir;
  const std::wstring exe = wt::CopyChild(dir, L"wardlet_hash_a.exe"), other = wt::CopyChild(dir, L"wardlet_hash_b.exe");
  ASSERT_FALSE(exe.empty() || other.empty());
  {
    HANDLE f = ::CreateFileW(other.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ::WriteFile(f, "x", 1, &n, nullptr);
    ::CloseHandle(f);
  }
  const std::wstring hash = common::FileSha256(exe).hex, otherHash = common::FileSha256(other).hex;
  ASSERT_EQ(hash.size(), 64u);
  ASSERT_NE(hash, otherHash);
  wt::Child a(Sleeper(exe)), b(Sleeper(other));
  ASSERT_TRUE(a.started() && b.started());
  const int row = tab->RowOf(a.pid());
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  wt::ShellLog shell;
  wt::MenuChooser menu;
  wt::RunRowCommand(page(), list(), row, IDM_PROCESS_COPY_SHA256, &menu);
  EXPECT_FALSE(menu.IsGreyed(IDM_PROCESS_COPY_SHA256) || menu.IsGreyed(IDM_PROCESS_VIRUSTOTAL));
  EXPECT_EQ(wt::ClipboardText(), hash);
  wt::RunRowCommand(page(), list(), RowOf(a.pid()), IDM_PROCESS_VIRUSTOTAL);
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].file, L"https://www.virustotal.com/gui/file/" + hash);
  // The signer column of the list: the copy of the test child is not signed.
  EXPECT_EQ(rows().Headings().back(), L"签名");
  EXPECT_TRUE(rows().WaitForVerdicts(30000));
  EXPECT_EQ(list().GetItemText(RowOf(a.pid()), static_cast<int>(rows().Headings().size()) - 1), L"未签名");

  tab->AddMarkerRow();
  wt::MenuChooser blank;
  wt::RunRowCommand(page(), list(), wt::FindRow(list(), 0, L"marker"), 0, &blank);
  EXPECT_TRUE(blank.IsGreyed(IDM_PROCESS_COPY_SHA256) && blank.IsGreyed(IDM_PROCESS_VIRUSTOTAL));
}
