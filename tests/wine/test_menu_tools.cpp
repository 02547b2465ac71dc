// The menu bar tools on the real main dialog: USB write protection and the repairs, the
// force-delete tool, the About box and the home page.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/repair.h"
#include "tests/wine/test_util.h"
#include "ui/filedialog.h"

namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0, data = 0, size = sizeof(data);
  LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  ::RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(DWORD)) return std::nullopt;
  return data;
}

void WriteDword(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD data) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_WRITE | kView, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
  ::RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::wstring& subkey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

// Saves a value and removes it, so that the command must create it; puts back the value, or
// removes it with the keys the test made, at the end.
class SavedValue {
 public:
  SavedValue(HKEY root, std::wstring subkey, std::wstring name)
      : m_root(root), m_subkey(std::move(subkey)), m_name(std::move(name)) {
    for (size_t at = m_subkey.find(L'\\'); ; at = m_subkey.find(L'\\', at + 1)) {
      std::wstring part = m_subkey.substr(0, at);
      if (!KeyExists(m_root, part)) {
        m_firstMissing = part;
        break;
      }
      if (at == std::wstring::npos) break;
    }
    HKEY key = nullptr;
    if (::RegOpenKeyExW(m_root, m_subkey.c_str(), 0, KEY_READ | KEY_SET_VALUE | kView, &key) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (::RegQueryValueExW(key, m_name.c_str(), nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
      m_data.resize(size);
      ::RegQueryValueExW(key, m_name.c_str(), nullptr, &m_type, m_data.data(), &size);
      m_existed = true;
      ::RegDeleteValueW(key, m_name.c_str());
    }
    ::RegCloseKey(key);
  }
  ~SavedValue() {
    if (!m_firstMissing.empty()) {
      ::RegDeleteTreeW(m_root, m_firstMissing.c_str());
      return;
    }
    HKEY key = nullptr;
    if (::RegOpenKeyExW(m_root, m_subkey.c_str(), 0, KEY_SET_VALUE | kView, &key) != ERROR_SUCCESS) return;
    if (m_existed)
      ::RegSetValueExW(key, m_name.c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
      ::RegDeleteValueW(key, m_name.c_str());
    ::RegCloseKey(key);
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  HKEY m_root;
  std::wstring m_subkey, m_name, m_firstMissing;
  bool m_existed = false;
  DWORD m_type = 0;
  std::vector<BYTE> m_data;
};

// Runs fn on each modal dialog of template id as it opens; fn must end it. A dialog still open
// after a minute is ended and fails the test, so that a fault does not hang the run.
int g_abandonedDialogs = 0;
void CALLBACK AbandonDialog(HWND dlg, UINT, UINT_PTR, DWORD) {
  ++g_abandonedDialogs;
  ::EndDialog(dlg, IDABORT);
}

class DialogDriver {
 public:
  DialogDriver(UINT templateId, std::function<void(ui::CDialog&)> fn) {
    g_abandonedDialogs = 0;
    ui::SetDialogInitHook([this, templateId, fn](ui::CDialog& dlg) {
      if (dlg.TemplateId() != templateId) return;
      ++opened;
      ::SetTimer(dlg.GetSafeHwnd(), 1, 60000, &AbandonDialog);
      fn(dlg);
    });
  }
  ~DialogDriver() {
    ui::SetDialogInitHook(nullptr);
    if (g_abandonedDialogs) ADD_FAILURE() << "a dialog did not end as the test drove it";
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  int opened = 0;
};

// Answers the file chooser: a path, or a cancel when none is given.
class FileChooser {
 public:
  explicit FileChooser(std::optional<std::wstring> answer) {
    ui::SetFileDialogHook([this, answer](const std::wstring& f, const std::wstring& t, std::wstring& path) {
      filter = f;
      title = t;
      ++asked;
      if (answer) path = *answer;
      return answer.has_value();
    });
  }
  ~FileChooser() { ui::SetFileDialogHook(nullptr); }
  FileChooser(const FileChooser&) = delete;
  FileChooser& operator=(const FileChooser&) = delete;
  std::wstring filter, title;
  int asked = 0;
};

void RunMenu(wt::MainDialog& main, UINT id) { main.dlg().SendMessage(WM_COMMAND, id, 0); }

void TypeText(HWND edit, const std::wstring& text) {
  for (wchar_t c : text) ::SendMessageW(edit, WM_CHAR, c, 1);
}
void ClearEdit(HWND edit) {
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  ::SendMessageW(edit, WM_CHAR, VK_BACK, 1);
}
void Click(ui::CDialog& dlg, int id) {
  ::SendMessageW(dlg.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dlg.GetSafeHwnd(), id)));
}
// Queues a key for the dialog's modal loop, as a key press on the control would arrive.
void PostKey(HWND control, UINT vk) {
  ::PostMessageW(control, WM_KEYDOWN, vk, 1);
  ::PostMessageW(control, WM_KEYUP, vk, 0xC0000001);
}
void PostClick(ui::CDialog& dlg, int id) {
  ::PostMessageW(dlg.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dlg.GetSafeHwnd(), id)));
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
void MakeFile(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ::WriteFile(h, "data", 4, &n, nullptr);
  ::CloseHandle(h);
}
int CountFiles(const std::wstring& dir) {
  int n = 0;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (fd.cFileName != std::wstring(L".") && fd.cFileName != std::wstring(L"..")) ++n;
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return n;
}

void ExpectNotice(const wt::MessageLog::Entry& e, HWND owner, const std::wstring& text) {
  EXPECT_EQ(e.owner, owner);
  EXPECT_EQ(e.text, text);
  EXPECT_EQ(e.caption, L"提示");
  EXPECT_EQ(e.style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

const wchar_t kStorage[] = L"SYSTEM\\CurrentControlSet\\Control\\StorageDevicePolicies";
const wchar_t kSystem[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const wchar_t kFolder[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\";

}  // namespace

TEST(MenuTools, WriteProtectOnCreatesTheValueAndOffLeavesItAtZero) {
  SavedValue saved(HKEY_LOCAL_MACHINE, kStorage, L"WriteProtect");
  ASSERT_FALSE(ReadDword(HKEY_LOCAL_MACHINE, kStorage, L"WriteProtect"));
  wt::MainDialog main;
  wt::MessageLog log;
  RunMenu(main, IDM_USB_PROTECT_ON);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kStorage, L"WriteProtect"), 1u);
  ASSERT_EQ(log.entries.size(), 1u);
  ExpectNotice(log.entries[0], main.dlg().GetSafeHwnd(), L"U盘写保护开启");

  RunMenu(main, IDM_USB_PROTECT_OFF);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kStorage, L"WriteProtect"), 0u);
  ASSERT_EQ(log.entries.size(), 2u);
  ExpectNotice(log.entries[1], main.dlg().GetSafeHwnd(), L"U盘写保护关闭");
}

TEST(MenuTools, EachRepairWritesItsValueEveryTimeAndConfirms) {
  struct Case {
    UINT id;
    HKEY root;
    std::wstring subkey;
    std::vector<std::wstring> names;
    DWORD data;
    std::wstring message;
  };
  const Case cases[] = {
      {IDM_REPAIR_FOLDER_OPTIONS, HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
       {L"NoFolderOptions"}, 0, L"文件夹选项修复成功!"},
      {IDM_REPAIR_SHOW_HIDDEN, HKEY_LOCAL_MACHINE, std::wstring(kFolder) + L"Hidden\\SHOWALL",
       {L"CheckedValue", L"DefaultValue"}, 1, L"显示\"所有文件和文件夹修复\"成功!"},
      {IDM_REPAIR_SHOW_SUPERHIDDEN, HKEY_LOCAL_MACHINE, std::wstring(kFolder) + L"SuperHidden", {L"CheckedValue"}, 0,
       L"修复\"显示受保护的操作系统文件\"成功!"},
      {IDM_REPAIR_TASKMGR, HKEY_CURRENT_USER, kSystem, {L"DisableTaskMgr"}, 0, L"修复\"任务管理器\"成功!"},
      {IDM_REPAIR_REGEDIT, HKEY_CURRENT_USER, kSystem, {L"Disableregistrytools"}, 0, L"修复\"注册表编辑器\"成功!"},
      {IDM_REPAIR_CMD, HKEY_CURRENT_USER, kSystem, {L"DisableCMD"}, 0, L"修复CMD成功!"},
  };
  wt::MainDialog main;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    std::vector<std::unique_ptr<SavedValue>> saved;
    for (const auto& name : c.names) saved.push_back(std::make_unique<SavedValue>(c.root, c.subkey, name));
    wt::MessageLog log;
    RunMenu(main, c.id);
    for (const auto& name : c.names) EXPECT_EQ(ReadDword(c.root, c.subkey, name), c.data) << name;
    // A value a program set back is written again; one already right is written and confirmed again.
    WriteDword(c.root, c.subkey, c.names[0], 7);
    RunMenu(main, c.id);
    EXPECT_EQ(ReadDword(c.root, c.subkey, c.names[0]), c.data);
    RunMenu(main, c.id);
    EXPECT_EQ(ReadDword(c.root, c.subkey, c.names[0]), c.data);
    ASSERT_EQ(log.entries.size(), 3u);
    for (const auto& e : log.entries) ExpectNotice(e, main.dlg().GetSafeHwnd(), c.message);
  }
}

