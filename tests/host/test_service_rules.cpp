// Cell texts, row-menu marks, control commands and the wait decision of the service page, and
// the path rule as the service list applies it.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/path_rules.h"
#include "pages/service/service_rules.h"
#include "res/resource.h"

using namespace service;

namespace {
bool Has(const std::vector<unsigned>& ids, unsigned id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }
std::vector<unsigned> Sorted(std::vector<unsigned> v) {
  std::sort(v.begin(), v.end());
  return v;
}
}  // namespace

TEST(ServiceRules, StateTexts) {
  EXPECT_EQ(StateText(1), L"停止");
  EXPECT_EQ(StateText(4), L"运行");
  EXPECT_EQ(StateText(7), L"暂停");
  for (unsigned long pending : {2ul, 3ul, 5ul, 6ul}) EXPECT_EQ(StateText(pending), L"未知") << pending;
  EXPECT_EQ(StateText(0), L"未知");
  EXPECT_EQ(StateText(8), L"未知");
}

TEST(ServiceRules, StartTypeTexts) {
  EXPECT_EQ(StartTypeText(2), L"自动");
  EXPECT_EQ(StartTypeText(3), L"手动");
  EXPECT_EQ(StartTypeText(4), L"禁用");
  EXPECT_EQ(StartTypeText(0), L"引导");
  EXPECT_EQ(StartTypeText(1), L"系统");
  EXPECT_EQ(StartTypeText(5), L"5");
  EXPECT_EQ(StartTypeText(0xFFFFFFFFul), L"4294967295");
}

TEST(ServiceRules, GreyingFollowsTheState) {
  const std::wstring path = L"C:\\svc.exe";
  EXPECT_EQ(Sorted(ServiceMenuMarks(L"运行", L"", path).greyed),
            Sorted({IDM_SERVICE_START, IDM_SERVICE_RESUME}));
  EXPECT_EQ(Sorted(ServiceMenuMarks(L"暂停", L"", path).greyed),
            Sorted({IDM_SERVICE_START, IDM_SERVICE_STOP, IDM_SERVICE_PAUSE}));
  EXPECT_EQ(Sorted(ServiceMenuMarks(L"停止", L"", path).greyed),
            Sorted({IDM_SERVICE_STOP, IDM_SERVICE_PAUSE, IDM_SERVICE_RESUME}));
  EXPECT_TRUE(ServiceMenuMarks(L"未知", L"", path).greyed.empty());
  // Texts are compared whole and exactly.
  EXPECT_TRUE(ServiceMenuMarks(L"运行 ", L"", path).greyed.empty());
  EXPECT_TRUE(ServiceMenuMarks(L"", L"", path).greyed.empty());
}

TEST(ServiceRules, CurrentStartTypeIsCheckedAndGreyed) {
  const std::wstring path = L"C:\\svc.exe";
  struct Case { const wchar_t* text; unsigned id; } cases[] = {
      {L"自动", IDM_SERVICE_AUTO}, {L"手动", IDM_SERVICE_MANUAL}, {L"禁用", IDM_SERVICE_DISABLED}};
  for (const Case& c : cases) {
    RowMenuMarks m = ServiceMenuMarks(L"未知", c.text, path);
    EXPECT_EQ(m.checked, std::vector<unsigned>{c.id}) << c.text;
    EXPECT_EQ(m.greyed, std::vector<unsigned>{c.id}) << c.text;
  }
  for (const wchar_t* other : {L"引导", L"系统", L"", L"3"}) {
    RowMenuMarks m = ServiceMenuMarks(L"未知", other, path);
    EXPECT_TRUE(m.checked.empty()) << other;
    EXPECT_TRUE(m.greyed.empty()) << other;
  }
}

TEST(ServiceRules, EmptyPathGreysTheFileCommandsOnly) {
  RowMenuMarks m = ServiceMenuMarks(L"运行", L"手动", L"");
  EXPECT_EQ(Sorted(m.greyed), Sorted({IDM_SERVICE_START, IDM_SERVICE_RESUME, IDM_SERVICE_MANUAL,
                                      IDM_SERVICE_COPY_PATH, IDM_SERVICE_LOCATE, IDM_SERVICE_PROPERTIES}));
  for (unsigned never : {IDM_SERVICE_SEARCH, IDM_SERVICE_REFRESH, IDM_SERVICE_SET_DESCRIPTION, IDM_SERVICE_DELETE,
                         IDM_SERVICE_AUTO, IDM_SERVICE_DISABLED})
    EXPECT_FALSE(Has(m.greyed, never)) << never;
  EXPECT_FALSE(Has(ServiceMenuMarks(L"运行", L"手动", L" ").greyed, IDM_SERVICE_LOCATE));
}

