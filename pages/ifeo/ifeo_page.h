// Tab 4: image keys that hold a "Debugger" value.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/record_list.h"
#include "pages/ifeo/ifeo_sources.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace ifeo {
// A listed hijack: the key's real path and the exact value the row shows; `file` is the program a
// Debugger or MonitorProcess value starts.
struct IfeoRecord : common::Record {
  Entry entry;
  // Whether the value is still there with the data listed.
  bool StillThere() const;
};
// The rows of the list; touches no control (runs on a worker thread).
common::Records GatherRecords();
}  // namespace ifeo

class CIfeoPage : public ui::CDialog {
 public:
  CIfeoPage() : ui::CDialog(IDD_IFEO_PAGE) {}

  void SetupLists();
  // Lists the image keys of the 64-bit and then the 32-bit registry view, every key once; gathered
  // on a worker thread.
  void RefreshIfeoList();
  // The same before returning.
  void RefreshIfeoListNow();

  const ui::CListCtrl& List() const { return m_list; }
  common::RecordList& Records() { return m_rows; }

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;

 private:
  // The selected row's entry when it is still there; otherwise says so, refreshes, gives null.
  std::shared_ptr<const ifeo::IfeoRecord> TargetEntry();
  void DeleteValueOfRow(const ifeo::IfeoRecord& rec, const std::wstring& value);
  void OnDeleteEntry();
  void OnAddEntry();

  ui::CListCtrl m_list;
  common::RecordList m_rows;
};
