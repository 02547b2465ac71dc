// Tab 4: image keys that hold a "Debugger" value, their deletion and addition. Column 3 holds
// each image key's real path, so that an entry of the 32-bit view is deleted in its own key.
#include "pages/ifeo/ifeo_page.h"

#include "common/listpage.h"
#include "common/path_lookup.h"
#include "common/registry.h"
#include "common/shell.h"
#include "common/signature.h"
#include "pages/ifeo/add_ifeo_dlg.h"
#include "pages/ifeo/ifeo_rules.h"
#include "pages/ifeo/ifeo_sources.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace {
// Creates (or opens) the image key in the 64-bit view, the one the system reads when it starts a
// program, and sets its "Debugger" value to the marker; other values of the key stay.
void WriteForbidEntry(const std::wstring& imageName) {
  using namespace ifeo;
  ui::CRegKey key;
  std::wstring path = std::wstring(kIfeoKey) + L"\\" + imageName;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_WOW64_64KEY, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
    return;
  const std::wstring marker = kForbidMarker;
  ::RegSetValueExW(key.get(), kDebuggerValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(marker.c_str()),
                   static_cast<DWORD>((marker.size() + 1) * sizeof(wchar_t)));
}
}  // namespace

void CIfeoPage::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Control(dx, IDC_IFEO_LIST, m_list); }

namespace ifeo {

common::Records GatherRecords() {
  std::vector<Entry> entries = GatherEntries();
  const common::PathLookup lookup = common::SystemPathLookup();
  common::Records rows;
  rows.reserve(entries.size());
  int row = 0;
  for (Entry& e : entries) {
    auto rec = std::make_shared<IfeoRecord>();
    rec->cells = {std::to_wstring(++row), e.image, e.data, e.key, common::ShowValueName(e.valueName), e.commandLine};
    rec->key = e.key + L"|" + e.valueName;
    if ((e.valueName == kDebuggerValue && e.data != kForbidMarker) || e.valueName == kMonitorProcessValue)
      rec->file = common::CommandPath(e.data, lookup);
    rec->entry = std::move(e);
    rows.push_back(std::move(rec));
  }
  return rows;
}

bool IfeoRecord::StillThere() const {
  const common::KeyPathParts parts = common::SplitKeyPath(entry.key);
  if (parts.root == common::RegRoot::Unknown) return true;  // the command's own open tells
  ui::CRegKey key;
  const LONG opened =
      ::RegOpenKeyExW(common::RootKey(parts.root), parts.key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put());
  if (opened == ERROR_ACCESS_DENIED) return true;
  if (opened != ERROR_SUCCESS) return false;
  for (const common::RegValue& value : common::Values(key.get()))
    if (value.name == entry.valueName)
      return common::RawDataText(value.type, value.data.data(), value.data.size()) == entry.commandLine;
  return false;
}

}  // namespace ifeo

void CIfeoPage::SetupLists() {
  using K = lists::Kind;
  m_rows.Setup(m_list,
               {{L"id", LVCFMT_CENTER, 27, K::Number},
                {L"原始文件", LVCFMT_LEFT, 300, K::Text},
                {L"Image File Execution Option", LVCFMT_LEFT, 450, K::Text},
                {L"注册表路径", LVCFMT_LEFT, 400, K::Text},
                {L"值", LVCFMT_LEFT, 110, K::Text},
                {L"命令行", LVCFMT_LEFT, 600, K::Text}},
               L"Ifeo", &ifeo::GatherRecords);
  m_rows.SetSignatureColumn(common::RecordList::kRecordFile);
}

void CIfeoPage::RefreshIfeoList() { m_rows.Refresh(); }
void CIfeoPage::RefreshIfeoListNow() { m_rows.RefreshNow(); }

std::shared_ptr<const ifeo::IfeoRecord> CIfeoPage::TargetEntry() {
  auto rec = m_rows.SelectedAs<ifeo::IfeoRecord>();
  if (!rec || rec->StillThere()) return rec;
  ui::ShowMessage(m_hWnd,
                  L"“" + rec->entry.image + L"”的值“" + common::ShowValueName(rec->entry.valueName) +
                      L"”已不是列出时的样子（已被删除或改动），没有执行任何操作。列表已刷新，请再看一下。",
                  L"提示", MB_ICONINFORMATION);
  RefreshIfeoListNow();
  return nullptr;
}

