// Tab 2: every Win32 service, its description and the service commands.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/path_rules.h"
#include "common/record_list.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace service {
// A listed service, known by its name (the manager's key for it).
struct ServiceRecord : common::Record {
  std::wstring name;
};
// The rows of the service list; touches no control (runs on a worker thread). managerFailed is
// set when the service-control manager cannot be opened (no rows then).
common::Records GatherServices(bool* managerFailed = nullptr);
}  // namespace service

class CServicePage : public ui::CDialog {
 public:
  CServicePage() : ui::CDialog(IDD_SERVICE_PAGE) {}

  void SetupLists();
  // Rebuilds the list from the service-control manager, gathered on a worker thread; the
  // description edit stays as it is.
  void RefreshServiceList();
  // The same before returning.
  void RefreshServiceListNow();
  // Shows the description of the selected row's service in the edit below the list.
  void ShowServiceDescription();

  const ui::CListCtrl& List() const { return m_list; }
  common::RecordList& Records() { return m_rows; }

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
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  // The selected row's service, when it is still there under its name; otherwise says so in plain
  // words, refreshes the list and gives null.
  std::shared_ptr<const service::ServiceRecord> TargetService();
  std::wstring SelectedCell(int column) const;
  void ShowRowMenu(int item);
  void OnControlCommand(UINT id);
  void OnStartTypeCommand(UINT id);
  void OnSetDescription();
  void OnDeleteService();

  ui::CListCtrl m_list;
  common::RecordList m_rows;
  std::wstring m_strDescription;
};
