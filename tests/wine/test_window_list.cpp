// The window list as a record list: sorting by a heading, the selected row across refreshes, the
// find box, watch marks, copy and export, commands on a sorted and narrowed list, keys, resizing.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "common/settings.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"
#include "ui/modal.h"
#include "ui/text.h"

namespace {

constexpr const wchar_t* kClass = L"WardletListTest";
constexpr int kHandle = 1, kTitle = 3;

struct TestWindow {
  HWND hwnd;
  explicit TestWindow(const std::wstring& title, DWORD style = WS_OVERLAPPEDWINDOW) {
    static const WNDCLASSW wc{0, ::DefWindowProcW, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr,
                              nullptr, kClass};
    [[maybe_unused]] static const ATOM registered = ::RegisterClassW(&wc);
    hwnd = ::CreateWindowExW(0, kClass, title.c_str(), style, 40, 40, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~TestWindow() {
    if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
  }
  TestWindow(const TestWindow&) = delete;
};

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Presses a key on window target as the keyboard would, with Ctrl and Shift held as asked.
void Press(HWND target, UINT vk, bool ctrl = false, bool shift = false, UINT message = WM_KEYDOWN) {
  BYTE keys[256] = {}, saved[256] = {};
  ::GetKeyboardState(saved);
  std::copy(saved, saved + 256, keys);
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_MENU] = 0;
  ::SetKeyboardState(keys);
  ::PostMessageW(target, message, vk, 1);
  Pump();
  ::SetKeyboardState(saved);
}

class WindowListTest : public ::testing::Test {
 protected:
  WindowListTest() { Open(); }
  void Open() {
    main = std::make_unique<wt::MainDialog>();
    main->SelectTab(1);
    Wait();
  }
  void Restart() {
    main.reset();
    Open();
  }
  CWardletDlg& dlg() { return main->dlg(); }
  CWindowPage& page() { return dlg().m_windowPage; }
  common::RecordList& rows() { return page().Records(); }
  const ui::CListCtrl& list() { return page().List(); }
  void Wait() { ASSERT_TRUE(main->dlg().m_windowPage.Records().WaitIdle()); }
  void Refresh() {
    Press(list(), VK_F5);
    Wait();
  }
  int RowOf(HWND h) { return wt::FindRow(list(), kHandle, std::to_wstring(reinterpret_cast<std::intptr_t>(h))); }
  void ClickHeading(int column) {
    NMLISTVIEW nm{};
    nm.hdr = {list().GetSafeHwnd(), IDC_WINDOW_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    nm.iItem = -1;
    nm.iSubItem = column;
    page().SendMessage(WM_NOTIFY, IDC_WINDOW_LIST, reinterpret_cast<LPARAM>(&nm));
  }
  int HeadingFormat(int column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    HWND header = reinterpret_cast<HWND>(list().SendMessage(LVM_GETHEADER));
    ::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  }
  HWND SelectedWindow() {
    auto rec = rows().SelectedAs<window::WindowRecord>();
    return rec ? rec->hwnd : nullptr;
  }

  wt::OwnSettings settings{L"list"};
  std::unique_ptr<wt::MainDialog> main;
};

// Splits CSV text (after its byte-order mark) into rows of fields.
std::vector<std::vector<std::wstring>> ParseCsv(const std::wstring& text) {
  std::vector<std::vector<std::wstring>> rows(1, std::vector<std::wstring>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (quoted) {
      if (c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') rows.back().back() += text[++i];
      else if (c == L'"') quoted = false;
      else rows.back().back() += c;
    } else if (c == L'"') {
      quoted = true;
    } else if (c == L',') {
      rows.back().emplace_back();
    } else if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      ++i;
      rows.emplace_back(1);
    } else {
      rows.back().back() += c;
    }
  }
  if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
  return rows;
}

std::string ReadAll(const std::wstring& path) {
  ui::CFileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string out;
  char buf[65536];
  DWORD n = 0;
  while (f && ::ReadFile(f.get(), buf, sizeof(buf), &n, nullptr) && n) out.append(buf, n);
  return out;
}

}  // namespace

// A heading click sorts (text in order, handles as numbers), a second reverses; the heading shows
// the direction; the order holds across a refresh and a restart. Long titles read back whole.
TEST_F(WindowListTest, SortsByAHeadingAndKeepsTheOrderAcrossRefreshAndRestart) {
  TestWindow c(L"排序窗口 c"), a(L"排序窗口 A"), b(L"排序窗口 b"), longTitle(std::wstring(3000, L'长'));
  Refresh();
  ASSERT_TRUE(RowOf(a.hwnd) >= 0 && RowOf(b.hwnd) >= 0 && RowOf(c.hwnd) >= 0);
  EXPECT_EQ(list().GetItemText(RowOf(longTitle.hwnd), kTitle), std::wstring(3000, L'长'));
  for (size_t length : {254, 255, 256}) {  // about the end of the first read's buffer
    TestWindow edge(std::wstring(length, L'边'));
    Refresh();
    EXPECT_EQ(list().GetItemText(RowOf(edge.hwnd), kTitle), std::wstring(length, L'边')) << length;
  }
  for (int r = 0; r < 5; ++r) EXPECT_EQ(list().GetItemText(r, 0), std::to_wstring(r + 1));  // Z-order first

  ClickHeading(kTitle);
  EXPECT_EQ(HeadingFormat(kTitle), HDF_SORTUP);
  EXPECT_TRUE(RowOf(a.hwnd) < RowOf(b.hwnd) && RowOf(b.hwnd) < RowOf(c.hwnd));
  ClickHeading(kTitle);
  EXPECT_EQ(HeadingFormat(kTitle), HDF_SORTDOWN);
  EXPECT_TRUE(RowOf(c.hwnd) < RowOf(b.hwnd) && RowOf(b.hwnd) < RowOf(a.hwnd));
  // Empty titles come last, in either direction.
  const int n = list().GetItemCount();
  ASSERT_GT(n, 3);
  EXPECT_TRUE(list().GetItemText(n - 1, kTitle).empty());
  Refresh();
  EXPECT_TRUE(RowOf(c.hwnd) < RowOf(b.hwnd) && RowOf(b.hwnd) < RowOf(a.hwnd));
  Restart();
  EXPECT_EQ(HeadingFormat(kTitle), HDF_SORTDOWN);
  EXPECT_EQ(HeadingFormat(kHandle), 0);
  EXPECT_TRUE(RowOf(c.hwnd) < RowOf(b.hwnd) && RowOf(b.hwnd) < RowOf(a.hwnd));

  ClickHeading(kHandle);  // handles by value, not by text
  long long last = LLONG_MIN;
  for (int r = 0; r < list().GetItemCount(); ++r) {
    const long long h = std::stoll(list().GetItemText(r, kHandle));
    EXPECT_LE(last, h) << r;
    last = h;
  }
}

// The selected row stays on its window when a refresh brings rows above it, across a restart too;
// the scroll position does not move.
TEST_F(WindowListTest, SelectionFollowsTheWindowAcrossRefreshesAndRestarts) {
  TestWindow kept(L"选中的窗口");
  Refresh();
  const int before = RowOf(kept.hwnd);
  ASSERT_GE(before, 0);
  wt::SelectRow(list(), before);
  std::vector<std::unique_ptr<TestWindow>> above;
  for (int i = 0; i < 5; ++i) above.push_back(std::make_unique<TestWindow>(L"上面的窗口 " + std::to_wstring(i)));
  Refresh();
  EXPECT_EQ(RowOf(kept.hwnd), before + 5);
  EXPECT_EQ(list().GetNextItem(-1, LVNI_SELECTED), before + 5);
  EXPECT_EQ(SelectedWindow(), kept.hwnd);
  Restart();
  EXPECT_EQ(SelectedWindow(), kept.hwnd);
}

// Ctrl+F opens the find box; the rows narrow to those holding the text in any cell, full-width
// and case alike, and the box says how many of how many; Escape clears it.
TEST_F(WindowListTest, FindNarrowsTheRowsAndEscapeClearsIt) {
  TestWindow one(L"查找测试 Alpha"), two(L"查找测试 beta"), other(L"别的窗口");
  Refresh();
  const int all = list().GetItemCount();
  Press(list(), 'F', true);
  ASSERT_TRUE(rows().FindOpen());
  HWND box = rows().FindBox();
  EXPECT_TRUE(::IsWindowVisible(box));
  EXPECT_EQ(::GetFocus(), box);
  ::SetWindowTextW(box, L"查找测试 ＡＬＰ");
  ASSERT_EQ(list().GetItemCount(), 1);
  EXPECT_EQ(list().GetItemText(0, kTitle), L"查找测试 Alpha");
  EXPECT_EQ(ui::CWnd(::GetDlgItem(page(), IDC_FIND_COUNT)).GetWindowText(),
            L"符合 1 行，共 " + std::to_wstring(all) + L" 行");
  ::SetWindowTextW(box, L"查找测试");
  EXPECT_EQ(list().GetItemCount(), 2);
  Refresh();  // the find holds across a refresh
  EXPECT_EQ(list().GetItemCount(), 2);
  EXPECT_EQ(RowOf(other.hwnd), -1);
  ::SendMessageW(box, WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_FALSE(rows().FindOpen());
  EXPECT_FALSE(::IsWindowVisible(box));
  EXPECT_EQ(rows().FindText(), L"");
  EXPECT_EQ(list().GetItemCount(), all);
  // The File menu's item opens it too, with the list given back its whole place when it closes.
  RECT whole{}, narrowed{};
  ::GetWindowRect(list(), &whole);
  dlg().SendMessage(WM_COMMAND, IDM_FILE_FIND, 0);
  ::GetWindowRect(list(), &narrowed);
  EXPECT_TRUE(rows().FindOpen());
  EXPECT_GT(narrowed.top, whole.top);
  rows().CloseFind();
  ::GetWindowRect(list(), &narrowed);
  EXPECT_EQ(narrowed.top, whole.top);
}

// With automatic refresh on, a window that appears is marked new and one that went stays one
// refresh as gone, then leaves. No timed refresh runs while a menu or message box is open.
TEST_F(WindowListTest, WatchMarksNewAndGoneWindows) {
  auto going = std::make_unique<TestWindow>(L"将要关闭的窗口");
  const HWND goingHandle = going->hwnd;
  dlg().SendMessage(WM_COMMAND, IDM_WATCH_1S, 0);
  EXPECT_EQ(dlg().WatchSeconds(), 1);
  EXPECT_TRUE(::GetMenuState(::GetMenu(dlg()), IDM_WATCH_1S, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(::GetMenuState(::GetMenu(dlg()), IDM_WATCH_OFF, MF_BYCOMMAND) & MF_CHECKED);
  Refresh();
  ASSERT_GE(RowOf(goingHandle), 0);
  EXPECT_EQ(rows().MarkAt(RowOf(goingHandle)), lists::Mark::New);  // came after the first listing
  EXPECT_EQ(rows().MarkAt(RowOf(dlg().GetSafeHwnd())), lists::Mark::None);

  TestWindow coming(L"新来的窗口");
  going.reset();
  {
    ui::ModalScope box;  // as while a message box is open
    EXPECT_FALSE(dlg().WatchTick());
  }
  ASSERT_TRUE(dlg().WatchTick());
  Wait();
  ASSERT_GE(RowOf(coming.hwnd), 0);
  EXPECT_EQ(rows().MarkAt(RowOf(coming.hwnd)), lists::Mark::New);
  ASSERT_GE(RowOf(goingHandle), 0);
  EXPECT_EQ(rows().MarkAt(RowOf(goingHandle)), lists::Mark::Gone);
  EXPECT_EQ(rows().MarkAt(RowOf(dlg().GetSafeHwnd())), lists::Mark::None);
  ASSERT_TRUE(dlg().WatchTick());
  Wait();
  EXPECT_EQ(RowOf(goingHandle), -1);
  EXPECT_EQ(rows().MarkAt(RowOf(coming.hwnd)), lists::Mark::None);

  // The timer itself refreshes the page shown.
  int refreshed = 0;
  rows().SetOnRefreshed([&] { ++refreshed; });
  for (int i = 0; i < 300 && refreshed == 0; ++i) {
    Pump();
    ::Sleep(10);
  }
  EXPECT_GT(refreshed, 0);
  rows().SetOnRefreshed(nullptr);
  Restart();  // the choice is kept
  EXPECT_EQ(dlg().WatchSeconds(), 1);
  dlg().SendMessage(WM_COMMAND, IDM_WATCH_OFF, 0);
  EXPECT_EQ(dlg().WatchSeconds(), 0);
  EXPECT_FALSE(dlg().WatchTick());
}

// Export writes the rows shown (sorted and narrowed) as CSV that reads back to them; copy puts the
// selected row, or all rows with the headings, on the clipboard as tab-separated text. A file
// that cannot be written gets a message and the old file stays.
TEST_F(WindowListTest, ExportAndCopyWriteTheRowsShown) {
  TestWindow tricky(L"导出 含,逗号 \"引号\""), plain(L"导出 普通");
  Refresh();
  ::SetWindowTextW((rows().OpenFind(), rows().FindBox()), L"导出");
  ClickHeading(kTitle);
  ASSERT_EQ(list().GetItemCount(), 2);
  wt::TempDir dir;
  const std::wstring path = dir.path() + L"列表.csv";
  {
    wt::FileAnswer answer(path);
    dlg().SendMessage(WM_COMMAND, IDM_FILE_EXPORT, 0);
    EXPECT_EQ(answer.asked, 1);
  }
  const std::string bytes = ReadAll(path);
  ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  const auto csv = ParseCsv(ui::FromUtf8(bytes.substr(3)));
  ASSERT_EQ(csv.size(), 3u);
  EXPECT_EQ(csv[0], (std::vector<std::wstring>{L"id", L"窗口句柄", L"类名称", L"窗口标题", L"所属文件路径"}));
  for (int r = 0; r < 2; ++r) EXPECT_EQ(csv[static_cast<size_t>(r) + 1], wt::RowTexts(list(), r));
  EXPECT_TRUE(csv[1][kTitle] == L"导出 含,逗号 \"引号\"" || csv[2][kTitle] == L"导出 含,逗号 \"引号\"");

  wt::SelectRow(list(), 1);
  Press(list(), 'C', true);
  EXPECT_EQ(wt::ClipboardText(), lists::TabRow(wt::RowTexts(list(), 1)));
  dlg().SendMessage(WM_COMMAND, IDM_FILE_COPY_ALL, 0);
  EXPECT_EQ(wt::ClipboardText(), lists::TabTable(csv[0], {wt::RowTexts(list(), 0), wt::RowTexts(list(), 1)}));

  wt::MessageLog messages;
  {
    wt::FileAnswer answer(dir.path() + L"没有的文件夹\\列表.csv");
    dlg().SendMessage(WM_COMMAND, IDM_FILE_EXPORT, 0);
  }
  ASSERT_EQ(messages.entries.size(), 1u);
  EXPECT_NE(messages.entries[0].text.find(L"无法写入文件"), std::wstring::npos);
  EXPECT_EQ(ReadAll(path), bytes);  // the earlier export is untouched
}

// On a sorted, narrowed list a command acts on the window of the row the user selected, and a
// row whose window has gone acts on nothing.
TEST_F(WindowListTest, CommandsActOnTheSelectedRecord) {
  TestWindow first(L"命令 甲", WS_OVERLAPPEDWINDOW | WS_VISIBLE), second(L"命令 乙", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  auto gone = std::make_unique<TestWindow>(L"命令 丙", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  Refresh();
  rows().OpenFind();
  rows().SetFindText(L"命令");
  ClickHeading(kTitle);
  ClickHeading(kTitle);
  ASSERT_EQ(list().GetItemCount(), 3);
  wt::RunRowCommand(page(), list(), RowOf(first.hwnd), IDM_WINDOW_HIDE);
  EXPECT_FALSE(::IsWindowVisible(first.hwnd));
  EXPECT_TRUE(::IsWindowVisible(second.hwnd));
  const int goneRow = RowOf(gone->hwnd);
  gone.reset();
  TestWindow after(L"命令 丁", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  wt::RunRowCommand(page(), list(), goneRow, IDM_WINDOW_MINIMIZE);
  EXPECT_FALSE(::IsIconic(after.hwnd) || ::IsIconic(second.hwnd) || ::IsIconic(first.hwnd));
}

// Ctrl+Tab and Ctrl+Shift+Tab switch pages, F5 refreshes the page shown, and the context-menu
// key and Shift+F10 open the row menu at the selected row.
TEST_F(WindowListTest, KeysSwitchPagesRefreshAndOpenTheRowMenu) {
  wt::MessageLog messages;  // the port page may miss its location database
  Press(list(), VK_TAB, true);
  EXPECT_EQ(dlg().m_tab.GetCurSel(), 2);
  EXPECT_TRUE(dlg().m_servicePage.IsWindowVisible());
  Press(dlg().m_tab, VK_TAB, true, true);
  Press(dlg().m_tab, VK_TAB, true, true);
  EXPECT_EQ(dlg().m_tab.GetCurSel(), 0);
  Press(dlg().m_tab, VK_TAB, true, true);
  EXPECT_EQ(dlg().m_tab.GetCurSel(), 5);
  main->SelectTab(1);
  Wait();

  TestWindow later(L"按键刷新");
  EXPECT_EQ(RowOf(later.hwnd), -1);
  Refresh();
  const int row = RowOf(later.hwnd);
  ASSERT_GE(row, 0);

  wt::MenuChooser chooser;
  wt::SelectRow(list(), row);
  list().SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  Press(list(), VK_APPS);
  EXPECT_EQ(chooser.opened, 1);
  EXPECT_EQ(chooser.lastMenuId, static_cast<UINT>(IDR_MENU_WINDOW));
  RECT r{};
  r.left = LVIR_BOUNDS;
  list().SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
  ::MapWindowPoints(list(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  const POINT at = common::LastMenuPoint();
  EXPECT_TRUE(at.x >= r.left && at.x <= r.right && at.y >= r.top && at.y <= r.bottom + 1)
      << at.x << "," << at.y << " row " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  Press(list(), VK_F10, false, true, WM_SYSKEYDOWN);
  EXPECT_EQ(chooser.opened, 2);
  wt::SelectRow(list(), -1);
  Press(list(), VK_APPS);
  EXPECT_EQ(chooser.opened, 2);  // no row, no menu
}

// The main window resizes: the tab control, the page, its list, slider and edit follow; the size,
// place and column widths are kept for the next start, but never a place off every screen.
TEST_F(WindowListTest, ResizingMovesTheControlsAndThePlaceIsKept) {
  EXPECT_TRUE(::GetWindowLongW(dlg(), GWL_STYLE) & WS_THICKFRAME);
  auto rectOf = [](HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return r;
  };
  const RECT win = rectOf(dlg()), listBefore = rectOf(list()), slider = rectOf(page().Slider());
  const RECT edit = rectOf(::GetDlgItem(page(), IDC_OPACITY_EDIT));
  ::MoveWindow(dlg(), 20, 30, win.right - win.left + 200, win.bottom - win.top + 120, TRUE);
  Pump();
  const RECT listAfter = rectOf(list()), sliderAfter = rectOf(page().Slider());
  const RECT editAfter = rectOf(::GetDlgItem(page(), IDC_OPACITY_EDIT));
  EXPECT_EQ((listAfter.right - listAfter.left) - (listBefore.right - listBefore.left), 200);
  EXPECT_EQ((listAfter.bottom - listAfter.top) - (listBefore.bottom - listBefore.top), 120);
  EXPECT_EQ((sliderAfter.top - slider.top) - (listAfter.top - listBefore.top), 120);
  EXPECT_EQ((sliderAfter.right - sliderAfter.left) - (slider.right - slider.left), 200);
  EXPECT_EQ((editAfter.left - edit.left) - (listAfter.left - listBefore.left), 200);
  RECT tab = rectOf(dlg().m_tab), client{};
  ::GetClientRect(dlg(), &client);
  EXPECT_EQ(tab.right - tab.left, client.right);
  list().SendMessage(LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(123, 0));

  const RECT placed = rectOf(dlg());
  Restart();
  const RECT again = rectOf(dlg());
  EXPECT_TRUE(EqualRect(&placed, &again));
  EXPECT_EQ(list().SendMessage(LVM_GETCOLUMNWIDTH, 2), 123);
  main.reset();
  common::WriteSettingText(L"Window.Placement", L"-9000,-9000,-8000,-8500,0");
  Open();
  const RECT safe = rectOf(dlg());
  EXPECT_GT(safe.left, -1000);
  EXPECT_GT(safe.top, -1000);
}
