// The IFEO page: image keys with a "Debugger" value in both registry views, the sample key,
// deletion of whole image keys, the add dialog, refresh and Registry Editor.
#include <gtest/gtest.h>

#include "pages/ifeo/ifeo_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {
const std::wstring kIfeo = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const std::wstring kMarker = L"Forbid by Morvane";
constexpr REGSAM k64 = KEY_WOW64_64KEY;

// An image key (in one view) made by the values the test sets, deleted with all it holds at the end.
class ImageKey {
 public:
  explicit ImageKey(std::wstring name, REGSAM view = k64) : m_name(std::move(name)), m_view(view) {}
  ~ImageKey() { rt::DeleteTree(HKEY_LOCAL_MACHINE, kIfeo, m_name, m_view); }
  void Set(const std::wstring& value, DWORD type, const std::vector<BYTE>& data, const std::wstring& sub = L"") const {
    ui::CRegKey k;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (Path() + sub).c_str(), 0, nullptr, 0, KEY_WRITE | m_view, nullptr,
                          k.put(), nullptr) == ERROR_SUCCESS)
      ::RegSetValueExW(k.get(), value.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  }
  void Debugger(const std::wstring& text) const { Set(L"Debugger", REG_SZ, rt::SzData(text)); }
  std::wstring Path() const { return kIfeo + L"\\" + m_name; }
  bool Exists() const { return rt::KeyExists(HKEY_LOCAL_MACHINE, Path(), m_view); }

 private:
  std::wstring m_name;
  REGSAM m_view;
};

struct Page : wt::PageTab<CIfeoPage> {
  Page() : PageTab(&CWardletDlg::m_ifeoPage, 4) {}
  // Opens the add dialog from the menu of row 0, or of a marker row when the list is empty.
  void Add() {
    if (list.GetItemCount() == 0) wt::AddRecord(page.Records(), wt::MarkerRecord(L"marker"));
    Run(0, IDM_IFEO_ADD);
  }
  int Row(const std::wstring& image) {  // -1: none, -3: two
    std::vector<int> rows = rt::RowsWith(list, 1, image);
    return rows.size() == 1 ? rows[0] : -static_cast<int>(rows.size()) - 1;
  }
  std::wstring Cell(const std::wstring& image, int column) { return list.GetItemText(Row(image), column); }
};
}  // namespace

// Image keys with a "Debugger" value are listed once, from both views, with the value's text and the
// key's real path; never the system's sample key.
TEST(IfeoPage, ListsEveryImageKeyWithADebuggerValueOnceFromBothViews) {
  const std::wstring longDebugger = L"C:\\" + std::wstring(600, L'd') + L"\\dbg.exe";
  const std::wstring machine = L"HKEY_LOCAL_MACHINE\\" + kIfeo + L"\\";
  const std::wstring wow = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\"
                           L"Image File Execution Options\\";
  const bool shared = rt::SharedBetweenViews(HKEY_LOCAL_MACHINE, kIfeo);
  ImageKey plain(L"wardlet_t_plain.exe"), none(L"wardlet_t_nodbg.exe"), longOne(L"wardlet_t_long.exe");
  ImageKey binary(L"wardlet_t_binary.exe"), only32(L"wardlet_t_v32.exe", KEY_WOW64_32KEY);
  plain.Debugger(L"C:\\dbg.exe -x");
  none.Set(L"GlobalFlag", REG_DWORD, {2, 0, 0, 0});
  longOne.Debugger(longDebugger);
  binary.Set(L"Debugger", REG_BINARY, {'a', 'b', 'c', 0, 'd'});
  only32.Debugger(L"C:\\v32.exe");
  const std::wstring sample = kIfeo + L"\\Your Image File Name Here without a path";
  rt::TestKey sampleKey(HKEY_LOCAL_MACHINE, sample);
  rt::TestValue sampleDebugger(HKEY_LOCAL_MACHINE, sample, k64, L"Debugger", REG_SZ, rt::SzData(L"C:\\sample.exe"));
  Page p;
  EXPECT_EQ(p.Row(L"wardlet_t_nodbg.exe"), -1);
  EXPECT_TRUE(rt::RowsWith(p.list, 2, L"C:\\sample.exe").empty());
  const struct { std::wstring image, debugger, key; } expected[] = {
      {L"wardlet_t_plain.exe", L"C:\\dbg.exe -x", machine},
      {L"wardlet_t_long.exe", longDebugger, machine},
      {L"wardlet_t_binary.exe", L"abc", machine},
      {L"wardlet_t_v32.exe", L"C:\\v32.exe", shared ? machine : wow}};
  for (const auto& e : expected) {
    ASSERT_GE(p.Row(e.image), 0) << "listed once";
    EXPECT_EQ(p.Cell(e.image, 2), e.debugger);
    EXPECT_EQ(p.Cell(e.image, 3), e.key + e.image);
  }
  EXPECT_EQ(p.Cell(L"wardlet_t_plain.exe", 5), L"C:\\dbg.exe -x");
  EXPECT_EQ(p.Cell(L"wardlet_t_binary.exe", 5), L"61 62 63 00 64");  // the data whole
  for (int r = 0, n = p.list.GetItemCount(); r < n; ++r) EXPECT_EQ(p.list.GetItemText(r, 0), std::to_wstring(r + 1));

  // An entry of the 32-bit view is deleted in its own key.
  wt::MessageLog messages;
  p.Run(p.Row(L"wardlet_t_v32.exe"), IDM_IFEO_DELETE);
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_FALSE(only32.Exists());
  EXPECT_EQ(p.Row(L"wardlet_t_v32.exe"), -1);
}

