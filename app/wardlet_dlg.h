// The main dialog: menu bar, tab control and the six pages.
#pragma once
#include <windows.h>

#include <memory>

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
  void RefreshPage(int index);
  void OnPageSwitch();
  bool PaintMinimized();
  // Commands of the Tools, Repair and Help menus; false for any other command.
  bool OnMenuCommand(UINT id);

  HICON m_hIcon;
  bool m_bHidden = false;
};
