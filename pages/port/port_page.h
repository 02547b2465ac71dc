// Tab 5: the TCP and UDP endpoints with owning processes and remote locations.
#pragma once
#include <windows.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/record_list.h"
#include "ipdb/ipdb_locations.h"
#include "pages/port/port_rules.h"
#include "pages/process/listed_process.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace port {

// A listed endpoint: its protocol, both ends and the process that owned it as listed (PID and
// creation time), so that a PID the system has given to another process since is not taken for it.
struct PortRecord : common::Record {
  std::wstring protocol;
  std::wstring localIp, remoteIp;
  unsigned long localPort = 0, remotePort = 0;
  process::ListedProcess owner;
};

// What a gathering could not do; the user-interface thread tells it.
struct GatherTrouble {
  bool noLibrary = false;   // the network-information library did not load
  bool noTables = false;    // it lacks the table functions
  bool noDatabase = false;  // no IPv4 location database loaded
  bool automatic = false;   // a timed refresh: nothing is shown
};

// The location database in use, shared by the gatherings and the Tools submenu: a gathering
// loads into a copy of it and puts the copy in its place, so a lookup never meets a load.
class SharedLocations {
 public:
  std::shared_ptr<const ipdb::CLocationBook> Current() const;
  // Loads the chosen files into a copy of the book in use; returns the copy (now in use) and
  // whether an IPv4 database was loaded.
  std::shared_ptr<const ipdb::CLocationBook> Reload(bool& loadedV4);

 private:
  mutable std::mutex m_lock;
  std::shared_ptr<const ipdb::CLocationBook> m_book = std::make_shared<ipdb::CLocationBook>();
};

// Every row of the port list; touches no control (runs on a worker thread). What went wrong is
// put in trouble.
common::Records GatherPorts(SharedLocations& locations, GatherTrouble& trouble);

}  // namespace port

class CPortPage : public ui::CDialog {
 public:
  CPortPage() : ui::CDialog(IDD_PORT_PAGE) {}

  void SetupLists();
  // Reloads the location database and refills the list from the system's endpoint tables: gathered
  // on a worker thread, shown when done.
  void RefreshConnectionTable();
  // The same, done before returning.
  void RefreshConnectionTableNow();

  const ui::CListCtrl& List() const { return m_list; }
  common::RecordList& Records() { return m_rows; }

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
  // The missing-database message and its download page come once a run; tests start afresh.
  static void ForgetDatabaseNotice();

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  // Tells what a gathering could not do (on the user-interface thread).
  static void TellTrouble(HWND page, const port::GatherTrouble& trouble);
  void OnKillProcess();

  std::shared_ptr<port::SharedLocations> m_locations = std::make_shared<port::SharedLocations>();
  // The file names the submenu's items stand for, by family, in item order.
  std::vector<std::filesystem::path> m_menuIpv4;
  std::vector<std::filesystem::path> m_menuIpv6;
  ui::CListCtrl m_list;
  common::RecordList m_rows;
};
