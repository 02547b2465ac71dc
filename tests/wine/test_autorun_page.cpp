// The startup-item page: rows of the Run keys of both roots and both registry views, their order
// and texts, exact deletion, messages and the shell actions of the row menu.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shell_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

using namespace std::string_literals;

namespace {
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kRunOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::wstring kWowRun = L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUserRun = L"HKEY_CURRENT_USER\\" + kRun;
const std::wstring kUserRunOnce = L"HKEY_CURRENT_USER\\" + kRunOnce;
const std::wstring kMachineRun = L"HKEY_LOCAL_MACHINE\\" + kRun;
constexpr REGSAM k64 = KEY_WOW64_64KEY;
constexpr REGSAM k32 = KEY_WOW64_32KEY;

// Position of a registry-path cell in listing order: the six keys, each in its own and then its
// WOW6432Node form; -1 for any other text.
int KeyOrder(const std::wstring& path) {
  const wchar_t* names[] = {L"Run", L"RunOnce", L"Run", L"RunOnce", L"RunServices", L"RunServicesOnce"};
  for (int i = 0; i < 6; ++i) {
    std::wstring root = i < 2 ? L"HKEY_CURRENT_USER\\Software\\" : L"HKEY_LOCAL_MACHINE\\Software\\";
    std::wstring rest = L"Microsoft\\Windows\\CurrentVersion\\" + std::wstring(names[i]);
    if (path == root + rest) return 2 * i;
    if (path == root + L"WOW6432Node\\" + rest) return 2 * i + 1;
  }
  return -1;
}

std::vector<BYTE> Bytes(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

struct Page {
  wt::MainDialog main;
  CAutorunPage& page() { return main.dlg().m_autorunPage; }
  const ui::CListCtrl& list() { return page().List(); }
  Page() { main.SelectTab(3); }
  void Run(int row, UINT command, wt::MenuChooser* seen = nullptr) {
    wt::RunRowCommand(page().GetSafeHwnd(), list(), row, command, seen);
  }
};
}  // namespace

TEST(AutorunPage, ListsEveryKindOfValueWithItsTextsInKeyOrder) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun), userRunOnce(HKEY_CURRENT_USER, kRunOnce);
  rt::TestKey machineRun(HKEY_LOCAL_MACHINE, kRun);
  const std::wstring longData = L"C:\\" + std::wstring(160, L'L') + L"\\long.exe";  // 332 bytes
  const std::wstring longName = L"WardletT Name" + std::wstring(1987, L'N');        // 2,000 characters
  ASSERT_EQ(longName.size(), 2000u);
  rt::TestValue plain(HKEY_CURRENT_USER, kRun, k64, L"WardletT Plain", REG_SZ,
                      rt::SzData(L"\"C:\\Program Files\\App\\app.exe\" /min"));
  rt::TestValue expand(HKEY_CURRENT_USER, kRun, k64, L"WardletT Expand", REG_EXPAND_SZ,
                       rt::SzData(L"%SystemRoot%\\system32\\wt.exe -boot"));
  rt::TestValue longLine(HKEY_CURRENT_USER, kRun, k64, L"WardletT Long", REG_SZ, rt::SzData(longData));
  rt::TestValue longNamed(HKEY_CURRENT_USER, kRun, k64, longName, REG_SZ, rt::SzData(L"C:\\n.exe"));
  rt::TestValue hidden(HKEY_CURRENT_USER, kRun, k64, L"\0WardletT Hidden"s, REG_SZ, rt::SzData(L"C:\\hidden.exe"));
  rt::TestValue binary(HKEY_CURRENT_USER, kRun, k64, L"WardletT Binary", REG_BINARY, Bytes("C:\\bin.exe\0junk"s));
  rt::TestValue dword(HKEY_CURRENT_USER, kRun, k64, L"WardletT Dword", REG_DWORD, Bytes("12\0\0"s));
  rt::TestValue unterminated(HKEY_CURRENT_USER, kRun, k64, L"WardletT Unterminated", REG_SZ,
                             Bytes("C\0:\0\\\0u\0"s));
  rt::TestValue defaultValue(HKEY_CURRENT_USER, kRunOnce, k64, L"", REG_SZ, rt::SzData(L"C:\\default.exe"));
  rt::TestValue twinUser(HKEY_CURRENT_USER, kRun, k64, L"WardletT Twin", REG_SZ, rt::SzData(L"C:\\twin-user.exe"));
  rt::TestValue twinMachine(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT Twin", REG_SZ,
                            rt::SzData(L"C:\\twin-machine.exe -q"));
  ASSERT_TRUE(hidden.written() && longNamed.written() && twinMachine.written());

  Page p;
  const ui::CListCtrl& list = p.list();
  auto expectRow = [&](const std::wstring& name, const std::wstring& path, const std::wstring& file) {
    std::vector<int> rows = rt::RowsWith(list, 1, name);
    int found = 0;
    for (int r : rows)
      if (list.GetItemText(r, 2) == path) {
        ++found;
        EXPECT_EQ(list.GetItemText(r, 3), file) << std::string(name.begin(), name.end());
      }
    EXPECT_EQ(found, 1) << std::string(name.begin(), name.end());
  };
  expectRow(L"WardletT Plain", kUserRun, L"C:\\Program Files\\App\\app.exe ");
  expectRow(L"WardletT Expand", kUserRun, L"%SystemRoot%\\system32\\wt.exe ");
  expectRow(L"WardletT Long", kUserRun, longData);
  expectRow(longName, kUserRun, L"C:\\n.exe");
  expectRow(L"\\0WardletT Hidden", kUserRun, L"C:\\hidden.exe");
  expectRow(L"WardletT Binary", kUserRun, L"C:\\bin.exe");
  expectRow(L"WardletT Dword", kUserRun, L"12");
  expectRow(L"WardletT Unterminated", kUserRun, L"C:\\u");
  expectRow(L"", kUserRunOnce, L"C:\\default.exe");
  expectRow(L"WardletT Twin", kUserRun, L"C:\\twin-user.exe");
  expectRow(L"WardletT Twin", kMachineRun, L"C:\\twin-machine.exe ");

  // Numbers run 1, 2, 3 without gaps; keys come in listing order; within a key the rows follow
  // the registry's enumeration order.
  int lastOrder = 0;
  std::vector<std::wstring> userRunCells;
  for (int r = 0, n = list.GetItemCount(); r < n; ++r) {
    EXPECT_EQ(list.GetItemText(r, 0), std::to_wstring(r + 1));
    int order = KeyOrder(list.GetItemText(r, 2));
    ASSERT_GE(order, lastOrder) << "row " << r;
    lastOrder = order;
    if (order == 0) userRunCells.push_back(list.GetItemText(r, 1));
  }
  std::vector<std::wstring> expected;
  for (const auto& name : rt::ValueNames(HKEY_CURRENT_USER, kRun, k64)) {
    std::wstring cell;
    for (wchar_t c : name) cell += c == L'\0' ? std::wstring(L"\\0") : std::wstring(1, c);
    expected.push_back(cell);
  }
  EXPECT_EQ(userRunCells, expected);
}

