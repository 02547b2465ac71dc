// Force deletion of a file: moved aside to a free temporary name, then deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/force_delete.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteText(const std::wstring& path, const std::string& text) {
  ui::CFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file) << "cannot create the test file";
  DWORD written = 0;
  ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadText(const std::wstring& path) {
  ui::CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return "(missing)";
  char buf[256];
  DWORD got = 0;
  ::ReadFile(file.get(), buf, sizeof(buf), &got, nullptr);
  return std::string(buf, got);
}

// Names in dir that start with "Morvane", sorted as the file system lists them.
std::vector<std::wstring> TempNamesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((dir + L"Morvane*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// Keeps the system's list of renames due at the next restart as it was before the test.
class PendingRenamesKeeper {
 public:
  PendingRenamesKeeper() { m_had = Read(m_data); }
  ~PendingRenamesKeeper() {
    ui::CRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (m_had)
      ::RegSetValueExW(key.get(), kValue, 0, REG_MULTI_SZ, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
      ::RegDeleteValueW(key.get(), kValue);
  }
  // The current list as one text (its zero separators kept).
  static std::wstring Current() {
    std::vector<BYTE> data;
    if (!Read(data)) return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  }

 private:
  static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\Session Manager";
  static constexpr const wchar_t* kValue = L"PendingFileRenameOperations";
  static bool Read(std::vector<BYTE>& data) {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
      return false;
    data.resize(size);
    return ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &size) ==
           ERROR_SUCCESS;
  }
  bool m_had = false;
  std::vector<BYTE> m_data;
};

// A chain of folders below a TempDir whose full path is longer than any fixed buffer; removed
// again, deepest first.
class DeepFolder {
 public:
  DeepFolder(const std::wstring& base, int levels) {
    std::wstring path = L"\\\\?\\" + base.substr(0, base.size() - 1);
    for (int i = 0; i < levels; ++i) {
      path += L"\\" + std::wstring(200, static_cast<wchar_t>(L'a' + i));
      if (!::CreateDirectoryW(path.c_str(), nullptr)) break;
      m_folders.push_back(path);
    }
  }
  ~DeepFolder() {
    for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) ::RemoveDirectoryW(it->c_str());
  }
  bool complete(int levels) const { return static_cast<int>(m_folders.size()) == levels; }
  // The deepest folder without the \\?\ prefix, with a trailing backslash.
  std::wstring plain() const { return m_folders.back().substr(4) + L"\\"; }

 private:
  std::vector<std::wstring> m_folders;
};

}  // namespace

TEST(ForceDelete, AnUnlockedFileDisappearsSilently) {
  wt::TempDir dir;
  const std::wstring file = dir.path() + L"victim.dat";
  WriteText(file, "x");
  wt::MessageLog log;
  common::ForceDeleteFile(file, nullptr);
  EXPECT_FALSE(FileExists(file));
  EXPECT_TRUE(TempNamesIn(dir.path()).empty());
  EXPECT_TRUE(log.entries.empty());
}

TEST(ForceDelete, AReadOnlyHiddenFileDisappearsToo) {
  wt::TempDir dir;
  const std::wstring file = dir.path() + L"stubborn.exe";
  WriteText(file, "x");
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  wt::MessageLog log;
  common::ForceDeleteFile(file, nullptr);
  EXPECT_FALSE(FileExists(file));
  EXPECT_TRUE(TempNamesIn(dir.path()).empty());
  EXPECT_TRUE(log.entries.empty());
}

TEST(ForceDelete, ExistingTemporaryNamesAreNeitherReplacedNorLost) {
  wt::TempDir dir;
  const std::wstring file = dir.path() + L"victim.dat";
  WriteText(file, "victim");
  WriteText(dir.path() + L"Morvane.tmp", "first");
  WriteText(dir.path() + L"Morvane.1.tmp", "second");
  wt::MessageLog log;
  common::ForceDeleteFile(file, nullptr);
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(TempNamesIn(dir.path()), (std::vector<std::wstring>{L"Morvane.1.tmp", L"Morvane.tmp"}));
  EXPECT_EQ(ReadText(dir.path() + L"Morvane.tmp"), "first");
  EXPECT_EQ(ReadText(dir.path() + L"Morvane.1.tmp"), "second");
  EXPECT_TRUE(log.entries.empty());
}

