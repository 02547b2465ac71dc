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

// A key a test needs, opened in one view; created when missing and then deleted at the end with
// everything in it. A key that was there before is left as it was.
class TestKey {
 public:
  TestKey(HKEY root, std::wstring path, REGSAM view = KEY_WOW64_64KEY);
  ~TestKey();
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;
  bool created() const { return m_created; }

 private:
  HKEY m_root;
  std::wstring m_path;
  REGSAM m_view;
  bool m_created = false;
};

// A value a test writes (through the native interface, so any name will do). A value of that
// name that was there before is written back at the end; otherwise the value is deleted.
class TestValue {
 public:
  TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name, DWORD type, std::vector<BYTE> data);
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
// The row whose cells in columns 1 and 2 (or 1 and 3) are a and b; -1 when none.
int RowWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB, const std::wstring& b);

// Drives the modal dialogs of one template: drive runs once the dialog has initialised; then an
// IDCANCEL is posted in case the steps did not end it.
class DialogDriver {
 public:
  DialogDriver(UINT templateId, std::function<void(HWND dialog)> drive);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  int opened = 0;
};

// Helpers for the drive steps.
void SetEditText(HWND dialog, int id, const std::wstring& text);  // raises EN_CHANGE as typing does
bool IsEnabled(HWND dialog, int id);
void PostClick(HWND dialog, int id);    // a click the modal loop delivers
void PostEscape(HWND dialog);           // the Escape key, through the dialog's keyboard handling
void PostCloseBox(HWND dialog);         // the close box of the caption

}  // namespace rt
