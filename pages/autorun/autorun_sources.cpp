// Readers of the startup locations, and the deletion of what a row names.
#include "pages/autorun/autorun_sources.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <taskschd.h>

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

std::wstring SystemDir() {
  wchar_t dir[MAX_PATH] = {};
  UINT n = ::GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir, n < MAX_PATH ? n : 0);
}

bool LoadAppInitOn(HKEY key) {
  common::RegValue v;
  if (common::QueryValue(key, kLoadAppInitValue, v) != ERROR_SUCCESS || v.data.size() < 4) return false;
  return (v.data[0] | v.data[1] | v.data[2] | v.data[3]) != 0;
}

// The rows of one location seen through one key.
void ReadLocation(const Location& loc, common::RegRoot root, REGSAM view, const std::wstring& keyName,
                  HKEY key, const std::wstring& shownKey, const common::PathLookup& lookup,
                  std::vector<Entry>& entries) {
  switch (loc.kind) {
    case LocationKind::AllValues:
      for (const common::RegValue& value : common::Values(key))
        entries.push_back(ValueEntry(root, view, keyName, shownKey, value, lookup));
      break;
    case LocationKind::NamedValues:
      for (const wchar_t* name : loc.names) {
        common::RegValue value;
        if (common::QueryValue(key, name, value) != ERROR_SUCCESS) continue;
        Entry e = ValueEntry(root, view, keyName, shownKey, value, lookup);
        if (root == common::RegRoot::LocalMachine && !WinlogonDefault(name, L"").empty())
          e.kind = EntryKind::WinlogonValue;
        entries.push_back(std::move(e));
      }
      break;
    case LocationKind::AppInitDlls: {
      common::RegValue value;
      if (common::QueryValue(key, kAppInitValue, value) != ERROR_SUCCESS) break;
      const bool on = LoadAppInitOn(key);
      for (const std::wstring& dll : SplitDllList(common::DataText(value.type, value.data))) {
        Entry e = ValueEntry(root, view, keyName, shownKey, value, lookup);
        e.kind = EntryKind::AppInitDll;
        e.name = on ? kAppInitValue : kAppInitOffName;
        e.file = dll;
        entries.push_back(std::move(e));
      }
      break;
    }
    case LocationKind::SubkeyValues:
    case LocationKind::SubkeyNamedValues:
      for (const std::wstring& sub : common::SubkeyNames(key)) {
        ui::CRegKey subKey;
        if (::RegOpenKeyExW(key, sub.c_str(), 0, KEY_QUERY_VALUE | view, subKey.put()) != ERROR_SUCCESS) continue;
        const std::wstring subName = keyName + L"\\" + sub, subShown = shownKey + L"\\" + sub;
        if (loc.kind == LocationKind::SubkeyValues) {
          for (const common::RegValue& value : common::Values(subKey.get()))
            entries.push_back(ValueEntry(root, view, subName, subShown, value, lookup));
        } else {
          for (const wchar_t* name : loc.names) {
            common::RegValue value;
            if (common::QueryValue(subKey.get(), name, value) == ERROR_SUCCESS)
              entries.push_back(ValueEntry(root, view, subName, subShown, value, lookup));
          }
        }
      }
      break;
  }
}

// COM for the reading thread while a reader runs: initialised (and left) by the reader when it
// was not yet.
struct ComScope {
  bool own = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ~ComScope() {
    if (own) ::CoUninitialize();
  }
};

template <class T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** put() { return &p; }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

struct Bstr {
  BSTR b = nullptr;
  ~Bstr() { ::SysFreeString(b); }
  std::wstring str() const { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }
};

// The target and arguments of a shortcut; false when it cannot be read.
bool ReadShortcut(const std::wstring& path, std::wstring& target, std::wstring& arguments) {
  static const CLSID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                reinterpret_cast<void**>(link.put()))))
    return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(__uuidof(IPersistFile), reinterpret_cast<void**>(file.put()))) ||
      FAILED(file->Load(path.c_str(), STGM_READ)))
    return false;
  std::vector<wchar_t> buf(32768);
  if (FAILED(link->GetPath(buf.data(), static_cast<int>(buf.size()), nullptr, SLGP_RAWPATH))) buf[0] = 0;
  target = buf.data();
  buf[0] = 0;
  if (FAILED(link->GetArguments(buf.data(), static_cast<int>(buf.size())))) buf[0] = 0;
  arguments = buf.data();
  return true;
}