// The row menu opens on rows only. Delete removes the whole image key; a key with subkeys loses
// its "Debugger" value only, and a key that cannot be opened is reported; with no row selected nothing is deleted; each time the list
// is refilled. Refresh lists a key added since; Registry Editor opens at the row's key.
TEST(IfeoPage, MenuDeletesRefreshesAndOpensRegistryEditor) {
  const std::wstring regeditKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
  rt::TestKey regedit(HKEY_CURRENT_USER, regeditKey);
  rt::TestValue lastKey(HKEY_CURRENT_USER, regeditKey, k64, L"Lastkey", REG_SZ, rt::SzData(L"before"));
  ImageKey doomed(L"wardlet_t_del.exe"), parent(L"wardlet_t_sub.exe"), neighbour(L"wardlet_t_keep.exe");
  ImageKey later(L"wardlet_t_later.exe");
  doomed.Debugger(L"C:\\d.exe");
  doomed.Set(L"Other", REG_SZ, rt::SzData(L"goes too"));
  parent.Debugger(L"C:\\p.exe");
  parent.Set(L"", REG_SZ, rt::SzData(L"x"), L"\\child");
  parent.Set(L"Keep", REG_SZ, rt::SzData(L"kept"));
  neighbour.Debugger(L"C:\\k.exe");
  wt::MessageLog messages;
  wt::ShellLog shell;
  Page p;
  const ui::CListCtrl& list = p.list;
  {
    wt::MenuChooser chooser;
    wt::RightClickRow(p.page, list, -1);
    EXPECT_EQ(chooser.opened, 0);
    p.Run(p.Row(L"wardlet_t_del.exe"), IDM_IFEO_DELETE, &chooser);
    EXPECT_EQ(chooser.lastMenuId, static_cast<UINT>(IDR_MENU_IFEO));
  }
  EXPECT_FALSE(doomed.Exists());
  EXPECT_EQ(p.Row(L"wardlet_t_del.exe"), -1);
  EXPECT_GE(p.Row(L"wardlet_t_keep.exe"), 0);
  EXPECT_TRUE(messages.entries.empty());

  // A key a hijacker gave a subkey cannot go whole: its "Debugger" value goes, the rest stays.
  p.Run(p.Row(L"wardlet_t_sub.exe"), IDM_IFEO_DELETE);
  EXPECT_EQ(messages.entries, wt::Shown(p.page, ifeo::kDebuggerOnlyRemoved, L"提示", MB_ICONINFORMATION));
  EXPECT_TRUE(parent.Exists());
  EXPECT_TRUE(rt::KeyExists(HKEY_LOCAL_MACHINE, parent.Path() + L"\\child"));
  EXPECT_FALSE(rt::ValueExists(HKEY_LOCAL_MACHINE, parent.Path(), k64, L"Debugger"));
  EXPECT_EQ(rt::ReadString(HKEY_LOCAL_MACHINE, parent.Path(), L"Keep"), L"kept");
  EXPECT_EQ(p.Row(L"wardlet_t_sub.exe"), -1);

  messages.entries.clear();
  auto record = std::make_shared<ifeo::IfeoRecord>();
  record->entry.image = L"wardlet_t_keep.exe";
  record->entry.key = L"HKEY_USERS\\" + kIfeo + L"\\wardlet_t_keep.exe";
  record->cells = {L"0", record->entry.image, L"", record->entry.key, L"", L""};
  record->key = L"fake";
  wt::AddRecord(p.page.Records(), record);
  const int fake = wt::FindRow(list, 0, L"0");
  ASSERT_GE(fake, 0);
  p.Run(fake, IDM_IFEO_DELETE);
  EXPECT_EQ(messages.entries, wt::Shown(p.page, L"注册表打开失败", L"错误", MB_ICONERROR));
  EXPECT_TRUE(rt::RowsWith(list, 0, L"0").empty());

  wt::AddRecord(p.page.Records(), wt::MarkerRecord(L"marker"));
  wt::SelectRow(list, -1);
  p.page.SendMessage(WM_COMMAND, IDM_IFEO_DELETE, 0);
  EXPECT_EQ(messages.entries.size(), 1u);
  EXPECT_TRUE(rt::RowsWith(list, 0, L"marker").empty());
  EXPECT_TRUE(neighbour.Exists());

  later.Debugger(L"C:\\later.exe");
  p.Run(p.Row(L"wardlet_t_keep.exe"), IDM_IFEO_REFRESH);
  EXPECT_GE(p.Row(L"wardlet_t_later.exe"), 0);
  p.Run(p.Row(L"wardlet_t_keep.exe"), IDM_IFEO_REGEDIT);
  EXPECT_EQ(shell.requests,
            (std::vector<common::ShellRequest>{{nullptr, L"open", wt::WindowsProgram(L"Regedit.exe"), L"", SW_SHOWMAXIMIZED, false}}));
  EXPECT_EQ(rt::ReadString(HKEY_CURRENT_USER, regeditKey, L"Lastkey"),
            L"HKEY_LOCAL_MACHINE\\" + kIfeo + L"\\wardlet_t_keep.exe");
}

