// The IFEO page: image keys with a "Debugger" value, the sample key, deletion of whole image keys,
// the add dialog, refresh and Registry Editor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/shell_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

using namespace std::string_literals;

namespace {
const std::wstring kIfeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const std::wstring kWowIfeo = L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const std::wstring kSample = L"Your Image File Name Here without a path";
constexpr REGSAM k64 = KEY_WOW64_64KEY;
constexpr REGSAM k32 = KEY_WOW64_32KEY;

// An image key the test writes (in one view) and deletes with everything in it at the end.
class ImageKey {
 public:
  ImageKey(std::wstring name, REGSAM view = k64) : m_name(std::move(name)), m_view(view) {
    ui::CRegKey k;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kIfeo + L"\\" + m_name).c_str(), 0, nullptr, 0, KEY_WRITE | m_view,
                      nullptr, k.put(), nullptr);
  }
  ~ImageKey() { rt::DeleteTree(HKEY_LOCAL_MACHINE, kIfeo, m_name, m_view); }
  ImageKey(const ImageKey&) = delete;
  ImageKey& operator=(const ImageKey&) = delete;
  void Set(const std::wstring& value, DWORD type, const std::vector<BYTE>& data) const {
    ui::CRegKey k;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Path().c_str(), 0, KEY_WRITE | m_view, k.put()) == ERROR_SUCCESS)
      ::RegSetValueExW(k.get(), value.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  }
  void Debugger(const std::wstring& text) const { Set(L"Debugger", REG_SZ, rt::SzData(text)); }
  std::wstring Path() const { return kIfeo + L"\\" + m_name; }

 private:
  std::wstring m_name;
  REGSAM m_view;
};

std::wstring StringValue(const std::wstring& key, const std::wstring& name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!rt::ReadValue(HKEY_LOCAL_MACHINE, key, k64, name, type, data) || type != REG_SZ) return L"<missing>";
  return std::wstring(reinterpret_cast<const wchar_t*>(data.data()));
}

struct Page {
  wt::MainDialog main;
  CIfeoPage& page() { return main.dlg().m_ifeoPage; }
  const ui::CListCtrl& list() { return page().List(); }
  Page() { main.SelectTab(4); }
  void Run(int row, UINT command, wt::MenuChooser* seen = nullptr) {
    wt::RunRowCommand(page().GetSafeHwnd(), list(), row, command, seen);
  }
  // Opens the add dialog from the menu of row 0, or of a marker row when the list is empty.
  void Add() {
    if (list().GetItemCount() == 0) list().InsertItem(0, L"marker");
    Run(0, IDM_IFEO_ADD);
  }
  int Row(const std::wstring& image) {
    std::vector<int> rows = rt::RowsWith(list(), 1, image);
    return rows.size() == 1 ? rows[0] : -static_cast<int>(rows.size()) - 1;  // -1: none, -3: two
  }
};
}  // namespace

TEST(IfeoPage, ListsEveryImageKeyWithADebuggerValueOnce) {
  const std::wstring longDebugger = L"C:\\" + std::wstring(600, L'd') + L"\\dbg.exe";
  ImageKey plain(L"wardlet_t_plain.exe"), none(L"wardlet_t_nodbg.exe"), longOne(L"wardlet_t_long.exe");
  ImageKey binary(L"wardlet_t_binary.exe");
  plain.Debugger(L"C:\\dbg.exe -x");
  none.Set(L"GlobalFlag", REG_DWORD, {2, 0, 0, 0});
  longOne.Debugger(longDebugger);
  binary.Set(L"Debugger", REG_BINARY, {'a', 'b', 'c', 0, 'd'});
  Page p;
  const ui::CListCtrl& list = p.list();

  EXPECT_EQ(p.Row(L"wardlet_t_nodbg.exe"), -1);
  struct Expected {
    const wchar_t* image;
    std::wstring debugger;
  } expected[] = {{L"wardlet_t_plain.exe", L"C:\\dbg.exe -x"},
                  {L"wardlet_t_long.exe", longDebugger},
                  {L"wardlet_t_binary.exe", L"abc"}};
  for (const auto& e : expected) {
    int row = p.Row(e.image);
    ASSERT_GE(row, 0) << "listed once";
    EXPECT_EQ(list.GetItemText(row, 2), e.debugger);
    EXPECT_EQ(list.GetItemText(row, 3), common::IfeoKeyPath(e.image));
  }
  for (int r = 0, n = list.GetItemCount(); r < n; ++r) EXPECT_EQ(list.GetItemText(r, 0), std::to_wstring(r + 1));
}