TEST(ServiceRules, ControlAndStartTypeCommands) {
  ControlCommand c{};
  ASSERT_TRUE(FindControlCommand(IDM_SERVICE_START, c));
  EXPECT_EQ(c.access, 0x14u); EXPECT_EQ(c.control, 0u); EXPECT_EQ(c.targetState, kRunning);
  ASSERT_TRUE(FindControlCommand(IDM_SERVICE_STOP, c));
  EXPECT_EQ(c.access, 0x24u); EXPECT_EQ(c.control, 1u); EXPECT_EQ(c.targetState, kStopped);
  ASSERT_TRUE(FindControlCommand(IDM_SERVICE_PAUSE, c));
  EXPECT_EQ(c.access, 0x44u); EXPECT_EQ(c.control, 2u); EXPECT_EQ(c.targetState, kPaused);
  ASSERT_TRUE(FindControlCommand(IDM_SERVICE_RESUME, c));
  EXPECT_EQ(c.access, 0x44u); EXPECT_EQ(c.control, 3u); EXPECT_EQ(c.targetState, kRunning);
  EXPECT_FALSE(FindControlCommand(IDM_SERVICE_DELETE, c));

  unsigned long type = 99;
  ASSERT_TRUE(FindStartTypeCommand(IDM_SERVICE_AUTO, type)); EXPECT_EQ(type, 2u);
  ASSERT_TRUE(FindStartTypeCommand(IDM_SERVICE_MANUAL, type)); EXPECT_EQ(type, 3u);
  ASSERT_TRUE(FindStartTypeCommand(IDM_SERVICE_DISABLED, type)); EXPECT_EQ(type, 4u);
  EXPECT_FALSE(FindStartTypeCommand(IDM_SERVICE_START, type));
}

TEST(ServiceRules, WaitEndsAtTheTargetAStopOrTheBound) {
  EXPECT_EQ(WaitStep(kRunning, kRunning, 0, 30000), WaitVerdict::Reached);
  EXPECT_EQ(WaitStep(kRunning, kRunning, 99999, 30000), WaitVerdict::Reached);
  EXPECT_EQ(WaitStep(kStartPending, kRunning, 250, 30000), WaitVerdict::KeepWaiting);
  EXPECT_EQ(WaitStep(kStartPending, kRunning, 29999, 30000), WaitVerdict::KeepWaiting);
  EXPECT_EQ(WaitStep(kStartPending, kRunning, 30000, 30000), WaitVerdict::GiveUp);
  // A start that ends stopped, or a service that stops instead of pausing or resuming.
  EXPECT_EQ(WaitStep(kStopped, kRunning, 0, 30000), WaitVerdict::GiveUp);
  EXPECT_EQ(WaitStep(kStopped, kPaused, 10, 30000), WaitVerdict::GiveUp);
  // Stopping passes through running and stop-pending without giving up.
  EXPECT_EQ(WaitStep(kStopPending, kStopped, 10, 30000), WaitVerdict::KeepWaiting);
  EXPECT_EQ(WaitStep(kRunning, kStopped, 10, 30000), WaitVerdict::KeepWaiting);
  EXPECT_EQ(WaitStep(kStopped, kStopped, 0, 30000), WaitVerdict::Reached);
  EXPECT_EQ(WaitStep(kPausePending, kPaused, 500, 30000), WaitVerdict::KeepWaiting);
  EXPECT_EQ(kWaitPollMs, 250u);
  EXPECT_EQ(kWaitBoundMs, 30000u);
}

