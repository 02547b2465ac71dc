// The main dialog: tabs, pages, switching, Enter and Escape, closing; the menu bar's tools: USB
// write protection and the repairs, the force-delete tool, the About box and the home page.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/repair.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
constexpr REGSAM kView = KEY_WOW64_64KEY;
const wchar_t kSystem[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const wchar_t kStorage[] = L"SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
const std::wstring kFolder = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\";

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!rt::ReadValue(root, subkey, kView, name, type, data) || type != REG_DWORD || data.size() != sizeof(DWORD))
    return std::nullopt;
  return *reinterpret_cast<const DWORD*>(data.data());
}

void RunMenu(wt::MainDialog& main, UINT id) { main.dlg().SendMessage(WM_COMMAND, id, 0); }

void TypeText(HWND dialog, const std::wstring& text) {
  for (wchar_t c : text) ::SendDlgItemMessageW(dialog, IDC_FORCE_PATH, WM_CHAR, c, 1);
}

// Opens the force-delete tool from the menu and drives it; the steps must end it.
void RunTool(wt::MainDialog& main, const std::function<void(HWND)>& drive) {
  rt::DialogDriver driver(IDD_FORCE_DELETE, drive, false);
  RunMenu(main, IDM_TOOLS_FORCE_DELETE);
  EXPECT_EQ(driver.opened, 1);
}
}  // namespace

