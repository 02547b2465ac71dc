// Platform-free cell texts and menu greying of the process list.
#pragma once
#include <string>
#include <vector>

namespace process {

// Name of a priority class; a value without a name shows the snapshot's base priority.
std::wstring PriorityText(unsigned long priorityClass, long basePriority);

// Working set in KiB, remainder dropped.
std::wstring MemoryText(unsigned long long workingSetBytes);

// Time of day "hh:mm:ss".
std::wstring TimeOfDayText(int hour, int minute, int second);

// "account of domain".
std::wstring UserText(const std::wstring& account, const std::wstring& domain);

// Turns a leading "\??\UNC\" into "\\", drops every other "\??\" and turns a leading "\SystemRoot"
// component into the Windows directory (case-sensitive).
std::wstring NormalizeImagePath(std::wstring path, const std::wstring& windowsDirectory);

// Commands of the process menu greyed for a row with these cells.
std::vector<unsigned> ProcessMenuGreyed(const std::wstring& pid, const std::wstring& parentPid,
                                        const std::wstring& path);

// The C runtime's atol over a cell: blanks, optional sign, digits up to the first other character.
long CellToLong(const std::wstring& cell);

// Two paths that name the same file, ignoring the case of ASCII letters (paths differing in other
// letters count as different, which errs towards asking).
bool SamePathText(const std::wstring& a, const std::wstring& b);

// The folder of a path, without the last backslash; empty for a bare name.
std::wstring FolderOf(const std::wstring& path);

// The file name of a path (all of it when there is no backslash).
std::wstring FileNameOf(const std::wstring& path);

// True for the programs of the system folder that every session runs and without which Windows
// stops (csrss.exe, wininit.exe, winlogon.exe, smss.exe, services.exe, lsass.exe). A program of
// one of those names from any other folder is not one of them.
bool IsSessionSystemProcess(const std::wstring& path, const std::wstring& systemDirectory);

// Another running process that has the file name of the one being barred.
struct SameNameProcess {
  unsigned long pid = 0;
  std::wstring path;  // empty when it could not be read
};

// What else a bar by file name reaches besides the listed program at listedPath: the program of
// that name in the system folder (systemCopy, empty when there is none), and the running processes
// of that name from other folders (one line each; a process whose path cannot be read is named by
// its PID). Empty when the bar reaches nothing else.
std::vector<std::wstring> OtherProgramsBarred(const std::wstring& listedPath, const std::wstring& systemCopy,
                                              const std::vector<SameNameProcess>& sameName);

// The question asked before barring a name that reaches the programs listed.
std::wstring BarQuestionText(const std::wstring& name, const std::vector<std::wstring>& others);

// The question asked before ending a critical or session system process.
std::wstring CriticalQuestionText(const std::wstring& name, unsigned long pid);

// The confirmation of a bar; names the registry view written when the system has two.
std::wstring BarConfirmationText(const std::wstring& name, bool twoRegistryViews);

// Told when a row's PID no longer names the process the row listed.
inline constexpr const wchar_t* kProcessGoneText =
    L"列表中的这个进程已经退出,它的PID可能已被另一个进程使用,因此没有结束、删除或禁止任何东西。列表已刷新。";

}  // namespace process
