// The startup-item page: rows of the Run keys of both roots and both registry views, their order
// and texts, exact deletion, messages, the shell actions of the row menu, and the add dialog.
#include <gtest/gtest.h>

#include <memory>

#include "common/registry_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

using namespace std::string_literals;

namespace {
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUserRun = L"HKEY_CURRENT_USER\\" + kRun;
const std::wstring kMachineRun = L"HKEY_LOCAL_MACHINE\\" + kRun;
const HKEY kUser = HKEY_CURRENT_USER, kMachine = HKEY_LOCAL_MACHINE;
constexpr REGSAM k64 = KEY_WOW64_64KEY, k32 = KEY_WOW64_32KEY;

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

// The name cell of a value: each backslash doubled and each NUL written "\0".
std::wstring NameCell(const std::wstring& name) {
  std::wstring cell;
  for (wchar_t c : name) cell += c == L'\0' ? L"\\0" : c == L'\\' ? L"\\\\" : std::wstring(1, c);
  return cell;
}
std::wstring PathCell(HKEY root, const std::wstring& key = kRun) {
  return (root == kUser ? L"HKEY_CURRENT_USER\\" : L"HKEY_LOCAL_MACHINE\\") + key;
}

struct Page : wt::PageTab<CAutorunPage> {
  Page() : PageTab(&CWardletDlg::m_autorunPage, 3) {}
  // Opens the add dialog from the menu of row 0, or from a marker row when the list is empty.
  void Add() {
    if (list.GetItemCount() == 0) wt::AddRecord(page.Records(), wt::MarkerRecord(L"marker"));
    Run(0, IDM_AUTORUN_ADD);
  }
};
}  // namespace

