// The places Windows starts programs from, read into entries: each with the cells of its row and
// what names it exactly (view, root, key and value; folder and file; task folder and task), apart
// from the list that shows them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/path_rules.h"
#include "common/registry_rules.h"

namespace autorun {

// Columns of list 1008.
enum Column { kColId = 0, kColName = 1, kColLocation = 2, kColFile = 3, kColCommandLine = 4 };

enum class EntryKind {
  RegistryValue,  // delete removes the value
  WinlogonValue,  // "Shell" or "Userinit" of the local machine: delete restores the default data
  AppInitDll,     // one DLL of "AppInit_DLLs": delete takes it out of the list
  StartupFile,    // a file of a Startup folder: delete removes the file
  Task,           // an action of a scheduled task: delete removes the task
};

struct Entry {
  // The cells of the row.
  std::wstring name, location, file, commandLine;
  EntryKind kind = EntryKind::RegistryValue;
  // What the row names: a registry value (view, root, key as opened, exact value name); a folder
  // and a file name; a task folder and a task name (in key and valueName).
  REGSAM view = KEY_WOW64_64KEY;
  common::RegRoot root = common::RegRoot::Unknown;
  std::wstring key, valueName;
};

// The location cell of a scheduled task: this prefix, then the task's folder.
inline constexpr wchar_t kTaskPrefix[] = L"计划任务:";

// Every value of the six Run-type keys, each key once over both registry views, in listing order.
std::vector<Entry> ReadRunKeys(const common::PathLookup& lookup);
// The other registry locations: the policy Run keys, RunOnceEx, the Load and Run values,
// Winlogon, AppInit_DLLs and the Active Setup stubs, in both views.
std::vector<Entry> ReadOtherKeys(const common::PathLookup& lookup);
// The files of the user's and all users' Startup folders, shortcuts by their targets.
std::vector<Entry> ReadStartupFolders(const common::PathLookup& lookup);
// The actions of every scheduled task in every folder.
std::vector<Entry> ReadScheduledTasks(const common::PathLookup& lookup);

// Every entry the page lists, in listing order.
std::vector<Entry> GatherEntries(const common::PathLookup& lookup);

// Scheduled tasks as the Task Scheduler tells them; tests may put another source in its place.
struct TaskAction {
  std::wstring path, arguments;  // empty path: an action that is not a program (a COM handler)
};
struct ScheduledTask {
  std::wstring folder;  // "\" or "\Folder\Sub"
  std::wstring name;
  std::vector<TaskAction> actions;
};
struct TaskSource {
  std::function<bool(std::vector<ScheduledTask>& tasks)> list;  // false: the scheduler cannot be asked
  std::function<bool(const std::wstring& folder, const std::wstring& name)> remove;
};
TaskSource SystemTaskSource();
void SetTaskSource(TaskSource source);  // an empty source puts the system's back
const TaskSource& CurrentTaskSource();

// What delete does to the row with these cells; the message to show (empty when none) and
// whether it succeeded. Registry rows are told by their location, the others by their prefix
// or folder.
struct DeleteOutcome {
  bool opened = true;  // false: the key, folder or scheduler could not be reached
  bool deleted = false;
  std::wstring note;   // said after success, when the row's entry was changed rather than removed
};
DeleteOutcome DeleteEntry(const std::wstring& name, const std::wstring& location, const std::wstring& file);

}  // namespace autorun
