// The startup-item page beyond the Run keys: the policy Run keys, RunOnceEx, the Load and Run
// values, Winlogon, AppInit_DLLs, Active Setup, the Startup folders and the scheduled tasks; each
// entry listed with its cells and deleted alone, defaults restored where a value must stay.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <taskschd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "pages/autorun/autorun_rules.h"
#include "pages/autorun/autorun_sources.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

namespace {
const HKEY kUser = HKEY_CURRENT_USER, kMachine = HKEY_LOCAL_MACHINE;
constexpr REGSAM k64 = KEY_WOW64_64KEY;
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kPolicyRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
const std::wstring kRunOnceEx = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
const std::wstring kWindows = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::wstring kWinlogon = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::wstring kActiveSetup = L"Software\\Microsoft\\Active Setup\\Installed Components";

std::wstring Shown(HKEY root, const std::wstring& key) {
  return (root == kUser ? L"HKEY_CURRENT_USER\\" : L"HKEY_LOCAL_MACHINE\\") + key;
}

struct Page : wt::PageTab<CAutorunPage> {
  Page() : PageTab(&CWardletDlg::m_autorunPage, 3) {}
  std::vector<int> Rows(const std::wstring& name, const std::wstring& location) {
    return rt::RowsWith(list, 1, name, 2, location);
  }
  int Row(const std::wstring& name, const std::wstring& location) { return rt::RowWith(list, 1, name, 2, location); }
  std::wstring Cell(const std::wstring& name, const std::wstring& location, int column) {
    int r = Row(name, location);
    return r < 0 ? L"<no row>" : list.GetItemText(r, column);
  }
};

std::wstring SystemDir() {
  wchar_t dir[MAX_PATH] = {};
  ::GetSystemDirectoryW(dir, MAX_PATH);
  return dir;
}

// Creates a shortcut to target with arguments; false when the shell cannot.
bool MakeShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments) {
  static const CLSID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW),
                                reinterpret_cast<void**>(&link))))
    return false;
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Save(path.c_str(), TRUE));
  if (file) file->Release();
  link->Release();
  return ok;
}

struct Com {
  bool own = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ~Com() {
    if (own) ::CoUninitialize();
  }
};

