// Tab 4: image keys that hold a "Debugger" value.
#include "pages/ifeo/ifeo_page.h"

#include "common/listpage.h"

void CIfeoPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_IFEO_LIST, m_list); }

void CIfeoPage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 27}, {L"原始文件", LVCFMT_LEFT, 300}, {L"Image File Execution Option", LVCFMT_LEFT, 450}});
}

void CIfeoPage::RefreshIfeoList() {
  common::BeginListRefill(m_list);
  common::EndListRefill(m_list);
}
