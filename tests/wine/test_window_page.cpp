// The window page: the list of top-level windows, the window commands and the opacity slider.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/shell_rules.h"
#include "tests/wine/test_util.h"

namespace {

constexpr const wchar_t* kClass = L"WardletWindowTest";
constexpr const wchar_t* kStubbornClass = L"WardletWindowStubborn";  // refuses WM_CLOSE
constexpr DWORD kVisible = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
int g_closeRequests = 0;

LRESULT CALLBACK StubbornProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_CLOSE) return ::DefWindowProcW(hwnd, msg, wp, lp);
  ++g_closeRequests;
  return 0;
}

// A top-level window of the test process, destroyed when the test ends.
class TestWindow {
 public:
  TestWindow(const std::wstring& title, DWORD style, HWND owner = nullptr, const wchar_t* cls = kClass) {
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc{0, ::DefWindowProcW, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, kClass};
      ::RegisterClassW(&wc);
      wc.lpfnWndProc = StubbornProc;
      wc.lpszClassName = kStubbornClass;
      registered = ::RegisterClassW(&wc) != 0;
    }
    m_hwnd = ::CreateWindowExW(0, cls, title.c_str(), style, 40, 40, 300, 200, owner, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  }
  ~TestWindow() {
    if (::IsWindow(m_hwnd)) ::DestroyWindow(m_hwnd);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND get() const { return m_hwnd; }

 private:
  HWND m_hwnd = nullptr;
};

std::wstring HandleCell(HWND h) { return std::to_wstring(reinterpret_cast<std::intptr_t>(h)); }

bool HasExStyle(HWND h, LONG_PTR bits) { return (::GetWindowLongPtrW(h, GWL_EXSTYLE) & bits) == bits; }

// Alpha of a layered window, or -1 when it has none set.
int Alpha(HWND h) {
  BYTE alpha = 0;
  DWORD flags = 0;
  COLORREF key = 0;
  if (!::GetLayeredWindowAttributes(h, &key, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
  return alpha;
}

class WindowPageTest : public ::testing::Test {
 protected:
  CWindowPage& page() { return main.dlg().m_windowPage; }
  const ui::CListCtrl& list() { return page().List(); }
  int RowOf(HWND h) { return wt::FindRow(list(), 1, HandleCell(h)); }
  std::wstring PathOf(HWND h) { return list().GetItemText(RowOf(h), 4); }
  void Refresh() { page().SendMessage(WM_COMMAND, IDM_WINDOW_REFRESH, 0); }
  // Selects the window's row and chooses command from its menu.
  void Run(HWND h, UINT command) {
    int row = RowOf(h);
    ASSERT_GE(row, 0) << "no row for window " << HandleCell(h);
    wt::RunRowCommand(page(), list(), row, command);
  }
  // Moves the slider as a drag would: the position first, then the scroll message to the page.
  void MoveSlider(int pos) {
    page().Slider().SendMessage(TBM_SETPOS, TRUE, pos);
    page().SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, pos),
                       reinterpret_cast<LPARAM>(page().Slider().GetSafeHwnd()));
  }
  std::wstring EditText() { return page().GetDlgItem(IDC_OPACITY_EDIT).GetWindowText(); }

  wt::MainDialog main;
};

}  // namespace

