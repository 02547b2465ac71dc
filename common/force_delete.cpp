// Force deletion: the file is moved aside to a free temporary name in its own folder, then deleted;
// an image in use that can be moved but not deleted goes at the next restart.
#include "common/force_delete.h"

#include "common/force_delete_rules.h"
#include "ui/msgbox.h"

namespace common {
namespace {

// Long absolute paths get the \\?\ prefix, so that no length limit applies.
std::wstring LongPath(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\", 0) == 0) return path;
  if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) return L"\\\\?\\" + path;
  return path;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void ForceDeleteFile(const std::wstring& path, HWND owner) {
  if (path.empty()) {
    ui::ShowMessage(owner, L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR);
    return;
  }
  const std::wstring temp = LongPath(FreeTempName(FolderOf(path), Exists));
  const std::wstring source = LongPath(path);
  if (::MoveFileExW(source.c_str(), temp.c_str(), 0)) {
    if (::DeleteFileW(temp.c_str())) return;
    if (::MoveFileExW(temp.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      ui::ShowMessage(owner, L"文件正在使用，无法立即删除；已改名为 " + temp + L"，将在下次重新启动时删除。",
                      L"提示", MB_OK | MB_ICONINFORMATION);
      return;
    }
    ui::ShowMessage(owner, L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR);
    return;
  }
  // The file could not be moved aside: an ordinary delete is the last try.
  if (!::DeleteFileW(source.c_str())) ui::ShowMessage(owner, L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR);
}

}  // namespace common
