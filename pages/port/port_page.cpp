// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#include "pages/port/port_page.h"

#include "common/listpage.h"

void CPortPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_PORT_LIST, m_list); }

void CPortPage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 30}, {L"协议", LVCFMT_CENTER, 40}, {L"PID", LVCFMT_LEFT, 45}, {L"状态", LVCFMT_LEFT, 80}, {L"本机IP", LVCFMT_CENTER, 110}, {L"本机端口", LVCFMT_CENTER, 63}, {L"远程IP", LVCFMT_CENTER, 110}, {L"远程端口", LVCFMT_CENTER, 63}, {L"地理位置", LVCFMT_LEFT, 180}, {L"路径", LVCFMT_LEFT, 450}});
}

void CPortPage::RefreshConnectionTable() {
  common::BeginListRefill(m_list);
  common::EndListRefill(m_list);
}
