// The service, startup-item and IFEO lists as record lists: sorting kept across refreshes, the find
// box, commands that act on exactly the selected record and refuse one that changed since the
// listing, and the signer column (verdicts, warning colour, hiding Microsoft-signed rows).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/record_list.h"
#include "common/settings.h"
#include "common/signature.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"
#include "ui/text.h"

namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kUserRunCell = L"HKEY_CURRENT_USER\\" + kRun;
constexpr int kSignerColumn = 5;  // after the startup list's five columns

std::vector<BYTE> Sz(const std::wstring& s) {
  const BYTE* p = reinterpret_cast<const BYTE*>(s.c_str());
  return std::vector<BYTE>(p, p + (s.size() + 1) * sizeof(wchar_t));
}

// A user Run value written for one test.
struct RunValue {
  rt::TestValue value;
  RunValue(const std::wstring& name, const std::wstring& data)
      : value(HKEY_CURRENT_USER, kRun, KEY_WOW64_64KEY, name, REG_SZ, Sz(data)) {}
};

bool ValueThere(const std::wstring& name) {
  return rt::ReadString(HKEY_CURRENT_USER, kRun, name) != L"<missing>";
}

struct StartupTab {
  wt::OwnSettings settings{L"records"};
  wt::MainDialog main;
  CAutorunPage& page = main.dlg().m_autorunPage;
  const ui::CListCtrl& list = page.List();
  common::RecordList& rows = page.Records();
  StartupTab() { main.SelectTab(3); }

  void ClickHeading(int column) {
    NMLISTVIEW nm{};
    nm.hdr = {list.GetSafeHwnd(), IDC_AUTORUN_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    nm.iItem = -1;
    nm.iSubItem = column;
    page.SendMessage(WM_NOTIFY, IDC_AUTORUN_LIST, reinterpret_cast<LPARAM>(&nm));
  }
  void Refresh() {
    page.RefreshAutorunList();
    ASSERT_TRUE(rows.WaitIdle());
  }
  int Row(const std::wstring& name) const { return wt::FindRow(list, 1, name); }
  // The names of the shown rows that start with prefix, in shown order.
  std::vector<std::wstring> NamesStarting(const std::wstring& prefix) const {
    std::vector<std::wstring> names;
    for (int i = 0, n = list.GetItemCount(); i < n; ++i)
      if (list.GetItemText(i, 1).rfind(prefix, 0) == 0) names.push_back(list.GetItemText(i, 1));
    return names;
  }
  COLORREF DrawnTextColour(int row) {
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdr = {list.GetSafeHwnd(), static_cast<UINT_PTR>(IDC_AUTORUN_LIST), static_cast<UINT>(NM_CUSTOMDRAW)};
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    cd.clrText = CLR_DEFAULT;
    page.SendMessage(WM_NOTIFY, IDC_AUTORUN_LIST, reinterpret_cast<LPARAM>(&cd));
    return cd.clrText;
  }
};

}  // namespace

// A heading click sorts the startup list by that column, a second one reverses it; the order and
// the arrow stay through refreshes (a new value takes its sorted place).
TEST(StartupRecords, SortByHeadingIsKeptAcrossRefreshes) {
  RunValue b(L"WardletR Sort B", L"C:\\b.exe"), a(L"WardletR Sort A", L"C:\\a.exe"), c(L"WardletR Sort C", L"C:\\c.exe");
  StartupTab t;
  const std::vector<std::wstring> ascending = {L"WardletR Sort A", L"WardletR Sort B", L"WardletR Sort C"};
  t.ClickHeading(1);
  EXPECT_EQ(t.NamesStarting(L"WardletR Sort"), ascending);
  t.Refresh();
  EXPECT_EQ(t.NamesStarting(L"WardletR Sort"), ascending);
  EXPECT_EQ(t.rows.SortColumn(), 1);
  t.ClickHeading(1);
  t.Refresh();
  EXPECT_EQ(t.NamesStarting(L"WardletR Sort"),
            (std::vector<std::wstring>{L"WardletR Sort C", L"WardletR Sort B", L"WardletR Sort A"}));
  {
    RunValue between(L"WardletR Sort BB", L"C:\\bb.exe");
    t.Refresh();
    EXPECT_EQ(t.NamesStarting(L"WardletR Sort"), (std::vector<std::wstring>{L"WardletR Sort C", L"WardletR Sort BB",
                                                                             L"WardletR Sort B", L"WardletR Sort A"}));
  }
  // The id column sorts as numbers: 10 after 9.
  t.ClickHeading(0);
  std::vector<int> ids;
  for (int i = 0, n = t.list.GetItemCount(); i < n; ++i) ids.push_back(std::stoi(t.list.GetItemText(i, 0)));
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
}

