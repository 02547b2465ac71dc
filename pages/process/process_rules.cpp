// Cell texts and menu greying of the process list.
#include "pages/process/process_rules.h"

#include <cstdio>

#include "res/resource.h"

namespace process {

std::wstring PriorityText(unsigned long priorityClass, long basePriority) {
  switch (priorityClass) {
    case 256: return L"实时";
    case 128: return L"高";
    case 32768: return L"高于标准";
    case 32: return L"标准";
    case 16384: return L"低";
    case 64: return L"Idle";
    default: return std::to_wstring(basePriority);
  }
}

std::wstring MemoryText(unsigned long long workingSetBytes) {
  return std::to_wstring(workingSetBytes >> 10);
}

std::wstring TimeOfDayText(int hour, int minute, int second) {
  wchar_t buf[32];
  std::swprintf(buf, 32, L"%.2d:%.2d:%.2d", hour, minute, second);
  return buf;
}

std::wstring UserText(const std::wstring& account, const std::wstring& domain) {
  return account + L" of " + domain;
}

namespace {
void ReplaceAll(std::wstring& s, const std::wstring& from, const std::wstring& to) {
  for (size_t at = s.find(from); at != std::wstring::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}
}  // namespace

std::wstring NormalizeImagePath(std::wstring path, const std::wstring& windowsDirectory) {
  // "\??\UNC\server\share\x" is the kernel's name of \\server\share\x: dropping only the prefix
  // would leave the relative path UNC\server\share\x, a file below the current folder.
  const std::wstring unc = L"\\??\\UNC\\";
  if (path.size() > unc.size() && path.compare(0, 4, unc, 0, 4) == 0 && (path[4] | 0x20) == L'u' &&
      (path[5] | 0x20) == L'n' && (path[6] | 0x20) == L'c' && path[7] == L'\\')
    path.replace(0, unc.size(), L"\\\\");
  ReplaceAll(path, L"\\??\\", L"");  // '?' is no file-name character: it is never a folder's name
  // "\SystemRoot" only as the path's first component: a folder of that name further on (or one
  // named "SystemRootkit") is a real folder, and rewriting it would point at another file.
  const std::wstring root = L"\\SystemRoot";
  if (path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == L'\\'))
    path.replace(0, root.size(), windowsDirectory);
  return path;
}

std::vector<unsigned> ProcessMenuGreyed(const std::wstring& pid, const std::wstring& parentPid,
                                        const std::wstring& path) {
  std::vector<unsigned> greyed;
  if (path.empty()) greyed.insert(greyed.end(), {IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE, IDM_PROCESS_COPY_PATH});
  if (pid == L"0" || parentPid == L"0") greyed.insert(greyed.end(), {IDM_PROCESS_KILL, IDM_PROCESS_FORBID});
  return greyed;
}

long CellToLong(const std::wstring& cell) {
  size_t i = 0;
  while (i < cell.size() && (cell[i] == L' ' || (cell[i] >= L'\t' && cell[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < cell.size() && (cell[i] == L'+' || cell[i] == L'-')) negative = cell[i++] == L'-';
  unsigned long value = 0;
  for (; i < cell.size() && cell[i] >= L'0' && cell[i] <= L'9'; ++i)
    value = value * 10 + static_cast<unsigned long>(cell[i] - L'0');
  return negative ? -static_cast<long>(value) : static_cast<long>(value);
}

namespace {
wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }
}  // namespace

bool SamePathText(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsSessionSystemProcess(const std::wstring& path, const std::wstring& systemDirectory) {
  std::wstring dir = systemDirectory;
  while (!dir.empty() && dir.back() == L'\\') dir.pop_back();
  if (dir.empty() || !SamePathText(FolderOf(path), dir)) return false;
  const std::wstring name = FileNameOf(path);
  for (const wchar_t* system : {L"csrss.exe", L"wininit.exe", L"winlogon.exe", L"smss.exe", L"services.exe", L"lsass.exe"})
    if (SamePathText(name, system)) return true;
  return false;
}

std::vector<std::wstring> OtherProgramsBarred(const std::wstring& listedPath, const std::wstring& systemCopy,
                                              const std::vector<SameNameProcess>& sameName) {
  std::vector<std::wstring> others;
  std::vector<std::wstring> seen;  // paths named already
  auto named = [&](const std::wstring& path) {
    for (const std::wstring& s : seen)
      if (SamePathText(s, path)) return true;
    return false;
  };
  // The system folder's program is named even when it is the listed one: barring it bars the
  // system's own program.
  if (!systemCopy.empty()) {
    others.push_back(L"系统文件夹中的 " + systemCopy);
    seen.push_back(systemCopy);
  }
  const std::wstring listedFolder = FolderOf(listedPath);
  for (const SameNameProcess& p : sameName) {
    if (p.path.empty()) {
      others.push_back(L"正在运行的进程 PID " + std::to_wstring(p.pid) + L"(路径无法读取)");
      continue;
    }
    if (!listedPath.empty() && SamePathText(FolderOf(p.path), listedFolder)) continue;  // the same program
    if (named(p.path)) continue;
    others.push_back(L"正在运行的 " + p.path + L"(PID " + std::to_wstring(p.pid) + L")");
    seen.push_back(p.path);
  }
  return others;
}

std::wstring BarQuestionText(const std::wstring& name, const std::vector<std::wstring>& others) {
  std::wstring text = L"禁止运行是按文件名生效的:写入后,所有名为" + name +
                      L"的程序都将无法启动,不只是这一个。以下程序也会被禁止:\n";
  for (const std::wstring& line : others) text += L"\n" + line;
  return text + L"\n\n确定仍要禁止吗?";
}

std::wstring CriticalQuestionText(const std::wstring& name, unsigned long pid) {
  return L"进程" + name + L"(PID " + std::to_wstring(pid) +
         L")是Windows的关键系统进程。结束它会使Windows立即停止运行(蓝屏),所有未保存的工作都会丢失。\n\n"
         L"确定仍要继续吗?";
}

std::wstring BarConfirmationText(const std::wstring& name, bool twoRegistryViews) {
  std::wstring text = L"成功禁止程序" + name + L"的再次运行!";
  if (twoRegistryViews)
    text += L"\n禁止标记写在注册表的64位视图中(HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\"
            L"CurrentVersion\\Image File Execution Options\\" + name +
            L"),系统启动程序时读的就是这一视图;32位视图中没有写入任何东西。";
  return text;
}

}  // namespace process
