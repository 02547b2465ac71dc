// Cell texts and menu greying of the process list.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "pages/process/process_rules.h"
#include "res/resource.h"

using namespace process;

TEST(ProcessRules, CellTexts) {
  // Priority names, else the base priority.
  const std::tuple<unsigned long, long, const wchar_t*> priorities[] = {
      {256, 8, L"实时"}, {128, 8, L"高"}, {32768, 8, L"高于标准"}, {32, 8, L"标准"},
      {0x4000, 8, L"低"}, {64, 4, L"Idle"}, {0, 8, L"8"}, {0x1234, 13, L"13"}};
  for (const auto& [cls, base, text] : priorities) EXPECT_EQ(PriorityText(cls, base), text) << cls;
  // Memory in whole kilobytes.
  for (const auto& [bytes, text] : {std::pair<unsigned long long, const wchar_t*>{1048575, L"1023"}, {1048576, L"1024"},
                                     {0, L"0"}, {5ull << 40, L"5368709120"}})
    EXPECT_EQ(MemoryText(bytes), text) << bytes;
  EXPECT_EQ(TimeOfDayText(7, 30, 5), L"07:30:05");
  EXPECT_EQ(TimeOfDayText(23, 59, 59), L"23:59:59");
  EXPECT_EQ(UserText(L"SYSTEM", L"NT AUTHORITY"), L"SYSTEM of NT AUTHORITY");
  for (const auto& [cell, value] : {std::pair<const wchar_t*, long>{L"1234", 1234}, {L"  42abc", 42}, {L"-7", -7},
                                    {L"", 0}, {L"abc", 0}})
    EXPECT_EQ(CellToLong(cell), value) << cell;  // as atol reads it
}

TEST(ProcessRules, NormalizesKernelPrefixesCaseSensitively) {
  const std::wstring win = L"C:\\WINDOWS";
  EXPECT_EQ(NormalizeImagePath(L"\\SystemRoot\\System32\\smss.exe", win), L"C:\\WINDOWS\\System32\\smss.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\C:\\WINDOWS\\system32\\winlogon.exe", win), L"C:\\WINDOWS\\system32\\winlogon.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\systemroot\\x.dll", win), L"\\systemroot\\x.dll");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\\\SystemRoot\\a\\??\\b", win), L"C:\\WINDOWS\\ab");
  // The kernel's name of a network path becomes the UNC path, never the relative UNC\\server\\...
  EXPECT_EQ(NormalizeImagePath(L"\\??\\UNC\\server\\share\\x.exe", win), L"\\\\server\\share\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\unc\\srv\\s\\x.exe", win), L"\\\\srv\\s\\x.exe");
  EXPECT_EQ(NormalizeImagePath(L"\\??\\UNCx\\a", win), L"UNCx\\a");
  EXPECT_EQ(NormalizeImagePath(L"C:\\UNC\\x.exe", win), L"C:\\UNC\\x.exe");
  // A folder of that name anywhere but first is a real folder.
  for (const wchar_t* real : {L"C:\\Games\\SystemRoot\\x.exe", L"C:\\x\\SystemRootkit\\evil.exe", L"\\SystemRootkit\\x"})
    EXPECT_EQ(NormalizeImagePath(real, win), real);
}

