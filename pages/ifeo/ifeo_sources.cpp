// Readers of the image hijacks.
#include "pages/ifeo/ifeo_sources.h"

#include <windows.h>

#include "common/registry.h"
#include "pages/ifeo/ifeo_rules.h"
#include "ui/handle.h"

namespace ifeo {
namespace {

Entry ValueRow(const std::wstring& image, const std::wstring& key, const common::RegValue& value,
               const std::wstring& data) {
  return {image, data, key, value.name, common::RawDataText(value.type, value.data.data(), value.data.size())};
}

// The parent key in one view, unless it was read already; shown is its real path.
bool OpenParent(const wchar_t* parentKey, REGSAM view, std::vector<std::wstring>& seen, ui::CRegKey& key,
                std::wstring& shown) {
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, parentKey, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return false;
  std::wstring kernelName = common::KernelKeyName(key.get());
  if (!common::FirstSighting(seen, kernelName, view == KEY_WOW64_64KEY)) return false;
  shown = common::ShownKeyPath(common::RegRoot::LocalMachine, parentKey, kernelName);
  return true;
}

void ReadImageKeys(REGSAM view, std::vector<std::wstring>& seen, std::vector<Entry>& entries) {
  ui::CRegKey parent;
  std::wstring parentPath;
  if (!OpenParent(kIfeoKey, view, seen, parent, parentPath)) return;
  for (const std::wstring& name : common::SubkeyNames(parent.get())) {
    if (!IsListedImageKey(name)) continue;
    ui::CRegKey image;
    if (::RegOpenKeyExW(parent.get(), name.c_str(), 0, KEY_READ | view, image.put()) != ERROR_SUCCESS) continue;
    const std::wstring key = parentPath + L"\\" + name;
    common::RegValue value;
    if (common::QueryValue(image.get(), kDebuggerValue, value) == ERROR_SUCCESS)
      entries.push_back(ValueRow(name, key, value, common::DataText(value.type, value.data)));
    if (common::QueryValue(image.get(), kGlobalFlagValue, value) == ERROR_SUCCESS) {
      unsigned long flags = 0;
      if (ParseGlobalFlag(value.type, value.data.data(), value.data.size(), flags) && (flags & kSilentExitFlag))
        entries.push_back(ValueRow(name, key, value, GlobalFlagText(flags)));
    }
    if (common::QueryValue(image.get(), kVerifierDllsValue, value) == ERROR_SUCCESS)
      entries.push_back(ValueRow(name, key, value, common::DataText(value.type, value.data)));
  }
}

void ReadMonitors(REGSAM view, std::vector<std::wstring>& seen, std::vector<Entry>& entries) {
  ui::CRegKey parent;
  std::wstring parentPath;
  if (!OpenParent(kSilentExitKey, view, seen, parent, parentPath)) return;
  for (const std::wstring& name : common::SubkeyNames(parent.get())) {
    ui::CRegKey image;
    if (::RegOpenKeyExW(parent.get(), name.c_str(), 0, KEY_READ | view, image.put()) != ERROR_SUCCESS) continue;
    common::RegValue value;
    if (common::QueryValue(image.get(), kMonitorProcessValue, value) == ERROR_SUCCESS)
      entries.push_back(ValueRow(name, parentPath + L"\\" + name, value, common::DataText(value.type, value.data)));
  }
}

}  // namespace

std::vector<Entry> GatherEntries() {
  std::vector<Entry> entries;
  std::vector<std::wstring> seen;
  for (REGSAM view : common::kRegistryViews) ReadImageKeys(view, seen, entries);
  for (REGSAM view : common::kRegistryViews) ReadMonitors(view, seen, entries);
  return entries;
}

}  // namespace ifeo