// A task folder of the test in the Task Scheduler, removed with its tasks at the end.
class TaskFolder {
 public:
  TaskFolder() {
    static const CLSID kTaskScheduler = {0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
    VARIANT empty;
    ::VariantInit(&empty);
    if (FAILED(::CoCreateInstance(kTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                                  reinterpret_cast<void**>(&m_service))) ||
        FAILED(m_service->Connect(empty, empty, empty, empty)))
      return;
    BSTR root = ::SysAllocString(L"\\"), name = ::SysAllocString(L"WardletT");
    ITaskFolder* rootFolder = nullptr;
    if (SUCCEEDED(m_service->GetFolder(root, &rootFolder))) {
      if (FAILED(rootFolder->GetFolder(name, &m_folder))) rootFolder->CreateFolder(name, empty, &m_folder);
      rootFolder->Release();
    }
    ::SysFreeString(root);
    ::SysFreeString(name);
  }
  ~TaskFolder() {
    for (const std::wstring& name : m_tasks) Exists(name, true);
    ITaskFolder* rootFolder = nullptr;
    BSTR root = ::SysAllocString(L"\\"), name = ::SysAllocString(L"WardletT");
    if (m_service && SUCCEEDED(m_service->GetFolder(root, &rootFolder))) {
      rootFolder->DeleteFolder(name, 0);
      rootFolder->Release();
    }
    ::SysFreeString(root);
    ::SysFreeString(name);
    if (m_folder) m_folder->Release();
    if (m_service) m_service->Release();
  }
  bool Register(const std::wstring& name, const std::wstring& command, const std::wstring& arguments) {
    if (!m_folder) return false;
    m_tasks.push_back(name);
    std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Task version=\"1.2\" "
                       L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Actions Context=\"Author\">"
                       L"<Exec><Command>" + command + L"</Command><Arguments>" + arguments +
                       L"</Arguments></Exec></Actions></Task>";
    VARIANT empty;
    ::VariantInit(&empty);
    BSTR n = ::SysAllocString(name.c_str()), text = ::SysAllocString(xml.c_str());
    IRegisteredTask* task = nullptr;
    HRESULT hr = m_folder->RegisterTask(n, text, TASK_CREATE_OR_UPDATE, empty, empty, TASK_LOGON_NONE, empty, &task);
    if (task) task->Release();
    ::SysFreeString(n);
    ::SysFreeString(text);
    return SUCCEEDED(hr);
  }
  // Whether the task is registered (deleting it when remove is set).
  bool Exists(const std::wstring& name, bool remove = false) {
    if (!m_folder) return false;
    BSTR n = ::SysAllocString(name.c_str());
    IRegisteredTask* task = nullptr;
    bool found = SUCCEEDED(m_folder->GetTask(n, &task));
    if (task) task->Release();
    if (found && remove) m_folder->DeleteTask(n, 0);
    ::SysFreeString(n);
    return found;
  }

 private:
  ITaskService* m_service = nullptr;
  ITaskFolder* m_folder = nullptr;
  std::vector<std::wstring> m_tasks;
};

// A task source of the test's own, for the page's handling of tasks without the system's scheduler.
struct FakeTasks {
  std::vector<autorun::ScheduledTask> tasks;
  std::vector<std::pair<std::wstring, std::wstring>> removed;
  FakeTasks() {
    autorun::SetTaskSource({[this](std::vector<autorun::ScheduledTask>& out) {
                              out = tasks;
                              return true;
                            },
                            [this](const std::wstring& folder, const std::wstring& name) {
                              removed.emplace_back(folder, name);
                              for (auto it = tasks.begin(); it != tasks.end(); ++it)
                                if (it->folder == folder && it->name == name) {
                                  tasks.erase(it);
                                  return true;
                                }
                              return false;
                            }});
  }
  ~FakeTasks() { autorun::SetTaskSource({}); }
};
}  // namespace

