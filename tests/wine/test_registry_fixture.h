// Registry helpers of the startup-item and IFEO tests: keys and values written for one test and
// put back afterwards, names written and found exactly (NUL characters included), and dialogs
// driven through the dialog hook.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/handle.h"

extern "C" {
struct TestCountedName {
  USHORT Length, MaximumLength;
  PWSTR Buffer;
};
LONG NTAPI NtSetValueKey(HANDLE key, TestCountedName* name, ULONG titleIndex, ULONG type, PVOID data, ULONG size);
LONG NTAPI NtDeleteValueKey(HANDLE key, TestCountedName* name);
}

namespace rt {

inline ui::CRegKey OpenKey(HKEY root, const std::wstring& key, REGSAM access) {
  ui::CRegKey k;
  ::RegOpenKeyExW(root, key.c_str(), 0, access, k.put());
  return k;
}
inline bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_64KEY) {
  return !!OpenKey(root, key, KEY_READ | view);
}
// Deletes root\parent\name with its subkeys, the parent opened in the given view.
inline void DeleteTree(HKEY root, const std::wstring& parent, const std::wstring& name, REGSAM view = KEY_WOW64_64KEY) {
  if (ui::CRegKey k = OpenKey(root, parent, KEY_ALL_ACCESS | view)) ::RegDeleteTreeW(k.get(), name.c_str());
}

// Type and data of a value with an ordinary name; false when it is missing.
inline bool ReadValue(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name, DWORD& type,
                      std::vector<BYTE>& data) {
  ui::CRegKey k = OpenKey(root, key, KEY_READ | view);
  DWORD size = 0;
  if (!k || ::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  return true;
}
// Text of a REG_SZ value up to its terminator; "<missing>" when missing or of another type.
inline std::wstring ReadString(HKEY root, const std::wstring& key, const std::wstring& name,
                               REGSAM view = KEY_WOW64_64KEY) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ReadValue(root, key, view, name, type, data) || type != REG_SZ) return L"<missing>";
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}
// Value names of a key in enumeration order, and whether one is exactly name.
inline std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key, REGSAM view) {
  std::vector<std::wstring> names;
  ui::CRegKey k = OpenKey(root, key, KEY_READ | view);
  std::vector<wchar_t> buf(16384);
  for (DWORD i = 0; k; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG e = ::RegEnumValueW(k.get(), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e == ERROR_SUCCESS) names.emplace_back(buf.data(), len);
  }
  return names;
}
inline bool ValueExists(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name) {
  const std::vector<std::wstring> names = ValueNames(root, key, view);
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Data of a REG_SZ value: the text and its terminator.
inline std::vector<BYTE> SzData(const std::wstring& text) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t));
}

// A key a test needs, in one view; created unless create is false. At the end the keys on its
// path that were missing at the start are deleted with all they hold.
class TestKey {
 public:
  TestKey(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY, bool create = true)
      : m_root(root), m_view(view) {
    for (size_t at = path.find(L'\\'); m_firstMissing.empty(); at = path.find(L'\\', at + 1)) {
      if (!KeyExists(root, path.substr(0, at), view)) m_firstMissing = path.substr(0, at);
      if (at == std::wstring::npos) break;
    }
    ui::CRegKey key;
    if (create) ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | view, nullptr, key.put(), nullptr);
  }
  ~TestKey() {
    size_t slash = m_firstMissing.rfind(L'\\');
    if (slash != std::wstring::npos)
      DeleteTree(m_root, m_firstMissing.substr(0, slash), m_firstMissing.substr(slash + 1), m_view);
  }

 private:
  HKEY m_root;
  REGSAM m_view;
  std::wstring m_firstMissing;
};

// A value a test writes (through the native interface, so any name will do), or without type and
// data one it removes. A value of that name that was there before is written back at the end.
class TestValue {
 public:
  TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name)
      : m_root(root), m_key(std::move(key)), m_view(view), m_name(std::move(name)) {
    m_had = m_name.find(L'\0') == std::wstring::npos && ReadValue(m_root, m_key, m_view, m_name, m_oldType, m_old);
    if (ui::CRegKey k = OpenKey(m_root, m_key, KEY_WRITE | m_view)) NtDeleteValueKey(k.get(), Counted());
  }
  TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name, DWORD type, std::vector<BYTE> data)
      : TestValue(root, std::move(key), view, std::move(name)) {
    if (ui::CRegKey k = OpenKey(m_root, m_key, KEY_WRITE | m_view))
      m_written = NtSetValueKey(k.get(), Counted(), 0, type, data.data(), static_cast<ULONG>(data.size())) == 0;
  }
  ~TestValue() {
    ui::CRegKey k = OpenKey(m_root, m_key, KEY_WRITE | m_view);
    if (k && m_had) NtSetValueKey(k.get(), Counted(), 0, m_oldType, m_old.data(), static_cast<ULONG>(m_old.size()));
    if (k && !m_had) NtDeleteValueKey(k.get(), Counted());
  }
  bool written() const { return m_written; }

 private:
  TestCountedName* Counted() {
    m_counted.Length = m_counted.MaximumLength = static_cast<USHORT>(m_name.size() * sizeof(wchar_t));
    m_counted.Buffer = m_name.data();
    return &m_counted;
  }
  HKEY m_root;
  std::wstring m_key;
  REGSAM m_view;
  std::wstring m_name;
  TestCountedName m_counted{};
  bool m_written = false, m_had = false;
  DWORD m_oldType = 0;
  std::vector<BYTE> m_old;
};