// With the list sorted and narrowed by the find, delete takes exactly the selected row's value:
// its neighbours in the list and the values named like it stay.
TEST(StartupRecords, DeleteOnASortedFilteredListTakesExactlyTheSelectedEntry) {
  RunValue a(L"WardletR Del A", L"C:\\a.exe"), b(L"WardletR Del B", L"C:\\b.exe"), c(L"WardletR Del C", L"C:\\c.exe"),
      other(L"WardletR Other B", L"C:\\b.exe");
  StartupTab t;
  t.ClickHeading(1);
  t.ClickHeading(1);  // descending
  t.rows.SetFindText(L"wardletr del");
  ASSERT_EQ(t.rows.RowCount(), 3);
  EXPECT_EQ(t.NamesStarting(L"WardletR"),
            (std::vector<std::wstring>{L"WardletR Del C", L"WardletR Del B", L"WardletR Del A"}));
  const int row = t.Row(L"WardletR Del B");
  ASSERT_EQ(row, 1);
  wt::MessageLog log;
  wt::RunRowCommand(t.page, t.list, row, IDM_AUTORUN_DELETE);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_FALSE(ValueThere(L"WardletR Del B"));
  EXPECT_TRUE(ValueThere(L"WardletR Del A"));
  EXPECT_TRUE(ValueThere(L"WardletR Del C"));
  EXPECT_TRUE(ValueThere(L"WardletR Other B"));
  EXPECT_EQ(t.NamesStarting(L"WardletR"), (std::vector<std::wstring>{L"WardletR Del C", L"WardletR Del A"}));
  EXPECT_EQ(t.rows.FindCountText().rfind(L"符合 2 行", 0), 0u);
}

