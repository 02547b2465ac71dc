// Tab 2: every Win32 service, its description and the service commands.
#include "pages/service/service_page.h"

#include "common/listpage.h"

void CServicePage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_SERVICE_LIST, m_list); }

void CServicePage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 27}, {L"服务", LVCFMT_LEFT, 100}, {L"显示名称", LVCFMT_LEFT, 250}, {L"状态", LVCFMT_CENTER, 60}, {L"类型", LVCFMT_LEFT, 60}, {L"用户", LVCFMT_CENTER, 140}, {L"依赖", LVCFMT_CENTER, 80}, {L"路径", LVCFMT_LEFT, 600}});
}

void CServicePage::RefreshServiceList() {
  common::BeginListRefill(m_list);
  common::EndListRefill(m_list);
}