// The add dialog: Add is enabled by a name; Add writes the marker, keeping the key's other values;
// Escape and the close box write nothing, but the list is refreshed all the same.
TEST(IfeoPage, AddWritesTheMarkerAndKeepsOtherValuesUnlessClosed) {
  ImageKey added(L"wardlet_t_added.exe"), existing(L"wardlet_t_exist.exe"), closed(L"wardlet_t_closed.exe");
  existing.Debugger(L"C:\\old.exe");
  existing.Set(L"Keep", REG_SZ, rt::SzData(L"kept"));
  std::wstring name;
  enum { kAdd, kEscape, kCloseBox } end = kAdd;
  rt::DialogDriver driver(IDD_ADD_IFEO, [&](HWND d) {
    EXPECT_FALSE(rt::IsEnabled(d, IDC_IFEO_ADD));
    for (const std::wstring& text : {std::wstring(L"x"), std::wstring(), name}) {
      rt::SetEditText(d, IDC_IFEO_NAME, text);
      EXPECT_EQ(rt::IsEnabled(d, IDC_IFEO_ADD), !text.empty());
    }
    if (end == kAdd)
      rt::PostClick(d, IDC_IFEO_ADD);
    else
      rt::CloseWithClickQueued(d, end == kCloseBox, IDC_IFEO_ADD);
  });
  Page p;
  name = L"wardlet_t_added.exe";
  p.Add();
  EXPECT_EQ(rt::ReadString(HKEY_LOCAL_MACHINE, added.Path(), L"Debugger"), kMarker);
  EXPECT_EQ(p.Cell(name, 2), kMarker);
  name = L"wardlet_t_exist.exe";
  p.Add();
  EXPECT_EQ(rt::ReadString(HKEY_LOCAL_MACHINE, existing.Path(), L"Debugger"), kMarker);
  EXPECT_EQ(rt::ReadString(HKEY_LOCAL_MACHINE, existing.Path(), L"Keep"), L"kept");
  name = L"wardlet_t_closed.exe";
  for (auto closing : {kEscape, kCloseBox}) {
    end = closing;
    wt::AddRecord(p.page.Records(), wt::MarkerRecord(L"marker"));
    p.Add();
    EXPECT_FALSE(closed.Exists()) << closing;
    EXPECT_TRUE(rt::RowsWith(p.list, 0, L"marker").empty());
  }
  EXPECT_EQ(driver.opened, 4);
}

