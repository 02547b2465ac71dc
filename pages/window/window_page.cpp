// Tab 1: every top-level window in Z-order, with its class, title and owning executable.
#include "pages/window/window_page.h"

#include <cstdint>
#include <vector>

#include "common/listpage.h"
#include "pages/process/process_info.h"
#include "pages/window/window_rules.h"

namespace window {

// EnumWindows hands over the top-level windows as the system listed them at the call, top of the
// Z-order first. A GetWindow(GW_HWNDNEXT) walk instead stops short when the window it stands on is
// destroyed meanwhile, and can loop for ever when the order changes under it.
static BOOL CALLBACK CollectWindow(HWND w, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

}  // namespace window

void CWindowPage::DoDataExchange(ui::CDataExchange& dx) {
  ui::DDX_Control(dx, IDC_OPACITY_SLIDER, m_slider);
  ui::DDX_Control(dx, IDC_WINDOW_LIST, m_list);
  ui::DDX_Slider(dx, IDC_OPACITY_SLIDER, m_nOpacity);
  ui::DDX_Text(dx, IDC_OPACITY_EDIT, m_strOpacity);
}

void CWindowPage::SetupLists() {
  using K = lists::Kind;
  m_rows.Setup(m_list,
               {{L"id", LVCFMT_CENTER, 30, K::Number}, {L"窗口句柄", LVCFMT_LEFT, 70, K::Number},
                {L"类名称", LVCFMT_LEFT, 180, K::Text}, {L"窗口标题", LVCFMT_LEFT, 240, K::Text},
                {L"所属文件路径", LVCFMT_LEFT, 300, K::Text}},
               L"Window", &window::GatherWindows);
  m_slider.SetRange(0, 255, false);
  m_slider.SetPos(120);
  m_slider.SetLineSize(5);
  m_slider.SetPageSize(5);
  m_slider.SetTicFreq(5);
  GetDlgItem(IDC_OPACITY_EDIT).SetWindowText(L"120");
}

std::wstring CWindowPage::GetWindowOwnerPath(DWORD pid) {
  return process::FindProcessImagePath(pid).value_or(L"");
}

void CWindowPage::RefreshWindowList() { m_rows.Refresh(); }
void CWindowPage::RefreshWindowListNow() { m_rows.RefreshNow(); }

std::wstring CWindowPage::SelectedCell(int column) const {
  common::RecordPtr rec = m_rows.Selected();
  return rec && static_cast<size_t>(column) < rec->cells.size() ? rec->cells[static_cast<size_t>(column)] : L"";
}

namespace window {

bool WindowRecord::StillThere() const {
  DWORD pid = 0;
  return hwnd && ::IsWindow(hwnd) && ::GetWindowThreadProcessId(hwnd, &pid) == thread && pid == process;
}

namespace {
// The title as the system keeps it: no message goes to the window, so a window of a busy thread
// (this program's own, while it waits for the list) cannot stall the walk.
std::wstring TitleOf(HWND w) {
  wchar_t first[256];
  const int got = ::InternalGetWindowText(w, first, 256);
  if (got < 255) return std::wstring(first, got > 0 ? static_cast<size_t>(got) : 0);
  std::vector<wchar_t> buf(1024);  // a title that fills the buffer may be longer
  for (;;) {
    const int n = ::InternalGetWindowText(w, buf.data(), static_cast<int>(buf.size()));
    if (n < static_cast<int>(buf.size()) - 1 || buf.size() >= (1u << 20)) return std::wstring(buf.data(), n > 0 ? n : 0);
    buf.resize(buf.size() * 4);
  }
}
}  // namespace

common::Records GatherWindows() {
  OwnerPathCache owners([](unsigned long pid) -> std::optional<std::wstring> {
    std::wstring path = CWindowPage::GetWindowOwnerPath(pid);
    if (path.empty()) return std::nullopt;
    return path;
  });
  const std::vector<HWND> windows = TopLevelWindows();
  common::Records rows;
  rows.reserve(windows.size());
  int row = 0;
  for (HWND w : windows) {
    auto rec = std::make_shared<WindowRecord>();
    WindowFacts facts;
    facts.handle = reinterpret_cast<std::intptr_t>(w);
    wchar_t cls[257] = {};  // class names have at most 256 characters
    if (int n = ::GetClassNameW(w, cls, 257); n > 0) facts.className = std::wstring(cls, static_cast<size_t>(n));
    facts.title = TitleOf(w);
    rec->hwnd = w;
    rec->thread = ::GetWindowThreadProcessId(w, &rec->process);
    if (rec->thread) facts.ownerPath = owners.PathOf(rec->process);
    rec->cells = WindowRowTexts(row++, std::move(facts));
    rec->key.reserve(40);
    rec->key.append(rec->cells[1]).append(1, L'|').append(std::to_wstring(rec->thread)).append(1, L'|');
    rec->key.append(std::to_wstring(rec->process));
    rows.push_back(std::move(rec));
  }
  return rows;
}

}  // namespace window
