// The shell actions from the process page's menus: what reaches the shell, the clipboard and
// Registry Editor's last-key setting.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

using Tab = wt::ProcessTab;
const std::wstring kSearch = L"https://www.google.com/search?hl=zh-CN&q=";
const wchar_t kRegeditKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
const std::wstring kRunKey = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void ExpectRequest(const common::ShellRequest& r, HWND owner, const std::wstring& verb, const std::wstring& file,
                   const std::wstring& parameters, int show, bool properties) {
  EXPECT_EQ(r.owner, owner);
  EXPECT_EQ(r.verb, verb);
  EXPECT_EQ(r.file, file);
  EXPECT_EQ(r.parameters, parameters);
  EXPECT_EQ(r.show, show);
  EXPECT_EQ(r.properties, properties);
}

void ExpectRegeditStarted(const wt::ShellLog& shell) {
  ASSERT_EQ(shell.requests.size(), 1u);
  ExpectRequest(shell.requests[0], nullptr, L"open", L"Regedit.exe", L"", SW_SHOWMAXIMIZED, false);
}

}  // namespace

// A child started from a copy whose name and folder hold a blank, an ampersand and a comma: the
// process row's and its module row's commands hand its path and name to the shell whole, and
// copy paths to the clipboard.
TEST(ShellActions, ProcessAndModuleCommandsHandPathsAndNamesToTheShellAndClipboard) {
  wt::TempDir dir;
  const std::wstring name = L"wardlet a&b,c.exe";
  const std::wstring exe = wt::CopyChild(dir, name);
  wt::Child child(wt::Quoted(exe));
  ASSERT_TRUE(child.started());
  Tab t;
  int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  t.Click(row);
  struct Menu {
    const ui::CListCtrl& list;
    int nameColumn, pathColumn;
    UINT menu, properties, locate, search;
  } menus[] = {
      {t.list, Tab::kName, Tab::kPath, IDR_MENU_PROCESS, IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE,
       IDM_PROCESS_SEARCH},
      {t.modules, Tab::kModuleName, Tab::kModulePath, IDR_MENU_MODULE, IDM_MODULE_PROPERTIES, IDM_MODULE_LOCATE,
       IDM_MODULE_SEARCH}};
  for (const Menu& m : menus) {
    SCOPED_TRACE(m.menu);
    const int at = &m.list == &t.list ? row : 0;  // the executable is the first module
    ASSERT_GT(m.list.GetItemCount(), at);
    const std::wstring path = m.list.GetItemText(at, m.pathColumn);
    ASSERT_TRUE(wt::SamePath(path, exe)) << path;
    ASSERT_EQ(m.list.GetItemText(at, m.nameColumn), name);
    wt::ShellLog shell;
    wt::MessageLog log;
    wt::MenuChooser seen;
    for (UINT command : {m.properties, m.locate, m.search}) wt::RunRowCommand(t.page, m.list, at, command, &seen);
    EXPECT_EQ(seen.lastMenuId, m.menu);
    EXPECT_TRUE(seen.greyed.empty());
    ASSERT_EQ(shell.requests.size(), 3u);
    ExpectRequest(shell.requests[0], nullptr, L"properties", path, L"", SW_SHOW, true);
    ExpectRequest(shell.requests[1], nullptr, L"open", L"Explorer.exe", L"/select,\"" + path + L"\"",
                  SW_SHOWMAXIMIZED, false);
    ExpectRequest(shell.requests[2], t.page, L"open", kSearch + L"wardlet%20a%26b%2Cc.exe", L"", SW_SHOWMAXIMIZED,
                  false);
    EXPECT_TRUE(log.entries.empty());
  }
  // None of them ends the process.
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  // The copy commands put the process's path, and a module's (its kernel32.dll), on the clipboard.
  wt::MessageLog log;
  const std::wstring path = t.list.GetItemText(row, Tab::kPath);
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), path);
  const std::string ansi = wt::ClipboardAnsiText();
  EXPECT_EQ(std::wstring(ansi.begin(), ansi.end()), path);  // the system's ANSI form of an ASCII path
  EXPECT_EQ(log.entries, wt::Shown(t.page, L"文件路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION));
  int k32 = -1;
  for (int i = 0; i < t.modules.GetItemCount() && k32 < 0; ++i)
    if (wt::SamePath(t.modules.GetItemText(i, Tab::kModuleName), L"kernel32.dll")) k32 = i;
  ASSERT_GT(k32, 0);
  log.entries.clear();
  wt::RunRowCommand(t.page, t.modules, k32, IDM_MODULE_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), t.modules.GetItemText(k32, Tab::kModulePath));
  EXPECT_EQ(log.entries, wt::Shown(t.page, L"模块路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION));
}

TEST(ShellActions, CopyingAnEmptyTextConfirmsAndAClipboardHeldElsewhereIsReported) {
  wt::OwnerWindow owner;
  wt::MessageLog log;
  common::CopyTextToClipboard(owner.hwnd, L"not empty", L"first");
  ASSERT_EQ(wt::ClipboardText(), L"not empty");
  log.entries.clear();
  common::CopyTextToClipboard(owner.hwnd, L"", L"文件路径已复制到剪贴板!");
  EXPECT_EQ(wt::ClipboardText(), L"");
  EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"文件路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION));

  // Another thread holds the clipboard open: the copy is refused and the clipboard left alone.
  common::CopyTextToClipboard(owner.hwnd, L"before", L"first");
  log.entries.clear();
  ui::CHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ui::CHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    BOOL open = ::OpenClipboard(nullptr);
    ::SetEvent(held.get());
    ::WaitForSingleObject(release.get(), 10000);
    if (open) ::CloseClipboard();
  });
  ::WaitForSingleObject(held.get(), 10000);
  common::CopyTextToClipboard(owner.hwnd, L"after", L"文件路径已复制到剪贴板!");
  ::SetEvent(release.get());
  holder.join();
  EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"打开剪贴板失败!", L"警告", MB_ICONERROR));
  EXPECT_EQ(wt::ClipboardText(), L"before");
}

TEST(ShellActions, RegeditOpensAtTheKeyThroughItsLastKeySetting) {
  rt::TestKey regedit(HKEY_CURRENT_USER, kRegeditKey);
  rt::TestValue lastKey(HKEY_CURRENT_USER, kRegeditKey, KEY_WOW64_64KEY, L"Lastkey", REG_SZ, rt::SzData(L"before"));
  ASSERT_TRUE(lastKey.written());
  wt::ShellLog shell;
  wt::MessageLog log;
  common::OpenKeyInRegedit(nullptr, kRunKey);
  EXPECT_EQ(rt::ReadString(HKEY_CURRENT_USER, kRegeditKey, L"Lastkey"), kRunKey);
  EXPECT_TRUE(log.entries.empty());
  ExpectRegeditStarted(shell);
}

TEST(ShellActions, RegeditStartsAllTheSameWhenItsSettingsAreMissing) {
  if (rt::KeyExists(HKEY_CURRENT_USER, kRegeditKey)) GTEST_SKIP() << "Registry Editor's settings exist for this user";
  wt::OwnerWindow owner;
  wt::ShellLog shell;
  wt::MessageLog log;
  common::OpenKeyInRegedit(owner.hwnd, kRunKey);
  EXPECT_FALSE(rt::KeyExists(HKEY_CURRENT_USER, kRegeditKey));  // opened, never created
  EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"注册表打开失败", L"错误", MB_ICONERROR));
  ExpectRegeditStarted(shell);
}