// GlobalFlag with silent-exit monitoring on, VerifierDlls and the MonitorProcess started when the
// image exits are rows of their own; delete removes exactly the row's value.
TEST(IfeoPage, SilentExitMonitorsAndVerifierDllsAreListedAndDeletedValueByValue) {
  const std::wstring silent = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit";
  const std::wstring machine = L"HKEY_LOCAL_MACHINE\\";
  ImageKey gf(L"wardlet_t_gf.exe"), off(L"wardlet_t_gf0.exe"), text(L"wardlet_t_gfs.exe");
  gf.Set(L"GlobalFlag", REG_DWORD, {0x00, 0x02, 0, 0});
  gf.Set(L"VerifierDlls", REG_SZ, rt::SzData(L"wt_verifier.dll"));
  gf.Set(L"Keep", REG_SZ, rt::SzData(L"kept"));
  off.Set(L"GlobalFlag", REG_DWORD, {0x02, 0, 0, 0});
  text.Set(L"GlobalFlag", REG_SZ, rt::SzData(L"0x00000202"));
  rt::TestKey monitorKey(HKEY_LOCAL_MACHINE, silent + L"\\wardlet_t_gf.exe");
  rt::TestValue monitor(HKEY_LOCAL_MACHINE, silent + L"\\wardlet_t_gf.exe", k64, L"MonitorProcess", REG_SZ,
                        rt::SzData(L"C:\\wt\\monitor.exe -silent"));
  rt::TestValue mode(HKEY_LOCAL_MACHINE, silent + L"\\wardlet_t_gf.exe", k64, L"ReportingMode", REG_DWORD,
                     {1, 0, 0, 0});
  Page p;
  auto rowOf = [&](const std::wstring& image, const std::wstring& value) {
    std::vector<int> rows = rt::RowsWith(p.list, 1, image, 4, value);
    return rows.size() == 1 ? rows[0] : -1;
  };
  EXPECT_EQ(rt::RowsWith(p.list, 1, L"wardlet_t_gf0.exe").size(), 0u);  // no monitoring bit
  ASSERT_GE(rowOf(L"wardlet_t_gf.exe", L"GlobalFlag"), 0);
  ASSERT_GE(rowOf(L"wardlet_t_gfs.exe", L"GlobalFlag"), 0);
  ASSERT_GE(rowOf(L"wardlet_t_gf.exe", L"VerifierDlls"), 0);
  ASSERT_GE(rowOf(L"wardlet_t_gf.exe", L"MonitorProcess"), 0);
  EXPECT_EQ(p.list.GetItemText(rowOf(L"wardlet_t_gf.exe", L"GlobalFlag"), 5), L"0x00000200 (512)");
  EXPECT_EQ(p.list.GetItemText(rowOf(L"wardlet_t_gfs.exe", L"GlobalFlag"), 5), L"0x00000202");
  EXPECT_EQ(p.list.GetItemText(rowOf(L"wardlet_t_gf.exe", L"VerifierDlls"), 2), L"wt_verifier.dll");
  const int mon = rowOf(L"wardlet_t_gf.exe", L"MonitorProcess");
  EXPECT_EQ(p.list.GetItemText(mon, 2), L"C:\\wt\\monitor.exe -silent");
  EXPECT_EQ(p.list.GetItemText(mon, 3), machine + silent + L"\\wardlet_t_gf.exe");

  wt::MessageLog messages;
  p.Run(rowOf(L"wardlet_t_gf.exe", L"GlobalFlag"), IDM_IFEO_DELETE);
  EXPECT_FALSE(rt::ValueExists(HKEY_LOCAL_MACHINE, gf.Path(), k64, L"GlobalFlag"));
  EXPECT_TRUE(rt::ValueExists(HKEY_LOCAL_MACHINE, gf.Path(), k64, L"VerifierDlls"));
  EXPECT_EQ(rt::ReadString(HKEY_LOCAL_MACHINE, gf.Path(), L"Keep"), L"kept");
  EXPECT_EQ(rowOf(L"wardlet_t_gf.exe", L"GlobalFlag"), -1);
  p.Run(rowOf(L"wardlet_t_gf.exe", L"MonitorProcess"), IDM_IFEO_DELETE);
  EXPECT_FALSE(rt::ValueExists(HKEY_LOCAL_MACHINE, silent + L"\\wardlet_t_gf.exe", k64, L"MonitorProcess"));
  EXPECT_TRUE(rt::ValueExists(HKEY_LOCAL_MACHINE, silent + L"\\wardlet_t_gf.exe", k64, L"ReportingMode"));
  p.Run(rowOf(L"wardlet_t_gf.exe", L"VerifierDlls"), IDM_IFEO_DELETE);
  EXPECT_FALSE(rt::ValueExists(HKEY_LOCAL_MACHINE, gf.Path(), k64, L"VerifierDlls"));
  EXPECT_TRUE(gf.Exists());
  EXPECT_TRUE(messages.entries.empty());
  EXPECT_EQ(rt::RowsWith(p.list, 1, L"wardlet_t_gf.exe").size(), 0u);
}
