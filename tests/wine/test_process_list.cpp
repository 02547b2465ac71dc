// The process page's lists and row menus: a child of the test, processes that come and go while
// the list is refilled, the modules a click lists, and what the menus grey.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <thread>

#include "pages/process/process_info.h"
#include "pages/process/process_rules.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
using Tab = wt::ProcessTab;

// Rows numbered 1, 2, … each with a PID and, but for children of the test caught while they start
// (Wine's snapshot has no name for them yet), a name.
void ExpectWholeRows(const ui::CListCtrl& list) {
  for (int i = 0, n = list.GetItemCount(); i < n; ++i) {
    ASSERT_EQ(list.GetItemText(i, 0), std::to_wstring(i + 1));
    ASSERT_FALSE(list.GetItemText(i, Tab::kPid).empty()) << "row " << i;
    const bool starting = list.GetItemText(i, Tab::kParent) == std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(starting || !list.GetItemText(i, Tab::kName).empty()) << "row " << i;
  }
}

// Module rows numbered 1, 2, … from the given executable, kernel32.dll among them.
void ExpectModules(const ui::CListCtrl& modules, const std::wstring& exe) {
  bool kernel32 = false;
  for (int i = 0, n = modules.GetItemCount(); i < n; ++i) {
    ASSERT_EQ(modules.GetItemText(i, 0), std::to_wstring(i + 1));
    kernel32 |= wt::SamePath(modules.GetItemText(i, Tab::kModuleName), L"kernel32.dll");
  }
  EXPECT_TRUE(kernel32);
  EXPECT_TRUE(wt::SamePath(modules.GetItemText(0, Tab::kModulePath), exe)) << modules.GetItemText(0, 2);
}
}  // namespace

// A child's row, then its modules on a click; no selection and PID 0 list those of the program
// itself, a process that is gone none, and a refill of the process list keeps them. Rows stay whole
// while processes come and go.
TEST(ProcessList, ShowsTheProcessesAndOnAClickTheirModules) {
  wt::Child child(wt::Quoted(wt::ChildExe()));
  ASSERT_TRUE(child.started());
  bool loaded = false;  // the child's modules are all there once its loader has mapped kernel32.dll
  for (int i = 0; i < 250 && !loaded; ++i, ::Sleep(20)) {
    ui::CSnapshot snap(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, child.pid()));
    MODULEENTRY32W me{};
    me.dwSize = sizeof(me);
    for (BOOL ok = snap && ::Module32FirstW(snap.get(), &me); ok && !loaded; ok = ::Module32NextW(snap.get(), &me))
      loaded = wt::SamePath(me.szModule, L"kernel32.dll");
  }
  ASSERT_TRUE(loaded);
  Tab t;
  wt::MessageLog log;
  int row = t.RowOf(child.pid());
  ExpectWholeRows(t.list);
  ASSERT_GE(row, 0);
  EXPECT_EQ(t.list.GetItemText(row, Tab::kName), L"wardlet_child.exe");
  EXPECT_EQ(t.list.GetItemText(row, Tab::kParent), std::to_wstring(::GetCurrentProcessId()));
  EXPECT_TRUE(wt::SamePath(t.list.GetItemText(row, Tab::kPath), wt::ChildExe())) << t.list.GetItemText(row, 9);
  EXPECT_EQ(t.list.GetItemText(row, 6), L"标准");  // priority

  t.Click(row);
  ExpectModules(t.modules, wt::ChildExe());
  t.page.RefreshProcessListNow();
  ExpectModules(t.modules, wt::ChildExe());
  int idle = wt::FindRow(t.list, Tab::kPid, L"0");
  if (idle < 0) idle = t.EditRow(0, [](process::ProcessRecord& r) { r.cells[Tab::kPid] = L"0"; });  // where the system lists no PID 0
  for (int clicked : {-1, idle}) {
    t.modules.InsertItem(0, L"stale");
    t.Click(clicked);
    ExpectModules(t.modules, wt::OwnPath());
  }
  int own = t.RowOf(::GetCurrentProcessId());
  own = t.EditRow(own, [](process::ProcessRecord& r) { r.cells[Tab::kPid] = L"-5"; });  // no such process
  t.Click(own);
  EXPECT_EQ(t.modules.GetItemCount(), 0);

  // Another thread starts short-lived children and ends some at once, so that processes vanish
  // between the snapshot and the opening of each row.
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    for (int i = 0; !stop; ++i) {
      wt::Child c(wt::Quoted(wt::ChildExe()) + L" sleep " + std::to_wstring(i % 20));
      if (i % 3 == 0) ::TerminateProcess(c.pi.hProcess, 1);
      else ::WaitForSingleObject(c.pi.hProcess, 50);
    }
  });
  for (int i = 0; i < 40; ++i) {
    EXPECT_GE(t.RowOf(::GetCurrentProcessId()), 0);
    ExpectWholeRows(t.list);
  }
  stop = true;
  churn.join();
  EXPECT_TRUE(log.entries.empty());
}

