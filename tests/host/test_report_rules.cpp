// The scan report's layout, escaping and reading back; its command line and default name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/report_rules.h"

using report::ListTable;

namespace {

report::Header SampleHeader() {
  return {L"2026-12-07 15:02:33 +08:00", L"1.2.0.74 (32 位)", L"Microsoft Windows 10 Pro 10.0.19045 (x64)", L"PC-1",
          L"PC-1\\alice", true};
}

std::string Utf8(const std::wstring& s) { return report::ToUtf8(s); }

}  // namespace

TEST(ReportRules, LayoutIsTheHeaderThenOneSectionAListThenTheCounts) {
  const std::vector<ListTable> lists = {
      {L"进程", {L"id", L"进程名"}, {{L"1", L"System"}, {L"2", L"explorer.exe"}}, {}},
      {L"进程 / 模块", {L"id", L"模块名"}, {}, {}},
      {L"端口", {L"id", L"协议"}, {}, {L"错误: 无法读取端口表"}},
  };
  const std::string expected =
      "\xEF\xBB\xBF" +
      Utf8(L"Wardlet 扫描报告\r\n"
           L"时间\t2026-12-07 15:02:33 +08:00\r\n"
           L"版本\t1.2.0.74 (32 位)\r\n"
           L"系统\tMicrosoft Windows 10 Pro 10.0.19045 (x64)\r\n"
           L"计算机\tPC-1\r\n"
           L"用户\tPC-1\\\\alice\r\n"
           L"管理员权限\t是\r\n"
           L"\r\n== 进程 ==\r\n"
           L"列\tid\t进程名\r\n"
           L"行\t1\tSystem\r\n"
           L"行\t2\texplorer.exe\r\n"
           L"\r\n== 进程 / 模块 ==\r\n"
           L"列\tid\t模块名\r\n"
           L"\r\n== 端口 ==\r\n"
           L"列\tid\t协议\r\n"
           L"消息\t错误: 无法读取端口表\r\n"
           L"\r\n== 计数 ==\r\n"
           L"进程\t2\r\n"
           L"进程 / 模块\t0\r\n"
           L"端口\t0\r\n");
  EXPECT_EQ(report::RenderReport(SampleHeader(), lists), expected);
  report::Header plain = SampleHeader();
  plain.elevated = false;
  EXPECT_NE(report::RenderReport(plain, {}).find(Utf8(L"管理员权限\t否\r\n")), std::string::npos);
}

// Every character that could break a line or a cell apart is escaped, and reads back as it was.
TEST(ReportRules, CellsKeepTabsLineBreaksNulsAndOddCharactersOnOneLine) {
  const struct {
    std::wstring cell, escaped;
  } cases[] = {
      {L"a\tb", L"a\\tb"},
      {L"line1\r\nline2\n", L"line1\\r\\nline2\\n"},
      {std::wstring(L"Run\0hidden", 10), L"Run\\0hidden"},
      {L"C:\\Windows\\t.exe", L"C:\\\\Windows\\\\t.exe"},
      {L"\x1b[31m\x7f", L"\\x1B[31m\\x7F"},
      {L"lone \xD800 high, lone \xDC01 low", L"lone \\uD800 high, lone \\uDC01 low"},
      {L"pair \xD83D\xDE00 and 中文", L"pair \xD83D\xDE00 and 中文"},
      {L"\xDBFF", L"\\uDBFF"},  // a high surrogate at the very end
      {L"", L""},
  };
  for (const auto& c : cases) {
    const std::wstring escaped = report::EscapeCell(c.cell);
    EXPECT_EQ(escaped, c.escaped);
    EXPECT_EQ(escaped.find_first_of(std::wstring(L"\t\r\n\0", 4)), std::wstring::npos);
    std::wstring back;
    ASSERT_TRUE(report::UnescapeCell(escaped, back));
    EXPECT_EQ(back, c.cell);
  }
  for (const wchar_t* bad : {L"end\\", L"\\q", L"\\x4", L"\\xZZ", L"\\u12", L"\\u12G4"}) {
    std::wstring back;
    EXPECT_FALSE(report::UnescapeCell(bad, back)) << report::ToUtf8(bad);
  }
}

TEST(ReportRules, AReportReadsBackToTheSameListsAndCounts) {
  const std::wstring longCell(70000, L'长');
  const std::vector<ListTable> lists = {
      {L"启动项", {L"id", L"名称", L"路径"},
       {{L"1", std::wstring(L"evil\0name", 9), L"c:\\x\tq.exe"}, {L"2", L"long", longCell}, {L"3", L"", L""}}, {}},
      {L"服务", {L"id"}, {}, {L"错误: 服务控制句柄打开失败\r\n第二行"}},
      {L"== 伪装 ==", {L"行", L"列"}, {{L"== x ==", L"消息"}}, {}},
  };
  report::ParsedReport parsed;
  std::wstring error;
  ASSERT_TRUE(report::ParseReport(report::RenderReport(SampleHeader(), lists), parsed, error)) << report::ToUtf8(error);
  EXPECT_EQ(parsed.lists, lists);
  ASSERT_EQ(parsed.fields.size(), 6u);
  EXPECT_EQ(parsed.fields[0], (std::pair<std::wstring, std::wstring>{L"时间", L"2026-12-07 15:02:33 +08:00"}));
  EXPECT_EQ(parsed.fields[4].second, L"PC-1\\alice");
  EXPECT_EQ(parsed.counts, (std::vector<std::pair<std::wstring, size_t>>{{L"启动项", 3}, {L"服务", 0}, {L"== 伪装 ==", 1}}));
}

