// Sorting, finding, copying, exporting and marking rules of the lists.
#include "common/list_rules.h"

#include <algorithm>
#include <unordered_map>

#include "ipdb/ipv6_address.h"

namespace lists {
namespace {

wchar_t FoldChar(wchar_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c = static_cast<wchar_t>(c - 0xFEE0);  // full-width ASCII forms
  else if (c == 0x3000) c = L' ';                                        // ideographic space
  if (c < 0x80) return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return static_cast<wchar_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 0x50);
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    // Latin Extended-A pairs capital and small letters next to each other; the first run pairs
    // even with odd, the run from U+0139 odd with even.
    const bool shifted = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((c % 2 == 0) != shifted) return static_cast<wchar_t>(c + 1);
  }
  return c;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads a number at the start of a cell: spaces, a sign, digits with thousands commas, a
// fraction, then anything (a unit). Nothing when no digit comes first.
bool ParseNumber(std::wstring_view s, long double& out) {
  size_t i = 0;
  while (i < s.size() && s[i] == L' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) negative = s[i++] == L'-';
  if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
    long double v = 0;
    size_t start = i += 2;
    for (; i < s.size() && (IsDigit(s[i]) || ((s[i] | 0x20) >= L'a' && (s[i] | 0x20) <= L'f')); ++i)
      v = v * 16 + (IsDigit(s[i]) ? s[i] - L'0' : (s[i] | 0x20) - L'a' + 10);
    if (i == start) return false;
    out = negative ? -v : v;
    return true;
  }
  if (i >= s.size() || !IsDigit(s[i])) return false;
  long double v = 0;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) v = v * 10 + (s[i] - L'0');
    else if (s[i] == L',' && i + 1 < s.size() && IsDigit(s[i + 1])) continue;
    else break;
  }
  if (i + 1 < s.size() && s[i] == L'.' && IsDigit(s[i + 1])) {
    long double scale = 1;
    for (++i; i < s.size() && IsDigit(s[i]); ++i) v += (s[i] - L'0') * (scale /= 10);
  }
  out = negative ? -v : v;
  return true;
}

// An address cell as {4 or 6, high 64 bits, low 64 bits, scope}: a dotted IPv4 address, or an
// IPv6 address in any standard form, with a decimal scope of up to 32 bits after "%". False for
// anything else (names, wildcards, IPv4 with a scope, characters beyond ASCII).
bool ParseAddress(std::wstring_view cell, std::vector<std::uint64_t>& parts) {
  char text[64];  // the longest form, "ffff:...:255.255.255.255%4294967295", takes 56
  if (cell.size() >= sizeof text) return false;
  size_t percent = cell.size();
  for (size_t i = 0; i < cell.size(); ++i) {
    const auto c = static_cast<std::uint32_t>(cell[i]);
    if (c == 0 || c >= 0x80) return false;
    if (c == '%' && percent == cell.size()) percent = i;
    text[i] = static_cast<char>(c);
  }
  text[cell.size()] = '\0';
  std::uint64_t scope = 0;
  if (percent != cell.size()) {
    if (percent + 1 == cell.size()) return false;
    for (size_t i = percent + 1; i < cell.size(); ++i) {
      if (!IsDigit(cell[i])) return false;
      scope = scope * 10 + static_cast<unsigned>(cell[i] - L'0');
      if (scope > UINT32_MAX) return false;
    }
    text[percent] = '\0';
  }
  if (cell.substr(0, percent).find(L':') == std::wstring_view::npos) {
    const std::optional<std::uint32_t> v4 = ipdb::ParseDottedIpv4(text);
    if (!v4 || percent != cell.size()) return false;
    parts = {4, 0, *v4, 0};
    return true;
  }
  const std::optional<ipdb::Ipv6Bytes> v6 = ipdb::ParseIpv6(text);
  if (!v6) return false;
  parts = {6, ipdb::High64(*v6), ipdb::Low64(*v6), scope};
  return true;
}

