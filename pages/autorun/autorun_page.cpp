// Tab 3: the values of the Run-type startup keys.
#include "pages/autorun/autorun_page.h"

#include "common/listpage.h"

void CAutorunPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_AUTORUN_LIST, m_list); }

void CAutorunPage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 27}, {L"名称", LVCFMT_CENTER, 140}, {L"注册表路径", LVCFMT_LEFT, 400}, {L"文件路径", LVCFMT_LEFT, 460}});
}

void CAutorunPage::RefreshAutorunList() {
  common::BeginListRefill(m_list);
  common::EndListRefill(m_list);
}