TEST(ProcessList, MenusOpenOnRowsOnlyAndTheProcessMenuGreysByTheRowsCells) {
  Tab t;
  wt::MenuChooser menu;
  t.Click(-1);  // lists the program's own modules
  ASSERT_GT(t.modules.GetItemCount(), 0);
  wt::RightClickRow(t.page, t.list, -1);
  wt::RightClickRow(t.page, t.modules, -1);
  EXPECT_EQ(menu.opened, 0);

  // A row of the given PID, parent PID and path cells, right-clicked.
  auto open = [&](const wchar_t* pid, const wchar_t* parent, const wchar_t* path) {
    const int row = t.EditRow(-1, [&](process::ProcessRecord& r) {
      r.cells[0] = L"0";
      r.cells[Tab::kPid] = pid;
      r.cells[Tab::kParent] = parent;
      r.cells[Tab::kPath] = path;
    });
    wt::RunRowCommand(t.page, t.list, row, 0, &menu);
  };
  open(L"1234", L"56", L"");
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_PROCESS));
  EXPECT_EQ(menu.greyed, (std::vector<UINT>{IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE, IDM_PROCESS_COPY_PATH,
                                            IDM_PROCESS_COPY_SHA256, IDM_PROCESS_VIRUSTOTAL}));
  open(L"4", L"0", L"C:\\x.exe");  // a child of the idle process
  EXPECT_EQ(menu.greyed, (std::vector<UINT>{IDM_PROCESS_KILL, IDM_PROCESS_FORBID}));

  wt::RunRowCommand(t.page, t.modules, 0, 0, &menu);
  EXPECT_EQ(menu.opened, 3);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_MODULE));
  EXPECT_TRUE(menu.greyed.empty());
}

// A module whose path is longer than a snapshot entry holds: its row shows the whole path, never
// the first MAX_PATH - 1 characters, which would name another file or folder.
TEST(ProcessList, ModulesOfLongPathsShowTheWholePath) {
  wt::TempDir dir;
  std::wstring folder = L"\\\\?\\" + dir.path();
  for (wchar_t part : {L'a', L'b', L'c', L'd'}) {
    folder += std::wstring(70, part) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  }
  const std::wstring module = folder + L"deep.dll";
  ASSERT_TRUE(::CopyFileW(wt::ChildExe().c_str(), module.c_str(), FALSE));
  const std::wstring shown = module.substr(4);  // the path without its \\?\ prefix
  ASSERT_GT(shown.size(), static_cast<size_t>(MAX_PATH));
  HMODULE loaded = ::LoadLibraryW(module.c_str());
  ASSERT_TRUE(loaded);
  Tab t;
  t.Click(-1);  // the program's own modules
  int row = -1;
  for (int i = 0, n = t.modules.GetItemCount(); i < n && row < 0; ++i)
    if (t.modules.GetItemText(i, Tab::kModuleName) == L"deep.dll") row = i;
  ::FreeLibrary(loaded);
  ASSERT_GE(row, 0);
  EXPECT_TRUE(wt::SamePath(t.modules.GetItemText(row, Tab::kModulePath), shown)) << t.modules.GetItemText(row, 2);
}

// The last column holds each process's command line whole, as it was given: blanks, quotes and
// letters outside the ANSI code page kept; the program's own row holds its own.
TEST(ProcessList, CommandLineCellHoldsTheWholeLine) {
  const std::wstring line =
      wt::Quoted(wt::ChildExe()) + L" sleep 60000 \"a  b\" \"say \\\"hi\\\"\" 中文Ωψ✓ x=\"\"  end  ";
  wt::Child child(line);
  ASSERT_TRUE(child.started());
  Tab t;
  ASSERT_EQ(t.list.GetColumnCount(), 12);  // the signer column last
  LVCOLUMNW column{};
  wchar_t heading[32] = {};
  column.mask = LVCF_TEXT;
  column.pszText = heading;
  column.cchTextMax = 32;
  ASSERT_TRUE(::SendMessageW(t.list.GetSafeHwnd(), LVM_GETCOLUMNW, 10, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(heading, L"命令行");
  const int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  EXPECT_EQ(t.list.GetItemText(row, 10), line);
  EXPECT_EQ(t.list.GetItemText(t.RowOf(::GetCurrentProcessId()), 10), ::GetCommandLineW());

  // Where the system cannot hand the line out, it is read from the process's parameters: the same
  // text, also from a 32-bit process seen from the 64-bit build (the i686 build's child, where it
  // has been built beside this one).
  ui::CHandle opened(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, child.pid()));
  ASSERT_TRUE(opened);
  EXPECT_EQ(process::CommandLineFromProcessMemory(opened.get()), line);
  EXPECT_EQ(process::CommandLineFromProcessMemory(nullptr), L"");
  const std::wstring narrowChild = wt::ExeDir() + L"..\\win32\\wardlet_child.exe";
  if (sizeof(void*) == 8 && wt::FileExists(narrowChild)) {
    const std::wstring narrowLine = wt::Quoted(narrowChild) + L" sleep 60000 \"窄 子\"";
    wt::Child narrow(narrowLine);
    ASSERT_TRUE(narrow.started());
    std::wstring read;  // read once the child's loader has set its parameters up
    for (int i = 0; i < 250 && read != narrowLine; ++i, ::Sleep(20))
      read = process::CommandLineFromProcessMemory(narrow.pi.hProcess);
    EXPECT_EQ(read, narrowLine);
    EXPECT_EQ(process::ProcessCommandLine(narrow.pi.hProcess), narrowLine);
  }
  // A 64-bit process seen from the 32-bit build: its line where the system lets it be read, else
  // an empty cell, never another text.
  const int services = wt::FindRow(t.list, Tab::kName, L"services.exe");
  if (services >= 0) {
    const std::wstring shown = t.list.GetItemText(services, 10);
    EXPECT_TRUE(shown.empty() || shown.find(L"services.exe") != std::wstring::npos) << shown.size();
  }
}
