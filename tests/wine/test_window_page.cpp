// The window page: the list of top-level windows, the window commands and the opacity slider.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/shell_rules.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

constexpr const wchar_t* kClass = L"WardletWindowTest";
constexpr DWORD kVisible = WS_OVERLAPPEDWINDOW | WS_VISIBLE;

// A top-level window of the test process, destroyed when the test ends.
struct TestWindow {
  HWND hwnd;
  TestWindow(const std::wstring& title, DWORD style, HWND owner = nullptr) {
    static const WNDCLASSW wc{0, ::DefWindowProcW, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr,
                              nullptr, kClass};
    [[maybe_unused]] static const ATOM registered = ::RegisterClassW(&wc);
    hwnd = ::CreateWindowExW(0, kClass, title.c_str(), style, 40, 40, 300, 200, owner, nullptr, wc.hInstance, nullptr);
  }
  ~TestWindow() {
    if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
  }
  TestWindow(const TestWindow&) = delete;
};

bool HasExStyle(HWND h, LONG_PTR bits) { return (::GetWindowLongPtrW(h, GWL_EXSTYLE) & bits) == bits; }

// Alpha of a layered window, or -1 when it has none set.
int Alpha(HWND h) {
  BYTE alpha = 0;
  DWORD flags = 0;
  COLORREF key = 0;
  return ::GetLayeredWindowAttributes(h, &key, &alpha, &flags) && (flags & LWA_ALPHA) ? alpha : -1;
}

class WindowPageTest : public ::testing::Test {
 protected:
  int RowOf(HWND h) {  // once the refresh under way has shown its rows
    EXPECT_TRUE(page.Records().WaitIdle());
    return wt::FindRow(list, 1, std::to_wstring(reinterpret_cast<std::intptr_t>(h)));
  }
  std::wstring PathOf(HWND h) { return list.GetItemText(RowOf(h), 4); }
  void Refresh() { page.SendMessage(WM_COMMAND, IDM_WINDOW_REFRESH, 0); }
  void Run(HWND h, UINT command) {  // selects the window's row and chooses command from its menu
    ASSERT_GE(RowOf(h), 0) << "no row for window " << h;
    wt::RunRowCommand(page, list, RowOf(h), command);
  }
  void MoveSlider(int pos) {  // as a drag does: the position first, then the scroll message
    page.Slider().SendMessage(TBM_SETPOS, TRUE, pos);
    page.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, pos), reinterpret_cast<LPARAM>(page.Slider().GetSafeHwnd()));
  }
  std::wstring EditText() { return page.GetDlgItem(IDC_OPACITY_EDIT).GetWindowText(); }

  wt::MainDialog main;
  CWindowPage& page = main.dlg().m_windowPage;
  const ui::CListCtrl& list = page.List();
};

}  // namespace

// Windows of this process (visible, hidden, owned, untitled) and two of another are listed with
// their texts and their process's path; a refresh picks up new windows; "关闭窗口(&D)" closes the
// window and refreshes.
TEST_F(WindowPageTest, ListsTheWindowsOfEachProcessAndClosesThem) {
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
  TestWindow visible(L"窗口测试 可见", kVisible), hidden(L"窗口测试 隐藏", WS_OVERLAPPEDWINDOW);
  TestWindow owned(L"窗口测试 被拥有", kVisible, visible.hwnd), untitled(L"", WS_POPUP);
  ASSERT_TRUE(visible.hwnd && hidden.hwnd && owned.hwnd && untitled.hwnd);
  EXPECT_EQ(list.GetItemCount(), 0);  // empty until the tab is first chosen
  main.SelectTab(1);

  const std::wstring own = wt::OwnPath();
  struct Expect { HWND h; std::wstring cls, title, path; } expects[] = {
      {visible.hwnd, kClass, L"窗口测试 可见", own}, {hidden.hwnd, kClass, L"窗口测试 隐藏", own},
      {owned.hwnd, kClass, L"窗口测试 被拥有", own}, {untitled.hwnd, kClass, L"", own},
      {main.dlg().GetSafeHwnd(), L"#32770", L"Wardlet", own}, {first, childClass, L"子窗口", childPath},
      {second, childClass, L"子窗口 2", childPath}};
  for (const Expect& e : expects) {
    const int row = RowOf(e.h);
    ASSERT_GE(row, 0) << e.title;
    EXPECT_EQ(list.GetItemText(row, 0), std::to_wstring(row + 1));
    EXPECT_EQ(list.GetItemText(row, 2) + L"|" + list.GetItemText(row, 3), e.cls + L"|" + e.title);
    EXPECT_TRUE(wt::SamePath(PathOf(e.h), e.path)) << PathOf(e.h);
  }
  EXPECT_EQ(PathOf(second), PathOf(first));
  // Z-order: an owned window lies above its owner. Child windows are not listed.
  EXPECT_LT(RowOf(owned.hwnd), RowOf(visible.hwnd));
  EXPECT_EQ(RowOf(list.GetSafeHwnd()), -1);
  EXPECT_EQ(RowOf(page.GetSafeHwnd()), -1);

  TestWindow later(L"后来的窗口", kVisible);
  EXPECT_EQ(RowOf(later.hwnd), -1);
  Run(main.dlg().GetSafeHwnd(), IDM_WINDOW_REFRESH);
  EXPECT_GE(RowOf(later.hwnd), 0);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), RowOf(main.dlg().GetSafeHwnd()));  // the row stays selected

  const HWND h = hidden.hwnd;
  Run(h, IDM_WINDOW_CLOSE);
  EXPECT_FALSE(::IsWindow(h));
  EXPECT_EQ(RowOf(h), -1);
  Run(first, IDM_WINDOW_CLOSE);  // reaches the other process
  for (int i = 0; i < 200 && ::IsWindow(first); ++i) ::Sleep(10);
  Refresh();
  EXPECT_EQ(RowOf(first), -1);
  EXPECT_GE(RowOf(second), 0);
}

