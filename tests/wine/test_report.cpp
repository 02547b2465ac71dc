// The scan report: planted entries in their pages' sections, a failing page told in its own
// section, the File menu command, and wardlet.exe /report run as a program with its standard
// handles redirected, never showing a window.
#include <winsock2.h>
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/report.h"
#include "app/report_rules.h"
#include "common/signature.h"
#include "pages/port/port_rules.h"
#include "res/version.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"
#include "ui/text.h"

using namespace std::string_literals;

namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

const report::ListTable* Section(const report::ParsedReport& r, const std::wstring& name) {
  for (const auto& list : r.lists)
    if (list.name == name) return &list;
  return nullptr;
}

// Names of the sections holding a row with a cell equal to text.
std::vector<std::wstring> SectionsWithCell(const report::ParsedReport& r, const std::wstring& text) {
  std::vector<std::wstring> names;
  for (const auto& list : r.lists)
    for (const auto& row : list.rows)
      if (std::find(row.begin(), row.end(), text) != row.end()) {
        names.push_back(list.name);
        break;
      }
  return names;
}

bool HasRowWith(const report::ListTable& list, const std::vector<std::wstring>& cells) {
  return std::any_of(list.rows.begin(), list.rows.end(), [&](const std::vector<std::wstring>& row) {
    return std::all_of(cells.begin(), cells.end(),
                       [&](const std::wstring& c) { return std::find(row.begin(), row.end(), c) != row.end(); });
  });
}

report::ParsedReport Parse(const std::string& bytes) {
  report::ParsedReport parsed;
  std::wstring error;
  EXPECT_TRUE(report::ParseReport(bytes, parsed, error)) << ui::ToUtf8(error);
  return parsed;
}

std::string ReadAll(const std::wstring& path) {
  ui::CFileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string data;
  char buf[65536];
  DWORD n = 0;
  while (f && ::ReadFile(f.get(), buf, sizeof(buf), &n, nullptr) && n) data.append(buf, n);
  return f ? data : "(missing)";
}

std::vector<std::wstring> FilesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"*").c_str(), &fd);
  for (BOOL ok = h != INVALID_HANDLE_VALUE; ok; ok = ::FindNextFileW(h, &fd))
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  if (h != INVALID_HANDLE_VALUE) ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// A service of its own name, not started, deleted at the end.
struct PlantedService {
  std::wstring name = L"WardletTReport" + std::to_wstring(::GetCurrentProcessId());
  explicit PlantedService(const std::wstring& command) {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ui::CServiceHandle svc(::CreateServiceW(scm.get(), name.c_str(), L"报告测试服务", SERVICE_ALL_ACCESS,
                                            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                            command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    created = static_cast<bool>(svc);
  }
  ~PlantedService() {
    ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ui::CServiceHandle svc(::OpenServiceW(scm.get(), name.c_str(), DELETE));
    if (svc) ::DeleteService(svc.get());
  }
  bool created = false;
};

// A TCP socket listening on the loopback address, on a port the system chose.
struct Listener {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  int port = 0;
  Listener() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof(a);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 && ::listen(s, 4) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port = ntohs(a.sin_port);
  }
  ~Listener() { ::closesocket(s); }
};

// wardlet.exe run with arguments: its exit code, what it wrote to its standard output and error,
// and whether any window of its process was ever visible while it ran.
struct ProgramRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out, err;
  bool sawVisibleWindow = false;
};

struct WindowSearch {
  DWORD pid;
  bool visible = false;
};

BOOL CALLBACK FindVisible(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(h, &pid);
  if (pid == s->pid && ::IsWindowVisible(h)) s->visible = true;
  return TRUE;
}