// Every kind of value is listed once, with its texts, keys in listing order; each row deleted in
// turn takes its value and row, while a value like it in name or key stays. A key that cannot be
// opened and a value that cannot be deleted are reported, and the list refreshed.
TEST(AutorunPage, ListsEveryKindOfValueAndDeletesExactlyTheRowsOwn) {
  const std::wstring kRunOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  rt::TestKey userRun(kUser, kRun), userRunOnce(kUser, kRunOnce), machineRun(kMachine, kRun);
  const std::wstring longData = L"C:\\" + std::wstring(160, L'L') + L"\\long.exe";  // 332 bytes
  const std::wstring longName = L"WardletT Name" + std::wstring(1987, L'N');        // 2,000 characters
  const std::wstring hidden = L"\0WardletT Hidden"s, nulInside = L"WardletT a\0b"s, backslashZero = L"WardletT a\\0b";
  const struct {
    HKEY root;
    const std::wstring& key;
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
    std::wstring file;  // the file-path cell
  } values[] = {
      {kUser, kRun, L"WardletT Plain", REG_SZ, rt::SzData(L"\"C:\\Program Files\\App\\app.exe\" /min"),
       L"C:\\Program Files\\App\\app.exe"},
      {kUser, kRun, L"WardletT Expand", REG_EXPAND_SZ, rt::SzData(L"%SystemRoot%\\system32\\wt.exe -boot"),
       wt::WindowsProgram(L"system32\\wt.exe")},
      {kUser, kRun, L"WardletT Long", REG_SZ, rt::SzData(longData), longData},
      {kUser, kRun, longName, REG_SZ, rt::SzData(L"C:\\n.exe"), L"C:\\n.exe"},
      {kUser, kRun, hidden, REG_SZ, rt::SzData(L"C:\\hidden.exe"), L"C:\\hidden.exe"},
      {kUser, kRun, L"WardletT Hidden", REG_SZ, rt::SzData(L"C:\\visible.exe"), L"C:\\visible.exe"},
      {kUser, kRun, nulInside, REG_SZ, rt::SzData(L"C:\\nul.exe"), L"C:\\nul.exe"},
      {kUser, kRun, backslashZero, REG_SZ, rt::SzData(L"C:\\lit.exe"), L"C:\\lit.exe"},
      {kUser, kRun, L"WardletT Binary", REG_BINARY, Bytes("C:\\bin.exe\0junk"s), L"C:\\bin.exe"},
      {kUser, kRun, L"WardletT AfterNul", REG_SZ, rt::SzData(L"C:\\ok.exe\0C:\\evil.exe"s), L"C:\\ok.exe"},
      {kUser, kRun, L"WardletT Dword", REG_DWORD, Bytes("12\0\0"s), L"12"},
      {kUser, kRun, L"WardletT Unterminated", REG_SZ, Bytes("C\0:\0\\\0u\0"s), L"C:\\u"},
      // A space other than the C locale's blanks names another file: it is kept.
      {kUser, kRun, L"WardletT Disguised", REG_SZ, rt::SzData(L"C:\\w\\svchost.exe\u3000"),
       L"C:\\w\\svchost.exe\u3000"},
      {kUser, kRun, L"WardletT Blanks", REG_SZ, rt::SzData(L"C:\\w\\ctfmon.exe \t"), L"C:\\w\\ctfmon.exe"},
      {kUser, kRunOnce, L"", REG_SZ, rt::SzData(L"C:\\default.exe"), L"C:\\default.exe"},
      {kUser, kRun, L"WardletT Twin", REG_SZ, rt::SzData(L"C:\\twin-user.exe"), L"C:\\twin-user.exe"},
      {kMachine, kRun, L"WardletT Twin", REG_SZ, rt::SzData(L"C:\\twin-machine.exe -q"), L"C:\\twin-machine.exe"},
  };
  std::vector<std::unique_ptr<rt::TestValue>> written;
  for (const auto& v : values) {
    written.push_back(std::make_unique<rt::TestValue>(v.root, v.key, k64, v.name, v.type, v.data));
    ASSERT_TRUE(written.back()->written());
  }
  wt::MessageLog messages;
  Page p;
  const ui::CListCtrl& list = p.list;
  for (const auto& v : values) {  // exactly one row each, with the value's texts
    SCOPED_TRACE(NameCell(v.name).substr(0, 30));
    std::vector<int> rows = rt::RowsWith(list, 1, NameCell(v.name), 2, PathCell(v.root, v.key));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(list.GetItemText(rows[0], 3), v.file);
    EXPECT_EQ(list.GetItemText(rows[0], 4), common::RawDataText(v.type, v.data.data(), v.data.size()));
  }
  // The command-line column shows the data whole: text after a NUL, bytes of other types.
  EXPECT_EQ(list.GetItemText(rt::RowWith(list, 1, L"WardletT Binary", 2, kUserRun), 4),
            L"43 3A 5C 62 69 6E 2E 65 78 65 00 6A 75 6E 6B");
  EXPECT_EQ(list.GetItemText(rt::RowWith(list, 1, L"WardletT Plain", 2, kUserRun), 4),
            L"\"C:\\Program Files\\App\\app.exe\" /min");
  EXPECT_GE(rt::RowWith(list, 1, L"\\0WardletT Hidden", 2, kUserRun), 0);  // the NUL written visibly

  // Numbers run 1, 2, 3 without gaps; keys come in listing order; within a key the rows follow
  // the registry's enumeration order.
  int lastOrder = 0;
  std::vector<std::wstring> userRunCells, expected;
  bool others = false;  // the other locations follow the Run keys
  for (int r = 0, n = list.GetItemCount(); r < n; ++r) {
    EXPECT_EQ(list.GetItemText(r, 0), std::to_wstring(r + 1));
    int order = KeyOrder(list.GetItemText(r, 2));
    others = others || order < 0;
    if (others) {
      EXPECT_LT(order, 0) << "row " << r << " of a Run key after the other locations";
      continue;
    }
    ASSERT_GE(order, lastOrder) << "row " << r;
    lastOrder = order;
    if (order == 0) userRunCells.push_back(list.GetItemText(r, 1));
  }
  for (const auto& name : rt::ValueNames(kUser, kRun, k64)) expected.push_back(NameCell(name));
  EXPECT_EQ(userRunCells, expected);

  const struct { HKEY root; std::wstring name; HKEY keptRoot; std::wstring kept; } steps[] = {
      {kMachine, L"WardletT Twin", kUser, L"WardletT Twin"}, {kUser, hidden, kUser, L"WardletT Hidden"},
      {kUser, backslashZero, kUser, nulInside},              {kUser, nulInside, kUser, L"WardletT Hidden"},
      {kUser, longName, kUser, L"WardletT Hidden"}};
  for (const auto& s : steps) {
    SCOPED_TRACE(NameCell(s.name).substr(0, 30));
    p.Run(rt::RowWith(list, 1, NameCell(s.name), 2, PathCell(s.root)), IDM_AUTORUN_DELETE);
    EXPECT_FALSE(rt::ValueExists(s.root, kRun, k64, s.name));
    EXPECT_EQ(rt::RowsWith(list, 1, NameCell(s.name)).size(), s.name == s.kept ? 1u : 0u);
    EXPECT_TRUE(rt::ValueExists(s.keptRoot, kRun, k64, s.kept));
    EXPECT_EQ(rt::RowsWith(list, 1, NameCell(s.kept), 2, PathCell(s.keptRoot)).size(), 1u);
  }
  EXPECT_TRUE(messages.entries.empty());

  // Rows naming what is not there: a key under a root the page does not handle cannot be
  // opened; a missing key or value is refused as changed since the listing (empty message).
  const std::wstring cases[][3] = {  // name and key cells of a row put in by hand, the message
      {L"x", L"HKEY_USERS\\.DEFAULT\\" + kRun, L"注册表打开失败"},
      {L"x", L"HKEY_CURRENT_USER\\Software\\WardletT no such key", L""},
      {L"WardletT no such value", kUserRun, L""}};
  for (const auto& c : cases) {
    auto fake = std::make_shared<autorun::AutorunRecord>();
    fake->cells = {L"0", c[0], c[1], L"", L""};
    fake->key = L"fake";
    const common::KeyPathParts parts = common::SplitKeyPath(c[1]);
    fake->entry.name = fake->entry.valueName = c[0];
    fake->entry.location = c[1];
    fake->entry.root = parts.root;
    fake->entry.key = parts.key;
    wt::AddRecord(p.page.Records(), fake);
    const int row = wt::FindRow(list, 0, L"0");
    ASSERT_GE(row, 0);
    messages.entries.clear();
    p.Run(row, IDM_AUTORUN_DELETE);
    if (!c[2].empty()) {
      EXPECT_EQ(messages.entries, wt::Shown(p.page, c[2], L"错误", MB_ICONERROR)) << c[1];
    } else {
      ASSERT_EQ(messages.entries.size(), 1u) << c[1];
      EXPECT_EQ(messages.entries[0].caption, L"提示");
      EXPECT_NE(messages.entries[0].text.find(L"没有执行任何操作"), std::wstring::npos);
    }
    EXPECT_TRUE(rt::RowsWith(list, 0, L"0").empty());
  }
}