// Visible, hidden, owned and untitled windows of this process and two of another are listed with
// their texts and their process's path.
TEST_F(WindowPageTest, ListsTheWindowsOfEachProcessWithTheirTexts) {
  const std::wstring childClass = L"WardletWindowChild" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring childPath = wt::ExeDir() + L"wardlet_window_child.exe";
  wt::Child child(wt::Quoted(childPath) + L" " + childClass + L" 子窗口");
  ASSERT_TRUE(child.started());
  HWND first = nullptr, second = nullptr;
  for (int i = 0; i < 500 && !(first && second); ++i) {
    ::Sleep(10);
    first = ::FindWindowW(childClass.c_str(), L"子窗口");
    second = ::FindWindowW(childClass.c_str(), L"子窗口 2");
  }
  ASSERT_TRUE(first && second);
  TestWindow visible(L"窗口测试 可见", kVisible);
  TestWindow hidden(L"窗口测试 隐藏", WS_OVERLAPPEDWINDOW);
  TestWindow owned(L"窗口测试 被拥有", kVisible, visible.get());
  TestWindow untitled(L"", WS_POPUP);
  ASSERT_TRUE(visible.get() && hidden.get() && owned.get() && untitled.get());
  EXPECT_EQ(list().GetItemCount(), 0);  // empty until the tab is first chosen
  main.SelectTab(1);
  ASSERT_EQ(list().GetColumnCount(), 5);

  struct Expect { HWND h; const wchar_t* title; } expects[] = {
      {visible.get(), L"窗口测试 可见"}, {hidden.get(), L"窗口测试 隐藏"},
      {owned.get(), L"窗口测试 被拥有"}, {untitled.get(), L""}};
  for (const Expect& e : expects) {
    int row = RowOf(e.h);
    ASSERT_GE(row, 0) << e.title;
    auto cells = wt::RowTexts(list(), row);
    EXPECT_EQ(cells[0], std::to_wstring(row + 1));
    EXPECT_EQ(cells[2], kClass);
    EXPECT_EQ(cells[3], e.title);
    EXPECT_TRUE(wt::SamePath(cells[4], wt::OwnPath())) << cells[4];
  }
  // Every window of a process shows one path, the main dialog's own row included.
  ASSERT_GE(RowOf(main.dlg().GetSafeHwnd()), 0);
  EXPECT_EQ(list().GetItemText(RowOf(main.dlg().GetSafeHwnd()), 3), L"Wardlet");
  EXPECT_EQ(PathOf(main.dlg().GetSafeHwnd()), PathOf(visible.get()));
  EXPECT_EQ(PathOf(hidden.get()), PathOf(visible.get()));
  ASSERT_TRUE(RowOf(first) >= 0 && RowOf(second) >= 0);
  EXPECT_TRUE(wt::SamePath(PathOf(first), childPath)) << PathOf(first);
  EXPECT_EQ(PathOf(second), PathOf(first));
  EXPECT_EQ(list().GetItemText(RowOf(second), 2), childClass);
  EXPECT_EQ(list().GetItemText(RowOf(second), 3), L"子窗口 2");
  // Z-order: an owned window lies above its owner. Child windows are not listed.
  EXPECT_LT(RowOf(owned.get()), RowOf(visible.get()));
  EXPECT_EQ(RowOf(list().GetSafeHwnd()), -1);
  EXPECT_EQ(RowOf(page().GetSafeHwnd()), -1);

  // Closing through the menu reaches the other process; its row goes with the refresh.
  Run(first, IDM_WINDOW_CLOSE);
  for (int i = 0; i < 200 && ::IsWindow(first); ++i) ::Sleep(10);
  Refresh();
  EXPECT_EQ(RowOf(first), -1);
  EXPECT_GE(RowOf(second), 0);
}

TEST_F(WindowPageTest, ShowHideMinimiseMaximiseNormalAndTopmostChangeTheWindow) {
  TestWindow w(L"状态", kVisible);
  TestWindow other(L"不置顶", kVisible);
  main.SelectTab(1);
  const int row = RowOf(w.get());
  struct Step { UINT command; bool visible, iconic, zoomed; } steps[] = {
      {IDM_WINDOW_HIDE, false, false, false},    {IDM_WINDOW_SHOW, true, false, false},
      {IDM_WINDOW_MINIMIZE, true, true, false},  {IDM_WINDOW_MAXIMIZE, true, false, true},
      {IDM_WINDOW_NORMAL, true, false, false}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.command);
    Run(w.get(), s.command);
    EXPECT_EQ(::IsWindowVisible(w.get()) != FALSE, s.visible);
    EXPECT_EQ(::IsIconic(w.get()) != FALSE, s.iconic);
    EXPECT_EQ(::IsZoomed(w.get()) != FALSE, s.zoomed);
  }
  ASSERT_FALSE(HasExStyle(w.get(), WS_EX_TOPMOST));
  Run(w.get(), IDM_WINDOW_TOPMOST);
  EXPECT_TRUE(HasExStyle(w.get(), WS_EX_TOPMOST));
  EXPECT_FALSE(HasExStyle(other.get(), WS_EX_TOPMOST));
  Run(w.get(), IDM_WINDOW_TOPMOST);  // not a toggle
  EXPECT_TRUE(HasExStyle(w.get(), WS_EX_TOPMOST));
  // None of these refreshes the list: the row is where it was and still selected.
  EXPECT_EQ(RowOf(w.get()), row);
  EXPECT_EQ(list().GetNextItem(-1, LVNI_SELECTED), row);
}

// A refresh picks up new windows; "关闭窗口(&D)" sends WM_CLOSE and its refresh shows whether the
// window went.
TEST_F(WindowPageTest, RefreshAndCloseShowWhichWindowsThereAre) {
  TestWindow plain(L"会关闭", kVisible);
  TestWindow stubborn(L"不肯关闭", kVisible, nullptr, kStubbornClass);
  main.SelectTab(1);
  TestWindow later(L"后来的窗口", kVisible);
  EXPECT_EQ(RowOf(later.get()), -1);
  Run(main.dlg().GetSafeHwnd(), IDM_WINDOW_REFRESH);
  EXPECT_GE(RowOf(later.get()), 0);
  EXPECT_EQ(list().GetNextItem(-1, LVNI_SELECTED), -1);  // the refill loses the selection

  HWND h = plain.get();
  Run(h, IDM_WINDOW_CLOSE);
  EXPECT_FALSE(::IsWindow(h));
  EXPECT_EQ(RowOf(h), -1);
  g_closeRequests = 0;
  Run(stubborn.get(), IDM_WINDOW_CLOSE);
  EXPECT_EQ(g_closeRequests, 1);
  EXPECT_TRUE(::IsWindow(stubborn.get()));
  EXPECT_GE(RowOf(stubborn.get()), 0);
}

