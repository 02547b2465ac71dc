// The scan report: every list of every page with its headings, read from a main dialog made for
// it and never shown, saved from the File menu or written by the /report command.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/report_rules.h"

namespace app {

// Refills every page of a hidden main dialog in tab order and reads each of its lists through
// the list's header and cells, however the page fills them. A message a page shows meanwhile is
// not shown: it goes into the section of that page's first list. Empty when no dialog could be
// made (error says why).
std::vector<report::ListTable> ReadAllLists(std::wstring& error);
// The header of a report made now: time, version, Windows, computer, user, elevation.
report::Header ReportHeader();
// The whole report's bytes; nothing when the lists could not be read (error says why).
std::optional<std::string> BuildScanReport(std::wstring& error);

// Whether a report can go to path: its folder exists and path is not a folder. error says why not.
bool CheckReportPath(const std::wstring& path, std::wstring& error);
// Writes bytes to path through a new file beside it that replaces path once it is whole; on a
// failure nothing is left behind and an existing file at path is untouched.
bool WriteReportFile(const std::wstring& path, const std::string& bytes, std::wstring& error);

// The command line's actions; each returns the program's exit code and shows no window.
int RunReportCommand(const std::wstring& path);    // "-": standard output
int PrintUsage();                                  // /?
int RefuseCommandLine(const std::wstring& error);  // a bad option
int ReportFailure(const std::wstring& error);      // the report cannot start

// File > save scan report: asks where (a dated name on the desktop first), writes the report and
// tells how it went.
void SaveScanReport(HWND owner);

}  // namespace app
