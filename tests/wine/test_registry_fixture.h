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
std::vector<BYTE> SzData(const std::wstring& text);

// A key a test needs, in one view; created when missing unless create is false. At the end the
// keys on its path that were missing at the start are deleted with everything in them (a command
// may have made them); keys that were there before are left as they were.
class TestKey {
 public:
  TestKey(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY, bool create = true);
  ~TestKey();
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

 private:
  HKEY m_root;
  REGSAM m_view;
  std::wstring m_firstMissing;
};

// A value a test writes (through the native interface, so any name will do), or without type and
// data one it removes so that a command must write it. A value of that name that was there
// before is written back at the end; otherwise the value is deleted.
class TestValue {
 public:
  TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name, DWORD type, std::vector<BYTE> data);
  TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name);
  ~TestValue();
  TestValue(const TestValue&) = delete;
  TestValue& operator=(const TestValue&) = delete;
  bool written() const { return m_written; }

 private:
  HKEY m_root;
  std::wstring m_key;
  REGSAM m_view;
  std::wstring m_name;
  bool m_written = false;
  bool m_hadValue = false;
  DWORD m_oldType = 0;
  std::vector<BYTE> m_oldData;
};

// Whether a value of exactly this name is in the key, found by enumeration.
bool ValueExists(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name);
// Type and data of a value with an ordinary name; false when it is missing.
bool ReadValue(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name, DWORD& type,
               std::vector<BYTE>& data);
// Text of a REG_SZ value up to its terminator; "<missing>" when it is missing or of another type.
std::wstring ReadString(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = KEY_WOW64_64KEY);
// Value names of a key in enumeration order.
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key, REGSAM view);
// Whether root\key is one key in both views: a probe written through the 32-bit view is seen
// through the 64-bit one.
bool SharedBetweenViews(HKEY root, const std::wstring& key);
// Deletes root\parent\name with its subkeys, the parent opened in the given view.
void DeleteTree(HKEY root, const std::wstring& parent, const std::wstring& name, REGSAM view = KEY_WOW64_64KEY);
bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_64KEY);

// Rows of a list whose cell in column col is text.
std::vector<int> RowsWith(const ui::CListCtrl& list, int col, const std::wstring& text);
// Rows whose cells in columns colA and colB are a and b; the first of them, -1 when none.
std::vector<int> RowsWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB, const std::wstring& b);
int RowWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB, const std::wstring& b);

// Drives the modal dialogs of one template: drive runs once the dialog has initialised; then an
// IDCANCEL is posted in case the steps did not end it. Without cancelAfter the steps must end it:
// a dialog still open after a minute is ended and fails the test, so that a fault cannot hang it.
class DialogDriver {
 public:
  DialogDriver(UINT templateId, std::function<void(HWND dialog)> drive, bool cancelAfter = true);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  int opened = 0;
};

// Helpers for the drive steps.
void SetEditText(HWND dialog, int id, const std::wstring& text);  // raises EN_CHANGE as typing does
std::wstring ItemText(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
void Click(HWND dialog, int id);        // a click handled at once (BN_CLICKED sent to the dialog)
void PostClick(HWND dialog, int id);    // a click the modal loop delivers
void PostEscape(HWND dialog);           // the Escape key, through the dialog's keyboard handling
void PostKey(HWND dialog, int id, UINT vk);  // a key pressed in the control, focused first
// Closes the dialog by Escape or by its close box (the dialog then queues its IDCANCEL), with a
// click on button queued behind: the click would act should the dialog still be open then.
void CloseWithClickQueued(HWND dialog, bool closeBox, int button);

}  // namespace rt