bool EndsWithNoCase(const std::wstring& s, const std::wstring& tail) {
  if (s.size() < tail.size()) return false;
  return ::CompareStringOrdinal(s.c_str() + s.size() - tail.size(), static_cast<int>(tail.size()), tail.c_str(),
                                static_cast<int>(tail.size()), TRUE) == CSTR_EQUAL;
}

void ReadFolder(const std::wstring& folder, const common::PathLookup& lookup, std::vector<Entry>& entries) {
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    Entry e;
    e.kind = EntryKind::StartupFile;
    e.name = fd.cFileName;
    e.location = folder;
    e.key = folder;
    e.valueName = fd.cFileName;
    const std::wstring path = folder + L"\\" + fd.cFileName;
    std::wstring target, arguments;
    if (EndsWithNoCase(path, L".lnk") && ReadShortcut(path, target, arguments)) {
      target = common::ExpandVariables(target, lookup);
      e.file = target;
      e.commandLine = arguments.empty() ? target : target + L" " + arguments;
    } else {
      e.file = path;
      e.commandLine = path;
    }
    entries.push_back(std::move(e));
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
}

VARIANT IndexVariant(LONG i) {
  VARIANT index;
  ::VariantInit(&index);
  index.vt = VT_I4;
  index.lVal = i;
  return index;
}

// The program actions of a registered task: from its definition, or, where the scheduler cannot
// give them so (Wine's), from its XML.
std::vector<TaskAction> ActionsOf(IRegisteredTask* task) {
  std::vector<TaskAction> result;
  ComPtr<ITaskDefinition> definition;
  ComPtr<IActionCollection> actions;
  LONG count = 0;
  if (SUCCEEDED(task->get_Definition(definition.put())) && SUCCEEDED(definition->get_Actions(actions.put())) &&
      SUCCEEDED(actions->get_Count(&count))) {
    for (LONG a = 1; a <= count; ++a) {
      ComPtr<IAction> action;
      if (FAILED(actions->get_Item(a, action.put()))) continue;
      TaskAction ta;
      ComPtr<IExecAction> exec;
      if (SUCCEEDED(action->QueryInterface(__uuidof(IExecAction), reinterpret_cast<void**>(exec.put())))) {
        Bstr path, arguments;
        exec->get_Path(&path.b);
        exec->get_Arguments(&arguments.b);
        ta.path = path.str();
        ta.arguments = arguments.str();
      }
      result.push_back(std::move(ta));
    }
  }
  if (!result.empty()) return result;
  Bstr xml;
  if (SUCCEEDED(task->get_Xml(&xml.b)))
    for (const ExecAction& a : ExecActionsFromXml(xml.str())) result.push_back({a.command, a.arguments});
  return result;
}

// The tasks of a folder and of its subfolders, depth first. A collection that cannot tell its
// count (Wine's) is walked by index until an item cannot be had.
void ReadTaskFolder(ITaskFolder* folder, std::vector<ScheduledTask>& tasks, int depth) {
  Bstr folderPath;
  folder->get_Path(&folderPath.b);
  ComPtr<IRegisteredTaskCollection> collection;
  if (SUCCEEDED(folder->GetTasks(TASK_ENUM_HIDDEN, collection.put()))) {
    LONG count = 0;
    const bool counted = SUCCEEDED(collection->get_Count(&count));
    for (LONG i = 1; counted ? i <= count : i <= 100000; ++i) {
      ComPtr<IRegisteredTask> task;
      if (FAILED(collection->get_Item(IndexVariant(i), task.put())) || !task) {
        if (counted) continue;
        break;
      }
      ScheduledTask t;
      t.folder = folderPath.str();
      Bstr name;
      task->get_Name(&name.b);
      t.name = name.str();
      t.actions = ActionsOf(task.p);
      tasks.push_back(std::move(t));
    }
  }
  if (depth > 64) return;
  ComPtr<ITaskFolderCollection> subfolders;
  if (FAILED(folder->GetFolders(0, subfolders.put()))) return;
  LONG count = 0;
  const bool counted = SUCCEEDED(subfolders->get_Count(&count));
  for (LONG i = 1; counted ? i <= count : i <= 100000; ++i) {
    ComPtr<ITaskFolder> sub;
    if (FAILED(subfolders->get_Item(IndexVariant(i), sub.put())) || !sub) {
      if (counted) continue;
      break;
    }
    ReadTaskFolder(sub.p, tasks, depth + 1);
  }
}