TEST(IfeoPage, TheSampleKeyIsNeverListedButItsCaseVariantIs) {
  const bool existed = rt::KeyExists(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + kSample);
  {
    rt::TestKey sample(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + kSample);
    rt::TestValue debugger(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + kSample, k64, L"Debugger", REG_SZ,
                           rt::SzData(L"C:\\sample.exe"));
    ASSERT_TRUE(debugger.written());
    Page p;
    EXPECT_EQ(p.Row(kSample), -1);
    EXPECT_TRUE(rt::RowsWith(p.list(), 2, L"C:\\sample.exe").empty());
  }
  if (existed) return;  // the variant would only name the same key
  const std::wstring variant = L"your image file name here without a path";
  ImageKey key(variant);
  key.Debugger(L"C:\\variant.exe");
  Page p;
  int row = p.Row(variant);
  ASSERT_GE(row, 0);
  EXPECT_EQ(p.list().GetItemText(row, 2), L"C:\\variant.exe");
}

TEST(IfeoPage, DeleteRemovesTheWholeImageKeyOrSaysWhyNot) {
  ImageKey doomed(L"wardlet_t_del.exe"), parent(L"wardlet_t_sub.exe"), neighbour(L"wardlet_t_keep.exe");
  doomed.Debugger(L"C:\\d.exe");
  doomed.Set(L"Other", REG_SZ, rt::SzData(L"goes too"));
  parent.Debugger(L"C:\\p.exe");
  neighbour.Debugger(L"C:\\k.exe");
  { ui::CRegKey child; ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (parent.Path() + L"\\child").c_str(), 0, nullptr, 0, KEY_WRITE | k64, nullptr, child.put(), nullptr); }
  wt::MessageLog messages;
  Page p;
  const ui::CListCtrl& list = p.list();

  p.Run(p.Row(L"wardlet_t_del.exe"), IDM_IFEO_DELETE);
  EXPECT_FALSE(rt::KeyExists(HKEY_LOCAL_MACHINE, doomed.Path()));
  EXPECT_EQ(p.Row(L"wardlet_t_del.exe"), -1);
  EXPECT_GE(p.Row(L"wardlet_t_keep.exe"), 0);
  EXPECT_TRUE(messages.entries.empty());

  p.Run(p.Row(L"wardlet_t_sub.exe"), IDM_IFEO_DELETE);
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_EQ(messages.entries[0].text, L"删除失败!");
  EXPECT_EQ(messages.entries[0].caption, L"错误");
  EXPECT_EQ(messages.entries[0].style, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(rt::KeyExists(HKEY_LOCAL_MACHINE, parent.Path()));
  EXPECT_GE(p.Row(L"wardlet_t_sub.exe"), 0);

  int fake = list.InsertItem(0, L"0");
  list.SetItemText(fake, 1, L"wardlet_t_keep.exe");
  list.SetItemText(fake, 3, L"HKEY_USERS\\" + kIfeo + L"\\wardlet_t_keep.exe");
  p.Run(fake, IDM_IFEO_DELETE);
  ASSERT_EQ(messages.entries.size(), 2u);
  EXPECT_EQ(messages.entries[1].text, L"注册表打开失败");
  EXPECT_EQ(messages.entries[1].caption, L"错误");
  EXPECT_TRUE(rt::KeyExists(HKEY_LOCAL_MACHINE, neighbour.Path()));
  EXPECT_TRUE(rt::RowsWith(list, 0, L"0").empty());

  // No row selected: nothing is deleted, the list is refilled.
  list.InsertItem(0, L"marker");
  wt::SelectRow(list, -1);
  p.page().SendMessage(WM_COMMAND, IDM_IFEO_DELETE, 0);
  EXPECT_EQ(messages.entries.size(), 2u);
  EXPECT_TRUE(rt::RowsWith(list, 0, L"marker").empty());
  EXPECT_TRUE(rt::KeyExists(HKEY_LOCAL_MACHINE, neighbour.Path()));
}