// Whether root\key is one key in both views (a value written in the 32-bit view shows in the 64-bit one).
inline bool SharedBetweenViews(HKEY root, const std::wstring& key) {
  TestValue v(root, key, KEY_WOW64_32KEY, L"WardletT view probe", REG_SZ, SzData(L"probe"));
  return v.written() && ValueExists(root, key, KEY_WOW64_64KEY, L"WardletT view probe");
}

// Rows whose cell in colA is a (and, with colB, whose cell in colB is b); RowWith: the first, -1 when none.
inline std::vector<int> RowsWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB = -1,
                                 const std::wstring& b = L"") {
  std::vector<int> rows;
  for (int i = 0, n = list.GetItemCount(); i < n; ++i)
    if (list.GetItemText(i, colA) == a && (colB < 0 || list.GetItemText(i, colB) == b)) rows.push_back(i);
  return rows;
}
inline int RowWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB, const std::wstring& b) {
  std::vector<int> rows = RowsWith(list, colA, a, colB, b);
  return rows.empty() ? -1 : rows[0];
}

// Drives the modal dialogs of one template: drive runs once the dialog has initialised; then an
// IDCANCEL is posted unless cancelAfter is false. A dialog still open after a minute is ended and
// fails the test, so that a fault cannot hang it.
class DialogDriver {
 public:
  DialogDriver(UINT templateId, std::function<void(HWND dialog)> drive, bool cancelAfter = true) {
    Abandoned() = 0;
    ui::SetDialogInitHook([this, templateId, drive, cancelAfter](ui::CDialog& dialog) {
      if (dialog.TemplateId() != templateId) return;
      ++opened;
      HWND h = dialog.GetSafeHwnd();
      ::SetTimer(h, 1, 60000, &Abandon);
      drive(h);
      if (cancelAfter) ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
  }
  ~DialogDriver() {
    ui::SetDialogInitHook(nullptr);
    if (Abandoned()) ADD_FAILURE() << "a dialog did not end as the test drove it";
  }
  int opened = 0;

 private:
  static int& Abandoned() {
    static int count = 0;
    return count;
  }
  static void CALLBACK Abandon(HWND d, UINT, UINT_PTR, DWORD) {
    ++Abandoned();
    ::EndDialog(d, IDABORT);
  }
};

// Steps for drive. Click is handled at once, PostClick through the modal loop; SetEditText raises
// EN_CHANGE as typing does; PostKey presses a key in the control, focused first.
inline void SetEditText(HWND d, int id, const std::wstring& text) { ::SetDlgItemTextW(d, id, text.c_str()); }
inline std::wstring ItemText(HWND d, int id) { return ui::CWnd(::GetDlgItem(d, id)).GetWindowText(); }
inline bool IsEnabled(HWND d, int id) { return ::IsWindowEnabled(::GetDlgItem(d, id)) != FALSE; }
inline void Click(HWND d, int id) {
  ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(d, id)));
}
inline void PostClick(HWND d, int id) { ::PostMessageW(::GetDlgItem(d, id), BM_CLICK, 0, 0); }
inline void PostKey(HWND d, int id, UINT vk) {
  HWND control = ::GetDlgItem(d, id);
  ::SetFocus(control);
  ::PostMessageW(control, WM_KEYDOWN, vk, 1);
  ::PostMessageW(control, WM_KEYUP, vk, 0xC0000001);
}
// Closes the dialog by its close box or by Escape (sent to its first edit, through the dialog's
// keyboard handling), with a click on button queued behind: it would act were the dialog still open.
inline void CloseWithClickQueued(HWND d, bool closeBox, int button) {
  HWND edit = ::GetWindow(d, GW_CHILD);
  while (edit && ::SendMessageW(edit, WM_GETDLGCODE, 0, 0) & DLGC_STATIC) edit = ::GetWindow(edit, GW_HWNDNEXT);
  if (closeBox)
    ::SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
  else
    ::PostMessageW(edit ? edit : d, WM_KEYDOWN, VK_ESCAPE, 0);
  PostClick(d, button);
}

}  // namespace rt
