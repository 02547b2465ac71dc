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

}  // namespace process
