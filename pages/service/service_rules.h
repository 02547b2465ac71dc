// Platform-free texts and decisions of the service page: cell texts, the row menu's greying and
// check mark, the control commands and the bounded wait for a service's target state.
#pragma once
#include <string>
#include <vector>

namespace service {

// Current states and start types as the service-control manager numbers them.
constexpr unsigned long kStopped = 1;
constexpr unsigned long kStartPending = 2;
constexpr unsigned long kStopPending = 3;
constexpr unsigned long kRunning = 4;
constexpr unsigned long kContinuePending = 5;
constexpr unsigned long kPausePending = 6;
constexpr unsigned long kPaused = 7;

constexpr unsigned long kBootStart = 0;
constexpr unsigned long kSystemStart = 1;
constexpr unsigned long kAutoStart = 2;
constexpr unsigned long kDemandStart = 3;
constexpr unsigned long kDisabled = 4;

// Columns of list 1002 that the page fills beyond the names and texts below.
enum Column { kColPath = 7, kColKind = 8, kColCommandLine = 9 };

// Column 3: "停止", "运行", "暂停", or "未知" for the pending states and anything else.
std::wstring StateText(unsigned long state);

// Column 4: "自动", "手动", "禁用"; "引导" for boot and "系统" for system start; any other value
// as its number.
std::wstring StartTypeText(unsigned long startType);

// Commands of menu 147 greyed and checked for a row with these cells (columns 3, 4 and 7).
struct RowMenuMarks {
  std::vector<unsigned> greyed;
  std::vector<unsigned> checked;
};
RowMenuMarks ServiceMenuMarks(const std::wstring& state, const std::wstring& startType,
                              const std::wstring& path);

// Start, stop, pause and resume: the access the service (and the manager) is opened with, the
// control code sent (0 for a start), and the state the command waits for.
struct ControlCommand {
  unsigned long access;
  unsigned long control;
  unsigned long targetState;
};
// False when id is not one of the four commands.
bool FindControlCommand(unsigned id, ControlCommand& command);

// The start type a start-type command sets; false when id is not one of the three commands.
bool FindStartTypeCommand(unsigned id, unsigned long& startType);

// What to do after one call of the service enumeration. A call that ran out of room returns
// the entries that fitted and moves the resume handle past them; a manager that does not move it
// (Wine's) would hand the same entries out again, so they are dropped and the call is repeated
// from the same place with a buffer of the size asked for.
struct EnumRound {
  bool keepEntries;  // the entries of this call belong to the list
  bool callAgain;
  unsigned long nextBufferSize;
};
EnumRound NextEnumRound(bool succeeded, bool moreData, unsigned long returned, unsigned long resumeBefore,
                        unsigned long resumeAfter, unsigned long bytesNeeded, unsigned long bufferSize);

// One step of the wait for a target state, after a status query showed `current` at `elapsedMs`
// since the command's call. A service that has stopped while heading elsewhere will not get
// there by itself (a start that failed, a service that stopped instead of pausing), so the wait
// ends at once; otherwise it ends at the bound.
enum class WaitVerdict { Reached, KeepWaiting, GiveUp };
WaitVerdict WaitStep(unsigned long current, unsigned long target, unsigned long elapsedMs,
                     unsigned long boundMs);

// The pace of the status queries and the default bound of the wait, in milliseconds.
constexpr unsigned long kWaitPollMs = 250;
constexpr unsigned long kWaitBoundMs = 30000;

}  // namespace service
