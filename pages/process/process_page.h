// Tab 0: the process list and the module list of the chosen process.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include "common/record_list.h"
#include "pages/process/listed_process.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace process {
// A listed process: its cells and which process it was (PID and creation time), so that a command
// never acts on another process that has been given the PID since.
struct ProcessRecord : common::Record {
  ListedProcess listed;
};

// The rows of the process list, one per process of a fresh snapshot; touches no control (runs on a
// worker thread).
common::Records GatherProcesses();
}  // namespace process

class CProcessPage : public ui::CDialog {
 public:
  CProcessPage() : ui::CDialog(IDD_PROCESS_PAGE) {}

  void SetupLists();
  // Refills the process list: gathered on a worker thread, shown when done.
  void RefreshProcessList();
  // Refills the process list before returning.
  void RefreshProcessListNow();
  void FillModuleList();

  const ui::CListCtrl& ProcessList() const { return m_listProcess; }
  const ui::CListCtrl& ModuleList() const { return m_listModule; }
  common::RecordList& Records() { return m_rows; }
  // The record of the selected row of the process list; null when none is selected.
  std::shared_ptr<const process::ProcessRecord> SelectedProcess() const {
    return m_rows.SelectedAs<process::ProcessRecord>();
  }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  ui::CListCtrl m_listModule;
  ui::CListCtrl m_listProcess;
  common::RecordList m_rows;
};
