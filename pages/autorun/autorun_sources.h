// The places Windows starts programs from, read into entries: each with the cells of its row and
// what names it exactly (view, root, key and value), apart from the list that shows them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/path_rules.h"
#include "common/registry_rules.h"

namespace autorun {

// Columns of list 1008.
enum Column { kColId = 0, kColName = 1, kColLocation = 2, kColFile = 3, kColCommandLine = 4 };

struct Entry {
  // The cells of the row.
  std::wstring name, location, file, commandLine;
  // What the row names: a registry value (view, root, key as opened, exact value name).
  REGSAM view = KEY_WOW64_64KEY;
  common::RegRoot root = common::RegRoot::Unknown;
  std::wstring key, valueName;
};

// Every value of the six Run-type keys, each key once over both registry views, in listing order.
std::vector<Entry> ReadRunKeys(const common::PathLookup& lookup);

// Every entry the page lists, in listing order.
std::vector<Entry> GatherEntries(const common::PathLookup& lookup);

}  // namespace autorun
