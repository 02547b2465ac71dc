// The scan report: reading every list of a hidden main dialog, the report's header, writing it
// whole to a file or to standard output, and the File menu command and command-line actions.
#include "app/report.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <utility>

#include "app/wardlet_dlg.h"
#include "common/shell.h"
#include "res/version.h"
#include "ui/filedialog.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace app {
namespace {

constexpr wchar_t kSaveFilter[] = L"文本文件(*.txt)|*.txt|所有文件(*.*)|*.*||";
constexpr wchar_t kSaveTitle[] = L"保存扫描报告";
constexpr wchar_t kCannotSave[] = L"无法保存扫描报告: ";
constexpr int kExitFailed = 1, kExitBadOptions = 2;
constexpr DWORD kVerdictWaitMs = 120000;  // per page

// While a page is read, what it would show or start is recorded instead; the hooks that were set
// before come back at the end.
class QuietPage {
 public:
  QuietPage() : m_message(ui::CurrentMessageHook()), m_shell(common::CurrentShellHook()) {
    ui::SetMessageHook([this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
      messages.push_back(caption + L": " + text);
      return IDOK;
    });
    common::SetShellHook([](const common::ShellRequest&) {});
  }
  ~QuietPage() {
    ui::SetMessageHook(std::move(m_message));
    common::SetShellHook(std::move(m_shell));
  }
  QuietPage(const QuietPage&) = delete;
  QuietPage& operator=(const QuietPage&) = delete;

  std::vector<std::wstring> messages;

 private:
  ui::MessageHook m_message;
  common::ShellHook m_shell;
};

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = {};
  ::GetClassNameW(h, name, 64);
  return name;
}

std::wstring TextOf(HWND h) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  return text;
}

