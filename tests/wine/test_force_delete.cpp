// Force deletion of a file: moved aside to a free temporary name, then deleted.
#include <gtest/gtest.h>

#include "common/force_delete.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

namespace {
using Names = std::vector<std::wstring>;
}  // namespace

// An unlocked file, read-only and hidden or not, disappears silently; temporary names already in
// its folder are neither replaced nor lost. A name that ends in a dot or a blank is taken exactly:
// its twin without the ending (the name the ordinary path rules make of it) stays.
TEST(ForceDelete, AnUnlockedFileDisappearsSilently) {
  const struct { DWORD attributes; bool occupied; const wchar_t* ending; } cases[] = {
      {FILE_ATTRIBUTE_NORMAL, false, L""},
      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false, L""},
      {FILE_ATTRIBUTE_NORMAL, true, L""},
      {FILE_ATTRIBUTE_NORMAL, false, L"."},
      {FILE_ATTRIBUTE_NORMAL, false, L" "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.attributes << (c.occupied ? " beside temporary names" : "") << c.ending);
    wt::TempDir dir;
    const std::wstring twin = dir.path() + L"victim.exe", file = twin + c.ending;
    ASSERT_TRUE(wt::WriteText(L"\\\\?\\" + file, "victim"));
    ASSERT_TRUE(::SetFileAttributesW((L"\\\\?\\" + file).c_str(), c.attributes));
    ASSERT_TRUE(!c.occupied || (wt::WriteText(dir.path() + L"Morvane.tmp", "first") &&
                                wt::WriteText(dir.path() + L"Morvane.1.tmp", "second")));
    ASSERT_TRUE(!*c.ending || wt::WriteText(twin, "twin"));
    wt::MessageLog log;
    common::ForceDeleteFile(file, nullptr);
    EXPECT_FALSE(wt::FileExists(L"\\\\?\\" + file));
    EXPECT_EQ(wt::TempNamesIn(dir.path()), (c.occupied ? Names{L"Morvane.1.tmp", L"Morvane.tmp"} : Names{}));
    EXPECT_EQ(wt::ReadText(dir.path() + L"Morvane.tmp"), c.occupied ? "first" : "(missing)");
    EXPECT_EQ(wt::ReadText(dir.path() + L"Morvane.1.tmp"), c.occupied ? "second" : "(missing)");
    EXPECT_EQ(wt::ReadText(twin), *c.ending ? "twin" : "(missing)");
    EXPECT_TRUE(log.entries.empty());
  }
}

// A missing file, an empty path (taken in the current folder) and a folder are each refused and
// reported to the owner; nothing in the folder is moved or lost.
TEST(ForceDelete, AMissingFileAnEmptyPathAndAFolderAreReported) {
  wt::TempDir dir;
  const std::wstring folder = dir.path() + L"sub";
  ASSERT_TRUE(wt::WriteText(dir.path() + L"Morvane.tmp", "keep"));
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(wt::WriteText(folder + L"\\inner.txt", "inner"));
  wt::OwnerWindow owner;
  wchar_t cwd[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_TRUE(::SetCurrentDirectoryW(dir.path().c_str()));
  for (const std::wstring& path : {dir.path() + L"missing.exe", std::wstring(), folder}) {
    wt::MessageLog log;
    common::ForceDeleteFile(path, owner.hwnd);
    EXPECT_EQ(log.entries, wt::Shown(owner.hwnd, L"文件删除失败!", L"错误", MB_OK | MB_ICONERROR)) << path;
  }
  ::SetCurrentDirectoryW(cwd);
  EXPECT_EQ(wt::TempNamesIn(dir.path()), Names{L"Morvane.tmp"});
  EXPECT_EQ(wt::ReadText(dir.path() + L"Morvane.tmp"), "keep");
  EXPECT_EQ(wt::ReadText(folder + L"\\inner.txt"), "inner");
}

TEST(ForceDelete, PathsLongerThanAnyFixedBufferWork) {
  wt::TempDir dir;
  std::wstring deep = L"\\\\?\\" + dir.path();  // six folders of 200 characters each
  for (int i = 0; i < 6; ++i) {
    deep += std::wstring(200, static_cast<wchar_t>(L'a' + i)) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
  }
  ASSERT_TRUE(wt::WriteText(deep + L"victim.dat", "x"));
  ASSERT_TRUE(wt::WriteText(deep + L"Morvane.tmp", "keep"));
  wt::MessageLog log;
  common::ForceDeleteFile(deep.substr(4) + L"victim.dat", nullptr);
  EXPECT_FALSE(wt::FileExists(deep + L"victim.dat"));
  EXPECT_EQ(wt::TempNamesIn(deep), Names{L"Morvane.tmp"});
  EXPECT_EQ(wt::ReadText(deep + L"Morvane.tmp"), "keep");
  EXPECT_TRUE(log.entries.empty());
}

TEST(ForceDelete, AnImageInUseIsMovedAsideAndDeletedAtTheNextRestart) {
  const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
  wt::TempDir dir;
  const std::wstring exe = wt::CopyChild(dir, L"busy.exe");
  // The list of renames due at the next restart starts empty and is put back at the end.
  rt::TestValue renames(HKEY_LOCAL_MACHINE, kSessionManager, KEY_WOW64_64KEY, L"PendingFileRenameOperations");
  wt::Child child(wt::Quoted(exe));
  ASSERT_TRUE(child.started());
  wt::MessageLog log;
  common::ForceDeleteFile(exe, nullptr);
  EXPECT_FALSE(wt::FileExists(exe));
  EXPECT_EQ(wt::TempNamesIn(dir.path()), Names{L"Morvane.tmp"});
  EXPECT_EQ(log.entries, wt::Shown(nullptr,
                                   L"文件正在使用，无法立即删除；已改名为 " + dir.path() +
                                       L"Morvane.tmp，将在下次重新启动时删除。",
                                   L"提示", MB_OK | MB_ICONINFORMATION));
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(rt::ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, KEY_WOW64_64KEY, L"PendingFileRenameOperations",
                            type, data));
  const std::wstring pending(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  EXPECT_NE(pending.find(L"Morvane.tmp"), std::wstring::npos);
}
