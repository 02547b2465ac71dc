// The add-startup-item dialog driven through the page: Add's enabling, Browse with the file
// dialog answered by the test, the close box and Escape, and the value the page writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/filedialog.h"

namespace {
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUserRun = L"HKEY_CURRENT_USER\\" + kRun;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

// Answers the file dialog with a path (or a cancel) and records what it was asked.
struct FileAnswer {
  std::wstring filter, title;
  int asked = 0;
  FileAnswer(bool choose, std::wstring path) {
    ui::SetFileDialogHook([this, choose, path](const std::wstring& f, const std::wstring& t, std::wstring& out) {
      ++asked;
      filter = f;
      title = t;
      if (choose) out = path;
      return choose;
    });
  }
  ~FileAnswer() { ui::SetFileDialogHook(nullptr); }
};

std::wstring EditText(HWND dialog, int id) {
  wchar_t buf[512] = {};
  ::GetDlgItemTextW(dialog, id, buf, 512);
  return buf;
}

bool UserRunHas(const std::wstring& name) { return rt::ValueExists(HKEY_CURRENT_USER, kRun, k64, name); }

struct Page {
  wt::MainDialog main;
  CAutorunPage& page() { return main.dlg().m_autorunPage; }
  const ui::CListCtrl& list() { return page().List(); }
  Page() { main.SelectTab(3); }
  // Opens the add dialog from the menu of row 0, or from a marker row when the list is empty.
  void Add() {
    if (list().GetItemCount() == 0) list().InsertItem(0, L"marker");
    wt::RunRowCommand(page().GetSafeHwnd(), list(), 0, IDM_AUTORUN_ADD);
  }
};
}  // namespace

TEST(AutorunAdd, AddIsEnabledByTheEditThatChangedLast) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  std::vector<bool> states;
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));  // starts disabled
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Typed");
    states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\typed.exe");
    states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"");  // cleared: disabled although a path is there
    states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\typed2.exe");  // the path decides now
    states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"");
    states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
  });
  Page p;
  p.Add();
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(states, (std::vector<bool>{false, true, true, false, true, false}));
  EXPECT_FALSE(UserRunHas(L"WardletT Typed"));
}

TEST(AutorunAdd, AnAddedValueGoesToTheUsersRunKeyAndIsListedFirst) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  rt::TestKey machineRun(HKEY_LOCAL_MACHINE, kRun);
  // A machine entry makes sure there is a later group for the new row to come before.
  rt::TestValue machine(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT Machine", REG_SZ, rt::SzData(L"C:\\m.exe"));
  rt::TestValue added(HKEY_CURRENT_USER, kRun, k64, L"WardletT Added", REG_SZ, rt::SzData(L"placeholder"));
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Added");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\wt dir\\added.exe /q");
    rt::PostClick(d, IDC_AUTORUN_ADD);
  });
  Page p;
  { // the name exists already: it is overwritten, and its row shows the new data
    DWORD type = 0;
    std::vector<BYTE> data;
    p.Add();
    ASSERT_TRUE(rt::ReadValue(HKEY_CURRENT_USER, kRun, k64, L"WardletT Added", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, rt::SzData(L"C:\\wt dir\\added.exe /q"));
  }
  const ui::CListCtrl& list = p.list();
  int row = rt::RowWith(list, 1, L"WardletT Added", 2, kUserRun);
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.GetItemText(row, 3), L"C:\\wt dir\\added.exe ");
  for (int r = 0; r < row; ++r) EXPECT_EQ(list.GetItemText(r, 2), kUserRun);
  EXPECT_LT(row, rt::RowWith(list, 1, L"WardletT Machine", 2, L"HKEY_LOCAL_MACHINE\\" + kRun));
}