// The file cell names the file Windows starts, not a drive root or a cut-off folder; the
// command-line cell shows the whole line; the shell actions take the file.
TEST(AutorunPage, FileCellNamesTheFileThatRunsAndTheCommandLineIsShownWhole) {
  wt::TempDir dir;
  const std::wstring folder = dir.path() + L"Microsoft -Update\\";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring svc = folder + L"svc.exe", evil = dir.path() + L"evil.exe";
  ASSERT_TRUE(wt::WriteText(svc, "x") && wt::WriteText(evil, "x"));
  std::wstring slashed = evil;
  for (wchar_t& c : slashed)
    if (c == L'\\') c = L'/';
  rt::TestKey userRun(kUser, kRun);
  const struct { std::wstring name, line, file; } cases[] = {
      {L"WardletT Dash", svc + L" -k netsvcs", svc},
      {L"WardletT Slash", slashed + L" /quiet", evil},
      {L"WardletT NoExe", evil.substr(0, evil.size() - 4) + L" -x", evil},  // ".exe" added as Windows adds it
      {L"WardletT Shell", L"cmd.exe /c start " + evil, wt::WindowsProgram(L"system32\\cmd.exe")},
  };
  std::vector<std::unique_ptr<rt::TestValue>> written;
  for (const auto& c : cases)
    written.push_back(std::make_unique<rt::TestValue>(kUser, kRun, k64, c.name, REG_SZ, rt::SzData(c.line)));
  wt::ShellLog shell;
  Page p;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int row = rt::RowWith(p.list, 1, c.name, 2, kUserRun);
    ASSERT_GE(row, 0);
    EXPECT_TRUE(wt::SamePath(p.list.GetItemText(row, 3), c.file)) << p.list.GetItemText(row, 3);
    EXPECT_EQ(p.list.GetItemText(row, 4), c.line);
  }
  p.Run(rt::RowWith(p.list, 1, L"WardletT Slash", 2, kUserRun), IDM_AUTORUN_PROPERTIES);
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].file, evil);
}

