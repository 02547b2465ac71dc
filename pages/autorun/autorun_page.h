// Tab 3: the values of the Run-type startup keys.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/record_list.h"
#include "pages/autorun/autorun_sources.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace autorun {
// A listed startup entry with what names it exactly (view, root, key and value; folder and file;
// task folder and task).
struct AutorunRecord : common::Record {
  Entry entry;
  // Whether the thing the row named is still there as listed (a registry value with the same
  // data, a Startup folder's file); a scheduled task is taken as there.
  bool StillThere() const;
};
// The rows of the startup list; touches no control (runs on a worker thread).
common::Records GatherRecords();
}  // namespace autorun

class CAutorunPage : public ui::CDialog {
 public:
  CAutorunPage() : ui::CDialog(IDD_AUTORUN_PAGE) {}

  void SetupLists();
  // Lists every startup entry, gathered on a worker thread; registry keys are read in the 64-bit
  // and then the 32-bit view, each key once.
  void RefreshAutorunList();
  // The same before returning.
  void RefreshAutorunListNow();

  const ui::CListCtrl& List() const { return m_list; }
  common::RecordList& Records() { return m_rows; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  // The selected row's entry when it is still there; otherwise says so, refreshes, gives null.
  std::shared_ptr<const autorun::AutorunRecord> TargetEntry();
  std::wstring SelectedCell(int column) const;
  void OnDeleteItem();
  void OnOpenInRegedit();
  void OnAddItem();

  ui::CListCtrl m_list;
  common::RecordList m_rows;
};