TEST(AutorunPage, DeleteRemovesExactlyTheRowsOwnValue) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun), machineRun(HKEY_LOCAL_MACHINE, kRun);
  const std::wstring longName = std::wstring(1990, L'D') + L"WardletT D";
  const std::wstring hiddenName = L"\0WardletT Hidden"s;
  const std::wstring nulInside = L"WardletT a\0b"s;
  const std::wstring backslashZero = L"WardletT a\\0b";
  rt::TestValue twinUser(HKEY_CURRENT_USER, kRun, k64, L"WardletT Twin", REG_SZ, rt::SzData(L"C:\\u.exe"));
  rt::TestValue twinMachine(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT Twin", REG_SZ, rt::SzData(L"C:\\m.exe"));
  rt::TestValue hidden(HKEY_CURRENT_USER, kRun, k64, hiddenName, REG_SZ, rt::SzData(L"C:\\h.exe"));
  rt::TestValue visible(HKEY_CURRENT_USER, kRun, k64, L"WardletT Hidden", REG_SZ, rt::SzData(L"C:\\v.exe"));
  rt::TestValue nul(HKEY_CURRENT_USER, kRun, k64, nulInside, REG_SZ, rt::SzData(L"C:\\nul.exe"));
  rt::TestValue literal(HKEY_CURRENT_USER, kRun, k64, backslashZero, REG_SZ, rt::SzData(L"C:\\lit.exe"));
  rt::TestValue longNamed(HKEY_CURRENT_USER, kRun, k64, longName, REG_SZ, rt::SzData(L"C:\\long.exe"));
  wt::MessageLog messages;
  Page p;
  const ui::CListCtrl& list = p.list();
  auto exists = [](HKEY root, const std::wstring& name) { return rt::ValueExists(root, kRun, k64, name); };

  p.Run(rt::RowWith(list, 1, L"WardletT Twin", 2, kMachineRun), IDM_AUTORUN_DELETE);
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, L"WardletT Twin"));
  EXPECT_TRUE(exists(HKEY_CURRENT_USER, L"WardletT Twin"));
  EXPECT_EQ(rt::RowsWith(list, 1, L"WardletT Twin").size(), 1u);

  int row = rt::RowWith(list, 1, L"\\0WardletT Hidden", 2, kUserRun);
  ASSERT_GE(row, 0);
  p.Run(row, IDM_AUTORUN_DELETE);
  EXPECT_FALSE(exists(HKEY_CURRENT_USER, hiddenName));
  EXPECT_TRUE(exists(HKEY_CURRENT_USER, L"WardletT Hidden"));
  EXPECT_TRUE(rt::RowsWith(list, 1, L"\\0WardletT Hidden").empty());

  // A literal backslash-zero and a NUL look alike only until the cell escapes the backslash.
  int literalRow = rt::RowWith(list, 1, L"WardletT a\\\\0b", 2, kUserRun);
  ASSERT_GE(literalRow, 0);
  ASSERT_GE(rt::RowWith(list, 1, L"WardletT a\\0b", 2, kUserRun), 0);
  p.Run(literalRow, IDM_AUTORUN_DELETE);
  EXPECT_FALSE(exists(HKEY_CURRENT_USER, backslashZero));
  EXPECT_TRUE(exists(HKEY_CURRENT_USER, nulInside));
  p.Run(rt::RowWith(list, 1, L"WardletT a\\0b", 2, kUserRun), IDM_AUTORUN_DELETE);
  EXPECT_FALSE(exists(HKEY_CURRENT_USER, nulInside));

  p.Run(rt::RowWith(list, 1, longName, 2, kUserRun), IDM_AUTORUN_DELETE);
  EXPECT_FALSE(exists(HKEY_CURRENT_USER, longName));
  EXPECT_TRUE(exists(HKEY_CURRENT_USER, L"WardletT Hidden"));
  EXPECT_TRUE(messages.entries.empty());
}