TEST(MenuTools, AValueThatCannotBeWrittenIsToldNotConfirmed) {
  // A non-volatile key cannot be created under a volatile one.
  const std::wstring parent = L"Software\\WardletTest-repair-" + std::to_wstring(::GetCurrentProcessId());
  wt::KeyCleanup cleanup(HKEY_CURRENT_USER, parent);
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
  const std::wstring locked = parent + L"\\Policies";
  wt::MainDialog main;
  HWND owner = main.dlg().GetSafeHwnd();
  wt::MessageLog log;

  const app::RepairRow blocked{1, app::RepairRoot::kCurrentUser, locked.c_str(), L"DisableCMD", nullptr, 0, L"done"};
  EXPECT_FALSE(app::RunRepair(owner, blocked));
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].owner, owner);
  EXPECT_EQ(log.entries[0].caption, L"错误");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(log.entries[0].text, app::RepairFailureText(blocked, L"DisableCMD"));
  EXPECT_NE(log.entries[0].text.find(L"HKEY_CURRENT_USER\\" + locked + L"\\DisableCMD"), std::wstring::npos);
  EXPECT_NE(log.entries[0].text.find(L"管理员权限"), std::wstring::npos);

  // The first value is written but the second cannot be (its name is longer than any value name
  // may be): the user is told, not confirmed.
  const std::wstring writable = L"Software\\WardletTest-repair-open-" + std::to_wstring(::GetCurrentProcessId());
  wt::KeyCleanup cleanupWritable(HKEY_CURRENT_USER, writable);
  const std::wstring tooLong(20000, L'x');
  const app::RepairRow half{2, app::RepairRoot::kCurrentUser, writable.c_str(), L"CheckedValue", tooLong.c_str(), 1,
                            L"done"};
  log.entries.clear();
  EXPECT_FALSE(app::RunRepair(owner, half));
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, writable, L"CheckedValue"), 1u);
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].caption, L"错误");
  EXPECT_TRUE(log.entries[0].text == app::RepairFailureText(half, tooLong.c_str()));  // too long to print
  EXPECT_FALSE(log.Has(L"done"));
}

