// Force deletion: the file is moved aside to a free temporary name in its own folder, then deleted;
// an image in use that can be moved but not deleted goes at the next restart.
#include "common/force_delete.h"

#include "common/force_delete_rules.h"
#include "ui/msgbox.h"

namespace common {
namespace {

// Plain full paths get the \\?\ prefix, so that the exact name is used; other long paths are
// made full first. Either way no length limit applies.
std::wstring LongPath(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (std::wstring exact = ExactPathForm(path); !exact.empty()) return exact;
  if (path.size() < MAX_PATH - 12) return path;
  DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(n);
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ReportFailure(HWND owner) { ui::ShowMessage(owner, L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR); }

}  // namespace

void ForceDeleteFile(const std::wstring& path, HWND owner) {
  const std::wstring source = LongPath(path);
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(source.c_str());
  // A folder is not a file: moving it aside and failing to delete it would only hide its contents.
  if (path.empty() || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
    ReportFailure(owner);
    return;
  }
  const std::wstring shownTemp = FreeTempName(FolderOf(path), Exists);
  const std::wstring temp = LongPath(shownTemp);
  if (!::MoveFileExW(source.c_str(), temp.c_str(), 0)) {
    // The file could not be moved aside: an ordinary delete is the last try.
    if (!::DeleteFileW(source.c_str())) ReportFailure(owner);
    return;
  }
  ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file is deleted too
  if (::DeleteFileW(temp.c_str())) return;
  if (::MoveFileExW(temp.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    ui::ShowMessage(owner, L"文件正在使用，无法立即删除；已改名为 " + shownTemp + L"，将在下次重新启动时删除。",
                    L"提示", MB_OK | MB_ICONINFORMATION);
    return;
  }
  // Neither deleted nor scheduled: the file goes back under its own name, so that nothing is lost.
  if (::MoveFileExW(temp.c_str(), source.c_str(), 0) && attributes != INVALID_FILE_ATTRIBUTES)
    ::SetFileAttributesW(source.c_str(), attributes);
  ReportFailure(owner);
}

}  // namespace common