TEST(MainDialog, ShowsOnePageOfSixTabsAndOnlyEscapeOnTheTabsOrExitCloses) {
  wt::MainDialog main;
  CWardletDlg& dlg = main.dlg();
  EXPECT_EQ(dlg.GetWindowText(), L"Wardlet");
  ASSERT_EQ(dlg.m_tab.GetItemCount(), 6);
  EXPECT_EQ(dlg.m_tab.GetCurSel(), 0);
  const ui::CListCtrl& processes = dlg.m_processPage.ProcessList();
  EXPECT_TRUE(dlg.m_processPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_windowPage.IsWindowVisible());
  EXPECT_GT(processes.GetItemCount(), 0);
  EXPECT_EQ(dlg.m_servicePage.List().GetItemCount(), 0);  // the other pages fill when shown
  EXPECT_EQ(dlg.m_portPage.List().GetItemCount(), 0);

  RECT tab = dlg.m_tab.GetClientRect(), area;  // a page lies within the tab control, below its row of tabs
  ::GetWindowRect(dlg.m_ifeoPage.GetSafeHwnd(), &area);
  ::MapWindowPoints(HWND_DESKTOP, dlg.m_tab.GetSafeHwnd(), reinterpret_cast<POINT*>(&area), 2);
  EXPECT_TRUE(area.top >= tab.top + 15 && area.bottom <= tab.bottom && area.right - area.left >= tab.right - 2);

  // Switching shows one page; the process list is refilled on return (a marker row goes).
  main.SelectTab(4);
  EXPECT_TRUE(dlg.m_ifeoPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_processPage.IsWindowVisible());
  dlg.m_processPage.Records().Replace({});
  main.SelectTab(0);
  EXPECT_TRUE(dlg.m_processPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_ifeoPage.IsWindowVisible());
  EXPECT_TRUE(dlg.m_processPage.Records().WaitIdle());
  EXPECT_GT(processes.GetItemCount(), 0);

  // Enter, and Escape in a page, keep the dialog and the page.
  dlg.SendMessage(WM_COMMAND, IDOK, 0);
  ::SetFocus(processes.GetSafeHwnd());
  dlg.m_processPage.SendMessage(WM_COMMAND, IDCANCEL, 0);
  dlg.SendMessage(WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(::IsWindow(dlg.GetSafeHwnd()));
  EXPECT_TRUE(dlg.m_processPage.IsWindowVisible());

  dlg.ShowPage(7);  // outside the tabs: hides all
  EXPECT_FALSE(dlg.m_processPage.IsWindowVisible());
  EXPECT_FALSE(dlg.m_portPage.IsWindowVisible());

  // Escape on the tabs ends the dialog, its pages too; so does File > Exit.
  HWND page = dlg.m_processPage.GetSafeHwnd();
  ::SetFocus(dlg.m_tab.GetSafeHwnd());
  dlg.SendMessage(WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(::IsWindow(page));
  EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
  wt::MainDialog other;
  other.dlg().SendMessage(WM_COMMAND, IDM_FILE_EXIT, 0);
  EXPECT_EQ(other.dlg().GetSafeHwnd(), nullptr);
}

// Each command writes its values (creating the key) and confirms, every time: also over a value
// a program set back.
TEST(MenuTools, EachRepairWritesItsValueEveryTimeAndConfirms) {
  const struct {
    UINT id;
    HKEY root;
    std::wstring subkey;
    std::vector<std::wstring> names;
    DWORD data;
    std::wstring message;
  } cases[] = {
      {IDM_USB_PROTECT_ON, HKEY_LOCAL_MACHINE, kStorage, {L"WriteProtect"}, 1, L"U盘写保护开启"},
      {IDM_USB_PROTECT_OFF, HKEY_LOCAL_MACHINE, kStorage, {L"WriteProtect"}, 0, L"U盘写保护关闭"},
      {IDM_REPAIR_FOLDER_OPTIONS, HKEY_CURRENT_USER,
       L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", {L"NoFolderOptions"}, 0,
       L"文件夹选项修复成功!"},
      {IDM_REPAIR_SHOW_HIDDEN, HKEY_LOCAL_MACHINE, kFolder + L"Hidden\\SHOWALL", {L"CheckedValue", L"DefaultValue"}, 1,
       L"显示\"所有文件和文件夹修复\"成功!"},
      {IDM_REPAIR_SHOW_SUPERHIDDEN, HKEY_LOCAL_MACHINE, kFolder + L"SuperHidden", {L"CheckedValue"}, 0,
       L"修复\"显示受保护的操作系统文件\"成功!"},
      {IDM_REPAIR_TASKMGR, HKEY_CURRENT_USER, kSystem, {L"DisableTaskMgr"}, 0, L"修复\"任务管理器\"成功!"},
      {IDM_REPAIR_REGEDIT, HKEY_CURRENT_USER, kSystem, {L"Disableregistrytools"}, 0, L"修复\"注册表编辑器\"成功!"},
      {IDM_REPAIR_CMD, HKEY_CURRENT_USER, kSystem, {L"DisableCMD"}, 0, L"修复CMD成功!"},
  };
  wt::MainDialog main;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    rt::TestKey keys(c.root, c.subkey, kView, false);
    std::vector<std::unique_ptr<rt::TestValue>> absent;
    for (const auto& name : c.names) absent.push_back(std::make_unique<rt::TestValue>(c.root, c.subkey, kView, name));
    wt::MessageLog log;
    RunMenu(main, c.id);
    for (const auto& name : c.names) EXPECT_EQ(ReadDword(c.root, c.subkey, name), c.data) << name;
    ui::CRegKey key;  // a program sets the value back
    ASSERT_EQ(::RegOpenKeyExW(c.root, c.subkey.c_str(), 0, KEY_SET_VALUE | kView, key.put()), ERROR_SUCCESS);
    const DWORD setBack = 7;
    ::RegSetValueExW(key.get(), c.names[0].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&setBack), 4);
    RunMenu(main, c.id);
    EXPECT_EQ(ReadDword(c.root, c.subkey, c.names[0]), c.data);
    EXPECT_EQ(log.entries, wt::Messages(2, {main.dlg().GetSafeHwnd(), c.message, L"提示", MB_OK | MB_ICONINFORMATION}));
  }
}

