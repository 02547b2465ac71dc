// The process list of the real process page: the test's own process, a child, and processes that
// come and go while the list is refilled.
#include <gtest/gtest.h>

#include <winternl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/wine/test_util.h"

namespace {

constexpr int kId = 0, kName = 1, kPid = 3, kParent = 4, kThreads = 5, kPriority = 6, kPath = 9;

// The parent PID as the kernel keeps it, read apart from any snapshot.
DWORD OwnParentPid() {
  PROCESS_BASIC_INFORMATION info{};
  if (::NtQueryInformationProcess(::GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info), nullptr) != 0)
    return 0;
  return static_cast<DWORD>(info.InheritedFromUniqueProcessId);
}

// Every row numbered 1, 2, … in order, each with a PID and, but for children of the test caught
// while they start (Wine's snapshot has no name for them yet), a name.
void ExpectWholeRows(const ui::CListCtrl& list) {
  const std::wstring own = std::to_wstring(::GetCurrentProcessId());
  int n = list.GetItemCount();
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(list.GetItemText(i, kId), std::to_wstring(i + 1));
    ASSERT_FALSE(list.GetItemText(i, kPid).empty()) << "row " << i;
    if (list.GetItemText(i, kParent) != own) {
      ASSERT_FALSE(list.GetItemText(i, kName).empty()) << "row " << i;
    }
  }
}

}  // namespace

TEST(ProcessList, ShowsTheTestProcessAndItsChildWithNamePidParentAndPath) {
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  wt::ProcessTab t;
  CProcessPage& page = t.page;
  const ui::CListCtrl& list = t.list;
  page.RefreshProcessList();
  ExpectWholeRows(list);

  const std::wstring ownPid = std::to_wstring(::GetCurrentProcessId());
  int own = wt::FindRow(list, kPid, ownPid);
  ASSERT_GE(own, 0);
  const std::wstring ownPath = wt::OwnPath();
  EXPECT_EQ(list.GetItemText(own, kName), ownPath.substr(ownPath.find_last_of(L'\\') + 1));
  EXPECT_EQ(list.GetItemText(own, kParent), std::to_wstring(OwnParentPid()));
  EXPECT_TRUE(wt::SamePath(list.GetItemText(own, kPath), ownPath)) << list.GetItemText(own, kPath);

  int row = wt::FindRow(list, kPid, std::to_wstring(child.pid()));
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.GetItemText(row, kName), L"wardlet_child.exe");
  EXPECT_EQ(list.GetItemText(row, kParent), ownPid);
  EXPECT_TRUE(wt::SamePath(list.GetItemText(row, kPath), wt::ChildExe())) << list.GetItemText(row, kPath);
  EXPECT_GE(std::stoi(list.GetItemText(row, kThreads)), 1);
  EXPECT_EQ(list.GetItemText(row, kPriority), L"标准");
}

TEST(ProcessList, ProcessesEndingDuringARefreshLeaveWholeRows) {
  wt::ProcessTab t;
  CProcessPage& page = t.page;
  const ui::CListCtrl& list = t.list;
  // Another thread starts short-lived children and ends some at once, so that processes vanish
  // between the snapshot and the opening of each row.
  std::atomic<bool> stop{false};
  std::atomic<int> started{0};
  std::thread churn([&] {
    const std::wstring exe = wt::Quoted(wt::ChildExe());
    for (int i = 0; !stop; ++i) {
      wt::Child child(exe + L" sleep " + std::to_wstring(i % 20));
      if (child.started()) ++started;
      if (i % 3 == 0) ::TerminateProcess(child.pi.hProcess, 1);
      else ::WaitForSingleObject(child.pi.hProcess, 50);
    }
  });
  wt::MessageLog log;
  for (int i = 0; i < 40; ++i) {
    page.RefreshProcessList();
    ExpectWholeRows(list);
    EXPECT_GE(wt::FindRow(list, kPid, std::to_wstring(::GetCurrentProcessId())), 0);
  }
  stop = true;
  churn.join();
  EXPECT_GT(started.load(), 5);
  EXPECT_TRUE(log.entries.empty());
}