BOOL CALLBACK CollectList(HWND h, LPARAM lp) {
  if (::CompareStringOrdinal(ClassOf(h).c_str(), -1, WC_LISTVIEWW, -1, TRUE) == CSTR_EQUAL)
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

// Every list control inside a page, in the order of its child windows.
std::vector<HWND> ListsOf(HWND page) {
  std::vector<HWND> lists;
  ::EnumChildWindows(page, &CollectList, reinterpret_cast<LPARAM>(&lists));
  return lists;
}

std::wstring TabLabel(HWND tab, int index) {
  wchar_t text[256] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 256;
  ::SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return text;
}

// A further list of a page is named after the label just before it ("模块"), or by its number.
std::wstring ListName(const std::wstring& page, HWND list, size_t index) {
  if (index == 0) return page;
  HWND before = ::GetWindow(list, GW_HWNDPREV);
  std::wstring label = before && ClassOf(before) == L"Static" ? TextOf(before) : L"";
  return page + L" / " + (label.empty() ? L"列表 " + std::to_wstring(index + 1) : label);
}

// Reads headings and cells whole, however long, with one buffer for the whole list.
class ListReader {
 public:
  explicit ListReader(HWND list) : m_list(list) {}

  std::vector<std::wstring> Headings(std::vector<int>& subitems) {
    std::vector<std::wstring> headings;
    HWND header = reinterpret_cast<HWND>(::SendMessageW(m_list, LVM_GETHEADER, 0, 0));
    const int count = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
      headings.push_back(Heading(header, i));
      LVCOLUMNW column{};
      column.mask = LVCF_SUBITEM;
      column.iSubItem = i;
      ::SendMessageW(m_list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
      subitems.push_back(column.iSubItem);
    }
    return headings;
  }

  std::wstring Cell(int row, int subitem) {
    for (;;) {
      LVITEMW item{};
      item.iSubItem = subitem;
      item.cchTextMax = static_cast<int>(m_buffer.size());
      item.pszText = m_buffer.data();
      const auto n = static_cast<int>(
          ::SendMessageW(m_list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
      if (n < static_cast<int>(m_buffer.size()) - 1) return std::wstring(m_buffer.data(), n > 0 ? n : 0);
      m_buffer.resize(m_buffer.size() * 4);
    }
  }

 private:
  std::wstring Heading(HWND header, int index) {
    for (;;) {
      m_buffer[0] = L'\0';
      HDITEMW item{};
      item.mask = HDI_TEXT;
      item.pszText = m_buffer.data();
      item.cchTextMax = static_cast<int>(m_buffer.size());
      if (!::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) return {};
      const wchar_t* text = item.pszText ? item.pszText : m_buffer.data();
      const size_t n = text == m_buffer.data() ? wcsnlen(text, m_buffer.size()) : std::wcslen(text);
      if (text != m_buffer.data() || n + 1 < m_buffer.size()) return std::wstring(text, n);
      m_buffer.resize(m_buffer.size() * 4);
    }
  }

  HWND m_list;
  std::vector<wchar_t> m_buffer = std::vector<wchar_t>(1024);
};

report::ListTable ReadList(HWND list, std::wstring name) {
  report::ListTable table;
  table.name = std::move(name);
  ListReader reader(list);
  std::vector<int> subitems;
  table.headings = reader.Headings(subitems);
  const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  table.rows.reserve(static_cast<size_t>(rows > 0 ? rows : 0));
  for (int r = 0; r < rows; ++r) {
    std::vector<std::wstring> cells;
    cells.reserve(subitems.size());
    for (int subitem : subitems) cells.push_back(reader.Cell(r, subitem));
    table.rows.push_back(std::move(cells));
  }
  return table;
}

// One page refilled and read; a page that fails in a way it does not report itself says so.
void ReadPage(CWardletDlg& dlg, int index, std::vector<report::ListTable>& out) {
  const std::wstring label = TabLabel(dlg.m_tab.GetSafeHwnd(), index);
  std::vector<std::wstring> messages;
  HWND page = nullptr;
  common::RecordList* rows = dlg.Records(index);
  if (rows) rows->ListEverything();  // rows signed by Microsoft are reported whatever the choice
  {
    QuietPage quiet;
    try {
      page = dlg.RefreshPageNow(index);
    } catch (const std::exception&) {
      quiet.messages.push_back(L"错误: 此页读取时中断");
    }
    // The signer column is reported with its verdicts, each file's check bounded by the checker.
    if (page && rows && !rows->WaitForVerdicts(kVerdictWaitMs))
      quiet.messages.push_back(L"提示: 部分文件的签名未能在限定时间内检查完毕，其“签名”一栏为空");
    messages = std::move(quiet.messages);
  }
  const size_t first = out.size();
  std::vector<HWND> lists = page ? ListsOf(page) : std::vector<HWND>{};
  for (size_t i = 0; i < lists.size(); ++i) {
    if (rows && lists[i] == rows->List()) {  // the records themselves: no round trip through the list
      report::ListTable table;
      table.name = ListName(label, lists[i], i);
      table.headings = rows->Headings();
      table.rows = rows->ShownRows();
      for (auto& row : table.rows) row.resize(table.headings.size());
      out.push_back(std::move(table));
    } else {
      out.push_back(ReadList(lists[i], ListName(label, lists[i], i)));
    }
  }
  if (out.size() == first) out.push_back({label, {}, {}, {}});
  out[first].messages = std::move(messages);
}

// The handle of a standard stream: the one handed down, or else the console of the parent.
HANDLE StandardStream(DWORD which) {
  HANDLE h = ::GetStdHandle(which);
  if (h && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN) return h;
  static const HANDLE console = [] {
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
    return ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  }();
  return console == INVALID_HANDLE_VALUE ? nullptr : console;
}

// Writes UTF-8 bytes to a standard stream: as they are to a file or pipe, as text to a console.
bool WriteStream(DWORD which, std::string_view bytes) {
  HANDLE h = StandardStream(which);
  if (!h) return false;
  DWORD mode = 0;
  if (::GetConsoleMode(h, &mode)) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::wstring text;
    if (!report::FromUtf8(bytes, text)) return false;
    for (size_t at = 0; at < text.size();) {
      DWORD n = 0;
      const auto chunk = static_cast<DWORD>(std::min<size_t>(text.size() - at, 8192));
      if (!::WriteConsoleW(h, text.data() + at, chunk, &n, nullptr) || n == 0) return false;
      at += n;
    }
    return true;
  }
  for (size_t at = 0; at < bytes.size();) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
    if (!::WriteFile(h, bytes.data() + at, chunk, &n, nullptr) || n == 0) return false;
    at += n;
  }
  return true;
}

void PrintError(const std::wstring& text) {
  WriteStream(STD_ERROR_HANDLE, report::ToUtf8(L"wardlet: " + text + L"\r\n"));
}

std::wstring SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", n);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message.empty() ? L"系统错误 " + std::to_wstring(code) : message + L" (" + std::to_wstring(code) + L")";
}

// A failure to write path, in plain words.
std::wstring WriteError(DWORD code, const std::wstring& path) {
  std::wstring why;
  switch (code) {
    case ERROR_PATH_NOT_FOUND: case ERROR_FILE_NOT_FOUND: case ERROR_BAD_NETPATH: why = L"文件夹不存在。"; break;
    case ERROR_ACCESS_DENIED: case ERROR_WRITE_PROTECT: why = L"没有写入权限，或文件是只读的。"; break;
    case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION: why = L"文件正被其他程序使用。"; break;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: why = L"磁盘空间不足。"; break;
    case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME: case ERROR_FILENAME_EXCED_RANGE: why = L"路径无效。"; break;
    default: why = SystemMessage(code); break;
  }
  return kCannotSave + why + L"\r\n" + path;
}