// A row whose value went or changed after the listing is refused in plain words: nothing is
// deleted (least of all the value now there under that name), and the list shows the present.
TEST(StartupRecords, AValueDeletedOrReplacedSinceTheListingIsRefused) {
  auto gone = std::make_unique<RunValue>(L"WardletR Stale Gone", L"C:\\gone.exe");
  RunValue replaced(L"WardletR Stale Replaced", L"C:\\old.exe"), sibling(L"WardletR Stale Sibling", L"C:\\s.exe");
  StartupTab t;
  const int goneRow = t.Row(L"WardletR Stale Gone");
  ASSERT_GE(goneRow, 0);
  gone.reset();  // deleted outside the program
  {
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, goneRow, IDM_AUTORUN_DELETE);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].caption, L"提示");
    EXPECT_NE(log.entries[0].text.find(L"WardletR Stale Gone"), std::wstring::npos);
    EXPECT_NE(log.entries[0].text.find(L"没有执行任何操作"), std::wstring::npos);
  }
  EXPECT_EQ(t.Row(L"WardletR Stale Gone"), -1);  // refreshed
  EXPECT_TRUE(ValueThere(L"WardletR Stale Sibling"));

  const int row = t.Row(L"WardletR Stale Replaced");
  ASSERT_GE(row, 0);
  {
    ui::CRegKey k = rt::OpenKey(HKEY_CURRENT_USER, kRun, KEY_SET_VALUE | KEY_WOW64_64KEY);
    const std::vector<BYTE> data = Sz(L"C:\\new.exe");
    ASSERT_EQ(::RegSetValueExW(k.get(), L"WardletR Stale Replaced", 0, REG_SZ, data.data(),
                               static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }
  {
    wt::MessageLog log;
    wt::RunRowCommand(t.page, t.list, row, IDM_AUTORUN_DELETE);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_NE(log.entries[0].text.find(L"没有执行任何操作"), std::wstring::npos);
  }
  EXPECT_EQ(rt::ReadString(HKEY_CURRENT_USER, kRun, L"WardletR Stale Replaced"), L"C:\\new.exe");
  const int now = t.Row(L"WardletR Stale Replaced");
  ASSERT_GE(now, 0);
  EXPECT_EQ(t.list.GetItemText(now, 4), L"C:\\new.exe");
  EXPECT_TRUE(ValueThere(L"WardletR Stale Sibling"));
}

// The find box narrows the service list to the rows holding its text; clearing it brings all back.
TEST(ServiceRecords, FindNarrowsTheList) {
  wt::OwnSettings settings{L"records"};
  wt::MainDialog main;
  main.SelectTab(2);
  common::RecordList& rows = main.dlg().m_servicePage.Records();
  const ui::CListCtrl& list = main.dlg().m_servicePage.List();
  const int total = list.GetItemCount();
  ASSERT_GT(total, 1);
  const std::wstring name = list.GetItemText(0, 1);
  rows.OpenFind();
  rows.SetFindText(name);
  const int shown = list.GetItemCount();
  EXPECT_GE(shown, 1);
  EXPECT_LT(shown, total);
  for (int i = 0; i < shown; ++i) {
    std::wstring row;
    for (const std::wstring& cell : wt::RowTexts(list, i)) row += lists::FoldForFind(cell) + L"\n";
    EXPECT_NE(row.find(lists::FoldForFind(name)), std::wstring::npos) << i;
  }
  EXPECT_EQ(rows.FindCountText().rfind(L"符合 " + std::to_wstring(shown) + L" 行，共 " + std::to_wstring(total), 0),
            0u);
  rows.CloseFind();
  EXPECT_EQ(list.GetItemCount(), total);
}

// A service deleted outside the program after the listing: start is refused in plain words and
// the list refreshed.
TEST(ServiceRecords, AServiceGoneSinceTheListingIsRefused) {
  const std::wstring name = L"WardletRecSvc" + std::to_wstring(::GetCurrentProcessId());
  ui::CServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ui::CServiceHandle svc(::CreateServiceW(scm.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                          wt::Quoted(wt::ExeDir() + L"wardlet_test_service.exe").c_str(), nullptr,
                                          nullptr, nullptr, L"LocalSystem", nullptr));
  ASSERT_TRUE(svc);
  wt::OwnSettings settings{L"records"};
  wt::MainDialog main;
  main.SelectTab(2);
  CServicePage& page = main.dlg().m_servicePage;
  const int row = wt::FindRow(page.List(), 1, name);
  ASSERT_GE(row, 0);
  ::DeleteService(svc.get());
  svc.reset();
  wt::MessageLog log;
  wt::RunRowCommand(page, page.List(), row, IDM_SERVICE_START);
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_NE(log.entries[0].text.find(name), std::wstring::npos);
  EXPECT_NE(log.entries[0].text.find(L"已不存在"), std::wstring::npos);
  EXPECT_EQ(wt::FindRow(page.List(), 1, name), -1);
}

// The startup list's signer column: the signed fixture shows its signer, an unsigned file "未签名"
// in the warning colour; with "隐藏微软签名项" on, a row signed by Microsoft is left out and the count
// says so, and off again it is back.
TEST(StartupRecords, SignerColumnShowsVerdictsAndHidesMicrosoftSignedRows) {
  const std::wstring fixtures = wt::ExeDir() + L"sigfixtures\\";
  if (!wt::FileExists(fixtures + L"signed.exe") || !wt::FileExists(fixtures + L"unsigned.exe"))
    GTEST_SKIP() << "signature fixtures were not made";
  wt::TempDir dir;
  const std::wstring signedExe = dir.path() + L"rec-signed.exe", unsignedExe = dir.path() + L"rec-unsigned.exe",
                     msExe = dir.path() + L"rec-microsoft.exe";
  ASSERT_TRUE(::CopyFileW((fixtures + L"signed.exe").c_str(), signedExe.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW((fixtures + L"unsigned.exe").c_str(), unsignedExe.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW((fixtures + L"unsigned.exe").c_str(), msExe.c_str(), FALSE));
  // The one verdict no fixture can carry: Microsoft's own signature.
  const wt::FakeVerdict microsoft(L"rec-microsoft", wt::MicrosoftSigned());
  RunValue s(L"WardletR Sig Signed", wt::Quoted(signedExe)), u(L"WardletR Sig Unsigned", wt::Quoted(unsignedExe)),
      m(L"WardletR Sig Microsoft", wt::Quoted(msExe));
  StartupTab t;
  ASSERT_EQ(t.rows.SignatureColumn(), kSignerColumn);
  EXPECT_EQ(t.rows.Headings().back(), L"签名");
  auto cell = [&](const wchar_t* name) {
    const int row = t.Row(name);
    return row < 0 ? std::wstring(L"<no row>") : t.list.GetItemText(row, kSignerColumn);
  };
  EXPECT_TRUE(wt::PumpUntil([&] { return cell(L"WardletR Sig Signed") == L"Wardlet Test Signer"; }, 30000))
      << std::string(cell(L"WardletR Sig Signed").begin(), cell(L"WardletR Sig Signed").end());
  EXPECT_TRUE(wt::PumpUntil([&] { return cell(L"WardletR Sig Unsigned") == L"未签名"; }, 30000));
  EXPECT_TRUE(wt::PumpUntil([&] { return !cell(L"WardletR Sig Microsoft").empty(); }, 30000));
  const COLORREF warning =
      RGB(common::kSignatureWarningText.r, common::kSignatureWarningText.g, common::kSignatureWarningText.b);
  EXPECT_EQ(t.DrawnTextColour(t.Row(L"WardletR Sig Unsigned")), warning);
  EXPECT_EQ(t.DrawnTextColour(t.Row(L"WardletR Sig Signed")), CLR_DEFAULT);
  // Sorting and the find read the verdict texts.
  t.rows.SetFindText(L"wardlet test signer");
  EXPECT_GE(t.Row(L"WardletR Sig Signed"), 0);
  EXPECT_EQ(t.Row(L"WardletR Sig Unsigned"), -1);
  t.rows.SetFindText(L"");
  // The legend is the heading's tooltip.
  ASSERT_NE(t.rows.LegendTip(), nullptr);
  wchar_t tipText[512] = {};
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = reinterpret_cast<HWND>(t.list.SendMessage(LVM_GETHEADER));
  ti.uId = 1;
  ti.lpszText = tipText;
  ::SendMessageW(t.rows.LegendTip(), TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
  EXPECT_EQ(std::wstring(tipText), common::kSignatureLegend);

  // A copied row carries its verdict, as the copy of all rows does.
  wt::SelectRow(t.list, t.Row(L"WardletR Sig Unsigned"));
  ::SetFocus(t.list.GetSafeHwnd());
  t.main.dlg().SendMessage(WM_COMMAND, IDM_COPY_ROW, 0);
  const std::wstring copied = wt::ClipboardText();
  EXPECT_EQ(copied.substr(copied.rfind(L'\t') + 1), L"未签名") << ui::ToUtf8(copied);

  ASSERT_FALSE(common::HideMicrosoftSigned());
  const int before = t.list.GetItemCount();
  t.main.dlg().SendMessage(WM_COMMAND, IDM_FILE_HIDE_MICROSOFT, 0);
  EXPECT_TRUE(common::HideMicrosoftSigned());
  EXPECT_EQ(t.Row(L"WardletR Sig Microsoft"), -1);
  EXPECT_GE(t.Row(L"WardletR Sig Signed"), 0);
  EXPECT_GE(t.Row(L"WardletR Sig Unsigned"), 0);
  EXPECT_EQ(t.list.GetItemCount(), before - t.rows.HiddenCount());
  EXPECT_GE(t.rows.HiddenCount(), 1);
  EXPECT_NE(t.rows.NoticeText().find(common::kHideMicrosoftNotice), std::wstring::npos);
  EXPECT_NE(t.rows.FindCountText().find(L"已隐藏"), std::wstring::npos);
  t.Refresh();  // stays hidden through a refresh
  EXPECT_EQ(t.Row(L"WardletR Sig Microsoft"), -1);
  t.main.dlg().SendMessage(WM_COMMAND, IDM_FILE_HIDE_MICROSOFT, 0);
  EXPECT_FALSE(common::HideMicrosoftSigned());
  EXPECT_GE(t.Row(L"WardletR Sig Microsoft"), 0);
  EXPECT_EQ(t.rows.HiddenCount(), 0);
  EXPECT_TRUE(t.rows.NoticeText().empty());
}

// The hash commands on the startup row's file, appended to the row menu after a separator.
TEST(StartupRecords, HashCommandsUseTheRowsFile) {
  wt::TempDir dir;
  const std::wstring exe = dir.path() + L"rec-hash.exe";
  ASSERT_TRUE(wt::WriteText(exe, "abc"));
  RunValue v(L"WardletR Hash", wt::Quoted(exe));
  StartupTab t;
  const int row = t.Row(L"WardletR Hash");
  ASSERT_GE(row, 0);
  wt::MessageLog log;
  wt::MenuChooser menu;
  wt::RunRowCommand(t.page, t.list, row, IDM_COPY_SHA256, &menu);
  EXPECT_NE(std::find(menu.items.begin(), menu.items.end(), IDM_VIRUSTOTAL), menu.items.end());
  EXPECT_EQ(wt::ClipboardText(), L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// A check that gave up shows "无法检查" and tells why in the row's tip; a row with a verdict but no
// reason (an unsigned program) keeps the list's own tip.
TEST(StartupRecords, AGivenUpCheckTellsWhyInTheRowsTip) {
  wt::TempDir dir;
  const std::wstring stalled = dir.path() + L"rec-stalled.exe", plain = wt::CopyChild(dir, L"rec-plain.exe");
  ASSERT_TRUE(wt::WriteText(stalled, "MZ") && !plain.empty());
  common::SignatureVerdict gaveUp;
  gaveUp.state = common::SignatureState::Unchecked;
  gaveUp.reason = L"检查超时";
  const wt::FakeVerdict stalledCheck(L"rec-stalled", gaveUp);
  RunValue a(L"WardletR Tip Stalled", wt::Quoted(stalled)), b(L"WardletR Tip Plain", wt::Quoted(plain));
  StartupTab t;
  ASSERT_TRUE(t.rows.WaitForVerdicts(30000));
  const int row = t.Row(L"WardletR Tip Stalled");
  ASSERT_GE(row, 0);
  EXPECT_EQ(t.list.GetItemText(row, kSignerColumn), L"无法检查");
  auto tip = [&](int r) {
    wchar_t text[256] = L"list's own";
    NMLVGETINFOTIPW nm{};
    nm.hdr = {t.list.GetSafeHwnd(), IDC_AUTORUN_LIST, static_cast<UINT>(LVN_GETINFOTIPW)};
    nm.pszText = text;
    nm.cchTextMax = 256;
    nm.iItem = r;
    t.page.SendMessage(WM_NOTIFY, IDC_AUTORUN_LIST, reinterpret_cast<LPARAM>(&nm));
    return std::wstring(text);
  };
  EXPECT_EQ(tip(row), L"无法检查：检查超时");
  EXPECT_EQ(tip(t.Row(L"WardletR Tip Plain")), L"list's own");
}