bool CIfeoPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_IFEO_LIST || nm->code != NM_RCLICK) return false;
  common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_IFEO, {});
  result = 0;
  return true;
}

bool CIfeoPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_IFEO_REFRESH: RefreshIfeoListNow(); return true;
    case IDM_IFEO_DELETE: OnDeleteEntry(); return true;
    case IDM_IFEO_ADD: OnAddEntry(); return true;
    case IDM_IFEO_REGEDIT:
      if (auto rec = m_rows.SelectedAs<ifeo::IfeoRecord>()) common::OpenKeyInRegedit(m_hWnd, rec->entry.key);
      return true;
    case IDM_COPY_SHA256:
    case IDM_VIRUSTOTAL: {
      auto rec = m_rows.SelectedAs<ifeo::IfeoRecord>();
      const std::wstring file = rec ? rec->file : std::wstring();
      if (id == IDM_COPY_SHA256) common::CopyFileSha256(m_hWnd, file);
      else common::LookUpOnVirusTotal(m_hWnd, file);
      return true;
    }
    default: return false;
  }
}

// Deletes the selected row's whole image key. A key that cannot go whole (one with subkeys of its
// own, as a hijacker may add to keep its entry) loses its "Debugger" value, the hijack itself, and
// keeps the rest; the message says so.
void CIfeoPage::OnDeleteEntry() {
  if (!m_rows.Selected()) {  // no row: the list is only refreshed
    RefreshIfeoListNow();
    return;
  }
  auto rec = TargetEntry();
  if (!rec) return;
  const std::wstring& name = rec->entry.image;
  const std::wstring& value = rec->entry.valueName;
  if (!name.empty() && !value.empty() && value != ifeo::kDebuggerValue) {
    DeleteValueOfRow(*rec, value);
  } else if (!name.empty()) {
    common::KeyPathParts parts = common::SplitKeyPath(rec->entry.key);
    std::wstring parentKey;
    ui::CRegKey parent;
    if (parts.root == common::RegRoot::Unknown || !ifeo::ParentOfImageKey(parts.key, name, parentKey) ||
        ::RegOpenKeyExW(common::RootKey(parts.root), parentKey.c_str(), 0, KEY_WRITE | KEY_WOW64_64KEY,
                        parent.put()) != ERROR_SUCCESS) {
      ui::ShowMessage(m_hWnd, L"注册表打开失败", L"错误", MB_ICONERROR);
    } else if (::RegDeleteKeyExW(parent.get(), name.c_str(), KEY_WOW64_64KEY, 0) != ERROR_SUCCESS) {
      ui::CRegKey image;
      if (::RegOpenKeyExW(parent.get(), name.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, image.put()) ==
              ERROR_SUCCESS &&
          ::RegDeleteValueW(image.get(), ifeo::kDebuggerValue) == ERROR_SUCCESS)
        ui::ShowMessage(m_hWnd, ifeo::kDebuggerOnlyRemoved, L"提示", MB_ICONINFORMATION);
      else
        ui::ShowMessage(m_hWnd, L"删除失败!", L"错误", MB_ICONERROR);
    }
  }
  RefreshIfeoListNow();
}

// Deletes exactly the value a GlobalFlag, VerifierDlls or MonitorProcess row shows; the key and
// its other values stay.
void CIfeoPage::DeleteValueOfRow(const ifeo::IfeoRecord& rec, const std::wstring& value) {
  common::KeyPathParts parts = common::SplitKeyPath(rec.entry.key);
  ui::CRegKey key;
  if (parts.root == common::RegRoot::Unknown ||
      ::RegOpenKeyExW(common::RootKey(parts.root), parts.key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                      key.put()) != ERROR_SUCCESS)
    ui::ShowMessage(m_hWnd, L"注册表打开失败", L"错误", MB_ICONERROR);
  else if (common::DeleteValueExact(key.get(), value) != ERROR_SUCCESS)
    ui::ShowMessage(m_hWnd, L"删除失败!", L"错误", MB_ICONERROR);
}

// Bars the program named in the add dialog; nothing is reported, the refreshed list tells.
void CIfeoPage::OnAddEntry() {
  CAddIfeoDlg dlg;
  std::wstring name = dlg.DoModal(::GetAncestor(m_hWnd, GA_ROOT)) == IDOK ? dlg.m_strImageName : std::wstring();
  if (!name.empty()) WriteForbidEntry(name);
  RefreshIfeoListNow();
}