// A value that cannot be written is told, with its path, not confirmed: a key that cannot be
// created (a lasting key under a volatile one), or a second value whose name is too long.
TEST(MenuTools, AValueThatCannotBeWrittenIsToldNotConfirmed) {
  const std::wstring parent = L"Software\\WardletTest-repair-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring writable = parent + L"-open";
  rt::TestKey cleanup(HKEY_CURRENT_USER, parent, kView, false);
  rt::TestKey cleanupWritable(HKEY_CURRENT_USER, writable, kView, false);
  {
    ui::CRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                                nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
  }
  const std::wstring locked = parent + L"\\Policies", tooLong(20000, L'x');
  wt::OwnerWindow window;
  const HWND owner = window.hwnd;
  const std::wstring advice = L"\r\n\r\n可能需要管理员权限，请以管理员身份运行本程序后重试。";
  const struct { app::RepairRow row; std::wstring text; } cases[] = {
      {{1, app::RepairRoot::kCurrentUser, locked.c_str(), L"DisableCMD", nullptr, 0, L"done"},
       L"操作失败: 无法写入注册表值\r\nHKEY_CURRENT_USER\\" + locked + L"\\DisableCMD" + advice},
      {{2, app::RepairRoot::kCurrentUser, writable.c_str(), L"CheckedValue", tooLong.c_str(), 1, L"done"},
       L"操作失败: 无法写入注册表值\r\nHKEY_CURRENT_USER\\" + writable + L"\\" + tooLong + advice}};
  for (const auto& c : cases) {
    wt::MessageLog log;
    EXPECT_FALSE(app::RunRepair(owner, c.row));
    EXPECT_TRUE(log.entries == wt::Shown(owner, c.text, L"错误", MB_OK | MB_ICONERROR)) << c.row.id;  // too long to print
  }
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, writable, L"CheckedValue"), 1u);  // the first value was written
}

// The force-delete tool: Delete's enabling (at start, typing, a cancelled Browse), Escape and an
// empty edit deleting nothing, Delete and Enter with a typed path.
TEST(MenuTools, ForceDeleteToolDeletesOnlyATypedOrChosenPath) {
  wt::TempDir dir;
  const std::wstring file = dir.path() + L"victim.exe";
  ASSERT_TRUE(wt::WriteText(file, "data"));
  wt::MainDialog main;
  wt::MessageLog log;
  wt::FileAnswer cancel(std::nullopt);
  RunTool(main, [&](HWND d) {
    EXPECT_EQ(ui::CWnd(d).GetWindowText(), L"文件强行删除工具 v1.0");
    EXPECT_TRUE(rt::IsEnabled(d, IDC_FORCE_DELETE));  // enabled at start, though the edit is empty
    TypeText(d, L"abc");
    rt::Click(d, IDC_FORCE_BROWSE);  // cancelled
    EXPECT_EQ(cancel.filter, L"所有文件(*.*)|*.*||");
    EXPECT_EQ(cancel.title, L"请选择要删除的文件");
    EXPECT_EQ(log.entries, wt::Shown(d, L"可执行文件路径不能为空!", L"提示", MB_OK | MB_ICONEXCLAMATION));
    EXPECT_FALSE(rt::IsEnabled(d, IDC_FORCE_DELETE));  // though the edit still holds text
    EXPECT_EQ(rt::ItemText(d, IDC_FORCE_PATH), L"abc");
    TypeText(d, L"d");
    EXPECT_TRUE(rt::IsEnabled(d, IDC_FORCE_DELETE));
    ::SendDlgItemMessageW(d, IDC_FORCE_PATH, EM_SETSEL, 0, -1);
    TypeText(d, L"\b");
    EXPECT_FALSE(rt::IsEnabled(d, IDC_FORCE_DELETE));
    {
      wt::FileAnswer choose(file);
      rt::Click(d, IDC_FORCE_BROWSE);
    }
    EXPECT_EQ(rt::ItemText(d, IDC_FORCE_PATH), file);
    EXPECT_TRUE(rt::IsEnabled(d, IDC_FORCE_DELETE));
    rt::PostKey(d, IDC_FORCE_PATH, VK_ESCAPE);
  });
  EXPECT_TRUE(wt::FileExists(file));
  EXPECT_EQ(log.entries.size(), 1u);
  ASSERT_TRUE(main.dlg().m_pForceDeleteDlg);
  EXPECT_TRUE(main.dlg().m_pForceDeleteDlg->m_strPath.empty());  // Escape does not read the path back

  log.entries.clear();
  RunTool(main, [](HWND d) { rt::PostClick(d, IDC_FORCE_DELETE); });  // empty: closes, deletes nothing
  EXPECT_TRUE(wt::FileExists(file));
  RunTool(main, [&](HWND d) {
    TypeText(d, file);
    rt::PostClick(d, IDC_FORCE_DELETE);
  });
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // no temporary file left either
  EXPECT_TRUE(log.entries.empty());
  // Enter in the edit ends the dialog as Delete does; a missing file is reported to the main window.
  const std::wstring missing = dir.path() + L"missing.txt";
  RunTool(main, [&](HWND d) {
    TypeText(d, missing);
    rt::PostKey(d, IDC_FORCE_PATH, VK_RETURN);
  });
  EXPECT_EQ(log.entries, wt::Shown(main.dlg().GetSafeHwnd(), L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR));
  EXPECT_EQ(main.dlg().m_pForceDeleteDlg->m_strPath, missing);
}

