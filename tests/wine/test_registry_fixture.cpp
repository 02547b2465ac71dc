// Registry helpers of the startup-item and IFEO tests.
#include "tests/wine/test_registry_fixture.h"

#include <utility>

#include "ui/handle.h"

extern "C" {
struct TestCountedName {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};
LONG NTAPI NtSetValueKey(HANDLE key, TestCountedName* name, ULONG titleIndex, ULONG type, PVOID data, ULONG size);
LONG NTAPI NtDeleteValueKey(HANDLE key, TestCountedName* name);
}

namespace rt {
namespace {
TestCountedName Counted(std::wstring& name) {
  USHORT bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  return {bytes, bytes, name.data()};
}
}  // namespace

std::vector<BYTE> SzData(const std::wstring& text) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t));
}

TestKey::TestKey(HKEY root, std::wstring path, REGSAM view) : m_root(root), m_path(std::move(path)), m_view(view) {
  ui::CRegKey key;
  DWORD disposition = 0;
  if (::RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, 0, KEY_READ | m_view, nullptr, key.put(), &disposition) ==
      ERROR_SUCCESS)
    m_created = disposition == REG_CREATED_NEW_KEY;
}

TestKey::~TestKey() {
  size_t slash = m_path.rfind(L'\\');
  if (m_created && slash != std::wstring::npos)
    DeleteTree(m_root, m_path.substr(0, slash), m_path.substr(slash + 1), m_view);
}

TestValue::TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name, DWORD type, std::vector<BYTE> data)
    : m_root(root), m_key(std::move(key)), m_view(view), m_name(std::move(name)) {
  ui::CRegKey k;
  if (::RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_READ | KEY_WRITE | m_view, k.put()) != ERROR_SUCCESS) return;
  if (m_name.find(L'\0') == std::wstring::npos) {
    DWORD size = 0;
    if (::RegQueryValueExW(k.get(), m_name.c_str(), nullptr, &m_oldType, nullptr, &size) == ERROR_SUCCESS) {
      m_oldData.resize(size);
      m_hadValue = ::RegQueryValueExW(k.get(), m_name.c_str(), nullptr, &m_oldType, m_oldData.data(), &size) ==
                   ERROR_SUCCESS;
      m_oldData.resize(size);
    }
  }
  TestCountedName counted = Counted(m_name);
  m_written = NtSetValueKey(k.get(), &counted, 0, type, data.data(), static_cast<ULONG>(data.size())) == 0;
}

TestValue::~TestValue() {
  ui::CRegKey k;
  if (::RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_WRITE | m_view, k.put()) != ERROR_SUCCESS) return;
  TestCountedName counted = Counted(m_name);
  if (m_hadValue)
    NtSetValueKey(k.get(), &counted, 0, m_oldType, m_oldData.data(), static_cast<ULONG>(m_oldData.size()));
  else
    NtDeleteValueKey(k.get(), &counted);
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key, REGSAM view) {
  std::vector<std::wstring> names;
  ui::CRegKey k;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, k.put()) != ERROR_SUCCESS) return names;
  std::vector<wchar_t> buf(16384);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG e = ::RegEnumValueW(k.get(), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e == ERROR_SUCCESS) names.emplace_back(buf.data(), len);
  }
  return names;
}

bool ValueExists(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name) {
  for (const auto& n : ValueNames(root, key, view))
    if (n == name) return true;
  return false;
}

bool ReadValue(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name, DWORD& type,
               std::vector<BYTE>& data) {
  ui::CRegKey k;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, k.put()) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  return true;
}

bool SharedBetweenViews(HKEY root, const std::wstring& key) {
  const std::wstring probe = L"WardletT view probe";
  TestValue v(root, key, KEY_WOW64_32KEY, probe, REG_SZ, SzData(L"probe"));
  return v.written() && ValueExists(root, key, KEY_WOW64_64KEY, probe);
}

void DeleteTree(HKEY root, const std::wstring& parent, const std::wstring& name, REGSAM view) {
  ui::CRegKey k;
  if (::RegOpenKeyExW(root, parent.c_str(), 0, KEY_ALL_ACCESS | view, k.put()) == ERROR_SUCCESS)
    ::RegDeleteTreeW(k.get(), name.c_str());
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) {
  ui::CRegKey k;
  return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, k.put()) == ERROR_SUCCESS;
}

std::vector<int> RowsWith(const ui::CListCtrl& list, int col, const std::wstring& text) {
  std::vector<int> rows;
  for (int i = 0, n = list.GetItemCount(); i < n; ++i)
    if (list.GetItemText(i, col) == text) rows.push_back(i);
  return rows;
}

int RowWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB, const std::wstring& b) {
  for (int i = 0, n = list.GetItemCount(); i < n; ++i)
    if (list.GetItemText(i, colA) == a && list.GetItemText(i, colB) == b) return i;
  return -1;
}

DialogDriver::DialogDriver(UINT templateId, std::function<void(HWND)> drive) {
  ui::SetDialogInitHook([this, templateId, drive](ui::CDialog& dialog) {
    if (dialog.TemplateId() != templateId) return;
    ++opened;
    HWND h = dialog.GetSafeHwnd();
    drive(h);
    ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
  });
}
DialogDriver::~DialogDriver() { ui::SetDialogInitHook(nullptr); }

void SetEditText(HWND dialog, int id, const std::wstring& text) { ::SetDlgItemTextW(dialog, id, text.c_str()); }
bool IsEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }
void PostClick(HWND dialog, int id) { ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void PostEscape(HWND dialog) {
  HWND edit = ::GetWindow(dialog, GW_CHILD);
  while (edit && ::SendMessageW(edit, WM_GETDLGCODE, 0, 0) & DLGC_STATIC) edit = ::GetWindow(edit, GW_HWNDNEXT);
  ::PostMessageW(edit ? edit : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
}
void PostCloseBox(HWND dialog) { ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace rt
