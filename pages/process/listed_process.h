// Which process a list row showed: its PID and its creation time, both taken when the list was
// filled. A process can end between a refresh and a command and Windows then gives its PID to
// another, so a command acts only through a handle whose process still has that creation time.
#pragma once
#include <windows.h>

#include <vector>

#include "ui/handle.h"

namespace process {

struct ListedProcess {
  DWORD pid = 0;
  ULONGLONG created = 0;  // FILETIME as one number; 0 when it could not be read
};

// The creation time of an open process, 0 when it cannot be read.
ULONGLONG CreationTime(HANDLE process);

// The process that pid names now (opened briefly to read its creation time).
ListedProcess ListProcess(DWORD pid);

// The processes of a list's rows, in row order, kept beside the list by its page.
class ListedRows {
 public:
  void Clear() { m_rows.clear(); }
  void Add(const ListedProcess& p) { m_rows.push_back(p); }
  // A row the list was not filled with (or none) lists no process.
  ListedProcess At(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? m_rows[static_cast<size_t>(row)] : ListedProcess{};
  }
  void Set(int row, const ListedProcess& p) {
    if (row >= 0 && static_cast<size_t>(row) < m_rows.size()) m_rows[static_cast<size_t>(row)] = p;
  }
  size_t size() const { return m_rows.size(); }

 private:
  std::vector<ListedProcess> m_rows;
};

struct OpenedProcess {
  ui::CHandle handle;     // open only when the process is the one listed
  bool replaced = false;  // pid opened, but it is not (or cannot be shown to be) the process listed
};

// Opens pid with access (and the right to read its times) and keeps the handle only when the
// process behind it is the listed one: the same PID and creation time, read on that very handle.
// When pid cannot be opened at all, neither a handle nor replaced is given.
OpenedProcess OpenListedProcess(DWORD pid, const ListedProcess& listed, DWORD access);

}  // namespace process