// The folder where the scheduler keeps its task definitions; the 64-bit system's own when this
// program runs as 32-bit on it.
std::wstring TaskStoreFolder() {
  wchar_t dir[MAX_PATH] = {};
  UINT n = ::GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  return std::wstring(dir) + (wow64 ? L"\\Sysnative\\Tasks" : L"\\System32\\Tasks");
}

// A task definition file as text: UTF-16 with its byte-order mark, otherwise UTF-8.
std::wstring ReadDefinition(const std::wstring& path) {
  ui::CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  if (!file || file.get() == INVALID_HANDLE_VALUE) return {};
  std::vector<char> bytes(1 << 20);
  DWORD got = 0;
  if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return {};
  if (got >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (got - 2) / 2);
  int chars = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(got), nullptr, 0);
  std::wstring text(chars > 0 ? chars : 0, L'\0');
  if (chars > 0) ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(got), text.data(), chars);
  return text;
}

// The tasks as the scheduler's store holds them, for a scheduler that cannot enumerate its
// collections: each file a task, each folder a task folder.
void ReadTaskStore(const std::wstring& store, const std::wstring& folder, std::vector<ScheduledTask>& tasks,
                   int depth) {
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW((store + folder + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> subfolders;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      subfolders.push_back(name);
      continue;
    }
    ScheduledTask t{folder.empty() ? L"\\" : folder, name, {}};
    for (const ExecAction& a : ExecActionsFromXml(ReadDefinition(store + folder + L"\\" + name)))
      t.actions.push_back({a.command, a.arguments});
    tasks.push_back(std::move(t));
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  if (depth > 64) return;
  for (const std::wstring& sub : subfolders) ReadTaskStore(store, folder + L"\\" + sub, tasks, depth + 1);
}

// The Task Scheduler service, connected; empty when it cannot be reached.
bool ConnectScheduler(ComPtr<ITaskService>& service) {
  static const CLSID kTaskScheduler = {0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
  if (FAILED(::CoCreateInstance(kTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                                reinterpret_cast<void**>(service.put()))))
    return false;
  VARIANT empty;
  ::VariantInit(&empty);
  return SUCCEEDED(service->Connect(empty, empty, empty, empty));
}

bool ListSystemTasks(std::vector<ScheduledTask>& tasks) {
  ComScope com;
  ComPtr<ITaskService> service;
  if (!ConnectScheduler(service)) return false;
  ComPtr<ITaskFolder> root;
  Bstr rootPath{::SysAllocString(L"\\")};
  if (FAILED(service->GetFolder(rootPath.b, root.put()))) return false;
  ComPtr<IRegisteredTaskCollection> probe;
  LONG count = 0;
  if (SUCCEEDED(root->GetTasks(TASK_ENUM_HIDDEN, probe.put())) && SUCCEEDED(probe->get_Count(&count)))
    ReadTaskFolder(root.p, tasks, 0);
  else
    ReadTaskStore(TaskStoreFolder(), L"", tasks, 0);
  return true;
}

bool RemoveSystemTask(const std::wstring& folderPath, const std::wstring& name) {
  ComScope com;
  ComPtr<ITaskService> service;
  if (!ConnectScheduler(service)) return false;
  ComPtr<ITaskFolder> folder;
  Bstr path{::SysAllocString(folderPath.c_str())}, taskName{::SysAllocString(name.c_str())};
  if (FAILED(service->GetFolder(path.b, folder.put()))) return false;
  return SUCCEEDED(folder->DeleteTask(taskName.b, 0));
}

// The user's and all users' Startup folders, each once.
std::vector<std::wstring> StartupFolders() {
  std::vector<std::wstring> folders, seen;
  for (int csidl : {CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) continue;
    if (common::FirstSighting(seen, folder, true)) folders.push_back(folder);
  }
  return folders;
}

TaskSource& Source() {
  static TaskSource source = SystemTaskSource();
  return source;
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

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

std::vector<Entry> ReadOtherKeys(const common::PathLookup& lookup) {
  std::vector<Entry> entries;
  std::vector<std::wstring> seen;
  for (const Location& loc : OtherLocations())
    for (REGSAM view : common::kRegistryViews) {
      OpenedKey k;
      if (!k.Open(loc.root, loc.key, view, KEY_READ, seen)) continue;
      ReadLocation(loc, loc.root, view, loc.key, k.key.get(), k.path, lookup, entries);
    }
  return entries;
}

std::vector<Entry> ReadStartupFolders(const common::PathLookup& lookup) {
  std::vector<Entry> entries;
  for (const std::wstring& folder : StartupFolders()) ReadFolder(folder, lookup, entries);
  return entries;
}

std::vector<Entry> ReadScheduledTasks(const common::PathLookup& lookup) {
  std::vector<Entry> entries;
  std::vector<ScheduledTask> tasks;
  if (!CurrentTaskSource().list || !CurrentTaskSource().list(tasks)) return entries;
  for (const ScheduledTask& task : tasks) {
    std::vector<TaskAction> actions = task.actions;
    if (actions.empty()) actions.emplace_back();
    for (const TaskAction& action : actions) {
      Entry e;
      e.kind = EntryKind::Task;
      e.name = task.name;
      e.location = kTaskPrefix + task.folder;
      e.key = task.folder;
      e.valueName = task.name;
      const std::wstring path = common::ExpandVariables(action.path, lookup);
      e.file = path.empty() ? std::wstring() : common::CommandPath(L"\"" + path + L"\"", lookup);
      e.commandLine = action.arguments.empty() ? action.path : action.path + L" " + action.arguments;
      entries.push_back(std::move(e));
    }
  }
  return entries;
}

std::vector<Entry> GatherEntries(const common::PathLookup& lookup) {
  std::vector<Entry> entries = ReadRunKeys(lookup);
  for (auto reader : {&ReadOtherKeys, &ReadStartupFolders, &ReadScheduledTasks}) {
    std::vector<Entry> more = reader(lookup);
    entries.insert(entries.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  }
  return entries;
}

TaskSource SystemTaskSource() { return {&ListSystemTasks, &RemoveSystemTask}; }
void SetTaskSource(TaskSource source) { Source() = source.list ? std::move(source) : SystemTaskSource(); }
const TaskSource& CurrentTaskSource() { return Source(); }

DeleteOutcome DeleteEntry(const std::wstring& name, const std::wstring& location, const std::wstring& file) {
  DeleteOutcome out;
  if (StartsWith(location, kTaskPrefix)) {
    out.deleted = CurrentTaskSource().remove && CurrentTaskSource().remove(location.substr(wcslen(kTaskPrefix)), name);
    return out;
  }
  common::KeyPathParts parts = common::SplitKeyPath(location);
  if (parts.root == common::RegRoot::Unknown) {
    // A Startup folder's file: only in one of the Startup folders, the file by its plain name.
    bool folder = false;
    for (const std::wstring& f : StartupFolders())
      folder = folder || ::CompareStringOrdinal(f.c_str(), -1, location.c_str(), -1, TRUE) == CSTR_EQUAL;
    if (!folder || name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos || name == L"." ||
        name == L"..") {
      out.opened = false;
      return out;
    }
    out.deleted = ::DeleteFileW((location + L"\\" + name).c_str()) != FALSE;
    return out;
  }
  ui::CRegKey key;
  if (::RegOpenKeyExW(common::RootKey(parts.root), parts.key.c_str(), 0, KEY_WRITE | KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      key.put()) != ERROR_SUCCESS) {
    out.opened = false;
    return out;
  }
  const bool machine = parts.root == common::RegRoot::LocalMachine;
  if (machine && IsKey(parts.key, kWinlogonKey)) {
    const std::wstring data = WinlogonDefault(name, SystemDir());
    if (!data.empty()) {
      out.deleted = ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
      if (out.deleted) out.note = WinlogonRestoredNote(name, data);
      return out;
    }
  }
  if (machine && IsKey(parts.key, kWindowsKey) && (name == kAppInitValue || name == kAppInitOffName)) {
    common::RegValue value;
    if (common::QueryValue(key.get(), kAppInitValue, value) != ERROR_SUCCESS) return out;
    const std::wstring list = common::DataText(value.type, value.data);
    const std::wstring kept = RemoveDll(list, file);
    if (kept == list) return out;
    const DWORD type = value.type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ;
    out.deleted = ::RegSetValueExW(key.get(), kAppInitValue, 0, type, reinterpret_cast<const BYTE*>(kept.c_str()),
                                   static_cast<DWORD>((kept.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    return out;
  }
  out.deleted = common::DeleteValueExact(key.get(), common::ValueNameFromCell(name)) == ERROR_SUCCESS;
  return out;
}

}  // namespace autorun
