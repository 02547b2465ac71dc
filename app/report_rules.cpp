// The scan report's layout and escaping, its reader, the command line and the default name.
#include "app/report_rules.h"

#include <cstdio>
#include <iterator>

namespace report {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::wstring_view kHeadings = L"列", kRow = L"行", kMessage = L"消息";
constexpr std::wstring_view kSectionOpen = L"== ", kSectionClose = L" ==";
constexpr const wchar_t* kHeaderKeys[] = {L"时间", L"版本", L"系统", L"计算机", L"用户", L"管理员权限"};

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendHex(std::wstring& out, unsigned value, int digits) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) out.push_back(kDigits[(value >> (4 * i)) & 0xF]);
}

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendLine(std::wstring& out, std::wstring_view tag, const std::vector<std::wstring>& cells) {
  out += tag;
  for (const auto& c : cells) {
    out.push_back(L'\t');
    out += EscapeCell(c);
  }
  out += L"\r\n";
}

// The line's cells split at tabs and unescaped; false on a bad escape.
bool SplitLine(std::wstring_view line, std::vector<std::wstring>& cells) {
  cells.clear();
  size_t start = 0;
  for (;;) {
    size_t tab = line.find(L'\t', start);
    std::wstring cell;
    if (!UnescapeCell(line.substr(start, tab == std::wstring_view::npos ? std::wstring_view::npos : tab - start), cell))
      return false;
    cells.push_back(std::move(cell));
    if (tab == std::wstring_view::npos) return true;
    start = tab + 1;
  }
}

bool Fail(std::wstring& error, size_t line, const std::wstring& what) {
  error = L"第 " + std::to_wstring(line) + L" 行: " + what;
  return false;
}

bool IsOption(const std::wstring& arg, std::wstring_view name) {
  if (arg.size() != name.size() + 1 || (arg[0] != L'/' && arg[0] != L'-')) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    wchar_t c = arg[i + 1];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != name[i]) return false;
  }
  return true;
}

}  // namespace

