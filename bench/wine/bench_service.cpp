// Service list refresh against its floor: the enumeration plus one configuration query per
// service, no list. Runs under Wine with 500 extra services installed for the run and removed
// afterwards (also those an earlier, cut-short run left behind).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/wine/bench_util.h"
#include "ui/handle.h"

namespace {

constexpr const wchar_t* kPrefix = L"WardletBench";

std::vector<std::wstring> ServiceNames(SC_HANDLE scm) {
  std::vector<std::wstring> names;
  DWORD needed = 0, count = 0, resume = 0;
  ::EnumServicesStatusW(scm, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume);
  std::vector<BYTE> buf(needed + 4096);
  resume = 0;
  if (!::EnumServicesStatusW(scm, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buf.data()),
                             static_cast<DWORD>(buf.size()), &needed, &count, &resume))
    return names;
  const auto* e = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buf.data());
  for (DWORD i = 0; i < count; ++i) names.push_back(e[i].lpServiceName);
  return names;
}

// The extra services of the run; the destructor deletes them.
struct BenchServices {
  std::vector<std::wstring> names;
  explicit BenchServices(int n) {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    RemoveAll(scm.get(), ServiceNames(scm.get()));  // leftovers of an earlier run
    for (int i = 0; i < n; ++i) {
      std::wstring name = kPrefix + std::to_wstring(i);
      std::wstring display = L"基准测试服务 " + std::to_wstring(i);
      std::wstring path = L"\"C:\\Program Files\\Wardlet Bench\\svc-" + std::to_wstring(i) + L".exe\" -k bench /x";
      ui::CServiceHandle svc(::CreateServiceW(scm.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                              path.c_str(), nullptr, nullptr, L"RpcSs\0", L"LocalSystem", nullptr));
      if (svc) names.push_back(name);
    }
  }
  ~BenchServices() {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    RemoveAll(scm.get(), names);
  }
  static void RemoveAll(SC_HANDLE scm, const std::vector<std::wstring>& all) {
    for (const std::wstring& name : all) {
      if (name.compare(0, std::wcslen(kPrefix), kPrefix) != 0) continue;
      ui::CServiceHandle svc(::OpenServiceW(scm, name.c_str(), DELETE));
      if (svc) ::DeleteService(svc.get());
    }
  }
};

// What the cells need, without any list: one enumeration, then per service one open and one
// configuration query into a buffer big enough for any of them.
size_t FloorPass() {
  size_t work = 0;
  ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, GENERIC_READ | SC_MANAGER_ENUMERATE_SERVICE));
  DWORD needed = 0, count = 0, resume = 0;
  ::EnumServicesStatusW(scm.get(), SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume);
  std::vector<BYTE> buf(needed);
  resume = 0;
  if (!::EnumServicesStatusW(scm.get(), SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL,
                             reinterpret_cast<ENUM_SERVICE_STATUSW*>(buf.data()), static_cast<DWORD>(buf.size()),
                             &needed, &count, &resume))
    return 0;
  std::vector<BYTE> config(8 * 1024);
  const auto* e = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buf.data());
  for (DWORD i = 0; i < count; ++i) {
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), e[i].lpServiceName, SERVICE_QUERY_CONFIG));
    DWORD got = 0;
    if (svc && ::QueryServiceConfigW(svc.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                                     static_cast<DWORD>(config.size()), &got))
      work += reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType;
  }
  return work + count;
}

}  // namespace

int main() {
  auto dlg = bench::OpenMainDialog();

  const int extra = 500;
  const auto t0 = std::chrono::steady_clock::now();
  BenchServices services(extra);
  const double install = bench::Seconds(std::chrono::steady_clock::now() - t0);

  CServicePage& page = dlg->m_servicePage;
  page.RefreshServiceListNow();  // warm-up
  FloorPass();
  const int runs = 7;
  size_t sink = 0;
  const bench::Turns t = bench::InTurns(runs, [&] { page.RefreshServiceListNow(); }, [&] { sink += FloorPass(); });
  const int rows = page.List().GetItemCount();

  std::printf("service list refresh against the bare enumeration with one configuration query per service (%d runs)\n",
              runs);
  std::printf("extra services %d (installed %zu in %.2f s), rows %d\n", extra, services.names.size(), install, rows);
  std::printf("  best: refresh %8.2f ms, floor %8.2f ms, ratio %.2f\n", t.refresh * 1000, t.floor * 1000,
              t.refresh / t.floor);
  std::printf("  mean: refresh %8.2f ms, floor %8.2f ms, ratio %.2f (sink %zu)\n", t.refreshSum / runs * 1000,
              t.floorSum / runs * 1000, t.refreshSum / t.floorSum, sink % 10);
  dlg->DestroyWindow();
  std::fflush(stdout);
  return 0;
}