TEST(AutorunPage, ListsBothRegistryViewsEachKeyOnce) {
  rt::TestKey machineRun64(kMachine, kRun, k64), machineRun32(kMachine, kRun, k32), userRun(kUser, kRun);
  const bool machineShared = rt::SharedBetweenViews(kMachine, kRun);
  const bool userShared = rt::SharedBetweenViews(kUser, kRun);
  const std::wstring path32 = machineShared ? kMachineRun
                                            : L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\"
                                              L"CurrentVersion\\Run";
  rt::TestValue v64(kMachine, kRun, k64, L"WardletT View64", REG_SZ, rt::SzData(L"C:\\v64.exe"));
  rt::TestValue v32(kMachine, kRun, k32, L"WardletT View32", REG_SZ, rt::SzData(L"C:\\v32.exe"));
  rt::TestValue both64(kMachine, kRun, k64, L"WardletT Both", REG_SZ, rt::SzData(L"C:\\b64.exe"));
  rt::TestValue both32(kMachine, kRun, k32, L"WardletT Both", REG_SZ, rt::SzData(L"C:\\b32.exe"));
  rt::TestValue user32(kUser, kRun, k32, L"WardletT UserView", REG_SZ, rt::SzData(L"C:\\u.exe"));
  Page p;
  const ui::CListCtrl& list = p.list;
  auto keysOf = [&](const wchar_t* name) {  // the key cells of the name's rows, in list order
    std::vector<std::wstring> keys;
    for (int r : rt::RowsWith(list, 1, name)) keys.push_back(list.GetItemText(r, 2));
    return keys;
  };
  using Keys = std::vector<std::wstring>;
  EXPECT_EQ(keysOf(L"WardletT View64"), Keys{kMachineRun});
  EXPECT_EQ(keysOf(L"WardletT View32"), Keys{path32});
  EXPECT_EQ(keysOf(L"WardletT UserView").size(), userShared ? 1u : 2u);
  EXPECT_GE(rt::RowWith(list, 1, L"WardletT UserView", 2, kUserRun), 0);
  // One key: the later write replaced the earlier. Two: the 64-bit view's first, and the 32-bit
  // view's row deleted in its own key.
  EXPECT_EQ(keysOf(L"WardletT Both"), (machineShared ? Keys{kMachineRun} : Keys{kMachineRun, path32}));
  const int row32 = rt::RowWith(list, 1, L"WardletT Both", 2, path32);
  EXPECT_EQ(list.GetItemText(row32, 3), L"C:\\b32.exe");
  if (machineShared) return;
  p.Run(row32, IDM_AUTORUN_DELETE);
  EXPECT_FALSE(rt::ValueExists(kMachine, kRun, k32, L"WardletT Both"));
  EXPECT_TRUE(rt::ValueExists(kMachine, kRun, k64, L"WardletT Both"));
}