std::wstring EscapeCell(std::wstring_view cell) {
  std::wstring out;
  out.reserve(cell.size());
  for (size_t i = 0; i < cell.size(); ++i) {
    const wchar_t c = cell[i];
    switch (c) {
      case L'\\': out += L"\\\\"; continue;
      case L'\t': out += L"\\t"; continue;
      case L'\r': out += L"\\r"; continue;
      case L'\n': out += L"\\n"; continue;
      case L'\0': out += L"\\0"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      out += L"\\x";
      AppendHex(out, c, 2);
    } else if (IsHigh(c) && i + 1 < cell.size() && IsLow(cell[i + 1])) {
      out.push_back(c);
      out.push_back(cell[++i]);
    } else if (IsHigh(c) || IsLow(c)) {
      out += L"\\u";
      AppendHex(out, c, 4);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool UnescapeCell(std::wstring_view text, std::wstring& cell) {
  cell.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\\') {
      cell.push_back(text[i]);
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case L'\\': cell.push_back(L'\\'); break;
      case L't': cell.push_back(L'\t'); break;
      case L'r': cell.push_back(L'\r'); break;
      case L'n': cell.push_back(L'\n'); break;
      case L'0': cell.push_back(L'\0'); break;
      case L'x':
      case L'u': {
        const size_t digits = text[i] == L'x' ? 2 : 4;
        if (i + digits >= text.size()) return false;
        unsigned value = 0;
        for (size_t k = 1; k <= digits; ++k) {
          int h = HexValue(text[i + k]);
          if (h < 0) return false;
          value = value * 16 + static_cast<unsigned>(h);
        }
        cell.push_back(static_cast<wchar_t>(value));
        i += digits;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = static_cast<uint16_t>(text[i]);
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
    } else if (IsHigh(text[i]) || IsLow(text[i])) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

bool FromUtf8(std::string_view bytes, std::wstring& text) {
  text.clear();
  for (size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    size_t extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 9;
    if (extra == 9 || i + extra >= bytes.size()) return false;
    uint32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      text.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
      text.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      text.push_back(static_cast<wchar_t>(cp));
    }
    i += extra + 1;
  }
  return true;
}

std::string RenderReport(const Header& header, const std::vector<ListTable>& lists) {
  std::wstring text(kTitle);
  text += L"\r\n";
  const std::wstring values[] = {header.time,     header.version, header.windows,
                                 header.computer, header.user,    header.elevated ? L"是" : L"否"};
  for (size_t i = 0; i < std::size(values); ++i) AppendLine(text, kHeaderKeys[i], {values[i]});
  std::string out(kBom);
  out += ToUtf8(text);
  // Each list is converted on its own, so that the wide text of the whole report is never held.
  for (const ListTable& list : lists) {
    text = L"\r\n";
    text += kSectionOpen;
    text += EscapeCell(list.name);
    text += kSectionClose;
    text += L"\r\n";
    AppendLine(text, kHeadings, list.headings);
    for (const auto& row : list.rows) AppendLine(text, kRow, row);
    for (const auto& message : list.messages) AppendLine(text, kMessage, {message});
    out += ToUtf8(text);
  }
  text = L"\r\n";
  text += kSectionOpen;
  text += kCountsName;
  text += kSectionClose;
  text += L"\r\n";
  for (const ListTable& list : lists) AppendLine(text, EscapeCell(list.name), {std::to_wstring(list.rows.size())});
  out += ToUtf8(text);
  return out;
}

bool ParseReport(std::string_view bytes, ParsedReport& report, std::wstring& error) {
  report = {};
  if (bytes.substr(0, kBom.size()) != kBom) return Fail(error, 1, L"缺少 UTF-8 字节顺序标记");
  std::wstring text;
  if (!FromUtf8(bytes.substr(kBom.size()), text)) return Fail(error, 1, L"不是 UTF-8 文本");
  enum class Part { kTitle, kHeader, kList, kCounts } part = Part::kTitle;
  std::vector<std::wstring> cells;
  size_t number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring_view line(text.data() + start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    if (part == Part::kTitle) {
      if (line != kTitle) return Fail(error, number, L"不是扫描报告的标题");
      part = Part::kHeader;
      continue;
    }
    if (line.empty()) continue;
    const bool section = line.size() >= kSectionOpen.size() + kSectionClose.size() &&
                         line.substr(0, kSectionOpen.size()) == kSectionOpen &&
                         line.substr(line.size() - kSectionClose.size()) == kSectionClose;
    if (section) {
      std::wstring name;
      const size_t length = line.size() - kSectionOpen.size() - kSectionClose.size();
      if (!UnescapeCell(line.substr(kSectionOpen.size(), length), name))
        return Fail(error, number, L"名称中有无效的转义");
      if (part == Part::kCounts) return Fail(error, number, L"计数之后又有一节");
      if (name == kCountsName) {
        part = Part::kCounts;
      } else {
        part = Part::kList;
        report.lists.push_back({name, {}, {}, {}});
      }
      continue;
    }
    if (!SplitLine(line, cells)) return Fail(error, number, L"无效的转义");
    std::wstring tag = std::move(cells.front());
    cells.erase(cells.begin());
    switch (part) {
      case Part::kHeader:
        if (cells.size() != 1) return Fail(error, number, L"表头一行应有一个值");
        report.fields.emplace_back(std::move(tag), std::move(cells[0]));
        break;
      case Part::kList: {
        ListTable& list = report.lists.back();
        if (tag == kHeadings) list.headings = std::move(cells);
        else if (tag == kRow) list.rows.push_back(std::move(cells));
        else if (tag == kMessage && cells.size() == 1) list.messages.push_back(std::move(cells[0]));
        else return Fail(error, number, L"未知的行");
        break;
      }
      case Part::kCounts: {
        size_t n = 0;
        if (cells.size() != 1 || cells[0].empty() || cells[0].size() > 18) return Fail(error, number, L"无效的计数");
        for (wchar_t c : cells[0]) {
          if (c < L'0' || c > L'9') return Fail(error, number, L"无效的计数");
          n = n * 10 + static_cast<size_t>(c - L'0');
        }
        report.counts.emplace_back(std::move(tag), n);
        break;
      }
      case Part::kTitle:
        break;
    }
  }
  if (part != Part::kCounts) return Fail(error, number, L"报告不完整: 缺少计数一节");
  return true;
}

Options ParseCommandLine(const std::vector<std::wstring>& args) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& arg = args[i];
    if (o.action != Action::kRun) {
      o = {Action::kBad, L"", L"多余的参数: " + arg};
      return o;
    }
    if (IsOption(arg, L"?") || IsOption(arg, L"help")) {
      o.action = Action::kHelp;
    } else if (IsOption(arg, L"report")) {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        o = {Action::kBad, L"", L"/report 后面缺少报告文件的路径 (用 - 表示标准输出)"};
        return o;
      }
      o = {Action::kReport, args[++i], L""};
    } else {
      o = {Action::kBad, L"", L"未知的选项: " + arg};
      return o;
    }
  }
  return o;
}

std::wstring UsageText() {
  return L"用法: wardlet.exe [/report <文件> | /?]\r\n"
         L"  (不带选项)       打开 Wardlet 窗口\r\n"
         L"  /report <文件>   不显示窗口，把扫描报告 (UTF-8 文本) 写入文件；成功时退出码为 0\r\n"
         L"  /report -        把扫描报告写到标准输出\r\n"
         L"  /?               显示本说明\r\n";
}

std::wstring DefaultReportName(std::wstring_view computer, const LocalTime& t) {
  std::wstring name = L"Wardlet-";
  constexpr std::wstring_view kBad = L"<>:\"/\\|?*";
  for (wchar_t c : computer) name.push_back(c < 0x20 || kBad.find(c) != std::wstring_view::npos ? L'_' : c);
  if (computer.empty()) name += L"PC";
  wchar_t stamp[32];
  std::swprintf(stamp, 32, L"-%04d%02d%02d-%02d%02d%02d.txt", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return name + stamp;
}

}  // namespace report
