// Platform-free rules of the lists: how cells sort, which rows a find text keeps, the texts that
// copying and exporting write, and which rows are new or gone between two listings.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lists {

// How a column's cells compare.
enum class Kind : unsigned char {
  Text,    // in the user's locale order (through the collation given)
  Number,  // by value: "-12", "1,024", "45 K"; a cell that is no number sorts after the numbers
  Time,    // by its digit groups in turn: "2026-12-07 09:05:00", "2026/12/7 9:05:00" alike
  Address,  // IPv4 ("10.0.0.1") before IPv6 (any standard form: "::1", "::ffff:1.2.3.4",
            // "fe80::1%12"), each by value, IPv6 then by its decimal scope; "0:0::1" and "::1"
            // alike. A cell that is no address sorts after the addresses.
};

// Turns a text into bytes whose byte order is the locale's order of the texts. The default folds
// case and compares code units.
using Collate = std::function<std::string(std::wstring_view)>;
std::string DefaultCollate(std::wstring_view text);

// One cell made ready for sorting: computed once per row and column, compared many times.
struct SortKey {
  bool empty = true;
  bool numeric = false;  // Number: the cell read as a number
  long double number = 0;
  std::vector<std::uint64_t> parts;  // Time: the digit groups; Address: 4 or 6, high and low 64
                                     // bits, scope
  std::string text;                  // Text, and the fallback of a cell that is no number, time
                                     // or address
};
SortKey MakeSortKey(Kind kind, std::wstring_view cell, const Collate& collate);

// Below zero when a sorts before b ascending, above when after, zero when alike. Empty cells are
// not decided here (see SortOrder).
int CompareKeys(Kind kind, const SortKey& a, const SortKey& b);

// Row indices in display order: by the keys, reversed when descending, empty cells last either
// way, rows that compare alike in their listed order.
std::vector<std::uint32_t> SortOrder(Kind kind, const std::vector<SortKey>& keys, bool descending);

// Find: case and full-width/half-width forms fold alike ("ＡＢＣ", "abc", "ABC" are one text).
std::wstring FoldForFind(std::wstring_view text);
// Whether any cell contains needle (already folded); an empty needle keeps every row.
bool RowMatches(const std::vector<std::wstring>& cells, std::wstring_view foldedNeedle);

// A NUL inside a cell is written as the two characters "\0".
std::wstring ShowNul(std::wstring_view text);
// One row as tab-separated text (no line end): tabs and line breaks inside a cell become spaces.
std::wstring TabRow(const std::vector<std::wstring>& cells);
// Headings and rows as tab-separated lines, each ending in CR LF.
std::wstring TabTable(const std::vector<std::wstring>& headings, const std::vector<std::vector<std::wstring>>& rows);
// One CSV field: quoted (quotes doubled) when it holds a comma, quote, CR, LF or leading/trailing
// space; left as it is otherwise.
std::wstring CsvField(std::wstring_view text);
// Headings and rows as CSV: UTF-8 with a byte-order mark, lines ending in CR LF. An unpaired
// surrogate is written as U+FFFD.
std::string CsvUtf8(const std::vector<std::wstring>& headings, const std::vector<std::vector<std::wstring>>& rows);
std::string Utf8(std::wstring_view text);

// Marks of a watched list.
enum class Mark : unsigned char { None, New, Gone };

// Between two listings by identity key: before holds the keys of the earlier listing (rows shown
// as gone in it left out), after those of the new one. fresh[i] is New for a key of after that
// before lacks; gone lists the indices in before of keys that after lacks, in their order.
struct Changes {
  std::vector<Mark> fresh;
  std::vector<std::size_t> gone;
};
Changes CompareListings(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after);

}  // namespace lists