// Show, hide, minimise, maximise, normal and topmost change the window without a refresh; the
// menu greys nothing; copy, locate, properties and search take the class and path cells. The
// translucency command fades the window to the slider's value, 120 at first; each move of the
// slider fades the selected window at once; with no row selected it only changes the edit.
TEST_F(WindowPageTest, RowCommandsAndTheSliderActOnTheWindow) {
  TestWindow w(L"状态", kVisible), other(L"其他", kVisible), untouched(L"无选择", kVisible);
  wt::MessageLog messages;
  wt::ShellLog shell;
  main.SelectTab(1);
  const int row = RowOf(w.hwnd);
  ASSERT_GE(row, 0);
  struct Step { UINT command; bool visible, iconic, zoomed; } steps[] = {
      {IDM_WINDOW_HIDE, false, false, false},    {IDM_WINDOW_SHOW, true, false, false},
      {IDM_WINDOW_MINIMIZE, true, true, false},  {IDM_WINDOW_MAXIMIZE, true, false, true},
      {IDM_WINDOW_NORMAL, true, false, false}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.command);
    Run(w.hwnd, s.command);
    EXPECT_EQ(::IsWindowVisible(w.hwnd) != FALSE, s.visible);
    EXPECT_EQ(::IsIconic(w.hwnd) != FALSE, s.iconic);
    EXPECT_EQ(::IsZoomed(w.hwnd) != FALSE, s.zoomed);
  }
  ASSERT_FALSE(HasExStyle(w.hwnd, WS_EX_TOPMOST));
  Run(w.hwnd, IDM_WINDOW_TOPMOST);
  Run(w.hwnd, IDM_WINDOW_TOPMOST);  // not a toggle
  EXPECT_TRUE(HasExStyle(w.hwnd, WS_EX_TOPMOST));
  EXPECT_FALSE(HasExStyle(other.hwnd, WS_EX_TOPMOST));
  EXPECT_EQ(RowOf(w.hwnd), row);  // not refreshed: the row is where it was and still selected
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), row);
  {
    wt::MenuChooser chooser;
    wt::RightClickRow(page, list, -1);  // no menu below the rows
    wt::RunRowCommand(page, list, row, 0, &chooser);
    EXPECT_EQ(chooser.opened, 1);
    EXPECT_TRUE(chooser.lastMenuId == IDR_MENU_WINDOW && chooser.greyed.empty() && chooser.checked.empty());
  }
  const std::wstring path = PathOf(w.hwnd);
  ASSERT_FALSE(path.empty());
  Run(w.hwnd, IDM_WINDOW_COPY_CLASS);
  EXPECT_EQ(wt::ClipboardText(), kClass);
  Run(w.hwnd, IDM_WINDOW_COPY_PATH);
  EXPECT_EQ(wt::ClipboardText(), path);
  auto shown = [&](const wchar_t* text) { return wt::Shown(page, text, L"提示", MB_ICONINFORMATION)[0]; };
  EXPECT_EQ(messages.entries, (wt::Messages{shown(L"窗口类名已复制到剪贴板!"), shown(L"文件路径已复制到剪贴板!")}));
  for (UINT command : {IDM_WINDOW_LOCATE, IDM_WINDOW_PROPERTIES, IDM_WINDOW_SEARCH}) Run(w.hwnd, command);
  ASSERT_EQ(shell.requests.size(), 3u);
  EXPECT_EQ(shell.requests[0].parameters, common::ExplorerSelectArgument(path));
  EXPECT_EQ(shell.requests[0].show, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(shell.requests[1].properties && shell.requests[1].file == path);
  EXPECT_EQ(shell.requests[2].file, common::SearchAddress(kClass));  // the class, not the title

  EXPECT_EQ(page.Slider().GetPos(), 120);
  EXPECT_EQ(EditText(), L"120");
  ASSERT_EQ(Alpha(w.hwnd), -1);
  Run(w.hwnd, IDM_WINDOW_TRANSPARENT);
  EXPECT_EQ(Alpha(w.hwnd), 120);
  wt::SelectRow(list, RowOf(other.hwnd));
  for (int pos : {200, 0, 255}) {  // 255 leaves it layered, fully opaque
    MoveSlider(pos);
    EXPECT_EQ(Alpha(other.hwnd), pos);
    EXPECT_EQ(EditText(), std::to_wstring(pos));
  }
  EXPECT_EQ(Alpha(w.hwnd), 120);
  Refresh();  // the slider keeps its position; the command applies it to the newly chosen row
  EXPECT_EQ(page.Slider().GetPos(), 255);
  Run(w.hwnd, IDM_WINDOW_TRANSPARENT);
  EXPECT_EQ(Alpha(w.hwnd), 255);
  wt::SelectRow(list, -1);
  MoveSlider(33);
  EXPECT_EQ(EditText(), L"33");
  page.SendMessage(WM_COMMAND, IDM_WINDOW_TRANSPARENT, 0);
  EXPECT_EQ(Alpha(w.hwnd), 255);
  EXPECT_EQ(Alpha(other.hwnd), 255);
  EXPECT_FALSE(HasExStyle(untouched.hwnd, WS_EX_LAYERED) || HasExStyle(main.dlg().GetSafeHwnd(), WS_EX_LAYERED));
}

