// The scan report's text: its layout, the escaping of cells, reading it back, the command line
// that asks for it and its default file name. Free of any platform service.
//
// Layout (UTF-8 with a byte-order mark, lines ending in CR LF; cells separated by tabs):
//   Wardlet 扫描报告
//   时间<TAB>2026-12-07 15:02:33 +08:00       the header: one key and one value a line
//   ...
//   <blank>
//   == 进程 ==                                 one section a list, named after its page
//   列<TAB>id<TAB>进程名...                     the headings
//   行<TAB>1<TAB>System...                      one line a row
//   消息<TAB>错误: ...                          what the page said while it was read (a failure)
//   <blank>
//   == 计数 ==                                  last: every list's name and its row count
//   进程<TAB>57
// A tab, CR, LF, NUL or backslash in a cell is written \t \r \n \0 \\; any other control
// character \xHH and a lone surrogate \uHHHH, so that a line always holds one whole row.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace report {

// One list of one page: its headings, its rows, and the messages the page showed while it was
// read (a source that failed says so there).
struct ListTable {
  std::wstring name;
  std::vector<std::wstring> headings;
  std::vector<std::vector<std::wstring>> rows;
  std::vector<std::wstring> messages;
  bool operator==(const ListTable&) const = default;
};

// The header's values, in their order in the file.
struct Header {
  std::wstring time, version, windows, computer, user;
  bool elevated = false;
};

inline constexpr std::wstring_view kTitle = L"Wardlet 扫描报告";
inline constexpr std::wstring_view kCountsName = L"计数";

std::wstring EscapeCell(std::wstring_view cell);
// The cell an escaped text stands for; false when it holds an escape this layout never writes.
bool UnescapeCell(std::wstring_view text, std::wstring& cell);

// UTF-16 text to UTF-8; an unpaired surrogate becomes U+FFFD (escaped cells hold none).
std::string ToUtf8(std::wstring_view text);
// UTF-8 to UTF-16; false on bytes that are not UTF-8.
bool FromUtf8(std::string_view bytes, std::wstring& text);

// The whole report, byte-order mark first.
std::string RenderReport(const Header& header, const std::vector<ListTable>& lists);

// A report read back as a script would: the header's keys and values in order, the lists, and
// the counts section's names and numbers.
struct ParsedReport {
  std::vector<std::pair<std::wstring, std::wstring>> fields;
  std::vector<ListTable> lists;
  std::vector<std::pair<std::wstring, size_t>> counts;
};
// False with the failing line's number and what is wrong with it in error.
bool ParseReport(std::string_view bytes, ParsedReport& report, std::wstring& error);

// What the command line asks for.
enum class Action { kRun, kReport, kHelp, kBad };
struct Options {
  Action action = Action::kRun;
  std::wstring path;   // of kReport: the file, or "-" for standard output
  std::wstring error;  // of kBad: what is wrong, in plain words
};
// args: the arguments after the program's name. Options start with / or -, any case.
Options ParseCommandLine(const std::vector<std::wstring>& args);
// The text /? prints.
std::wstring UsageText();

// "Wardlet-<computer>-<yyyyMMdd-HHmmss>.txt"; characters a file name cannot hold become '_'.
struct LocalTime {
  int year, month, day, hour, minute, second;
};
std::wstring DefaultReportName(std::wstring_view computer, const LocalTime& t);

}  // namespace report
