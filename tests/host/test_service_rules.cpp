// Cell texts, row-menu marks, control commands, the enumeration rounds and the wait decision of
// the service page.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "pages/service/service_rules.h"
#include "res/resource.h"

using namespace service;

TEST(ServiceRules, StateAndStartTypeTexts) {
  const std::pair<unsigned long, const wchar_t*> states[] = {
      {1, L"停止"}, {4, L"运行"}, {7, L"暂停"}, {2, L"未知"}, {6, L"未知"}, {0, L"未知"}, {8, L"未知"}};
  for (const auto& [state, text] : states) EXPECT_EQ(StateText(state), text) << state;
  const std::pair<unsigned long, const wchar_t*> types[] = {
      {2, L"自动"}, {3, L"手动"}, {4, L"禁用"}, {0, L"引导"}, {1, L"系统"}, {5, L"5"}, {0xFFFFFFFFul, L"4294967295"}};
  for (const auto& [type, text] : types) EXPECT_EQ(StartTypeText(type), text) << type;
}

TEST(ServiceRules, MenuGreysByStateAndPathAndChecksTheCurrentStartType) {
  const unsigned start = IDM_SERVICE_START, stop = IDM_SERVICE_STOP, pause = IDM_SERVICE_PAUSE,
                 resume = IDM_SERVICE_RESUME, automatic = IDM_SERVICE_AUTO, manual = IDM_SERVICE_MANUAL,
                 disabled = IDM_SERVICE_DISABLED;
  const wchar_t* exe = L"C:\\svc.exe";
  struct Case { const wchar_t *state, *startType, *path; std::vector<unsigned> greyed, checked; };
  const Case cases[] = {
      {L"运行", L"", exe, {start, resume}, {}}, {L"暂停", L"", exe, {start, stop, pause}, {}},
      {L"停止", L"", exe, {stop, pause, resume}, {}}, {L"未知", L"", exe, {}, {}},
      {L"运行 ", L"", exe, {}, {}}, {L"", L"", exe, {}, {}},  // texts are compared whole and exactly
      {L"未知", L"自动", exe, {automatic}, {automatic}}, {L"未知", L"手动", exe, {manual}, {manual}},
      {L"未知", L"禁用", exe, {disabled}, {disabled}}, {L"未知", L"引导", exe, {}, {}}, {L"未知", L"3", exe, {}, {}},
      // An empty path greys the file commands only.
      {L"运行", L"手动", L"", {start, resume, manual, IDM_SERVICE_COPY_PATH, IDM_SERVICE_LOCATE, IDM_SERVICE_PROPERTIES},
       {manual}},
      {L"运行", L"手动", L" ", {start, resume, manual}, {manual}},
  };
  for (Case c : cases) {
    RowMenuMarks m = ServiceMenuMarks(c.state, c.startType, c.path);
    std::sort(m.greyed.begin(), m.greyed.end());
    std::sort(c.greyed.begin(), c.greyed.end());
    EXPECT_EQ(m.greyed, c.greyed) << c.state << "|" << c.startType << "|" << c.path;
    EXPECT_EQ(m.checked, c.checked) << c.state << "|" << c.startType << "|" << c.path;
  }
}

TEST(ServiceRules, ControlAndStartTypeCommands) {
  // Access (query status with start, stop or pause-continue), control code (0 for a start), target state.
  const std::tuple<unsigned, unsigned long, unsigned long, unsigned long> controls[] = {
      {IDM_SERVICE_START, 0x14, 0, kRunning}, {IDM_SERVICE_STOP, 0x24, 1, kStopped},
      {IDM_SERVICE_PAUSE, 0x44, 2, kPaused}, {IDM_SERVICE_RESUME, 0x44, 3, kRunning}};
  ControlCommand c{};
  for (const auto& [id, access, control, target] : controls) {
    ASSERT_TRUE(FindControlCommand(id, c)) << id;
    EXPECT_EQ(std::make_tuple(c.access, c.control, c.targetState), std::make_tuple(access, control, target)) << id;
  }
  EXPECT_FALSE(FindControlCommand(IDM_SERVICE_DELETE, c));
  unsigned long type = 99;
  for (const auto& [id, want] : {std::pair<unsigned, unsigned long>{IDM_SERVICE_AUTO, 2}, {IDM_SERVICE_MANUAL, 3},
                                 {IDM_SERVICE_DISABLED, 4}, {IDM_SERVICE_START, 99}})
    EXPECT_EQ(FindStartTypeCommand(id, type) ? type : 99, want) << id;
}

TEST(ServiceRules, WaitEndsAtTheTargetAStopOrTheBound) {
  using V = WaitVerdict;
  const std::tuple<unsigned long, unsigned long, unsigned long, V> steps[] = {
      {kRunning, kRunning, 0, V::Reached}, {kRunning, kRunning, 99999, V::Reached},
      {kStartPending, kRunning, 250, V::KeepWaiting}, {kStartPending, kRunning, 29999, V::KeepWaiting},
      {kStartPending, kRunning, 30000, V::GiveUp},
      // A start that ends stopped, or a service that stops instead of pausing.
      {kStopped, kRunning, 0, V::GiveUp}, {kStopped, kPaused, 10, V::GiveUp},
      // Stopping passes through running and stop-pending without giving up.
      {kStopPending, kStopped, 10, V::KeepWaiting}, {kRunning, kStopped, 10, V::KeepWaiting},
      {kStopped, kStopped, 0, V::Reached}, {kPausePending, kPaused, 500, V::KeepWaiting}};
  for (const auto& [current, target, elapsed, verdict] : steps)
    EXPECT_EQ(WaitStep(current, target, elapsed, 30000), verdict) << current << " " << target << " " << elapsed;
}

TEST(ServiceRules, EnumerationKeepsOnlyEntriesTheResumeHandleMovedPast) {
  struct Case {  // the call's outcome, then what follows (keep -1 and next 0: not checked)
    bool ok, more;
    unsigned long returned, before, after, needed, size;
    int keep, again;
    unsigned long next;
  };
  const Case cases[] = {
      // Everything fitted, or a failure other than lack of room: the entries stand, no more calls.
      {true, false, 30, 0, 0, 0, 16384, 1, 0, 0},
      {false, false, 0, 0, 0, 0, 16384, -1, 0, 0},
      // Some fitted and the handle moved on: keep them, go on with the room asked for.
      {false, true, 100, 0, 100, 40000, 16384, 1, 1, 40000},
      {false, true, 100, 100, 200, 1000, 16384, 1, 1, 16384},
      // Some fitted but the handle stayed: the same entries would come again; drop them, ask for all.
      {false, true, 160, 0, 0, 70000, 16384, 0, 1, 70000},
      {false, true, 0, 0, 0, 70000, 36, 0, 1, 70000},  // nothing fitted
      // No room asked for beyond what was given: grow when entries came, else stop.
      {false, true, 5, 0, 0, 100, 16384, 0, 1, 32768},
      {false, true, 0, 0, 0, 100, 16384, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const EnumRound r = NextEnumRound(c.ok, c.more, c.returned, c.before, c.after, c.needed, c.size);
    SCOPED_TRACE(testing::Message() << c.returned << " " << c.before << " " << c.after << " " << c.needed);
    EXPECT_TRUE(c.keep < 0 || r.keepEntries == (c.keep == 1)) << r.keepEntries;
    EXPECT_EQ(r.callAgain, c.again == 1);
    EXPECT_TRUE(c.next == 0 || r.nextBufferSize == c.next) << r.nextBufferSize;
  }
}