// Each registry location lists its entries after the Run keys, named by their keys, with the
// file and the data whole; delete removes the row's value alone, and a Winlogon "Shell" is set
// back to its default instead.
TEST(AutorunMore, RegistryLocationsListAndDeleteTheirOwnEntriesOnly) {
  rt::TestKey userRun(kUser, kRun), userPolicy(kUser, kPolicyRun), machinePolicy(kMachine, kPolicyRun);
  rt::TestKey exKey(kMachine, kRunOnceEx + L"\\WardletT0001"), windows(kUser, kWindows), winlogon(kMachine, kWinlogon);
  rt::TestKey machineWindows(kMachine, kWindows), stub(kMachine, kActiveSetup + L"\\{WardletT-Stub}");
  const std::wstring exPath = kRunOnceEx + L"\\WardletT0001", stubPath = kActiveSetup + L"\\{WardletT-Stub}";
  rt::TestValue runValue(kUser, kRun, k64, L"WardletT First", REG_SZ, rt::SzData(L"C:\\first.exe"));
  rt::TestValue policy(kUser, kPolicyRun, k64, L"WardletT Policy", REG_SZ, rt::SzData(L"C:\\pol.exe -x"));
  rt::TestValue policyKeep(kUser, kPolicyRun, k64, L"WardletT PolicyKeep", REG_SZ, rt::SzData(L"C:\\keep.exe"));
  rt::TestValue machinePol(kMachine, kPolicyRun, k64, L"WardletT MPolicy", REG_SZ, rt::SzData(L"C:\\mpol.exe"));
  rt::TestValue ex(kMachine, exPath, k64, L"WardletT Ex", REG_SZ, rt::SzData(L"C:\\ex.exe /q"));
  rt::TestValue exKeep(kMachine, exPath, k64, L"WardletT ExKeep", REG_SZ, rt::SzData(L"C:\\exkeep.exe"));
  rt::TestValue load(kUser, kWindows, k64, L"Load", REG_SZ, rt::SzData(L"C:\\load.exe"));
  rt::TestValue run(kUser, kWindows, k64, L"Run", REG_SZ, rt::SzData(L"C:\\run.exe"));
  const std::wstring evilShell = L"explorer.exe C:\\wt evil\\shell.exe";
  rt::TestValue shell(kMachine, kWinlogon, k64, L"Shell", REG_SZ, rt::SzData(evilShell));
  rt::TestValue userinit(kMachine, kWinlogon, k64, L"Userinit", REG_SZ,
                         rt::SzData(SystemDir() + L"\\userinit.exe,C:\\ui.exe"));
  rt::TestValue taskman(kMachine, kWinlogon, k64, L"Taskman", REG_SZ, rt::SzData(L"C:\\taskman.exe"));
  rt::TestValue appInit(kMachine, kWindows, k64, L"AppInit_DLLs", REG_SZ, rt::SzData(L"C:\\a.dll,C:\\b.dll"));
  rt::TestValue loadAppInit(kMachine, kWindows, k64, L"LoadAppInit_DLLs", REG_DWORD, {0, 0, 0, 0});
  rt::TestValue stubValue(kMachine, stubPath, k64, L"StubPath", REG_EXPAND_SZ, rt::SzData(L"%SystemRoot%\\stub.exe /x"));
  rt::TestValue stubVersion(kMachine, stubPath, k64, L"Version", REG_SZ, rt::SzData(L"1,0"));
  ASSERT_TRUE(policy.written() && ex.written() && shell.written() && appInit.written() && stubValue.written());

  wt::MessageLog messages;
  Page p;
  wchar_t windir[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windir, MAX_PATH);
  const struct { std::wstring name, location, file, command; } rows[] = {
      {L"WardletT Policy", Shown(kUser, kPolicyRun), L"C:\\pol.exe", L"C:\\pol.exe -x"},
      {L"WardletT MPolicy", Shown(kMachine, kPolicyRun), L"C:\\mpol.exe", L"C:\\mpol.exe"},
      {L"WardletT Ex", Shown(kMachine, exPath), L"C:\\ex.exe", L"C:\\ex.exe /q"},
      {L"Load", Shown(kUser, kWindows), L"C:\\load.exe", L"C:\\load.exe"},
      {L"Run", Shown(kUser, kWindows), L"C:\\run.exe", L"C:\\run.exe"},
      {L"Shell", Shown(kMachine, kWinlogon), L"", evilShell},
      {L"Taskman", Shown(kMachine, kWinlogon), L"C:\\taskman.exe", L"C:\\taskman.exe"},
      {autorun::kAppInitOffName, Shown(kMachine, kWindows), L"C:\\a.dll", L"C:\\a.dll,C:\\b.dll"},
      {L"StubPath", Shown(kMachine, stubPath), std::wstring(windir) + L"\\stub.exe", L"%SystemRoot%\\stub.exe /x"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<int> found = p.Rows(r.name, r.location);
    ASSERT_GE(found.size(), 1u);
    if (r.name != L"Shell") {
      EXPECT_TRUE(wt::SamePath(p.list.GetItemText(found[0], 3), r.file)) << p.list.GetItemText(found[0], 3);
    }
    EXPECT_EQ(p.list.GetItemText(found[0], 4), r.command);
  }
  EXPECT_EQ(p.Rows(autorun::kAppInitOffName, Shown(kMachine, kWindows)).size(), 2u);  // one row per DLL
  // The Run keys come first.
  const int firstOther = p.Row(L"WardletT Policy", Shown(kUser, kPolicyRun));
  EXPECT_LT(p.Row(L"WardletT First", Shown(kUser, kRun)), firstOther);
  std::vector<std::wstring> runKeys;
  for (const autorun::RunKey& k : autorun::RunKeys())
    for (const std::wstring& key : {std::wstring(k.key), common::Wow64KeyPath(k.key)})
      runKeys.push_back(common::RootPrefix(k.root) + key);
  for (int r = firstOther; r < p.list.GetItemCount(); ++r)
    EXPECT_EQ(std::count(runKeys.begin(), runKeys.end(), p.list.GetItemText(r, 2)), 0) << r;

  auto remove = [&](const std::wstring& name, const std::wstring& location) {
    int r = p.Row(name, location);
    ASSERT_GE(r, 0) << "no row " << name;
    p.Run(r, IDM_AUTORUN_DELETE);
  };
  remove(L"WardletT Policy", Shown(kUser, kPolicyRun));
  EXPECT_FALSE(rt::ValueExists(kUser, kPolicyRun, k64, L"WardletT Policy"));
  EXPECT_TRUE(rt::ValueExists(kUser, kPolicyRun, k64, L"WardletT PolicyKeep"));
  remove(L"WardletT Ex", Shown(kMachine, exPath));
  EXPECT_FALSE(rt::ValueExists(kMachine, exPath, k64, L"WardletT Ex"));
  EXPECT_TRUE(rt::ValueExists(kMachine, exPath, k64, L"WardletT ExKeep"));
  remove(L"Load", Shown(kUser, kWindows));
  EXPECT_FALSE(rt::ValueExists(kUser, kWindows, k64, L"Load"));
  EXPECT_TRUE(rt::ValueExists(kUser, kWindows, k64, L"Run"));
  remove(L"Taskman", Shown(kMachine, kWinlogon));
  EXPECT_FALSE(rt::ValueExists(kMachine, kWinlogon, k64, L"Taskman"));
  remove(L"StubPath", Shown(kMachine, stubPath));
  EXPECT_FALSE(rt::ValueExists(kMachine, stubPath, k64, L"StubPath"));
  EXPECT_EQ(rt::ReadString(kMachine, stubPath, L"Version"), L"1,0");
  remove(autorun::kAppInitOffName, Shown(kMachine, kWindows));  // the first DLL
  EXPECT_EQ(rt::ReadString(kMachine, kWindows, L"AppInit_DLLs"), L"C:\\b.dll");
  EXPECT_TRUE(rt::ValueExists(kMachine, kWindows, k64, L"LoadAppInit_DLLs"));
  EXPECT_EQ(p.Rows(autorun::kAppInitOffName, Shown(kMachine, kWindows)).size(), 1u);
  EXPECT_TRUE(messages.entries.empty());

  // Shell and Userinit are set back to the defaults, never removed, and the user is told.
  remove(L"Shell", Shown(kMachine, kWinlogon));
  EXPECT_EQ(rt::ReadString(kMachine, kWinlogon, L"Shell"), L"explorer.exe");
  remove(L"Userinit", Shown(kMachine, kWinlogon));
  EXPECT_EQ(rt::ReadString(kMachine, kWinlogon, L"Userinit"), SystemDir() + L"\\userinit.exe,");
  ASSERT_EQ(messages.entries.size(), 2u);
  EXPECT_EQ(messages.entries[0].text, autorun::WinlogonRestoredNote(L"Shell", L"explorer.exe"));
  EXPECT_EQ(messages.entries[0].style, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(p.Cell(L"Shell", Shown(kMachine, kWinlogon), 4), L"explorer.exe");
}

// Files and shortcuts of the Startup folder are rows of their own, a shortcut by its target;
// delete removes the file (a shortcut, not its target) and nothing else.
TEST(AutorunMore, StartupFolderFilesAndShortcuts) {
  Com com;
  wchar_t folderBuf[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                           folderBuf)));
  const std::wstring folder = folderBuf;
  wt::TempDir dir;
  const std::wstring target = dir.path() + L"wt target.exe";
  ASSERT_TRUE(wt::WriteText(target, "x"));
  const std::wstring plain = folder + L"\\wardlet_t_plain.bat", link = folder + L"\\wardlet_t_link.lnk";
  const std::wstring keep = folder + L"\\wardlet_t_keep.txt";
  struct Cleanup {
    std::vector<std::wstring> files;
    ~Cleanup() {
      for (const auto& f : files) ::DeleteFileW(f.c_str());
    }
  } cleanup{{plain, link, keep}};
  ASSERT_TRUE(wt::WriteText(plain, "@echo off\r\n") && wt::WriteText(keep, "keep"));
  ASSERT_TRUE(MakeShortcut(link, target, L"/hidden -x"));
  Page p;
  EXPECT_EQ(p.Cell(L"wardlet_t_plain.bat", folder, 3), plain);
  EXPECT_EQ(p.Cell(L"wardlet_t_plain.bat", folder, 4), plain);
  EXPECT_TRUE(wt::SamePath(p.Cell(L"wardlet_t_link.lnk", folder, 3), target)) << p.Cell(L"wardlet_t_link.lnk", folder, 3);
  EXPECT_TRUE(wt::SamePath(p.Cell(L"wardlet_t_link.lnk", folder, 4), target + L" /hidden -x"));
  wt::MessageLog messages;
  p.Run(p.Row(L"wardlet_t_link.lnk", folder), IDM_AUTORUN_DELETE);
  EXPECT_FALSE(wt::FileExists(link));
  EXPECT_TRUE(wt::FileExists(target));
  EXPECT_TRUE(wt::FileExists(plain) && wt::FileExists(keep));
  EXPECT_EQ(p.Row(L"wardlet_t_link.lnk", folder), -1);
  p.Run(p.Row(L"wardlet_t_plain.bat", folder), IDM_AUTORUN_DELETE);
  EXPECT_FALSE(wt::FileExists(plain));
  EXPECT_TRUE(wt::FileExists(keep));
  EXPECT_TRUE(messages.entries.empty());
  // A row naming a file outside the Startup folders, or a path in place of a name, deletes nothing.
  const std::wstring cases[][2] = {{L"wt target.exe", dir.path().substr(0, dir.path().size() - 1)},
                                   {L"..\\wardlet_t_keep.txt", folder + L"\\x"},
                                   {L"wardlet_t_keep.txt\\..\\wardlet_t_keep.txt", folder}};
  for (const auto& c : cases) {
    auto fake = std::make_shared<autorun::AutorunRecord>();
    fake->cells = {L"0", c[0], c[1], L"", L""};
    fake->key = L"fake";
    fake->entry.kind = autorun::EntryKind::StartupFile;
    fake->entry.name = fake->entry.valueName = c[0];
    fake->entry.location = fake->entry.key = c[1];
    wt::AddRecord(p.page.Records(), fake);
    const int row = wt::FindRow(p.list, 0, L"0");
    ASSERT_GE(row, 0);
    messages.entries.clear();
    p.Run(row, IDM_AUTORUN_DELETE);
    EXPECT_EQ(messages.entries, wt::Shown(p.page, L"注册表打开失败", L"错误", MB_ICONERROR)) << c[0];
  }
  EXPECT_TRUE(wt::FileExists(target) && wt::FileExists(keep));
  // A folder's file has no key for Registry Editor: the user is told, nothing is started.
  wt::ShellLog shell;
  messages.entries.clear();
  p.Run(p.Row(L"wardlet_t_keep.txt", folder), IDM_AUTORUN_REGEDIT);
  EXPECT_TRUE(shell.requests.empty());
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].style, static_cast<UINT>(MB_ICONINFORMATION));
}