// A window of another program that answers every probe but stalls when its style is about to
// change: the slider, translucency, show, hide and topmost all return while it stalls, and the
// tool's own windows still change at once. Once the window wakes it carries out what was asked,
// the slider's latest value included.
TEST_F(WindowPageTest, CommandsReturnWhileAWindowStallsInItsStyleChange) {
  const std::wstring tag = std::to_wstring(::GetCurrentProcessId());
  const std::wstring title = L"WardletStalling" + tag, stalledName = title + L"Stalled", wokeName = title + L"Woke";
  ui::CHandle stalled(::CreateEventW(nullptr, TRUE, FALSE, stalledName.c_str()));
  ui::CHandle woke(::CreateEventW(nullptr, TRUE, FALSE, wokeName.c_str()));
  ASSERT_TRUE(stalled && woke);
  wt::Child child(wt::Quoted(wt::ExeDir() + L"wardlet_stalling_window.exe") + L" " + title + L" 8000 " + stalledName +
                  L" " + wokeName);
  ASSERT_TRUE(child.started());
  HWND w = nullptr;
  for (int i = 0; i < 500 && !w; ++i, ::Sleep(10)) w = ::FindWindowW(L"WardletStalling", title.c_str());
  ASSERT_TRUE(w);
  TestWindow own(L"自己的窗口", kVisible);
  main.SelectTab(1);
  ASSERT_GE(RowOf(w), 0);
  wt::SelectRow(list, RowOf(w));
  MoveSlider(200);
  ASSERT_EQ(::WaitForSingleObject(stalled.get(), 10000), WAIT_OBJECT_0) << "the style change never reached the window";
  EXPECT_EQ(::WaitForSingleObject(woke.get(), 0), WAIT_TIMEOUT) << "the slider waited for the window";
  EXPECT_EQ(EditText(), L"200");
  MoveSlider(60);
  EXPECT_EQ(EditText(), L"60");
  for (UINT command : {IDM_WINDOW_TRANSPARENT, IDM_WINDOW_HIDE, IDM_WINDOW_SHOW, IDM_WINDOW_TOPMOST}) Run(w, command);
  Run(own.hwnd, IDM_WINDOW_TRANSPARENT);  // the tool's own window, at once
  EXPECT_EQ(Alpha(own.hwnd), 60);
  EXPECT_EQ(::WaitForSingleObject(woke.get(), 0), WAIT_TIMEOUT) << "a command waited for the window";
  EXPECT_EQ(::WaitForSingleObject(child.pi.hProcess, 0), WAIT_TIMEOUT);

  ASSERT_EQ(::WaitForSingleObject(woke.get(), 30000), WAIT_OBJECT_0);
  for (int i = 0; i < 1000 && !(Alpha(w) == 60 && HasExStyle(w, WS_EX_TOPMOST) && ::IsWindowVisible(w)); ++i)
    ::Sleep(10);
  EXPECT_EQ(Alpha(w), 60);
  EXPECT_TRUE(HasExStyle(w, WS_EX_TOPMOST | WS_EX_LAYERED));
  EXPECT_TRUE(::IsWindowVisible(w));
}