// Standard output goes to a pipe read while the program runs, or to a file when outFile is
// given; standard error goes to a pipe.
ProgramRun RunWardlet(const std::wstring& arguments, const std::wstring& outFile = L"") {
  ProgramRun run;
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (outFile.empty()) {
    ::CreatePipe(&outRead, &outWrite, &sa, 0);
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  } else {
    outWrite = ::CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  }
  ::CreatePipe(&errRead, &errWrite, &sa, 0);
  ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = outWrite;
  si.hStdError = errWrite;
  std::wstring cmd = wt::Quoted(wt::ExeDir() + L"wardlet.exe") + L" " + arguments;
  PROCESS_INFORMATION pi{};
  const BOOL started = ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  ::CloseHandle(outWrite);
  ::CloseHandle(errWrite);
  auto drain = [](HANDLE h, std::string* to) {
    char buf[65536];
    DWORD n = 0;
    while (h && ::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) to->append(buf, n);
  };
  std::thread outReader(drain, outRead, &run.out), errReader(drain, errRead, &run.err);
  if (started) {
    WindowSearch search{pi.dwProcessId};
    const DWORD deadline = ::GetTickCount() + 120000;
    while (::WaitForSingleObject(pi.hProcess, 10) == WAIT_TIMEOUT && ::GetTickCount() < deadline)
      ::EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&search));
    if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
    ::WaitForSingleObject(pi.hProcess, 5000);
    ::GetExitCodeProcess(pi.hProcess, &run.exitCode);
    run.sawVisibleWindow = search.visible;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  outReader.join();
  errReader.join();
  if (outRead) ::CloseHandle(outRead);
  ::CloseHandle(errRead);
  if (!outFile.empty()) run.out = ReadAll(outFile);
  return run;
}

std::string Utf8(const std::wstring& s) { return ui::ToUtf8(s); }

}  // namespace

// A Run value with a NUL in its name, a long one, a service, a listening socket and a child
// process: each in its page's section and in no other; the startup section is the list itself,
// cell for cell.
TEST(ScanReport, HoldsPlantedEntriesEachInItsPagesSection) {
  wt::TempDir dir;
  const std::wstring childPath = wt::CopyChild(dir, L"wardlet-report-child.exe");
  ASSERT_FALSE(childPath.empty());
  wt::Child child(wt::Quoted(childPath) + L" sleep 60000");
  ASSERT_TRUE(child.started());
  rt::TestKey run(HKEY_CURRENT_USER, kRun);
  const std::wstring nulName = L"WardletT rep\0ort"s, longPath = L"C:\\" + std::wstring(5000, L'l') + L"\\long.exe";
  rt::TestValue nul(HKEY_CURRENT_USER, kRun, KEY_WOW64_64KEY, nulName, REG_SZ, rt::SzData(L"C:\\nul-report.exe"));
  rt::TestValue longValue(HKEY_CURRENT_USER, kRun, KEY_WOW64_64KEY, L"WardletT report long", REG_SZ,
                          rt::SzData(longPath));
  ASSERT_TRUE(nul.written() && longValue.written());
  PlantedService service(L"C:\\WardletReport\\svc-report.exe -k test");
  ASSERT_TRUE(service.created);
  Listener listener;
  ASSERT_NE(listener.port, 0);

  wt::MessageLog log;
  std::wstring error;
  const std::optional<std::string> bytes = app::BuildScanReport(error);
  ASSERT_TRUE(bytes) << Utf8(error);
  EXPECT_TRUE(log.entries.empty());  // nothing a page says is shown
  const report::ParsedReport r = Parse(*bytes);

  ASSERT_EQ(r.fields.size(), 6u);
  EXPECT_EQ(r.fields[1].first, L"版本");
  EXPECT_EQ(r.fields[1].second.rfind(L"" WARDLET_VERSION_TEXT L" (", 0), 0u) << Utf8(r.fields[1].second);
  EXPECT_TRUE(std::regex_match(Utf8(r.fields[0].second), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d)")));
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  ::GetComputerNameW(computer, &n);
  EXPECT_EQ(r.fields[3], (std::pair<std::wstring, std::wstring>{L"计算机", computer}));
  EXPECT_TRUE(r.fields[5].second == L"是" || r.fields[5].second == L"否");

  std::vector<std::wstring> names;
  for (const auto& list : r.lists) names.push_back(list.name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"进程", L"进程 / 模块", L"窗口", L"服务", L"启动项", L"映像劫持", L"端口"}));
  ASSERT_EQ(r.counts.size(), r.lists.size());
  for (size_t i = 0; i < r.lists.size(); ++i)
    EXPECT_EQ(r.counts[i], (std::pair<std::wstring, size_t>{r.lists[i].name, r.lists[i].rows.size()}));

  const std::wstring pid = std::to_wstring(child.pid());
  EXPECT_TRUE(HasRowWith(*Section(r, L"进程"), {pid, L"wardlet-report-child.exe"}));
  EXPECT_EQ(SectionsWithCell(r, L"wardlet-report-child.exe"), std::vector<std::wstring>{L"进程"});
  EXPECT_TRUE(HasRowWith(*Section(r, L"服务"), {service.name, L"报告测试服务"}));
  EXPECT_EQ(SectionsWithCell(r, service.name), std::vector<std::wstring>{L"服务"});
  EXPECT_TRUE(HasRowWith(*Section(r, L"启动项"), {L"WardletT rep\\0ort", L"C:\\nul-report.exe"}));
  EXPECT_TRUE(HasRowWith(*Section(r, L"启动项"), {L"WardletT report long", longPath}));
  EXPECT_EQ(SectionsWithCell(r, longPath), std::vector<std::wstring>{L"启动项"});
  EXPECT_TRUE(HasRowWith(*Section(r, L"端口"), {L"127.0.0.1", std::to_wstring(listener.port)}));

  // The generic reading gives what the page's own list holds, headings and every cell whole.
  wt::PageTab<CAutorunPage> tab(&CWardletDlg::m_autorunPage, 3);
  const report::ListTable* startup = Section(r, L"启动项");
  ASSERT_EQ(startup->rows.size(), static_cast<size_t>(tab.list.GetItemCount()));
  // The signer column holds what was known when the report was written: a verdict that arrived
  // since may fill a cell the report left empty, never change one it wrote.
  for (int i = 0; i < tab.list.GetItemCount(); ++i) {
    std::vector<std::wstring> listed = wt::RowTexts(tab.list, i), reported = startup->rows[i];
    ASSERT_EQ(listed.size(), reported.size()) << i;
    ASSERT_FALSE(listed.empty());
    if (!reported.back().empty()) {
      EXPECT_EQ(reported.back(), listed.back()) << i;
    }
    listed.pop_back();
    reported.pop_back();
    EXPECT_EQ(reported, listed) << i;
  }
  EXPECT_EQ(startup->headings.size(), static_cast<size_t>(tab.list.GetColumnCount()));
  EXPECT_EQ(startup->headings.front(), L"id");
}