TEST(ReportRules, TheReaderRefusesWhatTheWriterNeverWrites) {
  const std::string good = report::RenderReport(SampleHeader(), {{L"窗口", {L"id"}, {{L"1"}}, {}}});
  report::ParsedReport parsed;
  std::wstring error;
  const std::string cut = good.substr(0, good.find(Utf8(L"== 计数")));  // a report cut short
  const std::string cases[] = {
      good.substr(3),                                      // no byte-order mark
      "\xEF\xBB\xBF" + Utf8(L"其他文件\r\n"),                  // another file
      cut,
      good.substr(0, good.size() - 3) + "x\r\n",           // a count that is not a number
      cut + Utf8(L"未知\t1\r\n== 计数 ==\r\n"),               // a line of no known kind
      cut + Utf8(L"行\tbad\\q\r\n== 计数 ==\r\n"),             // a bad escape
      "\xEF\xBB\xBF" + Utf8(L"Wardlet 扫描报告\r\n") + "\xC3\x28",  // not UTF-8
      good + Utf8(L"\r\n== 窗口 ==\r\n"),                    // a section after the counts
  };
  for (const auto& text : cases) EXPECT_FALSE(report::ParseReport(text, parsed, error)) << text.substr(0, 60);
  EXPECT_TRUE(report::ParseReport(good, parsed, error));
}

TEST(ReportRules, Utf8CoversEveryPlaneAndRefusesBadBytes) {
  const std::wstring text = L"a\x00e9\x4e2d\xD83D\xDE00";
  EXPECT_EQ(report::ToUtf8(text), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  std::wstring back;
  ASSERT_TRUE(report::FromUtf8(report::ToUtf8(text), back));
  EXPECT_EQ(back, text);
  EXPECT_EQ(report::ToUtf8(L"x\xD800y"), "x\xEF\xBF\xBDy");
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\x80", "\xFF"})
    EXPECT_FALSE(report::FromUtf8(bad, back)) << bad;
}

TEST(ReportRules, CommandLineAsksForTheWindowAReportOrHelpAndRefusesTheRest) {
  using report::Action;
  const struct {
    std::vector<std::wstring> args;
    Action action;
    std::wstring path, error;
  } cases[] = {
      {{}, Action::kRun, L"", L""},
      {{L"/report", L"C:\\r.txt"}, Action::kReport, L"C:\\r.txt", L""},
      {{L"-REPORT", L"-"}, Action::kReport, L"-", L""},
      {{L"/Report", L"/report"}, Action::kReport, L"/report", L""},  // the path may look like an option
      {{L"/?"}, Action::kHelp, L"", L""},
      {{L"-help"}, Action::kHelp, L"", L""},
      {{L"/report"}, Action::kBad, L"", L"/report 后面缺少报告文件的路径 (用 - 表示标准输出)"},
      {{L"/report", L""}, Action::kBad, L"", L"/report 后面缺少报告文件的路径 (用 - 表示标准输出)"},
      {{L"/reports", L"x"}, Action::kBad, L"", L"未知的选项: /reports"},
      {{L"file.txt"}, Action::kBad, L"", L"未知的选项: file.txt"},
      {{L"/report", L"a", L"b"}, Action::kBad, L"", L"多余的参数: b"},
      {{L"/?", L"/report", L"a"}, Action::kBad, L"", L"多余的参数: /report"},
      {{L"/"}, Action::kBad, L"", L"未知的选项: /"},
  };
  for (const auto& c : cases) {
    const report::Options o = report::ParseCommandLine(c.args);
    EXPECT_EQ(o.action, c.action) << c.args.size();
    EXPECT_EQ(o.path, c.path);
    EXPECT_EQ(o.error, c.error);
  }
  const std::wstring usage = report::UsageText();
  EXPECT_NE(usage.find(L"/report <文件>"), std::wstring::npos);
  EXPECT_NE(usage.find(L"/report -"), std::wstring::npos);
  EXPECT_NE(usage.find(L"/?"), std::wstring::npos);
}

TEST(ReportRules, DefaultNameHoldsTheComputerAndTheTimeAndOnlyFileNameCharacters) {
  EXPECT_EQ(report::DefaultReportName(L"DESKTOP-7Q", {2026, 1, 2, 3, 4, 5}), L"Wardlet-DESKTOP-7Q-20260102-030405.txt");
  EXPECT_EQ(report::DefaultReportName(L"a<b>c:d\"e/f\\g|h?i*j\tk", {2026, 12, 31, 23, 59, 58}),
            L"Wardlet-a_b_c_d_e_f_g_h_i_j_k-20261231-235958.txt");
  EXPECT_EQ(report::DefaultReportName(L"", {2027, 6, 7, 8, 9, 10}), L"Wardlet-PC-20270607-080910.txt");
}
