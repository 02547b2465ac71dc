// Dialog base: the thunk, the dispatch switch and data exchange.
#include "ui/dialog.h"

#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

#include "ui/modal.h"

namespace ui {
namespace {
DialogInitHook& InitHook() {
  static DialogInitHook hook;
  return hook;
}

// Messages whose result is the dialog procedure's return value rather than DWLP_MSGRESULT.
bool ReturnsDirectly(UINT msg) {
  switch (msg) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM:
    case WM_QUERYDRAGICON: case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}
}  // namespace

void SetDialogInitHook(DialogInitHook hook) { InitHook() = std::move(hook); }

void DDX_Control(CDataExchange& dx, int id, CWnd& control) {
  if (!control.GetSafeHwnd()) control.Attach(::GetDlgItem(dx.m_hDlg, id));
}

// Writing leaves a control whose text is already the value alone, so that no change notice
// comes from an exchange that changes nothing.
void DDX_Text(CDataExchange& dx, int id, std::wstring& value) {
  CWnd item(::GetDlgItem(dx.m_hDlg, id));
  if (dx.m_bSaveAndValidate) value = item.GetWindowText();
  else if (item.GetWindowText() != value) item.SetWindowText(value);
}

void DDX_Text(CDataExchange& dx, int id, int& value) {
  CWnd item(::GetDlgItem(dx.m_hDlg, id));
  if (dx.m_bSaveAndValidate) value = static_cast<int>(std::wcstol(item.GetWindowText().c_str(), nullptr, 10));
  else if (item.GetWindowText() != std::to_wstring(value)) item.SetWindowText(std::to_wstring(value));
}

void DDX_Slider(CDataExchange& dx, int id, int& value) {
  HWND slider = ::GetDlgItem(dx.m_hDlg, id);
  if (dx.m_bSaveAndValidate) value = static_cast<int>(::SendMessageW(slider, TBM_GETPOS, 0, 0));
  else ::SendMessageW(slider, TBM_SETPOS, TRUE, value);
}

CDialog::~CDialog() {
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
    if (!m_bModal) ::DestroyWindow(m_hWnd);
  }
}

INT_PTR CDialog::DoModal(HWND parent) {
  m_bModal = true;
  ModalScope open;
  INT_PTR r = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                                parent, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return r;
}

bool CDialog::Create(HWND parent) {
  m_bModal = false;
  HWND h = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), parent,
                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  return h != nullptr;
}

bool CDialog::CreateHidden(HWND parent) {
  m_bModal = false;
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(m_nIDTemplate), MAKEINTRESOURCEW(5));  // RT_DIALOG
  HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  const DWORD size = found ? ::SizeofResource(module, found) : 0;
  if (!data || size < sizeof(DLGTEMPLATE)) return false;
  std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);  // templates are DWORD-aligned
  std::memcpy(copy.data(), data, size);
  const auto* words = reinterpret_cast<const WORD*>(copy.data());
  // An extended template (second word 0xFFFF) keeps its style after the help ID and extended style.
  DWORD& style = words[1] == 0xFFFF ? copy[3] : copy[0];
  style &= ~static_cast<DWORD>(WS_VISIBLE | DS_SETFOREGROUND);  // nor does it take the foreground
  HWND h = ::CreateDialogIndirectParamW(module, reinterpret_cast<const DLGTEMPLATE*>(copy.data()), parent,
                                        &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  return h != nullptr;
}

void CDialog::DestroyWindow() {
  if (!m_hWnd) return;
  if (m_bModal) ::EndDialog(m_hWnd, IDCANCEL);
  else ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(INT_PTR result) {
  if (!m_hWnd) return;
  if (m_bModal) ::EndDialog(m_hWnd, result);
  else ::DestroyWindow(m_hWnd);
}

bool CDialog::UpdateData(bool save) {
  if (!m_hWnd) return false;
  CDataExchange dx(m_hWnd, save);
  DoDataExchange(dx);
  return true;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

// A modeless child page ignores Enter and Escape; a modal dialog ends with them.
void CDialog::OnOK() {
  if (!m_bModal) return;
  UpdateData(true);
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  if (m_bModal) EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CDialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lp);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    self->m_hWnd = hwnd;
  } else {
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  try {
    INT_PTR r = self->Dispatch(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->m_hWnd = nullptr;
    }
    return r;
  } catch (...) {
    return FALSE;  // nothing may unwind through the window manager
  }
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (msg == WM_INITDIALOG) {
    BOOL focus = OnInitDialog();
    if (InitHook()) InitHook()(*this);
    return focus;
  }
  if (OnMessage(msg, wp, lp, result)) {
    if (ReturnsDirectly(msg)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
  }
  switch (msg) {
    case WM_COMMAND: {
      WORD id = LOWORD(wp), code = HIWORD(wp);
      HWND control = reinterpret_cast<HWND>(lp);
      if (OnCommand(id, code, control)) return TRUE;
      if (id == IDOK && (code == BN_CLICKED || control == nullptr)) { OnOK(); return TRUE; }
      if (id == IDCANCEL && (code == BN_CLICKED || control == nullptr)) { OnCancel(); return TRUE; }
      return FALSE;
    }
    case WM_NOTIFY:
      if (OnNotify(reinterpret_cast<NMHDR*>(lp), result)) {
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace ui