TEST(ServiceRules, EnumerationKeepsOnlyEntriesTheResumeHandleMovedPast) {
  // Everything fitted, or a failure other than lack of room: the entries stand, no more calls.
  EnumRound r = NextEnumRound(true, false, 30, 0, 0, 0, 16384);
  EXPECT_TRUE(r.keepEntries); EXPECT_FALSE(r.callAgain);
  r = NextEnumRound(false, false, 0, 0, 0, 0, 16384);
  EXPECT_FALSE(r.callAgain);
  // Part of the services fitted and the handle moved on: keep them, go on with the room asked for.
  r = NextEnumRound(false, true, 100, 0, 100, 40000, 16384);
  EXPECT_TRUE(r.keepEntries); EXPECT_TRUE(r.callAgain); EXPECT_EQ(r.nextBufferSize, 40000u);
  r = NextEnumRound(false, true, 100, 100, 200, 1000, 16384);
  EXPECT_TRUE(r.keepEntries); EXPECT_TRUE(r.callAgain); EXPECT_EQ(r.nextBufferSize, 16384u);
  // Part fitted but the handle stayed: the same entries would come again; drop them, ask for all.
  r = NextEnumRound(false, true, 160, 0, 0, 70000, 16384);
  EXPECT_FALSE(r.keepEntries); EXPECT_TRUE(r.callAgain); EXPECT_EQ(r.nextBufferSize, 70000u);
  // Nothing fitted: retry with the size asked for.
  r = NextEnumRound(false, true, 0, 0, 0, 70000, 36);
  EXPECT_FALSE(r.keepEntries); EXPECT_TRUE(r.callAgain); EXPECT_EQ(r.nextBufferSize, 70000u);
  // No room asked for beyond what was given: grow when entries came, else stop.
  r = NextEnumRound(false, true, 5, 0, 0, 100, 16384);
  EXPECT_FALSE(r.keepEntries); EXPECT_TRUE(r.callAgain); EXPECT_EQ(r.nextBufferSize, 32768u);
  r = NextEnumRound(false, true, 0, 0, 0, 100, 16384);
  EXPECT_FALSE(r.keepEntries); EXPECT_FALSE(r.callAgain);
}

TEST(ServiceRules, PathColumnFromServiceCommandLines) {
  using common::CleanServicePath;
  EXPECT_EQ(CleanServicePath(L"C:\\WINDOWS\\system32\\svchost.exe -k netsvcs"), L"C:\\WINDOWS\\system32\\svchost.exe ");
  EXPECT_EQ(CleanServicePath(L"\"C:\\Program Files\\App\\svc.exe\" /run"), L"C:\\Program Files\\App\\svc.exe ");
  EXPECT_EQ(CleanServicePath(L"\"C:\\Program Files\\App\\svc.exe\""), L"C:\\Program Files\\App\\svc.exe");
  EXPECT_EQ(CleanServicePath(L"C:\\Tools\\my-svc.exe"), L"C:\\Tools\\my-svc.exe");
  EXPECT_EQ(CleanServicePath(L"C:\\my-tools\\svc-host.exe -k x"), L"C:\\my-tools\\svc-host.exe ");
  EXPECT_EQ(CleanServicePath(L"C:\\Tools\\svc.exe /a -k"), L"C:\\Tools\\svc.exe ");
  EXPECT_EQ(CleanServicePath(L"C:/Tools/svc.exe"), L"C:");
  EXPECT_EQ(CleanServicePath(L"C:\\Tools\\svc.exe run"), L"C:\\Tools\\svc.exe run");
  EXPECT_EQ(CleanServicePath(L"%SystemRoot%\\System32\\svc.exe -x"), L"%SystemRoot%\\System32\\svc.exe ");
  EXPECT_EQ(CleanServicePath(L"\\??\\C:\\drv.sys"), L"\\??\\C:\\drv.sys");
  EXPECT_EQ(CleanServicePath(L"C:\\svc.exe \r\n "), L"C:\\svc.exe");
  EXPECT_EQ(CleanServicePath(L""), L"");
  EXPECT_EQ(CleanServicePath(L"/x"), L"");
  // The shared rule under both of its names gives one answer.
  EXPECT_EQ(CleanServicePath(L"\"a b\" -c /d"), common::CleanAutorunPath(L"\"a b\" -c /d"));
  EXPECT_EQ(CleanServicePath(L"\"a b\" -c /d"), L"a b -c ");
}
