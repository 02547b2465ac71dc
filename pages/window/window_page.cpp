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
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 30}, {L"窗口句柄", LVCFMT_LEFT, 70}, {L"类名称", LVCFMT_LEFT, 180}, {L"窗口标题", LVCFMT_LEFT, 240}, {L"所属文件路径", LVCFMT_LEFT, 300}});
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

void CWindowPage::RefreshWindowList() {
  common::BeginListRefill(m_list);
  window::OwnerPathCache owners([](unsigned long pid) -> std::optional<std::wstring> {
    std::wstring path = GetWindowOwnerPath(pid);
    if (path.empty()) return std::nullopt;
    return path;
  });
  int row = 0;
  for (HWND w : window::TopLevelWindows()) AddWindowRow(row++, w, owners);
  common::EndListRefill(m_list);
}

void CWindowPage::AddWindowRow(int row, HWND w, window::OwnerPathCache& owners) {
  window::WindowFacts facts;
  facts.handle = reinterpret_cast<std::intptr_t>(w);
  wchar_t cls[257] = {};  // class names have at most 256 characters
  if (int n = ::GetClassNameW(w, cls, 257); n > 0) facts.className = std::wstring(cls, static_cast<size_t>(n));
  facts.title = ui::CWnd(w).GetWindowText();
  DWORD pid = 0;
  if (::GetWindowThreadProcessId(w, &pid)) facts.ownerPath = owners.PathOf(pid);

  const std::vector<std::wstring> cells = window::WindowRowTexts(row, facts);
  m_list.InsertItem(row, cells[0]);
  for (int c = 1; c < static_cast<int>(cells.size()); ++c)
    if (!cells[c].empty()) m_list.SetItemText(row, c, cells[c]);
}