// A scheduled task's actions are rows named by the task's folder; delete removes that task only.
// Handled through a task source of the test's own: the page's reading and deletion of tasks.
TEST(AutorunMore, ScheduledTasksThroughTheTaskSource) {
  FakeTasks fake;
  fake.tasks = {{L"\\WardletT", L"evil", {{L"C:\\wt evil\\evil.exe", L"/silent"}, {L"%SystemRoot%\\x.exe", L""}}},
                {L"\\WardletT", L"keep", {{L"C:\\keep.exe", L"-k"}}},
                {L"\\", L"handler", {}}};
  Page p;
  const std::wstring location = std::wstring(autorun::kTaskPrefix) + L"\\WardletT";
  std::vector<int> rows = p.Rows(L"evil", location);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(p.list.GetItemText(rows[0], 3), L"C:\\wt evil\\evil.exe");
  EXPECT_EQ(p.list.GetItemText(rows[0], 4), L"C:\\wt evil\\evil.exe /silent");
  EXPECT_TRUE(wt::SamePath(p.list.GetItemText(rows[1], 3), wt::WindowsProgram(L"x.exe")));
  EXPECT_EQ(p.Rows(L"handler", std::wstring(autorun::kTaskPrefix) + L"\\").size(), 1u);
  wt::MessageLog messages;
  p.Run(rows[1], IDM_AUTORUN_DELETE);
  EXPECT_EQ(fake.removed, (std::vector<std::pair<std::wstring, std::wstring>>{{L"\\WardletT", L"evil"}}));
  EXPECT_TRUE(p.Rows(L"evil", location).empty());
  EXPECT_EQ(p.Rows(L"keep", location).size(), 1u);
  // A task that is gone by the time of the delete is reported.
  const int kept = p.Row(L"keep", location);
  fake.tasks.clear();
  p.Run(kept, IDM_AUTORUN_DELETE);
  EXPECT_EQ(messages.entries, wt::Shown(p.page, L"删除失败!", L"错误", MB_ICONERROR));
}