// The \\?\ form of a full path, which reaches past MAX_PATH.
std::wstring LongForm(const std::wstring& full) {
  if (full.size() < MAX_PATH - 20 || full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool FullPath(const std::wstring& path, std::wstring& full) {
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return false;
  full.assign(n, L'\0');
  const DWORD got = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return false;
  full.resize(got);
  return true;
}

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  return ::GetComputerNameW(name, &n) ? std::wstring(name, n) : L"";
}

std::wstring TimeText() {
  FILETIME utc, local;
  ::GetSystemTimeAsFileTime(&utc);
  ::FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME st;
  ::FileTimeToSystemTime(&local, &st);
  const auto ticks = [](const FILETIME& f) { return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  const long long minutes = (ticks(local) - ticks(utc) + (ticks(local) >= ticks(utc) ? 300000000 : -300000000)) / 600000000;
  const long long offset = minutes < 0 ? -minutes : minutes;
  wchar_t text[64];
  std::swprintf(text, 64, L"%04u-%02u-%02u %02u:%02u:%02u %lc%02lld:%02lld", st.wYear, st.wMonth, st.wDay, st.wHour,
                st.wMinute, st.wSecond, minutes < 0 ? L'-' : L'+', offset / 60, offset % 60);
  return text;
}

std::wstring ArchitectureName(WORD architecture) {
  switch (architecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return L"x64";
    case PROCESSOR_ARCHITECTURE_INTEL: return L"x86";
    case 12: return L"ARM64";  // PROCESSOR_ARCHITECTURE_ARM64
    case PROCESSOR_ARCHITECTURE_ARM: return L"ARM";
    default: return L"体系结构 " + std::to_wstring(architecture);
  }
}

std::wstring WindowsText() {
  wchar_t product[256] = L"Windows";
  DWORD size = sizeof(product);
  ui::CRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) == ERROR_SUCCESS &&
      ::RegGetValueW(key.get(), nullptr, L"ProductName", RRF_RT_REG_SZ, nullptr, product, &size) != ERROR_SUCCESS)
    std::wcscpy(product, L"Windows");
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  if (auto get = reinterpret_cast<GetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion"))))
    get(&v);
  SYSTEM_INFO si{};
  ::GetNativeSystemInfo(&si);
  std::wstring text = std::wstring(product) + L" " + std::to_wstring(v.dwMajorVersion) + L"." +
                      std::to_wstring(v.dwMinorVersion) + L"." + std::to_wstring(v.dwBuildNumber) + L" (" +
                      ArchitectureName(si.wProcessorArchitecture) + L")";
  using WineVersionFn = const char*(CDECL*)();
  if (auto wine = reinterpret_cast<WineVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")))) {
    text += L", Wine ";
    for (const char* p = wine(); p && *p; ++p) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  }
  return text;
}

std::wstring ProgramText() {
  std::wstring text = L"" WARDLET_VERSION_TEXT;
  if (sizeof(void*) == 8) return text + L" (64 位)";
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  return text + (wow64 ? L" (32 位，运行于 64 位 Windows)" : L" (32 位)");
}

void ReadUser(std::wstring& user, bool& elevated) {
  ui::CHandle token;
  HANDLE raw = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) token.reset(raw);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  elevated = token && ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
             elevation.TokenIsElevated;
  std::vector<BYTE> buffer(512);
  if (token && ::GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) {
    wchar_t name[256], domain[256];
    DWORD n = 256, d = 256;
    SID_NAME_USE use;
    if (::LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, name, &n, domain, &d, &use)) {
      user = d ? std::wstring(domain) + L"\\" + name : std::wstring(name);
      return;
    }
  }
  wchar_t name[257] = {};
  DWORD n = 257;
  user = ::GetUserNameW(name, &n) ? name : L"";
}

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) return path;
  return L"";
}

}  // namespace

std::vector<report::ListTable> ReadAllLists(std::wstring& error) {
  std::vector<report::ListTable> lists;
  CWardletDlg dlg;
  if (!dlg.CreateHidden()) {
    error = L"无法读取列表: 主窗口创建失败 (" + SystemMessage(::GetLastError()) + L")";
    return lists;
  }
  for (int i = 0, n = dlg.m_tab.GetItemCount(); i < n; ++i) ReadPage(dlg, i, lists);
  dlg.DestroyWindow();
  return lists;
}

report::Header ReportHeader() {
  report::Header h;
  h.time = TimeText();
  h.version = ProgramText();
  h.windows = WindowsText();
  h.computer = ComputerName();
  ReadUser(h.user, h.elevated);
  return h;
}

std::optional<std::string> BuildScanReport(std::wstring& error) {
  const report::Header header = ReportHeader();
  const std::vector<report::ListTable> lists = ReadAllLists(error);
  if (lists.empty()) return std::nullopt;
  return report::RenderReport(header, lists);
}

