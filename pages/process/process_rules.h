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

}  // namespace process
