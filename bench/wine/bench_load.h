// The benchmarks' load and the pages' floors, for a benchmark that times every page at once:
// extra processes, windows, services, startup values and sockets, each removed at the end (also
// what a cut-short run left behind); and each page's source read without any list.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cwchar>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/wine/bench_sockets.h"
#include "bench/wine/bench_util.h"
#include "common/registry.h"
#include "pages/autorun/autorun_rules.h"
#include "pages/autorun/autorun_sources.h"
#include "pages/ifeo/ifeo_rules.h"
#include "pages/port/port_rules.h"
#include "pages/process/process_info.h"
#include "pages/window/window_page.h"
#include "pages/window/window_rules.h"
#include "ui/handle.h"

namespace bench {

// wardlet_child.exe (beside this program) started n times, ended at the end. Each waits an hour:
// the whole load with 5,000 sockets takes Wine over ten minutes to read.
class Children {
 public:
  explicit Children(int n) {
    const std::wstring child = ExeDir() + L"wardlet_child.exe";
    for (int i = 0; i < n; ++i) {
      STARTUPINFOW si{};
      si.cb = sizeof(si);
      std::wstring cmd = L"\"" + child + L"\" sleep 3600000";
      PROCESS_INFORMATION pi{};
      if (::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        m_children.push_back(pi);
    }
  }
  ~Children() {
    for (auto& pi : m_children) {
      ::TerminateProcess(pi.hProcess, 0);
      ::WaitForSingleObject(pi.hProcess, 5000);
      ::CloseHandle(pi.hThread);
      ::CloseHandle(pi.hProcess);
    }
  }
  size_t size() const { return m_children.size(); }
  size_t Running() const {
    size_t n = 0;
    for (const auto& pi : m_children) n += ::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
    return n;
  }

 private:
  std::vector<PROCESS_INFORMATION> m_children;
};

// n hidden top-level windows of this process, on a thread of their own.
class Windows {
 public:
  // The windows belong to a thread of their own that answers their messages, so the pages read
  // them as they read any other program's windows, not through the same-thread path.
  explicit Windows(int n) {
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, n, ready] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &::DefWindowProcW;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = L"WardletBenchLoadWindow";
      ::RegisterClassW(&wc);
      std::vector<HWND> windows;
      for (int i = 0; i < n; ++i) {
        std::wstring title = L"测试窗口 " + std::to_wstring(i);
        if (HWND h = ::CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                       nullptr, nullptr, wc.hInstance, nullptr))
          windows.push_back(h);
      }
      m_count = windows.size();
      m_threadId = ::GetCurrentThreadId();
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, before it is told to quit
      ::SetEvent(ready);
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
      for (HWND h : windows) ::DestroyWindow(h);
    });
    ::WaitForSingleObject(ready, INFINITE);
    ::CloseHandle(ready);
  }
  ~Windows() {
    ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    m_thread.join();
  }
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;
  size_t size() const { return m_count; }

 private:
  std::thread m_thread;
  DWORD m_threadId = 0;
  size_t m_count = 0;
};

// n hidden top-level windows of another program (wardlet_window_child.exe beside this one), as
// the windows of a desktop are: the pages read each through the server. Ended at the end.
class ProgramWindows {
 public:
  explicit ProgramWindows(int n) {
    std::wstring cmd = L"\"" + ExeDir() + L"wardlet_window_child.exe\" WardletBenchProgramWindow 测试窗口 " +
                       std::to_wstring(n > 2 ? n - 2 : 0) + L" 3600";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi)) return;
    // A console program has no input-idle state to wait for: count its windows until all are there.
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 120000;) {
      m_count = 0;
      ::EnumWindows(&ProgramWindows::Count, reinterpret_cast<LPARAM>(this));
      if (m_count >= static_cast<size_t>(n) || ::WaitForSingleObject(m_pi.hProcess, 50) == WAIT_OBJECT_0) break;
    }
  }
  ~ProgramWindows() {
    if (!m_pi.hProcess) return;
    ::TerminateProcess(m_pi.hProcess, 0);
    ::WaitForSingleObject(m_pi.hProcess, 10000);
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
  }
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;
  size_t size() const { return m_count; }

 private:
  static BOOL CALLBACK Count(HWND w, LPARAM self) {
    auto* me = reinterpret_cast<ProgramWindows*>(self);
    DWORD pid = 0;
    if (::GetWindowThreadProcessId(w, &pid) && pid == me->m_pi.dwProcessId) ++me->m_count;
    return TRUE;
  }
  PROCESS_INFORMATION m_pi{};
  size_t m_count = 0;
};

