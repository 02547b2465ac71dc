// Registry helpers of the startup-item and IFEO tests: keys and values written for one test and
// put back afterwards, names written and found exactly (NUL characters included), and dialogs
// driven through the dialog hook.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/dialog.h"

namespace rt {

// Data of a REG_SZ value: the text and its terminator.
inline std::vector<BYTE> SzData(const std::wstring& text) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t));
}

// A key a test needs, in one view; created unless create is false. At the end the keys on its
// path that were missing at the start are deleted with all they hold.
class TestKey {
 public:
  TestKey(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY, bool create = true);
  ~TestKey();

 private:
  HKEY m_root;
  REGSAM m_view;
  std::wstring m_firstMissing;
};

// A value a test writes (through the native interface, so any name will do), or without type and
// data one it removes. A value of that name that was there before is written back at the end.
class TestValue {
 public:
  TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name, DWORD type, std::vector<BYTE> data);
  TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name);
  ~TestValue();
  bool written() const { return m_written; }

 private:
  HKEY m_root;
  std::wstring m_key;
  REGSAM m_view;
  std::wstring m_name;
  bool m_written = false, m_hadValue = false;
  DWORD m_oldType = 0;
  std::vector<BYTE> m_oldData;
};

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key, REGSAM view);  // in enumeration order
bool ValueExists(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name);  // exact name
// Type and data of a value with an ordinary name; false when it is missing.
bool ReadValue(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name, DWORD& type,
               std::vector<BYTE>& data);
// Text of a REG_SZ value up to its terminator; "<missing>" when missing or of another type.
std::wstring ReadString(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = KEY_WOW64_64KEY);
// Whether root\key is one key in both views (a value written in the 32-bit view shows in the 64-bit one).
bool SharedBetweenViews(HKEY root, const std::wstring& key);
// Deletes root\parent\name with its subkeys, the parent opened in the given view.
void DeleteTree(HKEY root, const std::wstring& parent, const std::wstring& name, REGSAM view = KEY_WOW64_64KEY);
bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_64KEY);

// Rows whose cell in colA is a (and, with colB, whose cell in colB is b); RowWith: the first, -1 when none.
std::vector<int> RowsWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB = -1,
                          const std::wstring& b = L"");
inline int RowWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB, const std::wstring& b) {
  std::vector<int> rows = RowsWith(list, colA, a, colB, b);
  return rows.empty() ? -1 : rows[0];
}

// Drives the modal dialogs of one template: drive runs once the dialog has initialised; then an
// IDCANCEL is posted unless cancelAfter is false. A dialog still open after a minute is ended and
// fails the test, so that a fault cannot hang it.
class DialogDriver {
 public:
  DialogDriver(UINT templateId, std::function<void(HWND dialog)> drive, bool cancelAfter = true);
  ~DialogDriver();
  int opened = 0;
};

// Steps for drive.
inline void SetEditText(HWND d, int id, const std::wstring& text) { ::SetDlgItemTextW(d, id, text.c_str()); }  // EN_CHANGE
inline std::wstring ItemText(HWND d, int id) { return ui::CWnd(::GetDlgItem(d, id)).GetWindowText(); }
inline bool IsEnabled(HWND d, int id) { return ::IsWindowEnabled(::GetDlgItem(d, id)) != FALSE; }
inline void Click(HWND d, int id) {  // handled at once
  ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(d, id)));
}
inline void PostClick(HWND d, int id) { ::PostMessageW(::GetDlgItem(d, id), BM_CLICK, 0, 0); }  // through the modal loop
void PostEscape(HWND dialog);                // the Escape key, through the dialog's keyboard handling
void PostKey(HWND dialog, int id, UINT vk);  // a key pressed in the control, focused first
// Closes the dialog by Escape or by its close box, with a click on button queued behind: the click
// would act should the dialog still be open then.
void CloseWithClickQueued(HWND dialog, bool closeBox, int button);

}  // namespace rt
