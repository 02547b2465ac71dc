// Startup-item list refresh against its floor: the bare reads of every location (each key's
// values, the subkeys' values, the Startup folders, the scheduled tasks), no list. Runs under
// Wine with 10,000 values spread over the locations in both registry views and 200 scheduled
// tasks, all written for the run and removed afterwards.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <taskschd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/wine/bench_load.h"
#include "bench/wine/bench_util.h"
#include "common/registry.h"
#include "pages/autorun/autorun_rules.h"
#include "pages/autorun/autorun_sources.h"
#include "ui/handle.h"

namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kPolicyRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
constexpr wchar_t kRunOnceEx[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr wchar_t kActiveSetup[] = L"Software\\Microsoft\\Active Setup\\Installed Components";
constexpr wchar_t kTaskFolder[] = L"\\WardletBench";

struct Place {
  HKEY root;
  const wchar_t* key;
  REGSAM view;
  bool subkeys;  // one subkey per value (RunOnceEx, Active Setup)
};
const Place kPlaces[] = {
    {HKEY_CURRENT_USER, kRun, KEY_WOW64_64KEY, false},       {HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_64KEY, false},
    {HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_32KEY, false},      {HKEY_CURRENT_USER, kPolicyRun, KEY_WOW64_64KEY, false},
    {HKEY_LOCAL_MACHINE, kPolicyRun, KEY_WOW64_64KEY, false}, {HKEY_LOCAL_MACHINE, kPolicyRun, KEY_WOW64_32KEY, false},
    {HKEY_LOCAL_MACHINE, kRunOnceEx, KEY_WOW64_64KEY, true}, {HKEY_LOCAL_MACHINE, kActiveSetup, KEY_WOW64_64KEY, true},
};

std::wstring ValueName(int i) { return L"WardletBench " + std::to_wstring(i); }

// The values of the run, written at the start and removed at the end.
struct BenchValues {
  int written = 0, per = 0;
  explicit BenchValues(int n) : per(n / static_cast<int>(std::size(kPlaces))) {
    Clear(per);  // leftovers of a run cut short
    for (const Place& p : kPlaces) {
      ui::CRegKey key;
      if (::RegCreateKeyExW(p.root, p.key, 0, nullptr, 0, KEY_ALL_ACCESS | p.view, nullptr, key.put(), nullptr) !=
          ERROR_SUCCESS)
        continue;
      for (int i = 0; i < per; ++i) {
        std::wstring data = L"\"C:\\Program Files\\Wardlet Bench\\app-" + std::to_wstring(i) + L".exe\" /tray -x";
        const BYTE* bytes = reinterpret_cast<const BYTE*>(data.c_str());
        const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        if (p.subkeys) {
          ui::CRegKey sub;
          if (::RegCreateKeyExW(key.get(), ValueName(i).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | p.view, nullptr,
                                sub.put(), nullptr) == ERROR_SUCCESS &&
              ::RegSetValueExW(sub.get(), p.key == kActiveSetup ? L"StubPath" : L"cmd", 0, REG_SZ, bytes, size) ==
                  ERROR_SUCCESS)
            ++written;
        } else if (::RegSetValueExW(key.get(), ValueName(i).c_str(), 0, REG_SZ, bytes, size) == ERROR_SUCCESS) {
          ++written;
        }
      }
    }
  }
  ~BenchValues() { Clear(per); }
  static void Clear(int per) {
    for (const Place& p : kPlaces) {
      ui::CRegKey key;
      if (::RegOpenKeyExW(p.root, p.key, 0, KEY_ALL_ACCESS | p.view, key.put()) != ERROR_SUCCESS) continue;
      for (int i = 0; i < per; ++i) {
        if (p.subkeys) ::RegDeleteTreeW(key.get(), ValueName(i).c_str());
        else ::RegDeleteValueW(key.get(), ValueName(i).c_str());
      }
    }
  }
};

// The scheduled tasks of the run, registered through the Task Scheduler in a folder of their own.
struct BenchTasks {
  int registered = 0;
  ITaskService* service = nullptr;
  ITaskFolder* folder = nullptr;
  explicit BenchTasks(int n) {
    static const CLSID kTaskScheduler = {0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
    if (FAILED(::CoCreateInstance(kTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                                  reinterpret_cast<void**>(&service))))
      return;
    VARIANT empty;
    ::VariantInit(&empty);
    ITaskFolder* root = nullptr;
    BSTR rootPath = ::SysAllocString(L"\\"), name = ::SysAllocString(kTaskFolder);
    if (SUCCEEDED(service->Connect(empty, empty, empty, empty)) && SUCCEEDED(service->GetFolder(rootPath, &root))) {
      if (FAILED(root->GetFolder(name, &folder))) root->CreateFolder(name, empty, &folder);
      root->Release();
    }
    ::SysFreeString(rootPath);
    ::SysFreeString(name);
    for (int i = 0; folder && i < n; ++i) {
      std::wstring xml =
          L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Task version=\"1.2\" "
          L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Actions Context=\"Author\"><Exec>"
          L"<Command>C:\\Wardlet Bench\\task-" + std::to_wstring(i) + L".exe</Command><Arguments>/run</Arguments>"
          L"</Exec></Actions></Task>";
      BSTR taskName = ::SysAllocString((L"WardletBench" + std::to_wstring(i)).c_str());
      BSTR text = ::SysAllocString(xml.c_str());
      IRegisteredTask* task = nullptr;
      if (SUCCEEDED(folder->RegisterTask(taskName, text, TASK_CREATE_OR_UPDATE, empty, empty, TASK_LOGON_NONE, empty,
                                         &task))) {
        ++registered;
        task->Release();
      }
      ::SysFreeString(taskName);
      ::SysFreeString(text);
    }
  }
  ~BenchTasks() {
    for (int i = 0; folder && i < 200; ++i) {
      BSTR taskName = ::SysAllocString((L"WardletBench" + std::to_wstring(i)).c_str());
      folder->DeleteTask(taskName, 0);
      ::SysFreeString(taskName);
    }
    if (folder) folder->Release();
    ITaskFolder* root = nullptr;
    BSTR rootPath = ::SysAllocString(L"\\"), name = ::SysAllocString(kTaskFolder);
    if (service && SUCCEEDED(service->GetFolder(rootPath, &root))) {
      root->DeleteFolder(name, 0);
      root->Release();
    }
    ::SysFreeString(rootPath);
    ::SysFreeString(name);
    if (service) service->Release();
  }
};

}  // namespace

int main() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  auto dlg = bench::OpenMainDialog();
  const auto t0 = std::chrono::steady_clock::now();
  BenchValues values(10000);
  BenchTasks tasks(200);
  const double install = bench::Seconds(std::chrono::steady_clock::now() - t0);

  CAutorunPage& page = dlg->m_autorunPage;
  page.RefreshAutorunListNow();  // warm-up
  bench::StartupFloorPass();
  const int runs = 5;
  size_t sink = 0;
  const bench::Turns t = bench::InTurns(runs, [&] { page.RefreshAutorunListNow(); }, [&] { sink += bench::StartupFloorPass(); });
  const int rows = page.List().GetItemCount();

  std::printf("startup list refresh against the bare reads of every location (%d runs)\n", runs);
  std::printf("values %d, scheduled tasks %d (written in %.2f s), rows %d\n", values.written, tasks.registered,
              install, rows);
  std::printf("  best: refresh %8.2f ms, floor %8.2f ms, ratio %.2f\n", t.refresh * 1000, t.floor * 1000,
              t.refresh / t.floor);
  std::printf("  mean: refresh %8.2f ms, floor %8.2f ms, ratio %.2f (sink %zu)\n", t.refreshSum / runs * 1000,
              t.floorSum / runs * 1000, t.refreshSum / t.floorSum, sink % 10);
  dlg->DestroyWindow();
  std::fflush(stdout);
  return 0;
}