TEST(ForceDelete, AMissingFileIsReportedToTheOwner) {
  wt::TempDir dir;
  HWND owner = ::CreateWindowW(L"STATIC", L"owner", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  wt::MessageLog log;
  common::ForceDeleteFile(dir.path() + L"missing.exe", owner);
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"文件删除失败!");
  EXPECT_EQ(log.entries[0].caption, L"错误");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(log.entries[0].owner, owner);
  EXPECT_TRUE(TempNamesIn(dir.path()).empty());
  ::DestroyWindow(owner);
}

TEST(ForceDelete, AnEmptyPathDeletesNothingAndIsReported) {
  wt::TempDir dir;
  WriteText(dir.path() + L"Morvane.tmp", "keep");
  wchar_t cwd[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_TRUE(::SetCurrentDirectoryW(dir.path().c_str()));
  wt::MessageLog log;
  common::ForceDeleteFile(L"", nullptr);
  ::SetCurrentDirectoryW(cwd);
  EXPECT_EQ(ReadText(dir.path() + L"Morvane.tmp"), "keep");
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, L"文件删除失败!");
}

TEST(ForceDelete, AFolderIsRefusedAndKeepsItsContents) {
  wt::TempDir dir;
  const std::wstring folder = dir.path() + L"sub";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  WriteText(folder + L"\\inner.txt", "inner");
  wt::MessageLog log;
  common::ForceDeleteFile(folder, nullptr);
  EXPECT_EQ(ReadText(folder + L"\\inner.txt"), "inner");
  EXPECT_TRUE(TempNamesIn(dir.path()).empty());
  EXPECT_TRUE(log.Has(L"文件删除失败!"));
  ::DeleteFileW((folder + L"\\inner.txt").c_str());
  ::RemoveDirectoryW(folder.c_str());
}

TEST(ForceDelete, PathsLongerThanAnyFixedBufferWork) {
  wt::TempDir dir;
  DeepFolder deep(dir.path(), 6);
  ASSERT_TRUE(deep.complete(6));
  const std::wstring file = deep.plain() + L"victim.dat";
  ASSERT_GT(file.size(), 1200u);
  WriteText(L"\\\\?\\" + file, "x");
  ASSERT_TRUE(FileExists(L"\\\\?\\" + file));
  WriteText(L"\\\\?\\" + deep.plain() + L"Morvane.tmp", "keep");
  wt::MessageLog log;
  common::ForceDeleteFile(file, nullptr);
  EXPECT_FALSE(FileExists(L"\\\\?\\" + file));
  EXPECT_EQ(ReadText(L"\\\\?\\" + deep.plain() + L"Morvane.tmp"), "keep");
  EXPECT_FALSE(FileExists(L"\\\\?\\" + deep.plain() + L"Morvane.1.tmp"));
  EXPECT_TRUE(log.entries.empty());
  ::DeleteFileW((L"\\\\?\\" + deep.plain() + L"Morvane.tmp").c_str());
}

TEST(ForceDelete, AnImageInUseIsMovedAsideAndDeletedAtTheNextRestart) {
  wt::TempDir dir;
  const std::wstring exe = dir.path() + L"busy.exe";
  ASSERT_TRUE(::CopyFileW((wt::ExeDir() + L"wardlet_child.exe").c_str(), exe.c_str(), FALSE));
  PendingRenamesKeeper keeper;
  wt::Child child(L"\"" + exe + L"\"");
  ASSERT_TRUE(child.started());
  wt::MessageLog log;
  common::ForceDeleteFile(exe, nullptr);
  EXPECT_FALSE(FileExists(exe));
  EXPECT_EQ(TempNamesIn(dir.path()), std::vector<std::wstring>{L"Morvane.tmp"});
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_NE(log.entries[0].text.find(dir.path() + L"Morvane.tmp"), std::wstring::npos) << "the user is told the name";
  EXPECT_NE(log.entries[0].text.find(L"下次重新启动"), std::wstring::npos);
  EXPECT_EQ(log.entries[0].caption, L"提示");
  EXPECT_EQ(log.entries[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_NE(PendingRenamesKeeper::Current().find(L"Morvane.tmp"), std::wstring::npos);
}
