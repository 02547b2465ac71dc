// Tab 1: every top-level window, with its actions and the opacity slider.
#include "pages/window/window_page.h"

#include "common/listpage.h"

void CWindowPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_WINDOW_LIST, m_list); }

void CWindowPage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 30}, {L"窗口句柄", LVCFMT_LEFT, 70}, {L"类名称", LVCFMT_LEFT, 180}, {L"窗口标题", LVCFMT_LEFT, 240}, {L"所属文件路径", LVCFMT_LEFT, 300}});
}

void CWindowPage::RefreshWindowList() {
  common::BeginListRefill(m_list);
  common::EndListRefill(m_list);
}