// The signer column is written with its verdicts, not the empty cells of checks still running, and
// a row signed by Microsoft is reported while the lists hide such rows.
TEST(ScanReport, WritesSignerVerdictsAndRowsTheListsHide) {
  wt::TempDir dir;
  const std::wstring plainPath = wt::CopyChild(dir, L"wardlet-report-plain.exe"),
                     msPath = wt::CopyChild(dir, L"wardlet-report-ms.exe");
  ASSERT_FALSE(plainPath.empty() || msPath.empty());
  const wt::FakeVerdict microsoft(L"wardlet-report-ms", wt::MicrosoftSigned());
  common::SetHideMicrosoftSigned(true);
  struct Restore {
    ~Restore() { common::SetHideMicrosoftSigned(false); }
  } restore;
  wt::Child plain(wt::Quoted(plainPath) + L" sleep 60000"), ms(wt::Quoted(msPath) + L" sleep 60000");
  ASSERT_TRUE(plain.started() && ms.started());

  std::wstring error;
  const std::optional<std::string> bytes = app::BuildScanReport(error);
  ASSERT_TRUE(bytes) << Utf8(error);
  const report::ParsedReport r = Parse(*bytes);
  const report::ListTable* processes = Section(r, L"进程");
  ASSERT_NE(processes, nullptr);
  ASSERT_EQ(processes->headings.back(), L"签名");
  EXPECT_TRUE(HasRowWith(*processes, {std::to_wstring(plain.pid()), L"wardlet-report-plain.exe", L"未签名"}));
  EXPECT_TRUE(HasRowWith(*processes, {std::to_wstring(ms.pid()), L"wardlet-report-ms.exe", L"Microsoft Windows"}));
  EXPECT_TRUE(processes->messages.empty());
  // The shown list still leaves the row out.
  wt::ProcessTab tab;
  EXPECT_GE(tab.RowOf(plain.pid()), 0);
  EXPECT_TRUE(tab.page.Records().WaitForVerdicts(30000));
  EXPECT_EQ(wt::FindRow(tab.list, wt::ProcessTab::kPid, std::to_wstring(ms.pid())), -1);
}

