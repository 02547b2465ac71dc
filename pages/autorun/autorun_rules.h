// Platform-free rules of the startup-item page: the Run-type keys in listing order and the
// texts of the add dialog's file chooser.
#pragma once
#include <array>

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

// The file chooser of the add dialog.
inline constexpr wchar_t kBrowseFilter[] = L"可执行文件(.exe;bat;*.cmd;*.vbs)|*.exe;*.bat;*.cmd;*.vbs||";
inline constexpr wchar_t kBrowseTitle[] = L"请选择一个可执行文件";

}  // namespace autorun