TEST(IfeoPage, AddWritesTheMarkerAndKeepsOtherValues) {
  ImageKey added(L"wardlet_t_added.exe"), existing(L"wardlet_t_exist.exe");
  rt::DeleteTree(HKEY_LOCAL_MACHINE, kIfeo, L"wardlet_t_added.exe");  // starts absent
  existing.Debugger(L"C:\\old.exe");
  existing.Set(L"Keep", REG_SZ, rt::SzData(L"kept"));
  std::wstring name = L"wardlet_t_added.exe";
  std::vector<bool> states;
  rt::DialogDriver driver(IDD_ADD_IFEO, [&](HWND d) {
    states.push_back(rt::IsEnabled(d, IDC_IFEO_ADD));
    rt::SetEditText(d, IDC_IFEO_NAME, L"x");
    states.push_back(rt::IsEnabled(d, IDC_IFEO_ADD));
    rt::SetEditText(d, IDC_IFEO_NAME, L"");
    states.push_back(rt::IsEnabled(d, IDC_IFEO_ADD));
    rt::SetEditText(d, IDC_IFEO_NAME, name);
    states.push_back(rt::IsEnabled(d, IDC_IFEO_ADD));
    rt::PostClick(d, IDC_IFEO_ADD);
  });
  Page p;
  p.Add();
  EXPECT_EQ(states, (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(StringValue(added.Path(), L"Debugger"), L"Forbid by Morvane");
  int row = p.Row(name);
  ASSERT_GE(row, 0);
  EXPECT_EQ(p.list().GetItemText(row, 2), L"Forbid by Morvane");

  name = L"wardlet_t_exist.exe";
  p.Add();
  EXPECT_EQ(StringValue(existing.Path(), L"Debugger"), L"Forbid by Morvane");
  EXPECT_EQ(StringValue(existing.Path(), L"Keep"), L"kept");
  EXPECT_EQ(driver.opened, 2);
}

TEST(IfeoPage, AddClosedByEscapeOrTheCloseBoxWritesNothing) {
  ImageKey closed(L"wardlet_t_closed.exe");
  rt::DeleteTree(HKEY_LOCAL_MACHINE, kIfeo, L"wardlet_t_closed.exe");
  bool useCloseBox = false;
  // A click on Add waits behind the key or the close box: it writes should the dialog stay open.
  rt::DialogDriver driver(IDD_ADD_IFEO, [&](HWND d) {
    rt::SetEditText(d, IDC_IFEO_NAME, L"wardlet_t_closed.exe");
    if (useCloseBox)
      ::SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
      rt::PostEscape(d);
    rt::PostClick(d, IDC_IFEO_ADD);
  });
  Page p;
  p.list().InsertItem(0, L"marker");
  p.Add();
  EXPECT_FALSE(rt::KeyExists(HKEY_LOCAL_MACHINE, closed.Path()));
  EXPECT_TRUE(rt::RowsWith(p.list(), 0, L"marker").empty());  // refreshed all the same
  useCloseBox = true;
  p.Add();
  EXPECT_FALSE(rt::KeyExists(HKEY_LOCAL_MACHINE, closed.Path()));
  EXPECT_EQ(driver.opened, 2);
}

TEST(IfeoPage, MenuRefreshAndRegistryEditor) {
  const std::wstring regeditKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
  rt::TestKey regedit(HKEY_CURRENT_USER, regeditKey);
  rt::TestValue lastKey(HKEY_CURRENT_USER, regeditKey, k64, L"Lastkey", REG_SZ, rt::SzData(L"before"));
  ImageKey listed(L"wardlet_t_menu.exe"), later(L"wardlet_t_later.exe");
  listed.Debugger(L"C:\\menu.exe");
  wt::ShellLog shell;
  Page p;
  int row = p.Row(L"wardlet_t_menu.exe");
  ASSERT_GE(row, 0);
  {
    wt::MenuChooser chooser;
    wt::RightClickRow(p.page().GetSafeHwnd(), p.list(), -1);
    EXPECT_EQ(chooser.opened, 0);
    p.Run(row, 0, &chooser);
    EXPECT_EQ(chooser.lastMenuId, static_cast<UINT>(IDR_MENU_IFEO));
    EXPECT_EQ(chooser.items, (std::vector<UINT>{IDM_IFEO_REFRESH, IDM_IFEO_DELETE, IDM_IFEO_ADD, IDM_IFEO_REGEDIT}));
    EXPECT_TRUE(chooser.greyed.empty());
  }
  later.Debugger(L"C:\\later.exe");
  EXPECT_EQ(p.Row(L"wardlet_t_later.exe"), -1);
  p.Run(row, IDM_IFEO_REFRESH);
  EXPECT_GE(p.Row(L"wardlet_t_later.exe"), 0);

  row = p.Row(L"wardlet_t_menu.exe");
  p.Run(row, IDM_IFEO_REGEDIT);
  ASSERT_EQ(shell.requests.size(), 1u);
  EXPECT_EQ(shell.requests[0].file, L"Regedit.exe");
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(rt::ReadValue(HKEY_CURRENT_USER, regeditKey, k64, L"Lastkey", type, data));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), common::IfeoKeyPath(L"wardlet_t_menu.exe"));
}

