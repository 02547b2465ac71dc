// The shell actions from the process page's menus: what reaches the shell, the clipboard and
// Registry Editor's last-key setting.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

constexpr int kName = 1, kPid = 3, kPath = 9;
constexpr int kModuleName = 1, kModulePath = 2;
const std::wstring kSearch = L"https://www.google.com/search?hl=zh-CN&q=";

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The clipboard's Unicode and ANSI texts; false when it holds no text.
bool ClipboardTexts(std::wstring& wide, std::string& ansi) {
  if (!::OpenClipboard(nullptr)) return false;
  bool ok = false;
  if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
      wide = p;
      ok = true;
      ::GlobalUnlock(h);
    }
  }
  if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
    if (auto* p = static_cast<const char*>(::GlobalLock(h))) {
      ansi = p;
      ::GlobalUnlock(h);
    }
  }
  ::CloseClipboard();
  return ok;
}
std::wstring ClipboardText() {
  std::wstring wide;
  std::string ansi;
  return ClipboardTexts(wide, ansi) ? wide : L"(no text)";
}

// A child started from a copy whose name and folder hold a blank, an ampersand and a comma.
struct OddlyNamedChild {
  wt::TempDir dir;
  std::wstring name = L"wardlet a&b,c.exe";
  std::wstring exe = dir.path() + name;
  bool copied = ::CopyFileW((wt::ExeDir() + L"wardlet_child.exe").c_str(), exe.c_str(), FALSE) != FALSE;
  wt::Child child{L"\"" + exe + L"\""};
};

struct ShellPage {
  wt::MainDialog main;
  CProcessPage& page = main.dlg().m_processPage;
  const ui::CListCtrl& list = page.ProcessList();
  const ui::CListCtrl& modules = page.ModuleList();
  int RowOf(DWORD pid) {
    page.RefreshProcessList();
    return wt::FindRow(list, kPid, std::to_wstring(pid));
  }
};

void ExpectRequest(const common::ShellRequest& r, HWND owner, const std::wstring& verb, const std::wstring& file,
                   const std::wstring& parameters, int show, bool properties) {
  EXPECT_EQ(r.owner, owner);
  EXPECT_EQ(r.verb, verb);
  EXPECT_EQ(r.file, file);
  EXPECT_EQ(r.parameters, parameters);
  EXPECT_EQ(r.show, show);
  EXPECT_EQ(r.properties, properties);
}

}  // namespace

