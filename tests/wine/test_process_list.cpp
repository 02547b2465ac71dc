// The process list of the real process page: the test's own process, a child, and processes that
// come and go while the list is refilled.
#include <gtest/gtest.h>

#include <winternl.h>

#include <atomic>
#include <thread>

#include "tests/wine/test_util.h"

namespace {
using Tab = wt::ProcessTab;

// Rows numbered 1, 2, … each with a PID and, but for children of the test caught while they start
// (Wine's snapshot has no name for them yet), a name.
void ExpectWholeRows(const ui::CListCtrl& list) {
  for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
    ASSERT_EQ(list.GetItemText(i, 0), std::to_wstring(i + 1));
    ASSERT_FALSE(list.GetItemText(i, Tab::kPid).empty()) << "row " << i;
    const bool starting = list.GetItemText(i, Tab::kParent) == std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(starting || !list.GetItemText(i, Tab::kName).empty()) << "row " << i;
  }
}
}  // namespace

TEST(ProcessList, ShowsTheProcessesWholeAlsoWhileTheyComeAndGo) {
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  Tab t;
  const ui::CListCtrl& list = t.list;
  int own = t.RowOf(::GetCurrentProcessId());
  ExpectWholeRows(list);
  ASSERT_GE(own, 0);
  PROCESS_BASIC_INFORMATION info{};  // the parent PID as the kernel keeps it
  ASSERT_EQ(::NtQueryInformationProcess(::GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info), nullptr), 0);
  const std::wstring ownPath = wt::OwnPath();
  EXPECT_EQ(list.GetItemText(own, Tab::kName), ownPath.substr(ownPath.find_last_of(L'\\') + 1));
  EXPECT_EQ(list.GetItemText(own, Tab::kParent), std::to_wstring(info.InheritedFromUniqueProcessId));
  EXPECT_TRUE(wt::SamePath(list.GetItemText(own, Tab::kPath), ownPath)) << list.GetItemText(own, Tab::kPath);

  int row = wt::FindRow(list, Tab::kPid, std::to_wstring(child.pid()));
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.GetItemText(row, Tab::kName), L"wardlet_child.exe");
  EXPECT_EQ(list.GetItemText(row, Tab::kParent), std::to_wstring(::GetCurrentProcessId()));
  EXPECT_TRUE(wt::SamePath(list.GetItemText(row, Tab::kPath), wt::ChildExe())) << list.GetItemText(row, Tab::kPath);
  EXPECT_GE(std::stoi(list.GetItemText(row, 5)), 1);  // threads
  EXPECT_EQ(list.GetItemText(row, 6), L"标准");       // priority

  // Another thread starts short-lived children and ends some at once, so that processes vanish
  // between the snapshot and the opening of each row.
  std::atomic<bool> stop{false};
  std::atomic<int> started{0};
  std::thread churn([&] {
    for (int i = 0; !stop; ++i) {
      wt::Child c(wt::Quoted(wt::ChildExe()) + L" sleep " + std::to_wstring(i % 20));
      if (c.started()) ++started;
      if (i % 3 == 0) ::TerminateProcess(c.pi.hProcess, 1);
      else ::WaitForSingleObject(c.pi.hProcess, 50);
    }
  });
  wt::MessageLog log;
  for (int i = 0; i < 40; ++i) {
    EXPECT_GE(t.RowOf(::GetCurrentProcessId()), 0);
    ExpectWholeRows(list);
  }
  stop = true;
  churn.join();
  EXPECT_GT(started.load(), 5);
  EXPECT_TRUE(log.entries.empty());
}
