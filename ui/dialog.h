// CDialog: dialogs from templates, modal or as modeless children, with one static thunk,
// typed hooks and dialog data exchange.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>

#include "ui/wnd.h"

namespace ui {

// Moves values between a dialog's controls and its members: save true reads the controls.
class CDataExchange {
 public:
  CDataExchange(HWND dlg, bool save) : m_hDlg(dlg), m_bSaveAndValidate(save) {}
  HWND m_hDlg;
  bool m_bSaveAndValidate;
};

void DDX_Control(CDataExchange& dx, int id, CWnd& control);
void DDX_Text(CDataExchange& dx, int id, std::wstring& value);
void DDX_Text(CDataExchange& dx, int id, int& value);
void DDX_Slider(CDataExchange& dx, int id, int& value);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId) : m_nIDTemplate(templateId) {}
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  virtual ~CDialog();

  // Runs the dialog modally; returns the value given to EndDialog, or -1 when it cannot start.
  INT_PTR DoModal(HWND parent = nullptr);
  // Creates the dialog as a modeless window (a child when the template says so) of parent.
  bool Create(HWND parent);
  // Creates the dialog as Create does, but never shown and never made the foreground window: the
  // template's visible and set-foreground styles are dropped.
  bool CreateHidden(HWND parent);
  // Ends a modal dialog, or destroys a modeless one.
  virtual void DestroyWindow();
  void EndDialog(INT_PTR result);
  // Runs the data exchange: save true moves control values into the members.
  bool UpdateData(bool save = true);

  UINT TemplateId() const { return m_nIDTemplate; }
  bool IsModal() const { return m_bModal; }

 protected:
  virtual void DoDataExchange(CDataExchange&) {}
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  // Typed hooks: return true when the message was handled.
  virtual bool OnCommand(WORD /*id*/, WORD /*code*/, HWND /*control*/) { return false; }
  virtual bool OnNotify(NMHDR* /*nm*/, LRESULT& /*result*/) { return false; }
  // Any other message; called before the typed hooks.
  virtual bool OnMessage(UINT /*msg*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR Dispatch(UINT msg, WPARAM wp, LPARAM lp);

  UINT m_nIDTemplate;
  bool m_bModal = false;
};

// Called after every dialog's initialisation; tests use it to drive modal dialogs.
using DialogInitHook = std::function<void(CDialog& dialog)>;
void SetDialogInitHook(DialogInitHook hook);

}  // namespace ui
