// The add-startup-item dialog driven through the page: Add's enabling, Browse with the file
// dialog answered by the test, the close box and Escape, and the value the page writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

namespace {
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUserRun = L"HKEY_CURRENT_USER\\" + kRun;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

bool UserRunHas(const std::wstring& name) { return rt::ValueExists(HKEY_CURRENT_USER, kRun, k64, name); }

struct Page : wt::PageTab<CAutorunPage> {
  Page() : PageTab(&CWardletDlg::m_autorunPage, 3) {}
  // Opens the add dialog from the menu of row 0, or from a marker row when the list is empty.
  void Add() {
    if (list.GetItemCount() == 0) list.InsertItem(0, L"marker");
    Run(0, IDM_AUTORUN_ADD);
  }
};
}  // namespace

// Add is enabled by the edit that changed last; an added value goes to the user's Run key, over a
// value of that name, and is listed first.
TEST(AutorunAdd, AddFollowsTheEditThatChangedLastAndAnAddedValueIsListedFirst) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun), machineRun(HKEY_LOCAL_MACHINE, kRun);
  // A machine entry makes sure there is a later group for the new row to come before.
  rt::TestValue machine(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT Machine", REG_SZ, rt::SzData(L"C:\\m.exe"));
  rt::TestValue added(HKEY_CURRENT_USER, kRun, k64, L"WardletT Added", REG_SZ, rt::SzData(L"placeholder"));
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
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Added");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\wt dir\\added.exe /q");
    rt::PostClick(d, IDC_AUTORUN_ADD);
  });
  Page p;
  p.Add();
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(states, (std::vector<bool>{false, true, true, false, true, false}));
  EXPECT_FALSE(UserRunHas(L"WardletT Typed"));
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(rt::ReadValue(HKEY_CURRENT_USER, kRun, k64, L"WardletT Added", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, rt::SzData(L"C:\\wt dir\\added.exe /q"));
  const ui::CListCtrl& list = p.list;
  int row = rt::RowWith(list, 1, L"WardletT Added", 2, kUserRun);
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.GetItemText(row, 3), L"C:\\wt dir\\added.exe ");
  for (int r = 0; r < row; ++r) EXPECT_EQ(list.GetItemText(r, 2), kUserRun);
  EXPECT_LT(row, rt::RowWith(list, 1, L"WardletT Machine", 2, L"HKEY_LOCAL_MACHINE\\" + kRun));
}

TEST(AutorunAdd, BrowseFillsThePathAndEnablesAddEvenWithoutAName) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  wt::FileAnswer answer(L"C:\\Tools\\wt app.exe");
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    rt::Click(d, IDC_AUTORUN_BROWSE);
    EXPECT_EQ(rt::ItemText(d, IDC_AUTORUN_PATH), L"C:\\Tools\\wt app.exe");
    EXPECT_EQ(rt::ItemText(d, IDC_AUTORUN_NAME), L"");
    EXPECT_TRUE(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::PostClick(d, IDC_AUTORUN_ADD);  // ends with IDOK, but without a name nothing is written
  });
  wt::MessageLog messages;
  Page p;
  const std::vector<std::wstring> valuesBefore = rt::ValueNames(HKEY_CURRENT_USER, kRun, k64);
  p.list.InsertItem(0, L"marker");
  const int rows = p.list.GetItemCount();
  p.Add();
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(answer.asked, 1);
  EXPECT_EQ(answer.filter, L"可执行文件(.exe;bat;*.cmd;*.vbs)|*.exe;*.bat;*.cmd;*.vbs||");
  EXPECT_EQ(answer.title, L"请选择一个可执行文件");
  EXPECT_TRUE(messages.entries.empty());
  // Nothing written and no refresh: the marker row is still there.
  EXPECT_EQ(rt::ValueNames(HKEY_CURRENT_USER, kRun, k64), valuesBefore);
  EXPECT_EQ(p.list.GetItemCount(), rows);
  EXPECT_EQ(p.list.GetItemText(0, 0), L"marker");
}

TEST(AutorunAdd, CancelledBrowseWarnsAndDisablesAddButKeepsThePath) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  wt::FileAnswer answer(std::nullopt);
  wt::MessageLog messages;
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Cancelled");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\kept.exe");
    EXPECT_TRUE(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::Click(d, IDC_AUTORUN_BROWSE);
    EXPECT_EQ(messages.entries, wt::Shown(d, L"可执行文件路径不能为空!", L"提示", MB_ICONEXCLAMATION));
    EXPECT_FALSE(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    EXPECT_EQ(rt::ItemText(d, IDC_AUTORUN_PATH), L"C:\\kept.exe");
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Cancelled2");
    EXPECT_TRUE(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::PostEscape(d);
  });
  Page p;
  p.Add();
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(messages.entries.size(), 1u);
  EXPECT_FALSE(UserRunHas(L"WardletT Cancelled2"));
}

TEST(AutorunAdd, EscapeAndTheCloseBoxWriteNothing) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  rt::TestValue guard(HKEY_CURRENT_USER, kRun, k64, L"WardletT Closed", REG_SZ, rt::SzData(L"x"));
  bool closeBox = false;
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Closed");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\closed.exe");
    rt::CloseWithClickQueued(d, closeBox, IDC_AUTORUN_ADD);
  });
  Page p;
  for (bool box : {false, true}) {
    closeBox = box;
    p.Add();
    EXPECT_EQ(rt::ReadString(HKEY_CURRENT_USER, kRun, L"WardletT Closed"), L"x") << box;
  }
  EXPECT_EQ(driver.opened, 2);
}
