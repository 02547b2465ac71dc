// Tab 4: image keys that hold a "Debugger" value, their deletion and addition. Column 3 holds
// each image key's real path, so that an entry of the 32-bit view is deleted in its own key.
#include "pages/ifeo/ifeo_page.h"

#include "common/listpage.h"
#include "common/registry.h"
#include "common/shell.h"
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

void CIfeoPage::SetupLists() {
  common::InsertColumns(m_list, {{L"id", LVCFMT_CENTER, 27},
                                 {L"原始文件", LVCFMT_LEFT, 300},
                                 {L"Image File Execution Option", LVCFMT_LEFT, 450},
                                 {L"注册表路径", LVCFMT_LEFT, 400},
                                 {L"值", LVCFMT_LEFT, 110},
                                 {L"命令行", LVCFMT_LEFT, 600}});
}

void CIfeoPage::RefreshIfeoList() {
  common::BeginListRefill(m_list);
  FillList(ifeo::GatherEntries());
  common::EndListRefill(m_list);
}

void CIfeoPage::FillList(const std::vector<ifeo::Entry>& entries) {
  int row = 0;
  for (const ifeo::Entry& e : entries) {
    common::InsertNumberedRow(m_list, row);
    m_list.SetItemText(row, ifeo::kColImage, e.image);
    m_list.SetItemText(row, ifeo::kColData, e.data);
    m_list.SetItemText(row, ifeo::kColKey, e.key);
    m_list.SetItemText(row, ifeo::kColValue, common::ShowValueName(e.valueName));
    m_list.SetItemText(row, ifeo::kColCommandLine, e.commandLine);
    ++row;
  }
}

bool CIfeoPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_IFEO_LIST || nm->code != NM_RCLICK) return false;
  common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_IFEO, {});
  result = 0;
  return true;
}

bool CIfeoPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_IFEO_REFRESH: RefreshIfeoList(); return true;
    case IDM_IFEO_DELETE: OnDeleteEntry(); return true;
    case IDM_IFEO_ADD: OnAddEntry(); return true;
    case IDM_IFEO_REGEDIT: common::OpenKeyInRegedit(m_hWnd, common::GetSelectedCell(m_list, ifeo::kColKey)); return true;
    default: return false;
  }
}

// Deletes the selected row's whole image key. A key that cannot go whole (one with subkeys of its
// own, as a hijacker may add to keep its entry) loses its "Debugger" value, the hijack itself, and
// keeps the rest; the message says so.
void CIfeoPage::OnDeleteEntry() {
  std::wstring name = common::GetSelectedCell(m_list, ifeo::kColImage);
  const std::wstring value = common::ValueNameFromCell(common::GetSelectedCell(m_list, ifeo::kColValue));
  if (!name.empty() && !value.empty() && value != ifeo::kDebuggerValue) {
    DeleteValueOfRow(value);
  } else if (!name.empty()) {
    common::KeyPathParts parts = common::SplitKeyPath(common::GetSelectedCell(m_list, ifeo::kColKey));
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
  RefreshIfeoList();
}

// Deletes exactly the value a GlobalFlag, VerifierDlls or MonitorProcess row shows; the key and
// its other values stay.
void CIfeoPage::DeleteValueOfRow(const std::wstring& value) {
  common::KeyPathParts parts = common::SplitKeyPath(common::GetSelectedCell(m_list, ifeo::kColKey));
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
  RefreshIfeoList();
}