TEST(MenuTools, AboutShowsTheWholeIntroductionEachTimeAndTheHomePageOpens) {
  const std::wstring whole =
      L"Wardlet是由Morvane独立开发的一款安全辅助工具。\r\n"
      L"具有进程管理，窗口管理,服务管理，启动项管理，IFEO检测,端口管理等多种功能\r\n"
      L"【更新日志】:\r\n"
      L"▲v1.2 \t 2009-05-31 \r\n"
      L"◆为端口列表增加了显示远程Ip地理位置的功能\r\n"
      L"◆数据库比较大，我就不附带了，自己去下载吧，我提供了链接\r\n\r\n"
      L"▲v1.1 \t 2009-05-11 \r\n"
      L"◆修正了端口管理功能\r\n"
      L"◆修正了窗口类查询的bug\r\n"
      L"◆修正了部分机器上无法显示服务列表的bug\r\n"
      L"◆修正了启动项管理器，查看文件属性的bug\r\n"
      L"◆增强进程管理模块，增加了强行删除功能\r\n"
      L"◆添加了U盘写保护等一些实用的小功能\r\n\r\n"
      L"▲v1.0 \t 2009-05-07 \r\n"
      L"◆发布Wardlet第一个版本";
  wt::MainDialog main;
  std::vector<std::wstring> shown;
  rt::DialogDriver driver(IDD_ABOUT, [&](HWND d) {
    EXPECT_EQ(ui::CWnd(d).GetWindowText(), L"关于");
    shown.push_back(rt::ItemText(d, IDC_ABOUT_TEXT));
    // The first time the user edits the text and ends with OK, which reads the edit back.
    if (shown.size() == 1) {
      rt::SetEditText(d, IDC_ABOUT_TEXT, L"edited by the user");
      ::PostMessageW(d, WM_COMMAND, IDOK, 0);
    } else {
      rt::PostKey(d, IDC_ABOUT_TEXT, VK_ESCAPE);
    }
  }, false);
  RunMenu(main, IDM_HELP_ABOUT);
  ASSERT_TRUE(main.dlg().m_pAboutDlg);
  EXPECT_EQ(main.dlg().m_pAboutDlg->m_strDescription, L"edited by the user");
  RunMenu(main, IDM_HELP_ABOUT);
  EXPECT_EQ(shown, std::vector<std::wstring>(2, whole));
  EXPECT_EQ(main.dlg().m_pAboutDlg->m_strDescription, whole);

  wt::ShellLog shell;
  wt::MessageLog log;
  RunMenu(main, IDM_HELP_HOMEPAGE);
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].file.rfind(L"https://", 0), 0u);
  EXPECT_EQ(shell.requests[0], (common::ShellRequest{main.dlg().GetSafeHwnd(), L"open", shell.requests[0].file, L"",
                                                      SW_SHOWMAXIMIZED}));
  EXPECT_TRUE(log.entries.empty());
}
