// Readers of the startup locations.
#include "pages/autorun/autorun_sources.h"

#include "common/registry.h"
#include "pages/autorun/autorun_rules.h"
#include "ui/handle.h"

namespace autorun {
namespace {

// A key of one root opened in one view for reading, unless the same key was read already in this
// gathering; path is the key as shown (its WOW6432Node form when redirected).
struct OpenedKey {
  ui::CRegKey key;
  std::wstring path;
  bool Open(common::RegRoot root, const std::wstring& name, REGSAM view, REGSAM access,
            std::vector<std::wstring>& seen) {
    if (::RegOpenKeyExW(common::RootKey(root), name.c_str(), 0, access | view, key.put()) != ERROR_SUCCESS)
      return false;
    std::wstring kernelName = common::KernelKeyName(key.get());
    if (!common::FirstSighting(seen, kernelName, view == KEY_WOW64_64KEY)) return false;
    path = common::ShownKeyPath(root, name, kernelName);
    return true;
  }
};

// A row for one value: its name, its key, the file its data starts and the data whole.
Entry ValueEntry(common::RegRoot root, REGSAM view, const std::wstring& key, const std::wstring& shownKey,
                 const common::RegValue& value, const common::PathLookup& lookup) {
  Entry e;
  e.name = common::ShowValueName(value.name);
  e.location = shownKey;
  e.file = common::CommandPath(common::DataText(value.type, value.data), lookup);
  e.commandLine = common::RawDataText(value.type, value.data.data(), value.data.size());
  e.view = view;
  e.root = root;
  e.key = key;
  e.valueName = value.name;
  return e;
}

}  // namespace

std::vector<Entry> ReadRunKeys(const common::PathLookup& lookup) {
  std::vector<Entry> entries;
  std::vector<std::wstring> seen;
  for (const RunKey& runKey : RunKeys())
    for (REGSAM view : common::kRegistryViews) {
      OpenedKey k;
      if (!k.Open(runKey.root, runKey.key, view, KEY_QUERY_VALUE, seen)) continue;
      for (const common::RegValue& value : common::Values(k.key.get()))
        entries.push_back(ValueEntry(runKey.root, view, runKey.key, k.path, value, lookup));
    }
  return entries;
}

std::vector<Entry> GatherEntries(const common::PathLookup& lookup) { return ReadRunKeys(lookup); }

}  // namespace autorun