TEST(ShellActions, ProcessCommandsHandThePathAndNameToTheShell) {
  OddlyNamedChild c;
  ASSERT_TRUE(c.copied);
  ASSERT_TRUE(c.child.started());
  ShellPage p;
  int row = p.RowOf(c.child.pid());
  ASSERT_GE(row, 0);
  const std::wstring path = p.list.GetItemText(row, kPath);
  ASSERT_TRUE(SameText(path, c.exe)) << path;
  ASSERT_EQ(p.list.GetItemText(row, kName), c.name);

  wt::ShellLog shell;
  wt::MessageLog log;
  wt::RunRowCommand(p.page, p.list, row, IDM_PROCESS_PROPERTIES);
  wt::RunRowCommand(p.page, p.list, row, IDM_PROCESS_LOCATE);
  wt::RunRowCommand(p.page, p.list, row, IDM_PROCESS_SEARCH);
  ASSERT_EQ(shell.requests.size(), 3u);
  ExpectRequest(shell.requests[0], nullptr, L"properties", path, L"", SW_SHOW, true);
  ExpectRequest(shell.requests[1], nullptr, L"open", L"Explorer.exe", L"/select,\"" + path + L"\"", SW_SHOWMAXIMIZED,
                false);
  ExpectRequest(shell.requests[2], p.page.GetSafeHwnd(), L"open", kSearch + L"wardlet%20a%26b%2Cc.exe", L"",
                SW_SHOWMAXIMIZED, false);
  EXPECT_TRUE(log.entries.empty());
  // None of them ends the process.
  EXPECT_EQ(::WaitForSingleObject(c.child.pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(ShellActions, ModuleCommandsHandTheModulePathAndNameToTheShell) {
  OddlyNamedChild c;
  ASSERT_TRUE(c.copied);
  ASSERT_TRUE(c.child.started());
  ShellPage p;
  int row = p.RowOf(c.child.pid());
  ASSERT_GE(row, 0);
  wt::SelectRow(p.list, row);
  wt::ClickRow(p.page, p.list, row);
  ASSERT_GT(p.modules.GetItemCount(), 0);
  const std::wstring path = p.modules.GetItemText(0, kModulePath);
  ASSERT_TRUE(SameText(path, c.exe)) << path;
  ASSERT_EQ(p.modules.GetItemText(0, kModuleName), c.name);

  wt::ShellLog shell;
  wt::MenuChooser seen;
  wt::RunRowCommand(p.page, p.modules, 0, IDM_MODULE_PROPERTIES, &seen);
  EXPECT_EQ(seen.lastMenuId, static_cast<UINT>(IDR_MENU_MODULE));
  EXPECT_TRUE(seen.greyed.empty());
  wt::RunRowCommand(p.page, p.modules, 0, IDM_MODULE_LOCATE, &seen);
  wt::RunRowCommand(p.page, p.modules, 0, IDM_MODULE_SEARCH, &seen);
  ASSERT_EQ(shell.requests.size(), 3u);
  ExpectRequest(shell.requests[0], nullptr, L"properties", path, L"", SW_SHOW, true);
  ExpectRequest(shell.requests[1], nullptr, L"open", L"Explorer.exe", L"/select,\"" + path + L"\"", SW_SHOWMAXIMIZED,
                false);
  ExpectRequest(shell.requests[2], p.page.GetSafeHwnd(), L"open", kSearch + L"wardlet%20a%26b%2Cc.exe", L"",
                SW_SHOWMAXIMIZED, false);
}

TEST(ShellActions, CopyCommandsPutThePathOnTheClipboardAndConfirm) {
  OddlyNamedChild c;
  ASSERT_TRUE(c.copied);
  ASSERT_TRUE(c.child.started());
  ShellPage p;
  int row = p.RowOf(c.child.pid());
  ASSERT_GE(row, 0);
  const std::wstring path = p.list.GetItemText(row, kPath);
  ASSERT_FALSE(path.empty());

  wt::MessageLog log;
  wt::RunRowCommand(p.page, p.list, row, IDM_PROCESS_COPY_PATH);
  std::wstring wide;
  std::string ansi;
  ASSERT_TRUE(ClipboardTexts(wide, ansi));
  EXPECT_EQ(wide, path);
  EXPECT_EQ(std::wstring(ansi.begin(), ansi.end()), path);  // the system's ANSI form of an ASCII path
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"文件路径已复制到剪贴板!");
  EXPECT_EQ(log.entries[0].caption, L"提示");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(log.entries[0].owner, p.page.GetSafeHwnd());

  // The module list of the selected row: its kernel32.dll.
  wt::ClickRow(p.page, p.list, row);
  int k32 = -1;
  for (int i = 0; i < p.modules.GetItemCount() && k32 < 0; ++i)
    if (SameText(p.modules.GetItemText(i, kModuleName), L"kernel32.dll")) k32 = i;
  ASSERT_GT(k32, 0);
  wt::RunRowCommand(p.page, p.modules, k32, IDM_MODULE_COPY_PATH);
  EXPECT_EQ(ClipboardText(), p.modules.GetItemText(k32, kModulePath));
  ASSERT_EQ(log.entries.size(), 2u);
  EXPECT_EQ(log.entries[1].text, L"模块路径已复制到剪贴板!");
  EXPECT_EQ(log.entries[1].caption, L"提示");
}

TEST(ShellActions, CopyingAnEmptyTextStillConfirms) {
  HWND owner = ::CreateWindowW(L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  wt::MessageLog log;
  common::CopyTextToClipboard(owner, L"not empty", L"first");
  ASSERT_EQ(ClipboardText(), L"not empty");
  log.entries.clear();
  common::CopyTextToClipboard(owner, L"", L"文件路径已复制到剪贴板!");
  EXPECT_EQ(ClipboardText(), L"");
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"文件路径已复制到剪贴板!");
  EXPECT_EQ(log.entries[0].owner, owner);
  ::DestroyWindow(owner);
}

TEST(ShellActions, AClipboardHeldElsewhereIsReportedAndLeftAlone) {
  HWND owner = ::CreateWindowW(L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  wt::MessageLog log;
  common::CopyTextToClipboard(owner, L"before", L"first");
  log.entries.clear();
  ui::CHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    BOOL open = ::OpenClipboard(nullptr);
    ::SetEvent(held.get());
    ::WaitForSingleObject(release.get(), 10000);
    if (open) ::CloseClipboard();
  });
  ::WaitForSingleObject(held.get(), 10000);
  common::CopyTextToClipboard(owner, L"after", L"文件路径已复制到剪贴板!");
  ::SetEvent(release.get());
  holder.join();
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"打开剪贴板失败!");
  EXPECT_EQ(log.entries[0].caption, L"警告");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(ClipboardText(), L"before");
  ::DestroyWindow(owner);
}