bool CheckReportPath(const std::wstring& path, std::wstring& error) {
  std::wstring full;
  if (path.empty() || !FullPath(path, full) || full.back() == L'\\') {
    error = WriteError(ERROR_INVALID_NAME, path);
    return false;
  }
  const std::wstring folder = full.substr(0, full.find_last_of(L'\\'));
  const DWORD folderAttributes = ::GetFileAttributesW(LongForm(folder + L"\\").c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = WriteError(ERROR_PATH_NOT_FOUND, path);
    return false;
  }
  const DWORD attributes = ::GetFileAttributesW(LongForm(full).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = kCannotSave + std::wstring(L"这是一个文件夹。\r\n") + path;
    return false;
  }
  // A file its owner made read-only is not replaced, though some systems let a rename over it.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    error = WriteError(ERROR_ACCESS_DENIED, path);
    return false;
  }
  return true;
}

bool WriteReportFile(const std::wstring& path, const std::string& bytes, std::wstring& error) {
  std::wstring full;
  if (!CheckReportPath(path, error) || !FullPath(path, full)) return false;
  const size_t slash = full.find_last_of(L'\\');
  static unsigned counter = 0;
  const std::wstring temp = LongForm(full.substr(0, slash + 1) + L"~" + full.substr(slash + 1) + L"." +
                                     std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
                                     L".tmp");
  ui::CFileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = WriteError(::GetLastError(), path);
    return false;
  }
  DWORD code = ERROR_SUCCESS;
  for (size_t at = 0; at < bytes.size() && code == ERROR_SUCCESS;) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
    if (!::WriteFile(file.get(), bytes.data() + at, chunk, &n, nullptr) || n == 0)
      code = n == 0 && ::GetLastError() == ERROR_SUCCESS ? ERROR_WRITE_FAULT : ::GetLastError();
    at += n;
  }
  if (code == ERROR_SUCCESS && !::FlushFileBuffers(file.get())) code = ::GetLastError();
  file.reset();
  if (code == ERROR_SUCCESS &&
      !::MoveFileExW(temp.c_str(), LongForm(full).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    code = ::GetLastError();
  if (code == ERROR_SUCCESS) return true;
  ::DeleteFileW(temp.c_str());
  error = WriteError(code, path);
  return false;
}

int RunReportCommand(const std::wstring& path) {
  // From here on nothing is shown and nothing is started: what a page would show goes into the
  // report, and anything else to standard error.
  ui::SetMessageHook([](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
    PrintError(caption + L": " + text);
    return IDOK;
  });
  common::SetShellHook([](const common::ShellRequest&) {});
  std::wstring error;
  const bool toOutput = path == L"-";
  if (!toOutput && !CheckReportPath(path, error)) {
    PrintError(error);
    return kExitFailed;
  }
  const std::optional<std::string> bytes = BuildScanReport(error);
  if (!bytes) {
    PrintError(error);
    return kExitFailed;
  }
  if (toOutput) {
    if (WriteStream(STD_OUTPUT_HANDLE, *bytes)) return 0;
    PrintError(L"无法把扫描报告写到标准输出。");
    return kExitFailed;
  }
  if (WriteReportFile(path, *bytes, error)) return 0;
  PrintError(error);
  return kExitFailed;
}

int PrintUsage() {
  const std::wstring usage = report::UsageText();
  if (!WriteStream(STD_OUTPUT_HANDLE, report::ToUtf8(usage))) ui::ShowMessage(nullptr, usage, L"Wardlet", MB_OK);
  return 0;
}

int ReportFailure(const std::wstring& error) {
  PrintError(error);
  return kExitFailed;
}

int RefuseCommandLine(const std::wstring& error) {
  PrintError(error + L"\r\n用 /? 查看可用的选项。");
  return kExitBadOptions;
}

void SaveScanReport(HWND owner) {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  const std::wstring desktop = DesktopFolder();
  std::wstring path = (desktop.empty() ? L"" : desktop + L"\\") +
                      report::DefaultReportName(ComputerName(), {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                                                                 st.wSecond});
  if (!ui::BrowseForSaveFile(owner, kSaveFilter, kSaveTitle, L"txt", path)) return;
  std::wstring error;
  HCURSOR cursor = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  bool saved = CheckReportPath(path, error);
  if (saved) {
    const std::optional<std::string> bytes = BuildScanReport(error);
    saved = bytes && WriteReportFile(path, *bytes, error);
  }
  ::SetCursor(cursor);
  if (saved)
    ui::ShowMessage(owner, L"扫描报告已保存到:\r\n" + path, L"提示", MB_OK | MB_ICONINFORMATION);
  else
    ui::ShowMessage(owner, error, L"错误", MB_OK | MB_ICONERROR);
}

}  // namespace app