// A page whose source fails says so in its own section; the other pages are written, and the
// message hook that was set before is back afterwards.
TEST(ScanReport, APageWhoseSourceFailsSaysSoAndTheRestIsWritten) {
  wt::MessageLog log;
  CPortPage::SetNetworkLibrary(L"wardlet-no-such-library.dll");
  std::wstring error;
  const std::optional<std::string> bytes = app::BuildScanReport(error);
  CPortPage::SetNetworkLibrary(L"iphlpapi.dll");
  ASSERT_TRUE(bytes) << Utf8(error);
  const report::ParsedReport r = Parse(*bytes);
  const report::ListTable* ports = Section(r, L"端口");
  ASSERT_NE(ports, nullptr);
  EXPECT_TRUE(ports->rows.empty());
  const std::wstring said = std::wstring(port::kErrorCaption) + L": " + port::kLibraryMissingText;
  EXPECT_NE(std::find(ports->messages.begin(), ports->messages.end(), said), ports->messages.end());
  EXPECT_FALSE(ports->headings.empty());
  EXPECT_FALSE(Section(r, L"进程")->rows.empty());
  EXPECT_FALSE(Section(r, L"启动项")->headings.empty());
  EXPECT_TRUE(Section(r, L"进程")->messages.empty());
  EXPECT_TRUE(log.entries.empty());
  ui::ShowMessage(nullptr, L"after", L"提示", MB_OK);
  EXPECT_EQ(log.entries.size(), 1u);
}

// File > save scan report: a dated name on the desktop first; the report written whole; a
// read-only file and a missing folder told, with nothing lost or left behind; a cancel does nothing.
TEST(ScanReport, SaveCommandOffersADatedNameOnTheDesktopAndWritesTheFileWhole) {
  wt::TempDir dir;
  wt::MainDialog main;
  const HWND owner = main.dlg().GetSafeHwnd();
  std::vector<std::wstring> offered;
  std::wstring answer;
  ui::SetFileDialogHook([&](const std::wstring& filter, const std::wstring& title, std::wstring& path) {
    EXPECT_EQ(filter, L"文本文件(*.txt)|*.txt|所有文件(*.*)|*.*||");
    EXPECT_EQ(title, L"保存扫描报告");
    offered.push_back(path);
    path = answer;
    return !answer.empty();
  });
  wt::MessageLog log;
  const auto save = [&] { main.dlg().SendMessage(WM_COMMAND, IDM_FILE_SAVE_REPORT, 0); };

  answer = dir.path() + L"scan.txt";
  save();
  ASSERT_EQ(offered.size(), 1u);
  wchar_t desktop[MAX_PATH] = {}, computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  ::GetComputerNameW(computer, &n);
  const std::wstring stem = std::wstring(desktop) + L"\\Wardlet-" + computer + L"-";
  EXPECT_EQ(offered[0].rfind(stem, 0), 0u) << Utf8(offered[0]);
  EXPECT_TRUE(std::regex_match(Utf8(offered[0].substr(std::min(stem.size(), offered[0].size()))),
                               std::regex(R"(\d{8}-\d{6}\.txt)")));
  EXPECT_EQ(log.entries, wt::Shown(owner, L"扫描报告已保存到:\r\n" + answer, L"提示", MB_OK | MB_ICONINFORMATION));
  const report::ParsedReport r = Parse(ReadAll(answer));
  EXPECT_EQ(r.lists.size(), 7u);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::wstring>{L"scan.txt"});

  // A read-only report of before stays as it was.
  answer = dir.path() + L"kept.txt";
  ASSERT_TRUE(wt::WriteText(answer, "the old report"));
  ::SetFileAttributesW(answer.c_str(), FILE_ATTRIBUTE_READONLY);
  log.entries.clear();
  save();
  EXPECT_EQ(log.entries,
            wt::Shown(owner, L"无法保存扫描报告: 没有写入权限，或文件是只读的。\r\n" + answer, L"错误", MB_OK | MB_ICONERROR));
  EXPECT_EQ(ReadAll(answer), "the old report");
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::wstring>{L"kept.txt", L"scan.txt"}));

  answer = dir.path() + L"no such folder\\r.txt";
  log.entries.clear();
  save();
  EXPECT_EQ(log.entries, wt::Shown(owner, L"无法保存扫描报告: 文件夹不存在。\r\n" + answer, L"错误", MB_OK | MB_ICONERROR));

  answer.clear();  // cancelled
  log.entries.clear();
  save();
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(offered.size(), 4u);
  ui::SetFileDialogHook(nullptr);
}