TEST(MenuTools, ForceDeleteButtonFollowsTheEditAndACancelledBrowse) {
  wt::TempDir dir;
  const std::wstring file = dir.path() + L"keep.txt";
  MakeFile(file);
  wt::MainDialog main;
  wt::MessageLog log;
  FileChooser cancel(std::nullopt);
  DialogDriver driver(IDD_FORCE_DELETE, [&](ui::CDialog& dlg) {
    HWND h = dlg.GetSafeHwnd();
    HWND edit = ::GetDlgItem(h, IDC_FORCE_PATH);
    ui::CWnd del = dlg.GetDlgItem(IDC_FORCE_DELETE);
    EXPECT_EQ(dlg.GetWindowText(), L"文件强行删除工具 v1.0");
    EXPECT_EQ(ui::CWnd(edit).GetWindowText(), L"");
    EXPECT_TRUE(del.IsWindowEnabled());  // enabled at start, though the edit is empty

    TypeText(edit, L"abc");
    EXPECT_TRUE(del.IsWindowEnabled());
    Click(dlg, IDC_FORCE_BROWSE);  // cancelled
    EXPECT_EQ(cancel.asked, 1);
    EXPECT_EQ(cancel.filter, L"所有文件(*.*)|*.*||");
    EXPECT_EQ(cancel.title, L"请选择要删除的文件");
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].owner, h);
    EXPECT_EQ(log.entries[0].text, L"可执行文件路径不能为空!");
    EXPECT_EQ(log.entries[0].caption, L"提示");
    EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_FALSE(del.IsWindowEnabled());  // though the edit still holds text
    EXPECT_EQ(ui::CWnd(edit).GetWindowText(), L"abc");

    TypeText(edit, L"d");
    EXPECT_TRUE(del.IsWindowEnabled());
    ClearEdit(edit);
    EXPECT_EQ(ui::CWnd(edit).GetWindowText(), L"");
    EXPECT_FALSE(del.IsWindowEnabled());

    {
      FileChooser choose(file);
      Click(dlg, IDC_FORCE_BROWSE);
      EXPECT_EQ(choose.asked, 1);
    }
    EXPECT_EQ(ui::CWnd(edit).GetWindowText(), file);
    EXPECT_TRUE(del.IsWindowEnabled());
    ::SetFocus(edit);
    PostKey(edit, VK_ESCAPE);
  });
  RunMenu(main, IDM_TOOLS_FORCE_DELETE);
  EXPECT_EQ(driver.opened, 1);
  EXPECT_TRUE(FileExists(file));  // Escape deletes nothing
  EXPECT_EQ(log.entries.size(), 1u);
  ASSERT_TRUE(main.dlg().m_pForceDeleteDlg);
  EXPECT_TRUE(main.dlg().m_pForceDeleteDlg->m_strPath.empty());  // the typed path is not read back
}