// The same through the system's Task Scheduler. Wine 8 cannot count or index the tasks of a folder
// (the page then reads the scheduler's store) and keeps no actions of a task, so there the task's
// row and deletion are checked without its file and command-line cells.
TEST(AutorunMore, ScheduledTasksOfTheTaskScheduler) {
  Com com;
  TaskFolder folder;
  ASSERT_TRUE(folder.Register(L"wardlet_t_evil", L"C:\\wt evil\\evil.exe", L"/silent"));
  ASSERT_TRUE(folder.Register(L"wardlet_t_keep", L"C:\\keep.exe", L"-k"));
  std::vector<autorun::ScheduledTask> tasks;
  const autorun::TaskSource system = autorun::SystemTaskSource();
  ASSERT_TRUE(system.list(tasks));
  auto evil = std::find_if(tasks.begin(), tasks.end(),
                           [](const auto& t) { return t.folder == L"\\WardletT" && t.name == L"wardlet_t_evil"; });
  const bool listed = evil != tasks.end();
  // Wine 8 stores a definition of its own making, without the actions.
  const bool actionsKept = listed && !evil->actions.empty();
  if (!listed) {
    std::printf("[ note ] this Task Scheduler does not list the tasks of a folder: deletion checked alone\n");
    EXPECT_TRUE(system.remove(L"\\WardletT", L"wardlet_t_evil"));
    EXPECT_FALSE(folder.Exists(L"wardlet_t_evil"));
    EXPECT_TRUE(folder.Exists(L"wardlet_t_keep"));
    EXPECT_FALSE(system.remove(L"\\WardletT", L"wardlet_t_evil"));
    return;
  }
  Page p;
  const std::wstring location = std::wstring(autorun::kTaskPrefix) + L"\\WardletT";
  ASSERT_GE(p.Row(L"wardlet_t_evil", location), 0);
  if (actionsKept) {
    EXPECT_EQ(p.Cell(L"wardlet_t_evil", location, 3), L"C:\\wt evil\\evil.exe");
    EXPECT_EQ(p.Cell(L"wardlet_t_evil", location, 4), L"C:\\wt evil\\evil.exe /silent");
  } else {
    std::printf("[ note ] this Task Scheduler keeps no actions of a task: its name and deletion checked\n");
  }
  p.Run(p.Row(L"wardlet_t_evil", location), IDM_AUTORUN_DELETE);
  EXPECT_FALSE(folder.Exists(L"wardlet_t_evil"));
  EXPECT_TRUE(folder.Exists(L"wardlet_t_keep"));
  EXPECT_EQ(p.Row(L"wardlet_t_evil", location), -1);
  EXPECT_GE(p.Row(L"wardlet_t_keep", location), 0);
}