// n services "WardletBenchLoad<i>", never started.
class Services {
 public:
  explicit Services(int n) {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    RemoveAll(scm.get(), n + 1000);  // leftovers of an earlier run
    for (int i = 0; i < n; ++i) {
      std::wstring name = kPrefix + std::to_wstring(i);
      std::wstring display = L"基准测试服务 " + std::to_wstring(i);
      std::wstring path = L"\"C:\\Program Files\\Wardlet Bench\\svc-" + std::to_wstring(i) + L".exe\" -k bench /x";
      ui::CServiceHandle svc(::CreateServiceW(scm.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                              path.c_str(), nullptr, nullptr, L"RpcSs\0", L"LocalSystem", nullptr));
      if (svc) ++m_count;
    }
  }
  ~Services() {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    RemoveAll(scm.get(), m_count + 1000);
  }
  size_t size() const { return m_count; }

 private:
  static constexpr const wchar_t* kPrefix = L"WardletBenchLoad";
  static void RemoveAll(SC_HANDLE scm, size_t upTo) {
    for (size_t i = 0; i < upTo; ++i) {
      ui::CServiceHandle svc(::OpenServiceW(scm, (kPrefix + std::to_wstring(i)).c_str(), DELETE));
      if (svc) ::DeleteService(svc.get());
    }
  }
  size_t m_count = 0;
};

// n values "WardletBench <i>" under the current user's Run key; removed at the end.
class StartupValues {
 public:
  explicit StartupValues(int n) {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, autorun::kUserRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, m_key.put(),
                      nullptr);
    RemoveAll();
    for (int i = 0; i < n; ++i) {
      std::wstring name = kPrefix + std::to_wstring(i);
      std::wstring data = L"\"C:\\Program Files\\Wardlet Bench\\app-" + std::to_wstring(i) + L".exe\" /background";
      if (::RegSetValueExW(m_key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS)
        ++m_count;
    }
  }
  ~StartupValues() { RemoveAll(); }
  size_t size() const { return m_count; }

 private:
  static constexpr const wchar_t* kPrefix = L"WardletBench ";
  void RemoveAll() {
    std::vector<std::wstring> names;
    wchar_t name[16384];
    for (DWORD i = 0;; ++i) {
      DWORD len = 16384;
      if (::RegEnumValueW(m_key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (std::wcsncmp(name, kPrefix, std::wcslen(kPrefix)) == 0) names.emplace_back(name, len);
    }
    for (const auto& n : names) ::RegDeleteValueW(m_key.get(), n.c_str());
  }
  ui::CRegKey m_key;
  size_t m_count = 0;
};

// Processes: the snapshot with the path, user, priority, memory and times of each.
inline size_t ProcessFloorPass() {
  size_t work = 0;
  ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  for (BOOL ok = ::Process32FirstW(snap.get(), &e); ok; ok = ::Process32NextW(snap.get(), &e)) {
    if (auto path = process::FindProcessImagePath(e.th32ProcessID)) work += path->size();
    ui::CHandle h(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, e.th32ProcessID));
    if (!h) continue;
    HANDLE token;
    if (::OpenProcessToken(h.get(), TOKEN_READ, &token)) {
      BYTE buf[1024];
      DWORD size = 0;
      if (::GetTokenInformation(token, TokenUser, buf, sizeof(buf), &size)) {
        wchar_t name[256], domain[256];
        DWORD n = 256, d = 256;
        SID_NAME_USE use;
        if (::LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, name, &n, domain, &d, &use))
          work += n;
      }
      ::CloseHandle(token);
    }
    work += ::GetPriorityClass(h.get());
    PROCESS_MEMORY_COUNTERS pmc{};
    if (::GetProcessMemoryInfo(h.get(), &pmc, sizeof(pmc))) work += pmc.WorkingSetSize & 1;
    FILETIME c, x, k, u;
    if (::GetProcessTimes(h.get(), &c, &x, &k, &u)) work += c.dwLowDateTime & 1;
  }
  return work;
}

// Windows: the Z-order with class, title (as the system keeps it, no message to the window) and
// each process's executable once.
inline size_t WindowFloorPass() {
  size_t work = 0;
  window::OwnerPathCache owners([](unsigned long pid) -> std::optional<std::wstring> {
    std::wstring path = CWindowPage::GetWindowOwnerPath(pid);
    if (path.empty()) return std::nullopt;
    return path;
  });
  for (HWND w : window::TopLevelWindows()) {
    wchar_t cls[257], title[256];
    work += static_cast<size_t>(::GetClassNameW(w, cls, 257));
    work += static_cast<size_t>(::InternalGetWindowText(w, title, 256));
    DWORD pid = 0;
    if (::GetWindowThreadProcessId(w, &pid)) work += owners.PathOf(pid).value_or(L"").size();
  }
  return work;
}

