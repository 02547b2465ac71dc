// The shell actions from the process page's menus: what reaches the shell, the clipboard and
// Registry Editor's last-key setting.
#include <gtest/gtest.h>

#include <thread>

#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
using Tab = wt::ProcessTab;
using Requests = std::vector<common::ShellRequest>;
const std::wstring kCopied = L"文件路径已复制到剪贴板!";
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
  const struct {
    const ui::CListCtrl& list;
    int at, nameColumn, pathColumn;
    UINT menu, properties, locate, search;
  } menus[] = {{t.list, row, Tab::kName, Tab::kPath, IDR_MENU_PROCESS, IDM_PROCESS_PROPERTIES, IDM_PROCESS_LOCATE,
                IDM_PROCESS_SEARCH},  // the executable is the first module:
               {t.modules, 0, Tab::kModuleName, Tab::kModulePath, IDR_MENU_MODULE, IDM_MODULE_PROPERTIES,
                IDM_MODULE_LOCATE, IDM_MODULE_SEARCH}};
  for (const auto& m : menus) {
    const std::wstring path = m.list.GetItemText(m.at, m.pathColumn);
    ASSERT_TRUE(wt::SamePath(path, exe)) << path;
    ASSERT_EQ(m.list.GetItemText(m.at, m.nameColumn), name);
    wt::ShellLog shell;
    wt::MessageLog log;
    wt::MenuChooser seen;
    for (UINT command : {m.properties, m.locate, m.search}) wt::RunRowCommand(t.page, m.list, m.at, command, &seen);
    EXPECT_EQ(seen.lastMenuId, m.menu);
    EXPECT_TRUE(seen.greyed.empty());
    EXPECT_EQ(shell.requests, (Requests{{nullptr, L"properties", path, L"", SW_SHOW, true},
                                        {nullptr, L"open", L"Explorer.exe", L"/select,\"" + path + L"\"",
                                         SW_SHOWMAXIMIZED, false},
                                        {t.page, L"open", L"https://www.google.com/search?hl=zh-CN&q="
                                                          L"wardlet%20a%26b%2Cc.exe", L"", SW_SHOWMAXIMIZED, false}}));
    EXPECT_TRUE(log.entries.empty());
  }
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // none ends it

  // The copy commands put the process's path, and a module's, on the clipboard.
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_PROCESS_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), t.list.GetItemText(row, Tab::kPath));
  const int last = t.modules.GetItemCount() - 1;
  ASSERT_GT(last, 0);
  wt::RunRowCommand(t.page, t.modules, last, IDM_MODULE_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), t.modules.GetItemText(last, Tab::kModulePath));
  EXPECT_EQ(log.entries, (wt::Messages{{t.page, kCopied, L"提示", MB_ICONINFORMATION},
                                       {t.page, L"模块路径已复制到剪贴板!", L"提示", MB_ICONINFORMATION}}));
}

// Texts outside the ANSI code page and an empty text are copied as Unicode text and confirmed; a
// clipboard another thread holds open is reported and left alone.
TEST(ShellActions, CopyingPutsUnicodeTextAndAClipboardHeldElsewhereIsReported) {
  wt::OwnerWindow owner;
  wt::MessageLog log;
  const wt::Messages confirmed = wt::Shown(owner.hwnd, kCopied, L"提示", MB_ICONINFORMATION);
  for (const std::wstring& text : {std::wstring(L"C:\\程序\\Ωψ✓.exe"), std::wstring()}) {
    log.entries.clear();
    common::CopyTextToClipboard(owner.hwnd, text, kCopied);
    EXPECT_EQ(wt::ClipboardText(), text);
    EXPECT_EQ(log.entries, confirmed);
  }
  common::CopyTextToClipboard(owner.hwnd, L"before", kCopied);
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
  common::CopyTextToClipboard(owner.hwnd, L"after", kCopied);
  ::SetEvent(release.get());
  holder.join();
  EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"打开剪贴板失败!", L"警告", MB_ICONERROR));
  EXPECT_EQ(wt::ClipboardText(), L"before");
}

// Registry Editor starts at the key through its last-key setting; without its settings key it is
// reported and started all the same (the key is not created).
TEST(ShellActions, RegeditOpensAtTheKeyThroughItsLastKeySetting) {
  const wchar_t kRegedit[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
  const std::wstring run = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const Requests started{{nullptr, L"open", L"Regedit.exe", L"", SW_SHOWMAXIMIZED, false}};
  wt::OwnerWindow owner;
  if (!rt::KeyExists(HKEY_CURRENT_USER, kRegedit)) {
    wt::ShellLog shell;
    wt::MessageLog log;
    common::OpenKeyInRegedit(owner.hwnd, run);
    EXPECT_FALSE(rt::KeyExists(HKEY_CURRENT_USER, kRegedit));
    EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"注册表打开失败", L"错误", MB_ICONERROR));
    EXPECT_EQ(shell.requests, started);
  }
  rt::TestKey regedit(HKEY_CURRENT_USER, kRegedit);
  rt::TestValue lastKey(HKEY_CURRENT_USER, kRegedit, KEY_WOW64_64KEY, L"Lastkey", REG_SZ, rt::SzData(L"before"));
  ASSERT_TRUE(lastKey.written());
  wt::ShellLog shell;
  wt::MessageLog log;
  common::OpenKeyInRegedit(owner.hwnd, run);
  EXPECT_EQ(rt::ReadString(HKEY_CURRENT_USER, kRegedit, L"Lastkey"), run);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(shell.requests, started);
}