TEST(MenuTools, ForceDeleteRemovesATypedPathAndEmptyOrCancelledDeleteNothing) {
  wt::TempDir dir;
  const std::wstring file = dir.path() + L"victim.exe";
  MakeFile(file);
  wt::MainDialog main;
  wt::MessageLog log;

  {  // Escape after typing: nothing deleted, nothing shown.
    DialogDriver driver(IDD_FORCE_DELETE, [&](ui::CDialog& dlg) {
      HWND edit = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_FORCE_PATH);
      TypeText(edit, file);
      ::SetFocus(edit);
      PostKey(edit, VK_ESCAPE);
    });
    RunMenu(main, IDM_TOOLS_FORCE_DELETE);
    EXPECT_EQ(driver.opened, 1);
    EXPECT_TRUE(FileExists(file));
  }
  {  // Delete with an empty edit: the dialog closes and nothing is deleted or reported.
    DialogDriver driver(IDD_FORCE_DELETE, [&](ui::CDialog& dlg) { PostClick(dlg, IDC_FORCE_DELETE); });
    RunMenu(main, IDM_TOOLS_FORCE_DELETE);
    EXPECT_EQ(driver.opened, 1);
    EXPECT_TRUE(FileExists(file));
  }
  EXPECT_TRUE(log.entries.empty());
  {  // Delete with a typed path: the file is gone, with no temporary file left and no message.
    DialogDriver driver(IDD_FORCE_DELETE, [&](ui::CDialog& dlg) {
      TypeText(::GetDlgItem(dlg.GetSafeHwnd(), IDC_FORCE_PATH), file);
      PostClick(dlg, IDC_FORCE_DELETE);
    });
    RunMenu(main, IDM_TOOLS_FORCE_DELETE);
    EXPECT_EQ(driver.opened, 1);
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(CountFiles(dir.path()), 0);
    EXPECT_TRUE(log.entries.empty());
  }
  {  // Enter in the edit ends the dialog as Delete does; a missing file is reported to the main window.
    const std::wstring missing = dir.path() + L"missing.txt";
    DialogDriver driver(IDD_FORCE_DELETE, [&](ui::CDialog& dlg) {
      HWND edit = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_FORCE_PATH);
      TypeText(edit, missing);
      ::SetFocus(edit);
      PostKey(edit, VK_RETURN);
    });
    RunMenu(main, IDM_TOOLS_FORCE_DELETE);
    EXPECT_EQ(driver.opened, 1);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].owner, main.dlg().GetSafeHwnd());
    EXPECT_EQ(log.entries[0].text, L"文件删除失败!");
    EXPECT_EQ(main.dlg().m_pForceDeleteDlg->m_strPath, missing);
  }
}