// wardlet.exe /report FILE and /report - with standard output on a pipe and on a file: exit code
// 0, a whole report, nothing on standard error, no window visible at any moment.
TEST(ReportCommand, WritesTheReportWithoutAWindowAndExitsZero) {
  wt::TempDir dir;
  const std::wstring file = dir.path() + L"报告 one.txt";
  ProgramRun run = RunWardlet(L"/report " + wt::Quoted(file));
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_FALSE(run.sawVisibleWindow);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
  report::ParsedReport r = Parse(ReadAll(file));
  ASSERT_EQ(r.lists.size(), 7u);
  EXPECT_FALSE(r.lists[0].rows.empty());
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::wstring>{L"报告 one.txt"});

  run = RunWardlet(L"-REPORT -");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_FALSE(run.sawVisibleWindow);
  EXPECT_EQ(run.err, "");
  r = Parse(run.out);
  EXPECT_EQ(r.lists.size(), 7u);

  const std::wstring redirected = dir.path() + L"stdout.txt";
  run = RunWardlet(L"/report -", redirected);
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  r = Parse(run.out);
  EXPECT_EQ(r.lists.size(), 7u);
}

// A bad option, a report path in a missing folder or over a read-only file, and /?: a message
// on standard error (the usage on standard output), the exit code, no window and nothing left.
TEST(ReportCommand, BadOptionsAndUnwritablePathsAreToldWithNonZeroCodes) {
  wt::TempDir dir;
  const std::wstring folder = dir.path() + L"a folder";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const struct {
    std::wstring arguments;
    DWORD exitCode;
    std::wstring err, out;
  } cases[] = {
      {L"/bogus", 2, L"wardlet: 未知的选项: /bogus\r\n用 /? 查看可用的选项。\r\n", L""},
      {L"/report", 2, L"wardlet: /report 后面缺少报告文件的路径 (用 - 表示标准输出)\r\n用 /? 查看可用的选项。\r\n", L""},
      {L"/report a.txt b.txt", 2, L"wardlet: 多余的参数: b.txt\r\n用 /? 查看可用的选项。\r\n", L""},
      {L"/report " + wt::Quoted(dir.path() + L"missing\\r.txt"), 1,
       L"wardlet: 无法保存扫描报告: 文件夹不存在。\r\n" + dir.path() + L"missing\\r.txt\r\n", L""},
      {L"/report " + wt::Quoted(folder), 1, L"wardlet: 无法保存扫描报告: 这是一个文件夹。\r\n" + folder + L"\r\n", L""},
      {L"/?", 0, L"", report::UsageText()},
  };
  for (const auto& c : cases) {
    const ProgramRun run = RunWardlet(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << Utf8(c.arguments);
    EXPECT_EQ(run.err, Utf8(c.err)) << Utf8(c.arguments);
    EXPECT_EQ(run.out, Utf8(c.out)) << Utf8(c.arguments);
    EXPECT_FALSE(run.sawVisibleWindow) << Utf8(c.arguments);
  }
  EXPECT_TRUE(FilesIn(dir.path()).empty());

  const std::wstring kept = dir.path() + L"kept.txt";
  ASSERT_TRUE(wt::WriteText(kept, "the old report"));
  ::SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY);
  const ProgramRun run = RunWardlet(L"/report " + wt::Quoted(kept));
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.err, Utf8(L"wardlet: 无法保存扫描报告: 没有写入权限，或文件是只读的。\r\n" + kept + L"\r\n"));
  EXPECT_EQ(ReadAll(kept), "the old report");
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::wstring>{L"kept.txt"});
}

// The report's own main dialog: never visible, never the foreground window, its lists set up but
// not filled until the report refills them; the window a user has stays the foreground one.
TEST(ScanReport, ItsMainDialogIsNeverShownNorFilledAtStart) {
  wt::MainDialog shown;
  ::SetForegroundWindow(shown.dlg().GetSafeHwnd());
  const HWND foreground = ::GetForegroundWindow();
  CWardletDlg hidden;
  ASSERT_TRUE(hidden.CreateHidden());
  EXPECT_FALSE(hidden.IsWindowVisible());
  EXPECT_EQ(::GetForegroundWindow(), foreground);
  EXPECT_EQ(hidden.m_tab.GetItemCount(), 6);
  EXPECT_GT(hidden.m_processPage.ProcessList().GetColumnCount(), 0);
  EXPECT_EQ(hidden.m_processPage.ProcessList().GetItemCount(), 0);
  EXPECT_EQ(hidden.RefreshPageNow(0), hidden.m_processPage.GetSafeHwnd());
  EXPECT_GT(hidden.m_processPage.ProcessList().GetItemCount(), 0);
  EXPECT_FALSE(hidden.IsWindowVisible());
  EXPECT_EQ(hidden.RefreshPageNow(6), nullptr);
  hidden.DestroyWindow();
  EXPECT_EQ(hidden.GetSafeHwnd(), nullptr);
}