// Services: one enumeration, then one open and one configuration query per service.
inline size_t ServiceFloorPass() {
  size_t work = 0;
  ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, GENERIC_READ | SC_MANAGER_ENUMERATE_SERVICE));
  DWORD needed = 0, count = 0, resume = 0;
  ::EnumServicesStatusW(scm.get(), SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume);
  std::vector<BYTE> buf(needed);
  resume = 0;
  if (!::EnumServicesStatusW(scm.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                             reinterpret_cast<ENUM_SERVICE_STATUSW*>(buf.data()), static_cast<DWORD>(buf.size()),
                             &needed, &count, &resume))
    return 0;
  std::vector<BYTE> config(8 * 1024);
  const auto* e = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buf.data());
  for (DWORD i = 0; i < count; ++i) {
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), e[i].lpServiceName, GENERIC_READ | SERVICE_QUERY_STATUS));
    DWORD got = 0;
    if (svc && ::QueryServiceConfigW(svc.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                                     static_cast<DWORD>(config.size()), &got))
      work += reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType;
  }
  return work + count;
}

inline size_t ReadKeyFloor(HKEY root, const wchar_t* name, REGSAM view, int depth) {
  ui::CRegKey key;
  if (::RegOpenKeyExW(root, name, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return 0;
  size_t work = common::Values(key.get()).size();
  if (depth > 0)
    for (const std::wstring& sub : common::SubkeyNames(key.get())) work += ReadKeyFloor(key.get(), sub.c_str(), view, 0);
  return work;
}

// Startup items: the bare reads of every key of every location in both views (the subkeys' values where the
// page reads them), the Startup folders' names, and the scheduled tasks with their actions.
inline size_t StartupFloorPass() {
  size_t work = 0;
  for (REGSAM view : common::kRegistryViews) {
    for (const autorun::RunKey& k : autorun::RunKeys())
      work += ReadKeyFloor(common::RootKey(k.root), k.key, view, 0);
    for (const autorun::Location& loc : autorun::OtherLocations()) {
      const bool subkeys = loc.kind == autorun::LocationKind::SubkeyValues ||
                           loc.kind == autorun::LocationKind::SubkeyNamedValues;
      work += ReadKeyFloor(common::RootKey(loc.root), loc.key, view, subkeys ? 1 : 0);
    }
  }
  for (int csidl : {CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) continue;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((std::wstring(folder) + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) continue;
    do ++work;
    while (::FindNextFileW(find, &fd));
    ::FindClose(find);
  }
  std::vector<autorun::ScheduledTask> tasks;
  autorun::SystemTaskSource().list(tasks);
  return work + tasks.size();
}

// IFEO: the image keys of both views, each opened and asked for its "Debugger" value.
inline size_t IfeoFloorPass() {
  size_t work = 0;
  std::vector<wchar_t> name(256), text(32768);
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    ui::CRegKey root;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, ifeo::kIfeoKey, 0, KEY_READ | view, root.put()) != ERROR_SUCCESS) continue;
    for (DWORD i = 0;; ++i) {
      DWORD n = static_cast<DWORD>(name.size());
      if (::RegEnumKeyExW(root.get(), i, name.data(), &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      ui::CRegKey image;
      if (::RegOpenKeyExW(root.get(), name.data(), 0, KEY_QUERY_VALUE | view, image.put()) != ERROR_SUCCESS) continue;
      DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
      if (::RegQueryValueExW(image.get(), L"Debugger", nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size) ==
          ERROR_SUCCESS)
        work += size;
    }
  }
  return work;
}

// Ports: the two table calls and one path lookup per distinct owning PID.
inline size_t PortFloorPass(HMODULE iphlpapi) {
  using TableFunction = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, int, ULONG);
  auto read = [](TableFunction fn, int tableClass, DWORD& size) {
    std::vector<DWORD> buffer;
    size = 0;
    for (int tries = 0; fn && tries < 32; ++tries) {
      DWORD rc = fn(buffer.empty() ? nullptr : buffer.data(), &size, TRUE, 2, tableClass, 0);
      if (rc == NO_ERROR) return buffer;
      if (rc != ERROR_INSUFFICIENT_BUFFER) break;
      buffer.assign(size / sizeof(DWORD) + 1, 0);
    }
    size = 0;
    return std::vector<DWORD>{};
  };
  auto tcpFn = reinterpret_cast<TableFunction>(reinterpret_cast<void*>(::GetProcAddress(iphlpapi, "GetExtendedTcpTable")));
  auto udpFn = reinterpret_cast<TableFunction>(reinterpret_cast<void*>(::GetProcAddress(iphlpapi, "GetExtendedUdpTable")));
  DWORD size = 0;
  std::vector<DWORD> buf = read(tcpFn, 5, size);
  const std::vector<port::TcpEndpoint> tcp = port::ReadTcpTable(buf.data(), size);
  buf = read(udpFn, 1, size);
  const std::vector<port::UdpEndpoint> udp = port::ReadUdpTable(buf.data(), size);
  std::set<uint32_t> pids;
  for (const auto& e : tcp) pids.insert(e.pid);
  for (const auto& e : udp) pids.insert(e.pid);
  size_t work = tcp.size() + udp.size();
  for (uint32_t pid : pids)
    if (auto path = process::FindProcessImagePath(pid)) work += path->size();
  return work;
}

}  // namespace bench