template <class T>
int Cmp(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string DefaultCollate(std::wstring_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (wchar_t c : text) {
    const unsigned u = static_cast<unsigned>(FoldChar(c)) & 0xFFFF;
    out += static_cast<char>(u >> 8);
    out += static_cast<char>(u & 0xFF);
  }
  return out;
}

SortKey MakeSortKey(Kind kind, std::wstring_view cell, const Collate& collate) {
  SortKey k;
  k.empty = cell.empty();
  if (k.empty) return k;
  if (kind == Kind::Number) {
    k.numeric = ParseNumber(cell, k.number);
  } else if (kind == Kind::Time) {
    for (size_t i = 0; i < cell.size();) {
      if (!IsDigit(cell[i])) { ++i; continue; }
      std::uint64_t v = 0;
      for (; i < cell.size() && IsDigit(cell[i]); ++i) v = v * 10 + static_cast<unsigned>(cell[i] - L'0');
      k.parts.push_back(v);
    }
  } else if (kind == Kind::Address) {
    ParseAddress(cell, k.parts);
  }
  if (kind == Kind::Text || (kind == Kind::Number && !k.numeric) ||
      ((kind == Kind::Time || kind == Kind::Address) && k.parts.empty()))
    k.text = collate ? collate(cell) : DefaultCollate(cell);
  return k;
}

int CompareKeys(Kind kind, const SortKey& a, const SortKey& b) {
  if (kind == Kind::Number) {
    if (a.numeric != b.numeric) return a.numeric ? -1 : 1;
    if (a.numeric) return Cmp(a.number, b.number);
  } else if (kind == Kind::Time || kind == Kind::Address) {
    const bool ta = !a.parts.empty(), tb = !b.parts.empty();
    if (ta != tb) return ta ? -1 : 1;
    if (ta) return Cmp(a.parts, b.parts);
  }
  const int c = a.text.compare(b.text);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::vector<std::uint32_t> SortOrder(Kind kind, const std::vector<SortKey>& keys, bool descending) {
  std::vector<std::uint32_t> order, empties;
  order.reserve(keys.size());
  for (std::uint32_t i = 0; i < keys.size(); ++i) (keys[i].empty ? empties : order).push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
    const int c = CompareKeys(kind, keys[x], keys[y]);
    return descending ? c > 0 : c < 0;
  });
  order.insert(order.end(), empties.begin(), empties.end());
  return order;
}

std::wstring FoldForFind(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = FoldChar(c);
  return out;
}

bool RowMatches(const std::vector<std::wstring>& cells, std::wstring_view foldedNeedle) {
  if (foldedNeedle.empty()) return true;
  thread_local std::wstring folded;
  for (const auto& cell : cells) {
    if (cell.size() < foldedNeedle.size()) continue;
    folded.assign(cell);
    for (auto& c : folded) c = FoldChar(c);
    if (folded.find(foldedNeedle) != std::wstring::npos) return true;
  }
  return false;
}

std::wstring ShowNul(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c == L'\0') out += L"\\0";
    else out += c;
  }
  return out;
}

std::wstring TabRow(const std::vector<std::wstring>& cells) {
  std::wstring out;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out += L'\t';
    for (wchar_t c : ShowNul(cells[i])) out += (c == L'\t' || c == L'\r' || c == L'\n') ? L' ' : c;
  }
  return out;
}

std::wstring TabTable(const std::vector<std::wstring>& headings, const std::vector<std::vector<std::wstring>>& rows) {
  std::wstring out = TabRow(headings) + L"\r\n";
  for (const auto& r : rows) out += TabRow(r) + L"\r\n";
  return out;
}

std::wstring CsvField(std::wstring_view text) {
  const std::wstring shown = ShowNul(text);
  const bool quote = shown.find_first_of(L",\"\r\n") != std::wstring::npos ||
                     (!shown.empty() && (shown.front() == L' ' || shown.back() == L' '));
  if (!quote) return shown;
  std::wstring out = L"\"";
  for (wchar_t c : shown) {
    if (c == L'"') out += L'"';
    out += c;
  }
  return out + L"\"";
}

std::string Utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]) & (sizeof(wchar_t) == 2 ? 0xFFFF : 0x1FFFFF);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string CsvUtf8(const std::vector<std::wstring>& headings, const std::vector<std::vector<std::wstring>>& rows) {
  std::string out = "\xEF\xBB\xBF";
  auto line = [&](const std::vector<std::wstring>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i) out += ',';
      out += Utf8(CsvField(cells[i]));
    }
    out += "\r\n";
  };
  line(headings);
  for (const auto& r : rows) line(r);
  return out;
}

Changes CompareListings(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after) {
  Changes ch;
  std::unordered_map<std::wstring_view, int> seen;  // 1: before only, 3: both
  seen.reserve(before.size() + after.size());
  for (const auto& k : before) seen[k] |= 1;
  ch.fresh.reserve(after.size());
  for (const auto& k : after) {
    auto it = seen.find(k);
    if (it == seen.end()) {
      ch.fresh.push_back(Mark::New);
    } else {
      it->second |= 2;
      ch.fresh.push_back(Mark::None);
    }
  }
  for (size_t i = 0; i < before.size(); ++i)
    if (seen[before[i]] == 1) ch.gone.push_back(i);
  return ch;
}

}  // namespace lists
