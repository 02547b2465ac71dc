// The window page: the list of top-level windows, the window commands and the opacity slider.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "common/shell_rules.h"
#include "tests/wine/test_util.h"

namespace {

constexpr const wchar_t* kClass = L"WardletWindowTest";
constexpr const wchar_t* kStubbornClass = L"WardletWindowStubborn";  // refuses WM_CLOSE
int g_closeRequests = 0;

LRESULT CALLBACK StubbornProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    ++g_closeRequests;
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ::RegisterClassW(&wc);
  wc.lpfnWndProc = StubbornProc;
  wc.lpszClassName = kStubbornClass;
  ::RegisterClassW(&wc);
  done = true;
}

// A top-level window of the test process, destroyed when the test ends.
class TestWindow {
 public:
  TestWindow(const std::wstring& title, DWORD style, HWND owner = nullptr, const wchar_t* cls = kClass) {
    RegisterClasses();
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

constexpr DWORD kVisible = WS_OVERLAPPEDWINDOW | WS_VISIBLE;

std::wstring HandleCell(HWND h) { return std::to_wstring(reinterpret_cast<std::intptr_t>(h)); }

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

bool HasExStyle(HWND h, LONG_PTR bits) { return (::GetWindowLongPtrW(h, GWL_EXSTYLE) & bits) == bits; }

// Alpha of a layered window, or -1 when it has none set.
int Alpha(HWND h) {
  BYTE alpha = 0;
  DWORD flags = 0;
  COLORREF key = 0;
  if (!::GetLayeredWindowAttributes(h, &key, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
  return alpha;
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!::OpenClipboard(nullptr)) return L"<clipboard busy>";
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
      text = p;
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

class WindowPageTest : public ::testing::Test {
 protected:
  CWindowPage& page() { return main.dlg().m_windowPage; }
  const ui::CListCtrl& list() { return page().List(); }
  int RowOf(HWND h) { return wt::FindRow(list(), 1, HandleCell(h)); }
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

TEST_F(WindowPageTest, ListsVisibleHiddenOwnedAndUntitledWindowsWithTheirTexts) {
  TestWindow visible(L"窗口测试 可见", kVisible);
  TestWindow hidden(L"窗口测试 隐藏", WS_OVERLAPPEDWINDOW);
  TestWindow owned(L"窗口测试 被拥有", kVisible, visible.get());
  TestWindow untitled(L"", WS_POPUP);
  ASSERT_TRUE(visible.get() && hidden.get() && owned.get() && untitled.get());
  EXPECT_EQ(list().GetItemCount(), 0);  // empty until the tab is first chosen
  main.SelectTab(1);
  ASSERT_EQ(list().GetColumnCount(), 5);

  const std::wstring path = OwnPath();
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
    EXPECT_EQ(::lstrcmpiW(cells[4].c_str(), path.c_str()), 0) << cells[4] << L" vs " << path;
  }
  // Every window of the process shows one path, the main dialog's own row included.
  int mainRow = RowOf(main.dlg().GetSafeHwnd());
  ASSERT_GE(mainRow, 0);
  EXPECT_EQ(list().GetItemText(mainRow, 3), L"Wardlet");
  EXPECT_EQ(list().GetItemText(mainRow, 4), list().GetItemText(RowOf(visible.get()), 4));
  EXPECT_EQ(list().GetItemText(RowOf(hidden.get()), 4), list().GetItemText(RowOf(visible.get()), 4));
  // Z-order: an owned window lies above its owner. Child windows are not listed.
  EXPECT_LT(RowOf(owned.get()), RowOf(visible.get()));
  EXPECT_EQ(RowOf(list().GetSafeHwnd()), -1);
  EXPECT_EQ(RowOf(page().GetSafeHwnd()), -1);
}

TEST_F(WindowPageTest, WindowsOfAnotherProcessShowThatProcesssPath) {
  const std::wstring childClass = L"WardletWindowChild" + std::to_wstring(::GetCurrentProcessId());
  wt::Child child(L"\"" + wt::ExeDir() + L"wardlet_window_child.exe\" " + childClass + L" 子窗口");
  ASSERT_TRUE(child.started());
  HWND first = nullptr, second = nullptr;
  for (int i = 0; i < 500 && !(first && second); ++i) {
    ::Sleep(10);
    first = ::FindWindowW(childClass.c_str(), L"子窗口");
    second = ::FindWindowW(childClass.c_str(), L"子窗口 2");
  }
  ASSERT_TRUE(first && second);
  TestWindow own(L"本进程", kVisible);
  main.SelectTab(1);

  int r1 = RowOf(first), r2 = RowOf(second), rOwn = RowOf(own.get());
  ASSERT_TRUE(r1 >= 0 && r2 >= 0 && rOwn >= 0);
  const std::wstring childPath = wt::ExeDir() + L"wardlet_window_child.exe";
  EXPECT_EQ(::lstrcmpiW(list().GetItemText(r1, 4).c_str(), childPath.c_str()), 0) << list().GetItemText(r1, 4);
  EXPECT_EQ(list().GetItemText(r2, 4), list().GetItemText(r1, 4));
  EXPECT_EQ(list().GetItemText(r2, 2), childClass);
  EXPECT_EQ(list().GetItemText(r2, 3), L"子窗口 2");
  EXPECT_EQ(::lstrcmpiW(list().GetItemText(rOwn, 4).c_str(), OwnPath().c_str()), 0);

  // Closing through the menu reaches the other process; its row goes with the refresh.
  Run(first, IDM_WINDOW_CLOSE);
  for (int i = 0; i < 200 && ::IsWindow(first); ++i) ::Sleep(10);
  Refresh();
  EXPECT_EQ(RowOf(first), -1);
  EXPECT_GE(RowOf(second), 0);
}

TEST_F(WindowPageTest, RefreshPicksUpNewWindowsAndDropsGoneOnes) {
  main.SelectTab(1);
  auto later = std::make_unique<TestWindow>(L"后来的窗口", kVisible);
  HWND h = later->get();
  EXPECT_EQ(RowOf(h), -1);
  Run(main.dlg().GetSafeHwnd(), IDM_WINDOW_REFRESH);
  EXPECT_GE(RowOf(h), 0);
  EXPECT_EQ(list().GetNextItem(-1, LVNI_SELECTED), -1);  // the refill loses the selection
  later.reset();
  Refresh();
  EXPECT_EQ(RowOf(h), -1);
}

TEST_F(WindowPageTest, ShowHideMinimiseMaximiseAndNormalChangeTheWindow) {
  TestWindow w(L"状态", kVisible);
  main.SelectTab(1);
  const int row = RowOf(w.get());
  Run(w.get(), IDM_WINDOW_HIDE);
  EXPECT_FALSE(::IsWindowVisible(w.get()));
  Run(w.get(), IDM_WINDOW_SHOW);
  EXPECT_TRUE(::IsWindowVisible(w.get()));
  Run(w.get(), IDM_WINDOW_MINIMIZE);
  EXPECT_TRUE(::IsIconic(w.get()));
  Run(w.get(), IDM_WINDOW_MAXIMIZE);
  EXPECT_TRUE(::IsZoomed(w.get()));
  EXPECT_FALSE(::IsIconic(w.get()));
  Run(w.get(), IDM_WINDOW_NORMAL);
  EXPECT_FALSE(::IsZoomed(w.get()));
  EXPECT_FALSE(::IsIconic(w.get()));
  EXPECT_TRUE(::IsWindowVisible(w.get()));
  // None of these refreshes the list: the row is where it was and still selected.
  EXPECT_EQ(RowOf(w.get()), row);
  EXPECT_EQ(list().GetNextItem(-1, LVNI_SELECTED), row);
}

TEST_F(WindowPageTest, AlwaysOnTopPutsTheWindowInTheTopmostBand) {
  TestWindow w(L"置顶", kVisible);
  TestWindow other(L"不置顶", kVisible);
  main.SelectTab(1);
  ASSERT_FALSE(HasExStyle(w.get(), WS_EX_TOPMOST));
  Run(w.get(), IDM_WINDOW_TOPMOST);
  EXPECT_TRUE(HasExStyle(w.get(), WS_EX_TOPMOST));
  EXPECT_FALSE(HasExStyle(other.get(), WS_EX_TOPMOST));
  Run(w.get(), IDM_WINDOW_TOPMOST);  // not a toggle
  EXPECT_TRUE(HasExStyle(w.get(), WS_EX_TOPMOST));
}

TEST_F(WindowPageTest, CloseSendsWmCloseAndTheRefreshShowsWhetherTheWindowWent) {
  TestWindow plain(L"会关闭", kVisible);
  TestWindow stubborn(L"不肯关闭", kVisible, nullptr, kStubbornClass);
  HWND h = plain.get();
  main.SelectTab(1);
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
  TestWindow a(L"透明 A", kVisible);
  TestWindow b(L"透明 B", kVisible);
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
  MoveSlider(200);
  EXPECT_TRUE(HasExStyle(b.get(), WS_EX_LAYERED));
  EXPECT_EQ(Alpha(b.get()), 200);
  EXPECT_EQ(EditText(), L"200");
  EXPECT_EQ(Alpha(a.get()), 120);
  MoveSlider(0);
  EXPECT_EQ(Alpha(b.get()), 0);
  EXPECT_EQ(EditText(), L"0");
  EXPECT_TRUE(::IsWindow(b.get()));
  MoveSlider(255);
  EXPECT_EQ(Alpha(b.get()), 255);
  EXPECT_TRUE(HasExStyle(b.get(), WS_EX_LAYERED));  // stays layered when fully opaque
  EXPECT_EQ(EditText(), L"255");

  // The slider keeps its position across a refresh; 32815 applies it to the newly chosen row.
  Refresh();
  EXPECT_EQ(page().Slider().GetPos(), 255);
  Run(a.get(), IDM_WINDOW_TRANSPARENT);
  EXPECT_EQ(Alpha(a.get()), 255);
}

TEST_F(WindowPageTest, SliderWithNoRowSelectedOnlyChangesTheEdit) {
  TestWindow w(L"无选择", kVisible);
  main.SelectTab(1);
  wt::SelectRow(list(), -1);
  MoveSlider(33);
  EXPECT_EQ(EditText(), L"33");
  EXPECT_EQ(page().Opacity(), 33);
  page().SendMessage(WM_COMMAND, IDM_WINDOW_TRANSPARENT, 0);
  EXPECT_FALSE(HasExStyle(w.get(), WS_EX_LAYERED));
  EXPECT_FALSE(HasExStyle(main.dlg().GetSafeHwnd(), WS_EX_LAYERED));
  EXPECT_EQ(Alpha(w.get()), -1);
}

TEST_F(WindowPageTest, MenuOpensOnRowsOnlyWithNothingGreyed) {
  TestWindow w(L"菜单", kVisible);
  main.SelectTab(1);
  wt::MenuChooser chooser;
  wt::RightClickRow(page(), list(), -1);
  EXPECT_EQ(chooser.opened, 0);
  wt::SelectRow(list(), RowOf(w.get()));
  wt::RightClickRow(page(), list(), RowOf(w.get()));
  EXPECT_EQ(chooser.opened, 1);
  EXPECT_EQ(chooser.lastMenuId, static_cast<UINT>(IDR_MENU_WINDOW));
  EXPECT_EQ(chooser.items.size(), 14u);
  EXPECT_TRUE(chooser.greyed.empty());
  EXPECT_TRUE(chooser.checked.empty());
}

TEST_F(WindowPageTest, CopyLocatePropertiesAndSearchUseClassAndPathCells) {
  TestWindow w(L"外壳命令", kVisible);
  main.SelectTab(1);
  const int row = RowOf(w.get());
  ASSERT_GE(row, 0);
  const std::wstring path = list().GetItemText(row, 4);
  ASSERT_FALSE(path.empty());
  wt::MessageLog messages;
  wt::ShellLog shell;

  Run(w.get(), IDM_WINDOW_COPY_CLASS);
  EXPECT_EQ(ClipboardText(), kClass);
  Run(w.get(), IDM_WINDOW_COPY_PATH);
  EXPECT_EQ(ClipboardText(), path);
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