// An empty path greys the file commands; a PID or parent PID of exactly "0" greys kill and forbid.
TEST(ProcessRules, MenuGreying) {
  const std::vector<unsigned> file = {IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE, IDM_PROCESS_COPY_PATH},
                              kill = {IDM_PROCESS_KILL, IDM_PROCESS_FORBID};
  std::vector<unsigned> both = file;
  both.insert(both.end(), kill.begin(), kill.end());
  const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, std::vector<unsigned>> cases[] = {
      {L"1234", L"56", L"", file}, {L"4", L"0", L"C:\\x.exe", kill}, {L"0", L"0", L"", both}, {L"00", L"10", L"x", {}}};
  for (auto [pid, parent, path, want] : cases) {
    std::vector<unsigned> greyed = ProcessMenuGreyed(pid, parent, path);
    std::sort(greyed.begin(), greyed.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(greyed, want) << pid << "|" << parent << "|" << path;
  }
}

// The programs whose end stops Windows count only from the system folder.
TEST(ProcessRules, SessionSystemProcessesAreTheSystemFoldersOwn) {
  const std::wstring sys = L"C:\\Windows\\system32";
  for (const wchar_t* path : {L"C:\\Windows\\system32\\csrss.exe", L"C:\\WINDOWS\\System32\\WinLogon.EXE",
                              L"c:\\windows\\system32\\lsass.exe", L"C:\\Windows\\system32\\smss.exe",
                              L"C:\\Windows\\system32\\services.exe", L"C:\\Windows\\system32\\wininit.exe"}) {
    EXPECT_TRUE(IsSessionSystemProcess(path, sys)) << path;
    EXPECT_TRUE(IsSessionSystemProcess(path, sys + L"\\")) << path;
  }
  for (const wchar_t* path : {L"C:\\Users\\x\\AppData\\csrss.exe", L"C:\\Windows\\system32\\drivers\\lsass.exe",
                              L"C:\\Windows\\csrss.exe", L"C:\\Windows\\system32\\svchost.exe", L"csrss.exe",
                              L"C:\\Windows\\system32\\csrss.exe.bak", L"C:\\Windows\\system32x\\csrss.exe", L""})
    EXPECT_FALSE(IsSessionSystemProcess(path, sys)) << path;
  EXPECT_FALSE(IsSessionSystemProcess(L"C:\\Windows\\system32\\csrss.exe", L""));
  EXPECT_EQ(FolderOf(L"C:\\a\\b.exe"), L"C:\\a");
  EXPECT_EQ(FolderOf(L"b.exe"), L"");
  EXPECT_EQ(FileNameOf(L"C:\\a\\b.exe"), L"b.exe");
  EXPECT_EQ(FileNameOf(L"b.exe"), L"b.exe");
  EXPECT_TRUE(SamePathText(L"C:\\A\\B.exe", L"c:\\a\\b.EXE"));
  EXPECT_FALSE(SamePathText(L"C:\\A\\B.exe", L"C:\\A\\B.ex"));
}

// A bar by name reaches the system folder's program of that name and same-named programs running
// from other folders; the listed program's own copies are not named, nor anything twice.
TEST(ProcessRules, BarByNameNamesTheOtherProgramsItReaches) {
  const std::wstring evil = L"C:\\Users\\x\\Temp\\svchost.exe", real = L"C:\\Windows\\system32\\svchost.exe";
  EXPECT_TRUE(OtherProgramsBarred(L"C:\\Tools\\mine.exe", L"", {}).empty());
  EXPECT_TRUE(OtherProgramsBarred(evil, L"", {{12, L"c:\\users\\X\\temp\\SVCHOST.exe"}}).empty());  // same program
  EXPECT_EQ(OtherProgramsBarred(evil, real, {{800, real}, {804, real}, {900, L"D:\\svchost.exe"}, {7, L""}}),
            (std::vector<std::wstring>{L"系统文件夹中的 " + real, L"正在运行的 D:\\svchost.exe(PID 900)",
                                       L"正在运行的进程 PID 7(路径无法读取)"}));
  // Barring the system's own program names it too: every copy of it stops starting.
  EXPECT_EQ(OtherProgramsBarred(real, real, {}), (std::vector<std::wstring>{L"系统文件夹中的 " + real}));
  EXPECT_EQ(OtherProgramsBarred(L"", L"", {{5, L"C:\\a\\x.exe"}}), (std::vector<std::wstring>{L"正在运行的 C:\\a\\x.exe(PID 5)"}));

  const std::wstring q = BarQuestionText(L"svchost.exe", {L"系统文件夹中的 " + real});
  EXPECT_NE(q.find(L"所有名为svchost.exe的程序都将无法启动"), std::wstring::npos);
  EXPECT_NE(q.find(real), std::wstring::npos);
  EXPECT_NE(CriticalQuestionText(L"csrss.exe", 512).find(L"csrss.exe(PID 512)"), std::wstring::npos);
  // The confirmation keeps its first line and names the view where there are two.
  EXPECT_EQ(BarConfirmationText(L"a.exe", false), L"成功禁止程序a.exe的再次运行!");
  const std::wstring both = BarConfirmationText(L"a.exe", true);
  EXPECT_EQ(both.substr(0, both.find(L'\n')), L"成功禁止程序a.exe的再次运行!");
  EXPECT_NE(both.find(L"64位视图"), std::wstring::npos);
  EXPECT_NE(both.find(L"Image File Execution Options\\a.exe"), std::wstring::npos);
}
