// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#pragma once
#include <windows.h>

#include <string>

#include "ipdb/ipdb.h"
#include "pages/process/listed_process.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CPortPage : public ui::CDialog {
 public:
  CPortPage() : ui::CDialog(IDD_PORT_PAGE) {}

  void SetupLists();
  // Reloads the location database and refills the list from the system's endpoint tables.
  void RefreshConnectionTable();

  const ui::CListCtrl& List() const { return m_list; }
  // The owning process of each row as it was at the refresh (PID and creation time), in row order.
  process::ListedRows& RowOwners() { return m_owners; }

  // The network-information library the refresh loads ("iphlpapi.dll"); tests name another to
  // see the failures.
  static void SetNetworkLibrary(const std::wstring& name);

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void LoadLocations();
  void FillRows();
  void OnKillProcess();

  CIpLocationDb m_db;
  ui::CListCtrl m_list;
  process::ListedRows m_owners;
};
