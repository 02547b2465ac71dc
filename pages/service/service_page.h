// Tab 2: every Win32 service, its description and the service commands.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/path_rules.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CServicePage : public ui::CDialog {
 public:
  CServicePage() : ui::CDialog(IDD_SERVICE_PAGE) {}

  void SetupLists();
  // Rebuilds the list from the service-control manager; the description edit stays as it is.
  void RefreshServiceList();
  // Shows the description of the selected row's service in the edit below the list.
  void ShowServiceDescription();

  const ui::CListCtrl& List() const { return m_list; }

  // One service as the enumeration returns it.
  struct ServiceEntry {
    std::wstring name;
    std::wstring displayName;
    DWORD state;
    DWORD type;  // SERVICE_WIN32_* or a driver type
  };
  // How long start, stop, pause and resume wait for the target state (tests shorten it).
  static void SetWaitBound(DWORD ms);

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void AddServiceRow(SC_HANDLE manager, int row, const ServiceEntry& entry, std::vector<BYTE>& configBuffer,
                     const common::PathLookup& lookup);
  void ShowRowMenu(int item);
  void OnControlCommand(UINT id);
  void OnStartTypeCommand(UINT id);
  void OnSetDescription();
  void OnDeleteService();

  ui::CListCtrl m_list;
  std::wstring m_strDescription;
};
