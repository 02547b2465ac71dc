// Force deletion: the file is moved aside to a free temporary name in its own folder, then deleted;
// an image in use that can be moved but not deleted goes at the next restart.
#include "common/force_delete.h"

#include "common/force_delete_rules.h"
#include "common/shell.h"
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

// Whether the file a shown path names exists.
bool Exists(const std::wstring& shownPath) {
  return ::GetFileAttributesW(LongPath(FileOperationPath(shownPath)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ReportFailure(HWND owner, const std::wstring& reason = {}) {
  ui::ShowMessage(owner, reason.empty() ? L"文件删除失败!" : L"文件删除失败!\n" + reason, L"错误", MB_OK | MB_ICONERROR);
}

}  // namespace

// The path names the file as the lists show it; file operations use FileOperationPath of it, so
// that a 32-bit build on 64-bit Windows deletes the System32 file shown and not its SysWOW64 twin.
// Messages keep the shown names.
void ForceDeleteFile(const std::wstring& path, HWND owner) {
  if (path.empty()) {
    ReportFailure(owner);
    return;
  }
  // A relative path would be taken in whatever folder is current: never the file meant for sure.
  if (!IsAbsolutePath(path)) {
    ReportFailure(owner, L"“" + path + L"”不是完整路径。请给出以盘符（如 C:\\）或网络共享（\\\\服务器\\共享）开头的完整路径。");
    return;
  }
  const std::wstring source = LongPath(FileOperationPath(path));
  const DWORD attributes = ::GetFileAttributesW(source.c_str());
  // A folder is not a file: moving it aside and failing to delete it would only hide its contents.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ReportFailure(owner);
    return;
  }
  const std::wstring shownTemp = FreeTempName(FolderOf(path), Exists);
  if (shownTemp.empty()) {
    ReportFailure(owner, L"文件所在的文件夹里 Morvane.tmp 之类的临时文件太多，找不到可用的临时文件名。");
    return;
  }
  const std::wstring temp = LongPath(FileOperationPath(shownTemp));
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
