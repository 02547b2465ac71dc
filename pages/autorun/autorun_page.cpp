// Tab 3: the values of the Run-type startup keys, their deletion and the shell actions on them.
#include "pages/autorun/autorun_page.h"

#include "common/listpage.h"
#include "common/path_lookup.h"
#include "common/registry.h"
#include "common/shell.h"
#include "pages/autorun/add_autorun_dlg.h"
#include "pages/autorun/autorun_rules.h"
#include "pages/autorun/autorun_sources.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace {
constexpr wchar_t kPathCopied[] = L"文件路径已复制到剪贴板!";
}  // namespace

void CAutorunPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_AUTORUN_LIST, m_list); }

void CAutorunPage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 27}, {L"名称", LVCFMT_CENTER, 140}, {L"注册表路径", LVCFMT_LEFT, 400}, {L"文件路径", LVCFMT_LEFT, 460},
                                 {L"命令行", LVCFMT_LEFT, 600}});
}

void CAutorunPage::RefreshAutorunList() {
  common::BeginListRefill(m_list);
  FillList(autorun::GatherEntries(common::SystemPathLookup()));
  common::EndListRefill(m_list);
}

void CAutorunPage::FillList(const std::vector<autorun::Entry>& entries) {
  int row = 0;
  for (const autorun::Entry& e : entries) {
    common::InsertNumberedRow(m_list, row);
    m_list.SetItemText(row, autorun::kColName, e.name);
    m_list.SetItemText(row, autorun::kColLocation, e.location);
    m_list.SetItemText(row, autorun::kColFile, e.file);
    m_list.SetItemText(row, autorun::kColCommandLine, e.commandLine);
    ++row;
  }
}

bool CAutorunPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_AUTORUN_LIST || nm->code != NM_RCLICK) return false;
  common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_AUTORUN, {});
  result = 0;
  return true;
}

bool CAutorunPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  auto cell = [this](int column) { return common::GetSelectedCell(m_list, column); };
  switch (id) {
    case IDM_AUTORUN_DELETE: OnDeleteItem(); return true;
    case IDM_AUTORUN_ADD: OnAddItem(); return true;
    case IDM_AUTORUN_LOCATE: common::LocateFile(cell(3), SW_SHOWDEFAULT); return true;
    case IDM_AUTORUN_REGEDIT: OnOpenInRegedit(); return true;
    case IDM_AUTORUN_PROPERTIES: common::ShowFileProperties(cell(3)); return true;
    case IDM_AUTORUN_COPY_PATH: common::CopyTextToClipboard(m_hWnd, cell(3), kPathCopied); return true;
    case IDM_AUTORUN_COPY_KEY: common::CopyTextToClipboard(m_hWnd, cell(2), kPathCopied); return true;
    case IDM_AUTORUN_SEARCH: common::SearchWeb(m_hWnd, cell(1)); return true;
    default: return false;
  }
}

// Deletes what the selected row names: a registry value in the key its path names (a
// WOW6432Node path is the 32-bit view's key, reached through the 64-bit view by its real name), a
// Startup folder's file, or a scheduled task. A Winlogon value Windows cannot do without is set
// back to its default, and the user is told.
void CAutorunPage::OnDeleteItem() {
  const std::wstring location = common::GetSelectedCell(m_list, autorun::kColLocation);
  autorun::DeleteOutcome out = autorun::DeleteEntry(common::GetSelectedCell(m_list, autorun::kColName), location,
                                                    common::GetSelectedCell(m_list, autorun::kColFile));
  if (!out.opened)
    ui::ShowMessage(m_hWnd, L"注册表打开失败", L"错误", MB_ICONERROR);
  else if (!out.deleted)
    ui::ShowMessage(m_hWnd, L"删除失败!", L"错误", MB_ICONERROR);
  else if (!out.note.empty())
    ui::ShowMessage(m_hWnd, out.note, L"提示", MB_ICONINFORMATION);
  RefreshAutorunList();
}

// Registry Editor for a registry row; a folder's file or a task has no key to open.
void CAutorunPage::OnOpenInRegedit() {
  const std::wstring location = common::GetSelectedCell(m_list, autorun::kColLocation);
  if (common::SplitKeyPath(location).root == common::RegRoot::Unknown && location.rfind(L"HKEY_", 0) != 0)
    ui::ShowMessage(m_hWnd, L"这一项不在注册表中: 它是启动文件夹中的文件或计划任务。", L"提示", MB_ICONINFORMATION);
  else
    common::OpenKeyInRegedit(m_hWnd, location);
}

// Writes a new value of the current user's Run key from the add dialog.
void CAutorunPage::OnAddItem() {
  CAddAutorunDlg dlg;
  if (dlg.DoModal(::GetAncestor(m_hWnd, GA_ROOT)) != IDOK) return;
  if (dlg.m_strName.empty() || dlg.m_strPath.empty()) return;
  ui::CRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, autorun::kUserRunKey, 0, KEY_WRITE | KEY_WOW64_64KEY, key.put()) !=
      ERROR_SUCCESS) {
    ui::ShowMessage(m_hWnd, L"注册表打开失败", L"错误", MB_ICONERROR);
  } else {
    ::RegSetValueExW(key.get(), dlg.m_strName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(dlg.m_strPath.c_str()),
                     static_cast<DWORD>((dlg.m_strPath.size() + 1) * sizeof(wchar_t)));
  }
  key.reset();
  RefreshAutorunList();
}