TEST(AutorunPage, MenuOpensOnRowsOnlyAndHandsCellsToTheShell) {
  const std::wstring regeditKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
  rt::TestKey userRun(kUser, kRun), regedit(kUser, regeditKey);
  rt::TestValue lastKey(kUser, regeditKey, k64, L"Lastkey", REG_SZ, rt::SzData(L"before"));
  rt::TestValue value(kUser, kRun, k64, L"WardletT a b&c", REG_SZ,
                      rt::SzData(L"\"C:\\Program Files\\W T\\wt.exe\" /tray"));
  wt::MessageLog messages;
  wt::ShellLog shell;
  Page p;
  const int row = rt::RowWith(p.list, 1, L"WardletT a b&c", 2, kUserRun);
  ASSERT_GE(row, 0);
  const std::wstring file = L"C:\\Program Files\\W T\\wt.exe";
  ASSERT_EQ(p.list.GetItemText(row, 3), file);
  wt::MenuChooser menu;
  wt::RightClickRow(p.page, p.list, -1);  // no menu below the rows
  for (UINT command : {IDM_AUTORUN_LOCATE, IDM_AUTORUN_PROPERTIES, IDM_AUTORUN_SEARCH, IDM_AUTORUN_REGEDIT})
    p.Run(row, command, &menu);
  EXPECT_EQ(menu.opened, 4);
  EXPECT_EQ(menu.lastMenuId, static_cast<UINT>(IDR_MENU_AUTORUN));
  EXPECT_EQ(shell.requests,
            (std::vector<common::ShellRequest>{
                {nullptr, L"open", wt::WindowsProgram(L"Explorer.exe"), L"/select,\"" + file + L"\"", SW_SHOWDEFAULT, false},
                {nullptr, L"properties", file, L"", SW_SHOW, true},
                {p.page, L"open", L"https://www.google.com/search?hl=zh-CN&q=WardletT%20a%20b%26c", L"",
                 SW_SHOWMAXIMIZED, false},
                {nullptr, L"open", wt::WindowsProgram(L"Regedit.exe"), L"", SW_SHOWMAXIMIZED, false}}));
  EXPECT_EQ(rt::ReadString(kUser, regeditKey, L"Lastkey"), kUserRun);
  EXPECT_TRUE(messages.entries.empty());

  p.Run(row, IDM_AUTORUN_COPY_PATH, &menu);
  EXPECT_EQ(wt::ClipboardText(), file);
  p.Run(row, IDM_AUTORUN_COPY_KEY, &menu);
  EXPECT_EQ(wt::ClipboardText(), kUserRun);
  EXPECT_EQ(messages.entries, wt::Messages(2, {p.page, L"文件路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION}));
}

// Add is enabled by the edit that changed last; Add writes the value to the user's Run key, over a
// value of that name, and it is listed first. Escape and the close box write nothing.
TEST(AutorunAdd, AddFollowsTheEditThatChangedLastAndWritesTheValueOnlyByAdd) {
  rt::TestKey userRun(kUser, kRun), machineRun(kMachine, kRun);
  // A machine entry makes sure there is a later group for the new row to come before.
  rt::TestValue machine(kMachine, kRun, k64, L"WardletT Machine", REG_SZ, rt::SzData(L"C:\\m.exe"));
  rt::TestValue added(kUser, kRun, k64, L"WardletT Added", REG_SZ, rt::SzData(L"placeholder"));
  std::vector<bool> states;
  enum { kAdd, kEscape, kCloseBox } end = kEscape;
  rt::DialogDriver driver(IDD_ADD_AUTORUN, [&](HWND d) {
    const std::pair<int, const wchar_t*> edits[] = {{IDC_AUTORUN_NAME, L"WardletT Typed"},
                                                    {IDC_AUTORUN_PATH, L"C:\\typed.exe"},
                                                    {IDC_AUTORUN_NAME, L""},  // though a path is there
                                                    {IDC_AUTORUN_PATH, L"C:\\typed2.exe"},
                                                    {IDC_AUTORUN_PATH, L""}};
    states = {rt::IsEnabled(d, IDC_AUTORUN_ADD)};
    for (const auto& [id, text] : edits) {
      rt::SetEditText(d, id, text);
      states.push_back(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    }
    rt::SetEditText(d, IDC_AUTORUN_NAME, L"WardletT Added");
    rt::SetEditText(d, IDC_AUTORUN_PATH, L"C:\\wt dir\\added.exe /q");
    if (end == kAdd)
      rt::PostClick(d, IDC_AUTORUN_ADD);
    else
      rt::CloseWithClickQueued(d, end == kCloseBox, IDC_AUTORUN_ADD);
  });
  Page p;
  for (auto closing : {kEscape, kCloseBox}) {
    end = closing;
    p.Add();
    EXPECT_EQ(rt::ReadString(kUser, kRun, L"WardletT Added"), L"placeholder") << closing;
  }
  end = kAdd;
  p.Add();
  EXPECT_EQ(driver.opened, 3);
  EXPECT_EQ(states, (std::vector<bool>{false, true, true, false, true, false}));
  EXPECT_FALSE(rt::ValueExists(kUser, kRun, k64, L"WardletT Typed"));
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(rt::ReadValue(kUser, kRun, k64, L"WardletT Added", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, rt::SzData(L"C:\\wt dir\\added.exe /q"));
  int row = rt::RowWith(p.list, 1, L"WardletT Added", 2, kUserRun);
  ASSERT_GE(row, 0);
  EXPECT_EQ(p.list.GetItemText(row, 3), L"C:\\wt");  // no such file: the first word
  EXPECT_EQ(p.list.GetItemText(row, 4), L"C:\\wt dir\\added.exe /q");
  for (int r = 0; r < row; ++r) EXPECT_EQ(p.list.GetItemText(r, 2), kUserRun);
  EXPECT_LT(row, rt::RowWith(p.list, 1, L"WardletT Machine", 2, kMachineRun));
}

// A cancelled Browse warns and disables Add but keeps the path; a chosen file fills the path and
// enables Add even without a name, but without a name Add writes nothing and refreshes nothing.
TEST(AutorunAdd, BrowseFillsThePathOrWarnsWhenCancelled) {
  rt::TestKey userRun(kUser, kRun);
  wt::MessageLog messages;
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
    EXPECT_EQ(answer.filter, L"可执行文件(.exe;bat;*.cmd;*.vbs)|*.exe;*.bat;*.cmd;*.vbs||");
    EXPECT_EQ(answer.title, L"请选择一个可执行文件");
    EXPECT_EQ(rt::ItemText(d, IDC_AUTORUN_PATH), L"C:\\Tools\\wt app.exe");
    EXPECT_TRUE(rt::IsEnabled(d, IDC_AUTORUN_ADD));
    rt::PostClick(d, IDC_AUTORUN_ADD);  // ends with IDOK
  });
  Page p;
  const std::vector<std::wstring> valuesBefore = rt::ValueNames(kUser, kRun, k64);
  wt::AddRecord(p.page.Records(), wt::MarkerRecord(L"marker"));
  p.Add();
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(rt::ValueNames(kUser, kRun, k64), valuesBefore);
  EXPECT_EQ(p.list.GetItemText(0, 0), L"marker");  // not refreshed
}