TEST(AutorunPage, DeleteReportsAKeyItCannotOpenAndAValueItCannotDelete) {
  wt::MessageLog messages;
  Page p;
  const ui::CListCtrl& list = p.list();
  auto fakeRow = [&](const std::wstring& name, const std::wstring& path) {
    int row = list.InsertItem(0, L"0");
    list.SetItemText(row, 1, name);
    list.SetItemText(row, 2, path);
    return row;
  };
  p.Run(fakeRow(L"x", L"HKEY_USERS\\.DEFAULT\\" + kRun), IDM_AUTORUN_DELETE);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, L"注册表打开失败");
  EXPECT_EQ(messages.entries[0].caption, L"错误");
  EXPECT_EQ(messages.entries[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(messages.entries[0].owner, p.page().GetSafeHwnd());
  EXPECT_TRUE(rt::RowsWith(list, 0, L"0").empty());  // refreshed after the failure

  p.Run(fakeRow(L"x", L"HKEY_CURRENT_USER\\Software\\WardletT no such key"), IDM_AUTORUN_DELETE);
  ASSERT_EQ(messages.entries.size(), 2u);
  EXPECT_EQ(messages.entries[1].text, L"注册表打开失败");

  p.Run(fakeRow(L"WardletT no such value", kUserRun), IDM_AUTORUN_DELETE);
  ASSERT_EQ(messages.entries.size(), 3u);
  EXPECT_EQ(messages.entries[2].text, L"删除失败!");
  EXPECT_EQ(messages.entries[2].caption, L"错误");
  EXPECT_EQ(messages.entries[2].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(rt::RowsWith(list, 0, L"0").empty());
}

TEST(AutorunPage, ListsBothRegistryViewsEachKeyOnce) {
  rt::TestKey machineRun64(HKEY_LOCAL_MACHINE, kRun, k64), machineRun32(HKEY_LOCAL_MACHINE, kRun, k32);
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  const bool machineShared = rt::SharedBetweenViews(HKEY_LOCAL_MACHINE, kRun);
  const bool userShared = rt::SharedBetweenViews(HKEY_CURRENT_USER, kRun);
  const std::wstring path32 = machineShared ? kMachineRun : L"HKEY_LOCAL_MACHINE\\" + kWowRun;
  rt::TestValue v64(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT View64", REG_SZ, rt::SzData(L"C:\\v64.exe"));
  rt::TestValue v32(HKEY_LOCAL_MACHINE, kRun, k32, L"WardletT View32", REG_SZ, rt::SzData(L"C:\\v32.exe"));
  rt::TestValue both64(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT Both", REG_SZ, rt::SzData(L"C:\\b64.exe"));
  rt::TestValue both32(HKEY_LOCAL_MACHINE, kRun, k32, L"WardletT Both", REG_SZ, rt::SzData(L"C:\\b32.exe"));
  rt::TestValue user32(HKEY_CURRENT_USER, kRun, k32, L"WardletT UserView", REG_SZ, rt::SzData(L"C:\\u.exe"));
  Page p;
  const ui::CListCtrl& list = p.list();

  ASSERT_EQ(rt::RowsWith(list, 1, L"WardletT View64").size(), 1u);
  EXPECT_EQ(list.GetItemText(rt::RowsWith(list, 1, L"WardletT View64")[0], 2), kMachineRun);
  ASSERT_EQ(rt::RowsWith(list, 1, L"WardletT View32").size(), 1u);
  EXPECT_EQ(list.GetItemText(rt::RowsWith(list, 1, L"WardletT View32")[0], 2), path32);
  EXPECT_EQ(rt::RowsWith(list, 1, L"WardletT UserView").size(), userShared ? 1u : 2u);
  EXPECT_GE(rt::RowWith(list, 1, L"WardletT UserView", 2, kUserRun), 0);

  if (machineShared) {  // one key: the later write replaced the earlier
    ASSERT_EQ(rt::RowsWith(list, 1, L"WardletT Both").size(), 1u);
    EXPECT_EQ(list.GetItemText(rt::RowsWith(list, 1, L"WardletT Both")[0], 3), L"C:\\b32.exe");
    return;
  }
  int row32 = rt::RowWith(list, 1, L"WardletT Both", 2, path32);
  ASSERT_GE(row32, 0);
  EXPECT_EQ(list.GetItemText(row32, 3), L"C:\\b32.exe");
  EXPECT_LT(rt::RowWith(list, 1, L"WardletT Both", 2, kMachineRun), row32);
  p.Run(row32, IDM_AUTORUN_DELETE);
  EXPECT_FALSE(rt::ValueExists(HKEY_LOCAL_MACHINE, kRun, k32, L"WardletT Both"));
  EXPECT_TRUE(rt::ValueExists(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT Both"));
  p.Run(rt::RowsWith(list, 1, L"WardletT View32")[0], IDM_AUTORUN_DELETE);
  EXPECT_FALSE(rt::ValueExists(HKEY_LOCAL_MACHINE, kRun, k32, L"WardletT View32"));
  EXPECT_TRUE(rt::ValueExists(HKEY_LOCAL_MACHINE, kRun, k64, L"WardletT View64"));
}

TEST(AutorunPage, MenuOpensOnRowsOnlyAndHandsCellsToTheShell) {
  rt::TestKey userRun(HKEY_CURRENT_USER, kRun);
  rt::TestKey regedit(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit");
  const std::wstring regeditKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
  rt::TestValue lastKey(HKEY_CURRENT_USER, regeditKey, k64, L"Lastkey", REG_SZ, rt::SzData(L"before"));
  rt::TestValue value(HKEY_CURRENT_USER, kRun, k64, L"WardletT a b&c", REG_SZ,
                      rt::SzData(L"\"C:\\Program Files\\W T\\wt.exe\" /tray"));
  wt::MessageLog messages;
  wt::ShellLog shell;
  Page p;
  const ui::CListCtrl& list = p.list();
  const int row = rt::RowWith(list, 1, L"WardletT a b&c", 2, kUserRun);
  ASSERT_GE(row, 0);
  const std::wstring file = L"C:\\Program Files\\W T\\wt.exe ";
  ASSERT_EQ(list.GetItemText(row, 3), file);

  {
    wt::MenuChooser chooser;
    wt::RightClickRow(p.page().GetSafeHwnd(), list, -1);
    EXPECT_EQ(chooser.opened, 0);
    p.Run(row, 0, &chooser);
    EXPECT_EQ(chooser.opened, 1);
    EXPECT_EQ(chooser.lastMenuId, static_cast<UINT>(IDR_MENU_AUTORUN));
    EXPECT_EQ(chooser.items.size(), 8u);
    EXPECT_TRUE(chooser.greyed.empty());
  }
  p.Run(row, IDM_AUTORUN_LOCATE);
  p.Run(row, IDM_AUTORUN_PROPERTIES);
  p.Run(row, IDM_AUTORUN_SEARCH);
  p.Run(row, IDM_AUTORUN_REGEDIT);
  ASSERT_EQ(shell.requests.size(), 4u);
  EXPECT_EQ(shell.requests[0].file, L"Explorer.exe");
  EXPECT_EQ(shell.requests[0].parameters, common::ExplorerSelectArgument(file));
  EXPECT_EQ(shell.requests[0].show, SW_SHOWDEFAULT);
  EXPECT_TRUE(shell.requests[1].properties);
  EXPECT_EQ(shell.requests[1].file, file);
  EXPECT_EQ(shell.requests[2].file, common::SearchAddress(L"WardletT a b&c"));
  EXPECT_EQ(shell.requests[3].file, L"Regedit.exe");
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(rt::ReadValue(HKEY_CURRENT_USER, regeditKey, k64, L"Lastkey", type, data));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), kUserRun);
  EXPECT_TRUE(messages.entries.empty());

  auto clipboardText = [] {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return text;
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
      if (auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
        text = p;
        ::GlobalUnlock(h);
      }
    }
    ::CloseClipboard();
    return text;
  };
  p.Run(row, IDM_AUTORUN_COPY_PATH);
  EXPECT_EQ(clipboardText(), file);
  p.Run(row, IDM_AUTORUN_COPY_KEY);
  EXPECT_EQ(clipboardText(), kUserRun);
  ASSERT_EQ(messages.entries.size(), 2u);
  for (const auto& m : messages.entries) {
    EXPECT_EQ(m.text, L"文件路径已复制到剪贴板!");
    EXPECT_EQ(m.caption, L"提示");
  }
}