namespace {
const wchar_t kRegeditKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
const std::wstring kRunKey = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool KeyExists(HKEY root, const wchar_t* path) {
  ui::CRegKey key;
  return ::RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}
}  // namespace

TEST(ShellActions, RegeditOpensAtTheKeyThroughItsLastKeySetting) {
  const bool existed = KeyExists(HKEY_CURRENT_USER, kRegeditKey);
  std::wstring oldLast;
  bool hadLast = false;
  {
    wchar_t buf[1024] = {};
    DWORD size = sizeof(buf);
    hadLast = ::RegGetValueW(HKEY_CURRENT_USER, kRegeditKey, L"Lastkey", RRF_RT_REG_SZ, nullptr, buf, &size) ==
              ERROR_SUCCESS;
    oldLast = buf;
  }
  ui::CRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kRegeditKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
            ERROR_SUCCESS);
  wt::ShellLog shell;
  wt::MessageLog log;
  common::OpenKeyInRegedit(nullptr, kRunKey);
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf);
  EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kRegeditKey, L"Lastkey", RRF_RT_REG_SZ, nullptr, buf, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(buf), kRunKey);
  EXPECT_TRUE(log.entries.empty());
  ASSERT_EQ(shell.requests.size(), 1u);
  ExpectRequest(shell.requests[0], nullptr, L"open", L"Regedit.exe", L"", SW_SHOWMAXIMIZED, false);

  if (!existed) {
    key.reset();
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kRegeditKey);
  } else if (hadLast) {
    ::RegSetValueExW(key.get(), L"Lastkey", 0, REG_SZ, reinterpret_cast<const BYTE*>(oldLast.c_str()),
                     static_cast<DWORD>((oldLast.size() + 1) * sizeof(wchar_t)));
  } else {
    ::RegDeleteValueW(key.get(), L"Lastkey");
  }
}

TEST(ShellActions, RegeditStartsAllTheSameWhenItsSettingsAreMissing) {
  if (KeyExists(HKEY_CURRENT_USER, kRegeditKey)) GTEST_SKIP() << "Registry Editor's settings exist for this user";
  HWND owner = ::CreateWindowW(L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  wt::ShellLog shell;
  wt::MessageLog log;
  common::OpenKeyInRegedit(owner, kRunKey);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRegeditKey));  // opened, never created
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"注册表打开失败");
  EXPECT_EQ(log.entries[0].caption, L"错误");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(log.entries[0].owner, owner);
  ASSERT_EQ(shell.requests.size(), 1u);
  ExpectRequest(shell.requests[0], nullptr, L"open", L"Regedit.exe", L"", SW_SHOWMAXIMIZED, false);
  ::DestroyWindow(owner);
}
