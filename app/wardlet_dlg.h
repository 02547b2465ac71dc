// The main dialog: menu bar, tab control and the six pages.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "app/about_dlg.h"
#include "app/force_delete_dlg.h"
#include "pages/autorun/autorun_page.h"
#include "pages/ifeo/ifeo_page.h"
#include "pages/port/port_page.h"
#include "pages/process/process_page.h"
#include "pages/service/service_page.h"
#include "pages/window/window_page.h"
#include "res/resource.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/layout.h"
#include "common/record_list.h"

constexpr int kPageCount = 6;

class CWardletDlg : public ui::CDialog {
 public:
  CWardletDlg();
  ~CWardletDlg() override;

  // Destroys the six pages in page order, then the main window.
  void DestroyWindow() override;
  // Shows the page of index and hides the others; an index outside 0 to 5 hides all.
  void ShowPage(int index);
  // Whether the fade-in runs at start (tests switch it off).
  static void SetFadeIn(bool on);
  // The scan report's main dialog: created never shown, with no fade-in and no first fill.
  bool CreateHidden();
  // Refills the page of index at once (the report reads it afterwards); returns its window.
  HWND RefreshPageNow(int index);

  // The record list of a page whose list is one; null for a page with a plain list.
  common::RecordList* Records(int index);
  // The list a list command of page index acts on: the focused list of the page, else its first.
  HWND PageList(int index) const;
  // Refills the page of index: the page's own refill, run on a worker for a record list.
  void RefreshPage(int index);
  // Handles a key of the main window and its pages (find, copy, refresh, page switching, the
  // row menu from the keyboard); true when it was one.
  bool HandleKey(const MSG& msg);
  // Seconds between automatic refreshes of the page shown (0: off), kept in the settings.
  void SetWatchSeconds(int seconds);
  int WatchSeconds() const { return m_watchSeconds; }
  // Whether the page of index refreshes itself while watched.
  static bool IsWatchedPage(int index) { return index == 0 || index == 1 || index == 2 || index == 5; }
  // The timer's work: refreshes the page shown unless a menu, message box or dialog is open or a
  // refresh still runs. Returns whether it started one.
  bool WatchTick();

  CProcessPage m_processPage;
  CWindowPage m_windowPage;
  CServicePage m_servicePage;
  CAutorunPage m_autorunPage;
  CIfeoPage m_ifeoPage;
  CPortPage m_portPage;
  ui::CTabCtrl m_tab;
  std::unique_ptr<CAboutDlg> m_pAboutDlg;              // the latest About command's dialog
  std::unique_ptr<CForceDeleteDlg> m_pForceDeleteDlg;  // the latest force-delete tool dialog

 protected:
  void DoDataExchange(ui::CDataExchange& dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnNotify(NMHDR* nm, LRESULT& result) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  ui::CDialog* Page(int index);
  void OnPageSwitch();
  void SwitchPage(int step);
  // List features of the File menu and the keys; false for any other command.
  bool OnListCommand(UINT id);
  void PlacePages();
  void FitProcessColumns();
  void StartListFeatures();
  void StopListFeatures();
  static constexpr UINT_PTR kWatchTimer = 1;
  void SetupLayouts();
  void RestorePlacement();
  void SavePlacement() const;
  void RestoreColumnWidths();
  void SaveColumnWidths() const;
  void CopyRows(bool all);
  void ExportList();
  bool PaintMinimized();
  // Commands of the Tools, Repair and Help menus; false for any other command.
  bool OnMenuCommand(UINT id);

  HICON m_hIcon;
  ui::Layout m_layouts[kPageCount];
  SIZE m_minTrack{};
  int m_watchSeconds = 0;
  bool m_bHidden = false;
};
