// Registry helpers of the startup-item and IFEO tests.
#include "tests/wine/test_registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

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
namespace {
TestCountedName Counted(std::wstring& name) {
  USHORT bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  return {bytes, bytes, name.data()};
}
ui::CRegKey Open(HKEY root, const std::wstring& key, REGSAM access) {
  ui::CRegKey k;
  ::RegOpenKeyExW(root, key.c_str(), 0, access, k.put());
  return k;
}
}  // namespace

TestKey::TestKey(HKEY root, const std::wstring& path, REGSAM view, bool create) : m_root(root), m_view(view) {
  for (size_t at = path.find(L'\\'); m_firstMissing.empty(); at = path.find(L'\\', at + 1)) {
    if (!KeyExists(root, path.substr(0, at), view)) m_firstMissing = path.substr(0, at);
    if (at == std::wstring::npos) break;
  }
  ui::CRegKey key;
  if (create) ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | view, nullptr, key.put(), nullptr);
}
TestKey::~TestKey() {
  size_t slash = m_firstMissing.rfind(L'\\');
  if (slash != std::wstring::npos)
    DeleteTree(m_root, m_firstMissing.substr(0, slash), m_firstMissing.substr(slash + 1), m_view);
}

TestValue::TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name)
    : m_root(root), m_key(std::move(key)), m_view(view), m_name(std::move(name)) {
  m_hadValue =
      m_name.find(L'\0') == std::wstring::npos && ReadValue(m_root, m_key, m_view, m_name, m_oldType, m_oldData);
  TestCountedName counted = Counted(m_name);
  if (ui::CRegKey k = Open(m_root, m_key, KEY_WRITE | m_view)) NtDeleteValueKey(k.get(), &counted);
}
TestValue::TestValue(HKEY root, std::wstring key, REGSAM view, std::wstring name, DWORD type, std::vector<BYTE> data)
    : TestValue(root, std::move(key), view, std::move(name)) {
  TestCountedName counted = Counted(m_name);
  if (ui::CRegKey k = Open(m_root, m_key, KEY_WRITE | m_view))
    m_written = NtSetValueKey(k.get(), &counted, 0, type, data.data(), static_cast<ULONG>(data.size())) == 0;
}
TestValue::~TestValue() {
  ui::CRegKey k = Open(m_root, m_key, KEY_WRITE | m_view);
  if (!k) return;
  TestCountedName counted = Counted(m_name);
  if (m_hadValue)
    NtSetValueKey(k.get(), &counted, 0, m_oldType, m_oldData.data(), static_cast<ULONG>(m_oldData.size()));
  else
    NtDeleteValueKey(k.get(), &counted);
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key, REGSAM view) {
  std::vector<std::wstring> names;
  ui::CRegKey k = Open(root, key, KEY_READ | view);
  std::vector<wchar_t> buf(16384);
  for (DWORD i = 0; k; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG e = ::RegEnumValueW(k.get(), i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (e == ERROR_NO_MORE_ITEMS) break;
    if (e == ERROR_SUCCESS) names.emplace_back(buf.data(), len);
  }
  return names;
}

bool ValueExists(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name) {
  const std::vector<std::wstring> names = ValueNames(root, key, view);
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool ReadValue(HKEY root, const std::wstring& key, REGSAM view, const std::wstring& name, DWORD& type,
               std::vector<BYTE>& data) {
  ui::CRegKey k = Open(root, key, KEY_READ | view);
  DWORD size = 0;
  if (!k || ::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  if (::RegQueryValueExW(k.get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
  data.resize(size);
  return true;
}

std::wstring ReadString(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ReadValue(root, key, view, name, type, data) || type != REG_SZ) return L"<missing>";
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

bool SharedBetweenViews(HKEY root, const std::wstring& key) {
  TestValue v(root, key, KEY_WOW64_32KEY, L"WardletT view probe", REG_SZ, SzData(L"probe"));
  return v.written() && ValueExists(root, key, KEY_WOW64_64KEY, L"WardletT view probe");
}

void DeleteTree(HKEY root, const std::wstring& parent, const std::wstring& name, REGSAM view) {
  if (ui::CRegKey k = Open(root, parent, KEY_ALL_ACCESS | view)) ::RegDeleteTreeW(k.get(), name.c_str());
}
bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) { return !!Open(root, key, KEY_READ | view); }

std::vector<int> RowsWith(const ui::CListCtrl& list, int colA, const std::wstring& a, int colB, const std::wstring& b) {
  std::vector<int> rows;
  for (int i = 0, n = list.GetItemCount(); i < n; ++i)
    if (list.GetItemText(i, colA) == a && (colB < 0 || list.GetItemText(i, colB) == b)) rows.push_back(i);
  return rows;
}

namespace {
int g_abandoned = 0;
void CALLBACK Abandon(HWND dialog, UINT, UINT_PTR, DWORD) {
  ++g_abandoned;
  ::EndDialog(dialog, IDABORT);
}
}  // namespace

DialogDriver::DialogDriver(UINT templateId, std::function<void(HWND)> drive, bool cancelAfter) {
  g_abandoned = 0;
  ui::SetDialogInitHook([this, templateId, drive, cancelAfter](ui::CDialog& dialog) {
    if (dialog.TemplateId() != templateId) return;
    ++opened;
    HWND h = dialog.GetSafeHwnd();
    ::SetTimer(h, 1, 60000, &Abandon);
    drive(h);
    if (cancelAfter) ::PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
  });
}
DialogDriver::~DialogDriver() {
  ui::SetDialogInitHook(nullptr);
  if (g_abandoned) ADD_FAILURE() << "a dialog did not end as the test drove it";
}

void PostEscape(HWND dialog) {
  HWND edit = ::GetWindow(dialog, GW_CHILD);
  while (edit && ::SendMessageW(edit, WM_GETDLGCODE, 0, 0) & DLGC_STATIC) edit = ::GetWindow(edit, GW_HWNDNEXT);
  ::PostMessageW(edit ? edit : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
}
void PostKey(HWND dialog, int id, UINT vk) {
  HWND control = ::GetDlgItem(dialog, id);
  ::SetFocus(control);
  ::PostMessageW(control, WM_KEYDOWN, vk, 1);
  ::PostMessageW(control, WM_KEYUP, vk, 0xC0000001);
}
void CloseWithClickQueued(HWND dialog, bool closeBox, int button) {
  if (closeBox)
    ::SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  else
    PostEscape(dialog);
  PostClick(dialog, button);
}

}  // namespace rt