TEST_F(WindowPageTest, TransparencyUsesTheSliderAndStartsAt120) {
  TestWindow a(L"透明 A", kVisible), b(L"透明 B", kVisible), untouched(L"无选择", kVisible);
  main.SelectTab(1);
  EXPECT_EQ(page().Slider().GetPos(), 120);
  EXPECT_EQ(page().Slider().SendMessage(TBM_GETRANGEMIN), 0);
  EXPECT_EQ(page().Slider().SendMessage(TBM_GETRANGEMAX), 255);
  EXPECT_EQ(EditText(), L"120");
  ASSERT_FALSE(HasExStyle(a.get(), WS_EX_LAYERED));

  Run(a.get(), IDM_WINDOW_TRANSPARENT);
  EXPECT_TRUE(HasExStyle(a.get(), WS_EX_LAYERED));
  EXPECT_EQ(Alpha(a.get()), 120);
  EXPECT_EQ(page().Opacity(), 120);

  // The slider fades the selected window at each step and shows its value.
  wt::SelectRow(list(), RowOf(b.get()));
  for (int pos : {200, 0, 255}) {
    MoveSlider(pos);
    EXPECT_TRUE(HasExStyle(b.get(), WS_EX_LAYERED));  // stays layered when fully opaque
    EXPECT_EQ(Alpha(b.get()), pos);
    EXPECT_EQ(EditText(), std::to_wstring(pos));
    EXPECT_TRUE(::IsWindow(b.get()));
  }
  EXPECT_EQ(Alpha(a.get()), 120);

  // The slider keeps its position across a refresh; 32815 applies it to the newly chosen row.
  Refresh();
  EXPECT_EQ(page().Slider().GetPos(), 255);
  Run(a.get(), IDM_WINDOW_TRANSPARENT);
  EXPECT_EQ(Alpha(a.get()), 255);

  // With no row selected the slider only changes the edit, and 32815 fades no window.
  wt::SelectRow(list(), -1);
  MoveSlider(33);
  EXPECT_EQ(EditText(), L"33");
  EXPECT_EQ(page().Opacity(), 33);
  page().SendMessage(WM_COMMAND, IDM_WINDOW_TRANSPARENT, 0);
  EXPECT_EQ(Alpha(a.get()), 255);
  EXPECT_EQ(Alpha(b.get()), 255);
  EXPECT_FALSE(HasExStyle(untouched.get(), WS_EX_LAYERED));
  EXPECT_FALSE(HasExStyle(main.dlg().GetSafeHwnd(), WS_EX_LAYERED));
  EXPECT_EQ(Alpha(untouched.get()), -1);
}

// The menu opens on rows only, with nothing greyed; copy, locate, properties and search use the
// class and path cells.
TEST_F(WindowPageTest, MenuCommandsUseTheClassAndPathCells) {
  TestWindow w(L"外壳命令", kVisible);
  main.SelectTab(1);
  ASSERT_GE(RowOf(w.get()), 0);
  const std::wstring path = PathOf(w.get());
  ASSERT_FALSE(path.empty());
  {
    wt::MenuChooser chooser;
    wt::RightClickRow(page(), list(), -1);
    EXPECT_EQ(chooser.opened, 0);
    wt::RunRowCommand(page(), list(), RowOf(w.get()), 0, &chooser);
    EXPECT_EQ(chooser.opened, 1);
    EXPECT_EQ(chooser.lastMenuId, static_cast<UINT>(IDR_MENU_WINDOW));
    EXPECT_EQ(chooser.items.size(), 14u);
    EXPECT_TRUE(chooser.greyed.empty());
    EXPECT_TRUE(chooser.checked.empty());
  }
  wt::MessageLog messages;
  wt::ShellLog shell;

  Run(w.get(), IDM_WINDOW_COPY_CLASS);
  EXPECT_EQ(wt::ClipboardText(), kClass);
  Run(w.get(), IDM_WINDOW_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), path);
  ASSERT_EQ(messages.entries.size(), 2u);
  EXPECT_EQ(messages.entries[0].text, L"窗口类名已复制到剪贴板!");
  EXPECT_EQ(messages.entries[1].text, L"文件路径已复制到剪贴板!");
  EXPECT_EQ(messages.entries[1].caption, L"提示");

  Run(w.get(), IDM_WINDOW_LOCATE);
  Run(w.get(), IDM_WINDOW_PROPERTIES);
  Run(w.get(), IDM_WINDOW_SEARCH);
  ASSERT_EQ(shell.requests.size(), 3u);
  EXPECT_EQ(shell.requests[0].file, L"Explorer.exe");
  EXPECT_EQ(shell.requests[0].parameters, common::ExplorerSelectArgument(path));
  EXPECT_EQ(shell.requests[0].show, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(shell.requests[1].properties);
  EXPECT_EQ(shell.requests[1].file, path);
  EXPECT_EQ(shell.requests[2].file, common::SearchAddress(kClass));  // the class, not the title
}
