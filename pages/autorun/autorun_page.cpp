// Tab 3: the values of the Run-type startup keys, their deletion and the shell actions on them.
#include "pages/autorun/autorun_page.h"

#include <objbase.h>

#include "common/listpage.h"
#include "common/path_lookup.h"
#include "common/registry.h"
#include "common/shell.h"
#include "common/signature.h"
#include "pages/autorun/add_autorun_dlg.h"
#include "pages/autorun/autorun_rules.h"
#include "pages/autorun/autorun_sources.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace {
constexpr wchar_t kPathCopied[] = L"文件路径已复制到剪贴板!";
}  // namespace

void CAutorunPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_AUTORUN_LIST, m_list); }

namespace autorun {

common::Records GatherRecords() {
  // Shortcuts are read through COM, on whichever thread gathers.
  const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  std::vector<Entry> entries = GatherEntries(common::SystemPathLookup());
  if (com) ::CoUninitialize();
  common::Records rows;
  rows.reserve(entries.size());
  int row = 0;
  for (Entry& e : entries) {
    auto rec = std::make_shared<AutorunRecord>();
    rec->cells = {std::to_wstring(++row), e.name, e.location, e.file, e.commandLine};
    rec->key = std::to_wstring(static_cast<int>(e.kind)) + L"|" + std::to_wstring(e.view) + L"|" +
               std::to_wstring(static_cast<int>(e.root)) + L"|" + e.key + L"|" + e.valueName + L"|" + e.location;
    rec->entry = std::move(e);
    rows.push_back(std::move(rec));
  }
  return rows;
}

bool AutorunRecord::StillThere() const {
  const Entry& e = entry;
  switch (e.kind) {
    case EntryKind::StartupFile: {
      const DWORD a = ::GetFileAttributesW((e.key + L"\\" + e.valueName).c_str());
      return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    }
    case EntryKind::Task:
      return true;
    default:
      break;
  }
  if (e.root == common::RegRoot::Unknown) return true;
  ui::CRegKey key;
  const LONG opened = ::RegOpenKeyExW(common::RootKey(e.root), e.key.c_str(), 0, KEY_QUERY_VALUE | e.view, key.put());
  if (opened == ERROR_ACCESS_DENIED) return true;  // the command's own open tells
  if (opened != ERROR_SUCCESS) return false;
  // Enumerated, not asked by name: a name may hold NUL characters.
  for (const common::RegValue& value : common::Values(key.get()))
    if (value.name == e.valueName)  // a plain value whose data changed since is another entry now
      return e.kind != EntryKind::RegistryValue ||
             common::RawDataText(value.type, value.data.data(), value.data.size()) == e.commandLine;
  return false;
}

}  // namespace autorun

void CAutorunPage::SetupLists() {
  using K = lists::Kind;
  m_rows.Setup(m_list,
               {{L"id", LVCFMT_CENTER, 27, K::Number},
                {L"名称", LVCFMT_CENTER, 140, K::Text},
                {L"注册表路径", LVCFMT_LEFT, 400, K::Text},
                {L"文件路径", LVCFMT_LEFT, 460, K::Text},
                {L"命令行", LVCFMT_LEFT, 600, K::Text}},
               L"Autorun", &autorun::GatherRecords);
  m_rows.SetSignatureColumn(autorun::kColFile);
}

void CAutorunPage::RefreshAutorunList() { m_rows.Refresh(); }
void CAutorunPage::RefreshAutorunListNow() { m_rows.RefreshNow(); }

std::wstring CAutorunPage::SelectedCell(int column) const {
  common::RecordPtr rec = m_rows.Selected();
  return rec && static_cast<size_t>(column) < rec->cells.size() ? rec->cells[static_cast<size_t>(column)] : L"";
}

std::shared_ptr<const autorun::AutorunRecord> CAutorunPage::TargetEntry() {
  auto rec = m_rows.SelectedAs<autorun::AutorunRecord>();
  if (!rec || rec->StillThere()) return rec;
  ui::ShowMessage(m_hWnd,
                  L"启动项“" + rec->cells[autorun::kColName] +
                      L"”已不是列出时的样子（已被删除或改动），没有执行任何操作。列表已刷新，请再看一下。",
                  L"提示", MB_ICONINFORMATION);
  RefreshAutorunListNow();
  return nullptr;
}

bool CAutorunPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_AUTORUN_LIST || nm->code != NM_RCLICK) return false;
  common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_AUTORUN, {});
  result = 0;
  return true;
}

bool CAutorunPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  auto cell = [this](int column) { return SelectedCell(column); };
  switch (id) {
    case IDM_AUTORUN_DELETE: OnDeleteItem(); return true;
    case IDM_AUTORUN_ADD: OnAddItem(); return true;
    case IDM_AUTORUN_LOCATE: common::LocateFile(cell(3), SW_SHOWDEFAULT); return true;
    case IDM_AUTORUN_REGEDIT: OnOpenInRegedit(); return true;
    case IDM_AUTORUN_PROPERTIES: common::ShowFileProperties(cell(3)); return true;
    case IDM_AUTORUN_COPY_PATH: common::CopyTextToClipboard(m_hWnd, cell(3), kPathCopied); return true;
    case IDM_AUTORUN_COPY_KEY: common::CopyTextToClipboard(m_hWnd, cell(2), kPathCopied); return true;
    case IDM_AUTORUN_SEARCH: common::SearchWeb(m_hWnd, cell(1)); return true;
    case IDM_COPY_SHA256: common::CopyFileSha256(m_hWnd, cell(autorun::kColFile)); return true;
    case IDM_VIRUSTOTAL: common::LookUpOnVirusTotal(m_hWnd, cell(autorun::kColFile)); return true;
    default: return false;
  }
}

// Deletes what the selected row names: a registry value in the key its path names (a
// WOW6432Node path is the 32-bit view's key, reached through the 64-bit view by its real name), a
// Startup folder's file, or a scheduled task. A Winlogon value Windows cannot do without is set
// back to its default, and the user is told.
void CAutorunPage::OnDeleteItem() {
  auto rec = TargetEntry();
  if (!rec) return;
  autorun::DeleteOutcome out = autorun::DeleteEntry(rec->cells[autorun::kColName], rec->cells[autorun::kColLocation],
                                                    rec->cells[autorun::kColFile]);
  if (!out.opened)
    ui::ShowMessage(m_hWnd, L"注册表打开失败", L"错误", MB_ICONERROR);
  else if (!out.deleted)
    ui::ShowMessage(m_hWnd, L"删除失败!", L"错误", MB_ICONERROR);
  else if (!out.note.empty())
    ui::ShowMessage(m_hWnd, out.note, L"提示", MB_ICONINFORMATION);
  RefreshAutorunListNow();
}

// Registry Editor for a registry row; a folder's file or a task has no key to open.
void CAutorunPage::OnOpenInRegedit() {
  const std::wstring location = SelectedCell(autorun::kColLocation);
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
  RefreshAutorunListNow();
}