TEST(MenuTools, AboutShowsTheWholeIntroductionEachTime) {
  const std::wstring pieces[15] = {
      L"Wardlet是由Morvane独立开发的一款安全辅助工具。\r\n",
      L"具有进程管理，窗口管理,服务管理，启动项管理，IFEO检测,端口管理等多种功能\r\n",
      L"【更新日志】:\r\n",
      L"▲v1.2 \t 2009-05-31 \r\n",
      L"◆为端口列表增加了显示远程Ip地理位置的功能\r\n",
      L"◆数据库比较大，我就不附带了，自己去下载吧，我提供了链接\r\n\r\n",
      L"▲v1.1 \t 2009-05-11 \r\n",
      L"◆修正了端口管理功能\r\n",
      L"◆修正了窗口类查询的bug\r\n",
      L"◆修正了部分机器上无法显示服务列表的bug\r\n",
      L"◆修正了启动项管理器，查看文件属性的bug\r\n",
      L"◆增强进程管理模块，增加了强行删除功能\r\n",
      L"◆添加了U盘写保护等一些实用的小功能\r\n\r\n",
      L"▲v1.0 \t 2009-05-07 \r\n",
      L"◆发布Wardlet第一个版本",
  };
  std::wstring whole;
  for (const auto& p : pieces) whole += p;

  wt::MainDialog main;
  std::vector<std::wstring> shown;
  DialogDriver driver(IDD_ABOUT, [&](ui::CDialog& dlg) {
    EXPECT_EQ(dlg.GetWindowText(), L"关于");
    ui::CWnd edit = dlg.GetDlgItem(IDC_ABOUT_TEXT);
    shown.push_back(edit.GetWindowText());
    // The first time the user edits the text and ends with OK, which reads the edit back.
    if (shown.size() == 1) {
      edit.SetWindowText(L"edited by the user");
      ::PostMessageW(dlg.GetSafeHwnd(), WM_COMMAND, IDOK, 0);
    } else {
      PostKey(edit, VK_ESCAPE);
    }
  });
  RunMenu(main, IDM_HELP_ABOUT);
  ASSERT_TRUE(main.dlg().m_pAboutDlg);
  EXPECT_EQ(main.dlg().m_pAboutDlg->m_strDescription, L"edited by the user");
  RunMenu(main, IDM_HELP_ABOUT);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], whole);
  EXPECT_EQ(shown[1], whole);
  EXPECT_EQ(main.dlg().m_pAboutDlg->m_strDescription, whole);
}

TEST(MenuTools, HomePageOpensMaximisedThroughTheShell) {
  wt::MainDialog main;
  wt::ShellLog shell;
  wt::MessageLog log;
  RunMenu(main, IDM_HELP_HOMEPAGE);
  ASSERT_EQ(shell.requests.size(), 1u);
  const common::ShellRequest& r = shell.requests[0];
  EXPECT_EQ(r.owner, main.dlg().GetSafeHwnd());
  EXPECT_EQ(r.verb, L"open");
  EXPECT_EQ(r.file.rfind(L"https://", 0), 0u) << r.file.c_str();
  EXPECT_TRUE(r.parameters.empty());
  EXPECT_EQ(r.show, SW_SHOWMAXIMIZED);
  EXPECT_FALSE(r.properties);
  EXPECT_TRUE(log.entries.empty());
}
