// Force deletion of a file: moved aside to a free temporary name, then deleted.
#include <gtest/gtest.h>

#include "common/force_delete.h"
#include "common/shell.h"
#include "common/shell_rules.h"
#include "tests/wine/test_registry_fixture.h"
#include "tests/wine/test_util.h"

namespace {
using Names = std::vector<std::wstring>;

// While it lives, this thread's file operations see the folders as the system names them: a
// 32-bit test on 64-bit Windows turns redirection off for its own planting and checking only.
struct SystemView {
  PVOID saved = nullptr;
  bool off = common::RunsUnderWow64() && ::Wow64DisableWow64FsRedirection(&saved);
  SystemView() = default;
  SystemView(const SystemView&) = delete;
  ~SystemView() {
    if (off) ::Wow64RevertWow64FsRedirection(saved);
  }
};

std::wstring WindowsFolder(const wchar_t* name) {  // with a trailing backslash
  wchar_t dir[MAX_PATH] = {};
  ::GetSystemWindowsDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\" + name + L"\\";
}

// A file of the same name in System32 ("system32") and, where the system has one, SysWOW64
// ("syswow64"), planted and removed in the system's view.
struct Twins {
  const std::wstring name = L"wardlet_t_twin" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  const std::wstring system32 = WindowsFolder(L"System32") + name, syswow64 = WindowsFolder(L"SysWOW64") + name;
  bool hasWow64 = false;
  Twins() {
    SystemView view;
    hasWow64 = wt::FileExists(WindowsFolder(L"SysWOW64"));
    Plant();
  }
  void Plant() {
    SystemView view;
    EXPECT_TRUE(wt::WriteText(system32, "system32"));
    EXPECT_TRUE(!hasWow64 || wt::WriteText(syswow64, "syswow64"));
  }
  std::string Read(const std::wstring& path) const {
    SystemView view;
    return wt::ReadText(path);
  }
  Names TempNames() const {
    SystemView view;
    Names all = wt::TempNamesIn(WindowsFolder(L"System32"));
    if (hasWow64)
      for (const std::wstring& n : wt::TempNamesIn(WindowsFolder(L"SysWOW64"))) all.push_back(L"SysWOW64\\" + n);
    return all;
  }
  ~Twins() {
    SystemView view;
    ::DeleteFileW(system32.c_str());
    ::DeleteFileW(syswow64.c_str());
  }
};

void TypeText(HWND dialog, const std::wstring& text) {
  for (wchar_t c : text) ::SendDlgItemMessageW(dialog, IDC_FORCE_PATH, WM_CHAR, c, 1);
}

// Opens the force-delete tool from the main dialog's menu and drives it; the steps must end it.
void RunTool(wt::MainDialog& main, const std::function<void(HWND)>& drive) {
  rt::DialogDriver driver(IDD_FORCE_DELETE, drive, false);
  main.dlg().SendMessage(WM_COMMAND, IDM_TOOLS_FORCE_DELETE, 0);
  EXPECT_EQ(driver.opened, 1);
}
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

// A path the lists show names the file as the system does. The 32-bit build on 64-bit Windows,
// whose own view of System32 is SysWOW64, still deletes the System32 file shown and leaves its
// SysWOW64 twin, and the reverse; the properties sheet (this program's own shell code) and
// Explorer (a program of its own, the native one) are each handed a name that reaches the
// System32 file in their view.
TEST(ForceDelete, TheFileShownGoesNotItsTwinOfTheOtherView) {
  Twins twins;
  wt::MessageLog log;
  common::ForceDeleteFile(twins.system32, nullptr);
  EXPECT_EQ(twins.Read(twins.system32), "(missing)");
  EXPECT_EQ(twins.Read(twins.syswow64), twins.hasWow64 ? "syswow64" : "(missing)");
  if (twins.hasWow64) {
    twins.Plant();
    common::ForceDeleteFile(twins.syswow64, nullptr);
    EXPECT_EQ(twins.Read(twins.syswow64), "(missing)");
    EXPECT_EQ(twins.Read(twins.system32), "system32");
  }
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(twins.TempNames(), Names{});

  twins.Plant();
  wt::ShellLog shell;
  common::LocateFile(twins.system32, SW_SHOWMAXIMIZED);
  common::ShowFileProperties(twins.system32);
  ASSERT_EQ(shell.requests.size(), 2u);
  EXPECT_TRUE(wt::SamePath(shell.requests[0].file, wt::WindowsProgram(L"Explorer.exe")));
  const std::wstring& located = shell.requests[0].parameters;
  ASSERT_EQ(located, common::ExplorerSelectArgument(twins.system32));
  EXPECT_EQ(twins.Read(located.substr(9, located.size() - 10)), "system32");  // in Explorer's (the system's) view
  EXPECT_TRUE(shell.requests[1].properties);
  EXPECT_EQ(wt::ReadText(shell.requests[1].file), "system32");  // in this program's view
}

// A path that is not absolute would be taken in whatever folder is current: it is refused in plain
// words, and the file of that name in the current folder stays, as does the temporary name there.
TEST(ForceDelete, APathThatIsNotAbsoluteIsRefused) {
  wt::TempDir dir;
  ASSERT_TRUE(wt::WriteText(dir.path() + L"victim.exe", "victim"));
  ASSERT_TRUE(wt::WriteText(dir.path() + L"Morvane.tmp", "keep"));
  wchar_t cwd[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_TRUE(::SetCurrentDirectoryW(dir.path().c_str()));
  wt::OwnerWindow owner;
  const std::wstring drive = dir.path().substr(0, 2), rooted = dir.path().substr(2) + L"victim.exe";
  for (const std::wstring& path : Names{L"victim.exe", L".\\victim.exe", drive + L"victim.exe", rooted,
                                         L"UNC\\x\\victim.exe"}) {
    wt::MessageLog log;
    common::ForceDeleteFile(path, owner.hwnd);
    EXPECT_EQ(log.entries, wt::Shown(owner.hwnd,
                                     L"文件删除失败!\n“" + path +
                                         L"”不是完整路径。请给出以盘符（如 C:\\）或网络共享（\\\\服务器\\共享）开头的完整路径。",
                                     L"错误", MB_OK | MB_ICONERROR));
  }
  ::SetCurrentDirectoryW(cwd);
  EXPECT_EQ(wt::ReadText(dir.path() + L"victim.exe"), "victim");
  EXPECT_EQ(wt::TempNamesIn(dir.path()), Names{L"Morvane.tmp"});
  EXPECT_EQ(wt::ReadText(dir.path() + L"Morvane.tmp"), "keep");
}

// The force-delete tool: a path pasted with the quotes of Explorer's "copy as path" (or blanks
// around it) deletes the file, and only it. A typed System32 path deletes the System32 file. A
// file chosen with Browse is the one that goes: the edit names it as the system does (in a 32-bit
// build on 64-bit Windows the dialog lists SysWOW64 under the name System32).
TEST(ForceDelete, TheToolTakesQuotedPathsAndDeletesTheFileChosen) {
  wt::TempDir dir;
  ASSERT_TRUE(::CreateDirectoryW((dir.path() + L"a b").c_str(), nullptr));
  const std::wstring file = dir.path() + L"a b\\victim.exe", neighbour = dir.path() + L"a b\\victim.exe2";
  ASSERT_TRUE(wt::WriteText(file, "victim") && wt::WriteText(neighbour, "neighbour"));
  wt::MainDialog main;
  wt::MessageLog log;
  for (const std::wstring& typed : {wt::Quoted(file), L"  " + wt::Quoted(file) + L" "}) {
    ASSERT_TRUE(wt::WriteText(file, "victim"));
    RunTool(main, [&](HWND d) {
      TypeText(d, typed);
      rt::PostClick(d, IDC_FORCE_DELETE);
    });
    EXPECT_FALSE(wt::FileExists(file)) << typed;
  }
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(wt::ReadText(neighbour), "neighbour");
  EXPECT_EQ(wt::TempNamesIn(dir.path() + L"a b\\"), Names{});

  Twins twins;
  RunTool(main, [&](HWND d) {
    TypeText(d, wt::Quoted(twins.system32));
    rt::PostKey(d, IDC_FORCE_PATH, VK_RETURN);
  });
  EXPECT_EQ(twins.Read(twins.system32), "(missing)");
  EXPECT_EQ(twins.Read(twins.syswow64), twins.hasWow64 ? "syswow64" : "(missing)");

  twins.Plant();
  const std::string picked = wt::ReadText(twins.system32);  // what the file dialog showed under that name
  const std::wstring shown = common::RunsUnderWow64() ? twins.syswow64 : twins.system32;
  {
    wt::FileAnswer choose(twins.system32);
    RunTool(main, [&](HWND d) {
      rt::Click(d, IDC_FORCE_BROWSE);
      EXPECT_TRUE(wt::SamePath(rt::ItemText(d, IDC_FORCE_PATH), shown)) << rt::ItemText(d, IDC_FORCE_PATH);
      rt::PostClick(d, IDC_FORCE_DELETE);
    });
  }
  EXPECT_EQ(twins.Read(twins.system32), picked == "system32" ? "(missing)" : "system32");
  EXPECT_EQ(twins.Read(twins.syswow64), picked == "syswow64" || !twins.hasWow64 ? "(missing)" : "syswow64");
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(twins.TempNames(), Names{});
}