TEST(AutorunAdd, BrowseFillsThePathAndEnablesAddEvenWithoutAName) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  FileAnswer answer(true, L"C:\\Tools\\wt app.exe");
  std::wstring pathAfter, nameAfter;
  bool enabled = false;
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_AUTORUN_BROWSE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(d, IDC_AUTORUN_BROWSE)));
    pathAfter = EditText(d, IDC_AUTORUN_PATH);
    nameAfter = EditText(d, IDC_AUTORUN_NAME);
    enabled = rt::IsEnabled(d, IDC_AUTORUN_ADD);
    rt::PostClick(d, IDC_AUTORUN_ADD);  // ends with IDOK, but without a name nothing is written
  });
  wt::MessageLog messages;
  Page p;
  const std::vector<std::wstring> valuesBefore = rt::ValueNames(HKEY_CURRENT_USER, kRun, k64);
  p.list().InsertItem(0, L"marker");
  const int rows = p.list().GetItemCount();
  p.Add();
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(answer.filter, L"可执行文件(.exe;bat;*.cmd;*.vbs)|*.exe;*.bat;*.cmd;*.vbs||");
  EXPECT_EQ(answer.title, L"请选择一个可执行文件");
  EXPECT_EQ(pathAfter, L"C:\\Tools\\wt app.exe");
  EXPECT_EQ(nameAfter, L"");
  EXPECT_TRUE(enabled);
  EXPECT_TRUE(messages.entries.empty());
  // Nothing written and no refresh: the marker row is still there.
  EXPECT_EQ(rt::ValueNames(HKEY_CURRENT_USER, kRun, k64), valuesBefore);
  EXPECT_EQ(p.list().GetItemCount(), rows);
  EXPECT_EQ(p.list().GetItemText(0, 0), L"marker");
}

TEST(AutorunAdd, CancelledBrowseWarnsAndDisablesAddButKeepsThePath) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  FileAnswer answer(false, L"");
  std::wstring pathAfter;
  bool enabledBefore = false, enabledAfter = true, enabledRetyped = false;
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Cancelled");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\kept.exe");
    enabledBefore = rt::IsEnabled(d, IDC_AUTORUN_ADD);
    ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_AUTORUN_BROWSE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(d, IDC_AUTORUN_BROWSE)));
    enabledAfter = rt::IsEnabled(d, IDC_AUTORUN_ADD);
    pathAfter = EditText(d, IDC_AUTORUN_PATH);
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Cancelled2");
    enabledRetyped = rt::IsEnabled(d, IDC_AUTORUN_ADD);
    rt::PostEscape(d);
  });
  wt::MessageLog messages;
  Page p;
  p.Add();
  EXPECT_TRUE(enabledBefore);
  EXPECT_FALSE(enabledAfter);
  EXPECT_TRUE(enabledRetyped);
  EXPECT_EQ(pathAfter, L"C:\\kept.exe");
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, L"可执行文件路径不能为空!");
  EXPECT_EQ(messages.entries[0].caption, L"提示");
  EXPECT_EQ(messages.entries[0].style, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_FALSE(UserRunHas(L"WardletT Cancelled2"));
}

TEST(AutorunAdd, EscapeAndTheCloseBoxWriteNothing) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  rt::TestValue guard(HKEY_CURRENT_USER, kRun, k64, L"WardletT Closed", REG_SZ, rt::SzData(L"x"));
  bool useCloseBox = false;
  // After the key or the close box, a click on Add waits in the queue: it writes the value should
  // the dialog still be open when it arrives.
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Closed");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\closed.exe");
    if (useCloseBox)
      ::SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
      rt::PostEscape(d);
    rt::PostClick(d, IDC_AUTORUN_ADD);
  });
  Page p;
  auto written = [] {
    DWORD type = 0;
    std::vector<BYTE> data;
    return rt::ReadValue(HKEY_CURRENT_USER, kRun, k64, L"WardletT Closed", type, data) &&
           data == rt::SzData(L"C:\\closed.exe");
  };
  p.Add();
  EXPECT_FALSE(written());
  useCloseBox = true;
  p.Add();
  EXPECT_FALSE(written());
  EXPECT_EQ(driver.opened, 2);
}
