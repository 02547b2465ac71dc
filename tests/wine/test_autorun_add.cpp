// The add-startup-item dialog driven through the page: Add's enabling, Browse with the file
// dialog answered by the test, the close box and Escape, and the value the page writes.
#include <gtest/gtest.h>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

namespace {
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUserRun = L"HKEY_CURRENT_USER\\" + kRun;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

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
    const std::pair<int, const wchar_t*> edits[] = {{IDC_AUTORUN_NAME, L"WardletT Typed"},
                                                    {IDC_AUTORUN_PATH, L"C:\\typed.exe"},
                                                    {IDC_AUTORUN_NAME, L""},  // though a path is there
                                                    {IDC_AUTORUN_PATH, L"C:\\typed2.exe"},
                                                    {IDC_AUTORUN_PATH, L""}};
    states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    for (const auto& [id, text] : edits) {
      rt::SetEditText(d, id, text);
      states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    }
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Added");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\wt dir\\added.exe /q");
    rt::PostClick(d, IDC_AUTORUN_ADD);
  });
  Page p;
  p.Add();
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(states, (std::vector<bool>{false, true, true, false, true, false}));
  EXPECT_FALSE(rt::ValueExists(HKEY_CURRENT_USER, kRun, k64, L"WardletT Typed"));
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(rt::ReadValue(HKEY_CURRENT_USER, kRun, k64, L"WardletT Added", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, rt::SzData(L"C:\\wt dir\\added.exe /q"));
  int row = rt::RowWith(p.list, 1, L"WardletT Added", 2, kUserRun);
  ASSERT_GE(row, 0);
  EXPECT_EQ(p.list.GetItemText(row, 3), L"C:\\wt dir\\added.exe ");
  for (int r = 0; r < row; ++r) EXPECT_EQ(p.list.GetItemText(r, 2), kUserRun);
  EXPECT_LT(row, rt::RowWith(p.list, 1, L"WardletT Machine", 2, L"HKEY_LOCAL_MACHINE\\" + kRun));
}

// A cancelled Browse warns and disables Add but keeps the path; a chosen file fills the path and
// enables Add even without a name, but without a name Add writes nothing and refreshes nothing.
TEST(AutorunAdd, BrowseFillsThePathOrWarnsWhenCancelled) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  wt::MessageLog messages;
  std::wstring filter, title;
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Cancelled");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\kept.exe");
    {
      wt::FileAnswer cancel(std::nullopt);
      rt::Click(d, IDC_AUTORUN_BROWSE);
      EXPECT_EQ(cancel.asked, 1);
    }
    EXPECT_EQ(messages.entries, wt::Shown(d, L"可执行文件路径不能为空!", L"提示", MB_ICONEXCLAMATION));
    EXPECT_FALSE(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    EXPECT_EQ(rt::ItemText(d, IDC_AUTORUN_PATH), L"C:\\kept.exe");
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"");
    wt::FileAnswer answer(L"C:\\Tools\\wt app.exe");
    rt::Click(d, IDC_AUTORUN_BROWSE);
    filter = answer.filter;
    title = answer.title;
    EXPECT_EQ(rt::ItemText(d, IDC_AUTORUN_PATH), L"C:\\Tools\\wt app.exe");
    EXPECT_TRUE(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::PostClick(d, IDC_AUTORUN_ADD);  // ends with IDOK
  });
  Page p;
  const std::vector<std::wstring> valuesBefore = rt::ValueNames(HKEY_CURRENT_USER, kRun, k64);
  p.list.InsertItem(0, L"marker");
  const int rows = p.list.GetItemCount();
  p.Add();
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(filter, L"可执行文件(.exe;bat;*.cmd;*.vbs)|*.exe;*.bat;*.cmd;*.vbs||");
  EXPECT_EQ(title, L"请选择一个可执行文件");
  EXPECT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(rt::ValueNames(HKEY_CURRENT_USER, kRun, k64), valuesBefore);
  EXPECT_EQ(p.list.GetItemCount(), rows);
  EXPECT_EQ(p.list.GetItemText(0, 0), L"marker");
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
