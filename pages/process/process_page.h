// Tab 0: the process list and the module list of the chosen process.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include "pages/process/listed_process.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

class CProcessPage : public ui::CDialog {
 public:
  CProcessPage() : ui::CDialog(IDD_PROCESS_PAGE) {}

  void SetupLists();
  void RefreshProcessList();
  void FillModuleList();

  const ui::CListCtrl& ProcessList() const { return m_listProcess; }
  const ui::CListCtrl& ModuleList() const { return m_listModule; }
  // The process each row of the process list showed when it was filled (PID and creation time),
  // in row order; the commands act only on that process.
  process::ListedRows& ListedProcesses() { return m_listed; }
  int SelectedProcessRow() const { return m_listProcess.GetNextItem(-1, LVNI_SELECTED); }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  void AddProcessRow(int row, const PROCESSENTRY32W& entry);

  ui::CListCtrl m_listModule;
  ui::CListCtrl m_listProcess;
  process::ListedRows m_listed;
};
