// Opening the process a row listed, and no other that took its PID since.
#include "pages/process/listed_process.h"

namespace process {

ULONGLONG CreationTime(HANDLE process) {
  FILETIME created{}, exited, kernel, user;
  if (!process || !::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

namespace {
HANDLE OpenWithTimes(DWORD pid, DWORD access) {
  if (HANDLE h = ::OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) return h;
  return ::OpenProcess(access | PROCESS_QUERY_INFORMATION, FALSE, pid);  // systems without the limited right
}
}  // namespace

ListedProcess ListProcess(DWORD pid) {
  if (pid == 0) return {};
  ui::CHandle h(OpenWithTimes(pid, 0));
  return {pid, CreationTime(h.get())};
}

OpenedProcess OpenListedProcess(DWORD pid, const ListedProcess& listed, DWORD access) {
  OpenedProcess result;
  ui::CHandle h(OpenWithTimes(pid, access));
  if (!h) return result;
  const ULONGLONG created = CreationTime(h.get());
  // A row whose creation time was not read at the refresh cannot be told from a newcomer.
  if (listed.pid != pid || listed.created == 0 || created != listed.created) {
    result.replaced = true;
    return result;
  }
  result.handle = std::move(h);
  return result;
}

}  // namespace process
