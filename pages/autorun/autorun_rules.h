// Platform-free rules of the startup-item page: the Run-type keys and the other registry
// locations in listing order, Winlogon defaults, AppInit_DLLs lists, and the texts of the add
// dialog's file chooser.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "common/registry_rules.h"

namespace autorun {

struct RunKey {
  common::RegRoot root;
  const wchar_t* key;
};

inline constexpr wchar_t kUserRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The six keys in the order they are listed: the current user's before the local machine's, and
// within a root Run before RunOnce, RunServices and RunServicesOnce.
const std::array<RunKey, 6>& RunKeys();

// The other registry locations, after the Run keys, in listing order. Values: the names read
// (all values when empty); Subkeys: the values of each subkey instead of the key's own.
enum class LocationKind { AllValues, NamedValues, SubkeyValues, SubkeyNamedValues, AppInitDlls };
struct Location {
  common::RegRoot root;
  const wchar_t* key;
  LocationKind kind;
  std::vector<const wchar_t*> names;
};
const std::vector<Location>& OtherLocations();

inline constexpr wchar_t kWinlogonKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline constexpr wchar_t kWindowsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr wchar_t kAppInitValue[] = L"AppInit_DLLs";
inline constexpr wchar_t kLoadAppInitValue[] = L"LoadAppInit_DLLs";
// The name cell of an AppInit_DLLs row while LoadAppInit_DLLs is off: Windows does not load them.
inline constexpr wchar_t kAppInitOffName[] = L"AppInit_DLLs (LoadAppInit_DLLs 已关闭)";

// Whether key (as shown, a WOW6432Node form included) is this key, without regard to case.
bool IsKey(const std::wstring& shownKey, const std::wstring& key);

// The data Windows ships for the local machine's Winlogon "Shell" and "Userinit" (systemDir
// without a trailing backslash); empty for any other name.
std::wstring WinlogonDefault(const std::wstring& name, const std::wstring& systemDir);
// The message after a Winlogon value was set back to its default.
std::wstring WinlogonRestoredNote(const std::wstring& name, const std::wstring& data);

// The DLLs of an AppInit_DLLs list (separated by blanks or commas), and the list without one of
// them (every mention, compared without regard to case), the rest kept in order.
std::vector<std::wstring> SplitDllList(const std::wstring& list);
std::wstring RemoveDll(const std::wstring& list, const std::wstring& dll);

// The program actions of a task's XML definition: the command and arguments of each Exec
// element, in order, with the XML character references decoded.
struct ExecAction {
  std::wstring command, arguments;
};
std::vector<ExecAction> ExecActionsFromXml(const std::wstring& xml);

// The file chooser of the add dialog.
inline constexpr wchar_t kBrowseFilter[] = L"可执行文件(.exe;bat;*.cmd;*.vbs)|*.exe;*.bat;*.cmd;*.vbs||";
inline constexpr wchar_t kBrowseTitle[] = L"请选择一个可执行文件";

}  // namespace autorun