TEST(IfeoPage, AnEntryOfThe32BitViewIsListedOnceAndDeletedInItsOwnKey) {
  const bool shared = rt::SharedBetweenViews(HKEY_LOCAL_MACHINE, kIfeo);
  ImageKey only32(L"wardlet_t_v32.exe", k32);
  only32.Debugger(L"C:\\v32.exe");
  Page p;
  int row = p.Row(L"wardlet_t_v32.exe");
  ASSERT_GE(row, 0);
  const std::wstring path = L"HKEY_LOCAL_MACHINE\\" + (shared ? kIfeo : kWowIfeo) + L"\\wardlet_t_v32.exe";
  EXPECT_EQ(p.list().GetItemText(row, 3), path);
  wt::MessageLog messages;
  p.Run(row, IDM_IFEO_DELETE);
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_FALSE(rt::KeyExists(HKEY_LOCAL_MACHINE, kIfeo + L"\\wardlet_t_v32.exe", k32));
  EXPECT_EQ(p.Row(L"wardlet_t_v32.exe"), -1);
}

TEST(IfeoPage, AProgramBarredFromTheProcessPageIsListed) {
  const std::wstring image = L"wardlet_t_forbid_" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  wt::TempDir dir;
  ASSERT_TRUE(::CopyFileW((wt::ExeDir() + L"wardlet_child.exe").c_str(), (dir.path() + image).c_str(), FALSE));
  struct Cleanup {
    std::wstring name;
    ~Cleanup() { rt::DeleteTree(HKEY_LOCAL_MACHINE, kIfeo, name); }
  } cleanup{image};
  wt::Child child(L"\"" + dir.path() + image + L"\"");
  ASSERT_TRUE(child.started());
  wt::MessageLog messages;
  Page p;
  p.main.SelectTab(0);
  const ui::CListCtrl& processes = p.main.dlg().m_processPage.ProcessList();
  int processRow = wt::FindRow(processes, 3, std::to_wstring(child.pid()));
  ASSERT_GE(processRow, 0);
  wt::RunRowCommand(p.main.dlg().m_processPage.GetSafeHwnd(), processes, processRow, IDM_PROCESS_FORBID);
  p.main.SelectTab(4);
  int row = p.Row(image);
  ASSERT_GE(row, 0);
  EXPECT_EQ(p.list().GetItemText(row, 2), L"Forbid by Morvane");
  EXPECT_EQ(p.list().GetItemText(row, 3), common::IfeoKeyPath(image));
  // Deleting the row lifts the bar.
  p.Run(row, IDM_IFEO_DELETE);
  EXPECT_FALSE(rt::KeyExists(HKEY_LOCAL_MACHINE, kIfeo + L"\\" + image));
  EXPECT_EQ(p.Row(image), -1);
}
