// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#pragma once
#include <windows.h>

#include <filesystem>
#include <string>

#include <vector>

#include "ipdb/ipdb_locations.h"
#include "pages/port/port_rules.h"
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

  // The Tools menu's "位置数据库" submenu: when menu is that submenu, fills it with the database
  // files beside the program, each with the date of its data and a check mark on the file in use
  // for each address family, and returns true.
  bool FillDatabaseMenu(HMENU menu);
  // A command of that submenu: keeps the choice in the settings and refreshes the table. False
  // for any other command.
  bool OnDatabaseCommand(UINT id);

  // The network-information library the refresh loads ("iphlpapi.dll"); tests name another to
  // see the failures.
  static void SetNetworkLibrary(const std::wstring& name);

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void LoadLocations();
  std::vector<port::RowCells> GatherRows();
  void FillRows(const std::vector<port::RowCells>& rows);
  void OnKillProcess();

  ipdb::CLocationBook m_book;
  // The file names the submenu's items stand for, by family, in item order.
  std::vector<std::filesystem::path> m_menuIpv4;
  std::vector<std::filesystem::path> m_menuIpv6;
  ui::CListCtrl m_list;
  process::ListedRows m_owners;
};
