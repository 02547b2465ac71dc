// Judging files: verdicts on signed, tampered, unsigned and missing files (a throwaway root made
// for the test build, trusted in this prefix only while a test runs), bad input, the catalog path,
// the verdict cache and its workers, SHA-256 values, the module list's signer column, its two hash
// commands, and the File menu's choice to hide Microsoft-signed entries.
#include <windows.h>
#include <wincrypt.h>
#include <winioctl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>

#include "common/settings.h"
#include "common/signature.h"
#include "tests/wine/test_util.h"
#include "ui/handle.h"

namespace {

std::wstring FixtureDir() { return wt::ExeDir() + L"sigfixtures\\"; }
std::wstring Fixture(const wchar_t* name) { return FixtureDir() + name; }

// The reason the signed fixtures are missing, or empty when they are there.
std::string FixturesMissing() {
  const std::string skipped = wt::ReadText(Fixture(L"SKIPPED"));
  if (skipped != "(missing)") return "signature fixtures were not made: " + skipped;
  for (const wchar_t* f : {L"root.cer", L"signed.exe", L"tampered.exe", L"unsigned.exe", L"msname.exe", L"stranger.exe"})
    if (!wt::FileExists(Fixture(f))) return "signature fixture missing: " + std::string(f, f + std::wcslen(f));
  return {};
}
#define NEED_FIXTURES()                                  \
  if (std::string why = FixturesMissing(); !why.empty()) \
  GTEST_SKIP() << why

// The fixtures' root in the local machine's Root store for the whole run, taken out at its end.
// The system's chain engine reads the Root store once, at its first use in a process, so the root
// goes in before any test and stays until all are done.
class TrustedRoot : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!FixturesMissing().empty()) return;
    std::ifstream in(Fixture(L"root.cer").c_str(), std::ios::binary);
    std::vector<char> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m_store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (m_store && !der.empty())
      ::CertAddEncodedCertificateToStore(m_store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                         static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &m_cert);
    if (m_cert) ::CertControlStore(m_store, 0, CERT_STORE_CTRL_COMMIT, nullptr);  // written through now
  }
  void TearDown() override {
    if (m_cert) ::CertDeleteCertificateFromStore(m_cert);  // frees the context too
    m_cert = nullptr;
    if (m_store) {
      ::CertControlStore(m_store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
      ::CertCloseStore(m_store, 0);
    }
    m_store = nullptr;
  }
  static bool ok() { return s_instance && s_instance->m_cert; }
  static TrustedRoot* s_instance;

 private:
  HCERTSTORE m_store = nullptr;
  PCCERT_CONTEXT m_cert = nullptr;
};
TrustedRoot* TrustedRoot::s_instance =
    static_cast<TrustedRoot*>(::testing::AddGlobalTestEnvironment(new TrustedRoot));

std::wstring Copy(const wt::TempDir& dir, const wchar_t* fixture, const std::wstring& name) {
  const std::wstring to = dir.path() + name;
  return ::CopyFileW(Fixture(fixture).c_str(), to.c_str(), FALSE) ? to : L"";
}

common::SignatureVerdict Check(const std::wstring& path) { return common::CheckFileSignature(path, 20000); }

// A message-only window that counts the messages it gets.
struct Listener {
  static constexpr UINT kMessage = WM_APP + 7;
  HWND hwnd = ::CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ~Listener() { ::DestroyWindow(hwnd); }
  int Pump() {  // messages of kMessage waiting now
    int n = 0;
    MSG msg;
    while (::PeekMessageW(&msg, hwnd, kMessage, kMessage, PM_REMOVE)) ++n;
    return n;
  }
};

// Holds checks of paths containing "stall" until released.
struct Staller {
  ui::CHandle release{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> held{0};
  Staller() {
    common::SetSignatureCheckStartHook([this](const std::wstring& path) {
      if (path.find(L"stall") == std::wstring::npos) return;
      ++held;
      ::WaitForSingleObject(release.get(), 30000);
    });
  }
  ~Staller() {
    ::SetEvent(release.get());
    common::SetSignatureCheckStartHook(nullptr);
    ::Sleep(100);  // let a released check leave the hook before the event goes
  }
};

}  // namespace

TEST(Signature, VerdictsOfSignedTamperedUnsignedAndMissingFiles) {
  NEED_FIXTURES();
  const std::string before = wt::ReadText(Fixture(L"signed.exe"));

  ASSERT_TRUE(TrustedRoot::ok());
  const common::SignatureVerdict good = Check(Fixture(L"signed.exe"));
  EXPECT_EQ(good.state, common::SignatureState::Signed) << good.reason;
  EXPECT_EQ(good.signer, L"Wardlet Test Signer");
  EXPECT_EQ(good.root, L"Wardlet Test Root");
  EXPECT_FALSE(good.viaCatalog);
  EXPECT_EQ(common::SignatureCellText(good), L"Wardlet Test Signer");

  const common::SignatureVerdict tampered = Check(Fixture(L"tampered.exe"));
  EXPECT_EQ(tampered.state, common::SignatureState::Invalid) << tampered.reason;
  EXPECT_EQ(common::SignatureCellText(tampered), L"签名无效");
  // Intact, but vouched for by a root the machine does not trust.
  const common::SignatureVerdict stranger = Check(Fixture(L"stranger.exe"));
  EXPECT_EQ(stranger.state, common::SignatureState::Invalid) << stranger.reason;
  EXPECT_EQ(stranger.signer, L"");
  EXPECT_EQ(Check(Fixture(L"unsigned.exe")).state, common::SignatureState::NotSigned);
  EXPECT_EQ(Check(FixtureDir() + L"no-such-file.exe").state, common::SignatureState::Missing);
  EXPECT_EQ(Check(FixtureDir() + L"no-such-folder\\a.exe").state, common::SignatureState::Missing);

  // A certificate that calls itself Microsoft, under another root, is valid but not Microsoft's.
  const common::SignatureVerdict lookalike = Check(Fixture(L"msname.exe"));
  EXPECT_EQ(lookalike.state, common::SignatureState::Signed) << lookalike.reason;
  EXPECT_EQ(lookalike.signer, L"Microsoft Corporation");
  EXPECT_FALSE(common::IsMicrosoftSigned(lookalike));
  // The checks read the files only.
  EXPECT_EQ(wt::ReadText(Fixture(L"signed.exe")), before);
}

TEST(Signature, BadInputGivesUpWithAReasonAndNeverBlocksOthers) {
  for (const wchar_t* device : {L"\\\\.\\NUL", L"\\\\?\\GLOBALROOT\\Device\\Null", L"C:\\windows\\nul", L"\\\\.\\pipe\\x",
                                L"relative.exe", L""}) {
    const common::SignatureVerdict v = common::CheckFileSignature(device, 5000);
    EXPECT_EQ(v.state, common::SignatureState::Unchecked) << device;
    EXPECT_FALSE(v.reason.empty()) << device;
    EXPECT_EQ(common::SignatureCellText(v), L"无法检查");
  }
  wt::TempDir dir;
  const common::SignatureVerdict folder = Check(dir.path());
  EXPECT_EQ(folder.state, common::SignatureState::Unchecked);
  EXPECT_EQ(folder.reason, L"不是普通文件");

  // A file another program holds without sharing: refused at once, with the reason.
  const std::wstring locked = dir.path() + L"locked.exe";
  ASSERT_TRUE(wt::WriteText(locked, "MZ locked"));
  {
    ui::CFileHandle hold(::CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);
    const common::SignatureVerdict v = Check(locked);
    EXPECT_EQ(v.state, common::SignatureState::Unchecked);
    EXPECT_NE(v.reason.find(L"独占"), std::wstring::npos) << v.reason;
    EXPECT_FALSE(common::FileSha256(locked).ok());
  }
  // A writer that allows readers is not held up by a hash being read (the file stays writable).
  const std::wstring shared = dir.path() + L"shared.bin";
  ASSERT_TRUE(wt::WriteText(shared, "abc"));
  {
    ui::CFileHandle writer(::CreateFileW(shared.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_TRUE(common::FileSha256(shared).ok());
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(writer.get(), "xyz", 3, &written, nullptr));
  }
  EXPECT_EQ(wt::ReadText(shared), "xyz");

  // A check that hangs (a slow share, an unanswering device) ends in bounded time.
  Staller staller;
  const std::wstring stall = dir.path() + L"stall.exe";
  ASSERT_TRUE(wt::WriteText(stall, "MZ"));
  const ULONGLONG start = ::GetTickCount64();
  const common::SignatureVerdict v = common::CheckFileSignature(stall, 300);
  EXPECT_LT(::GetTickCount64() - start, 5000u);
  EXPECT_EQ(v.state, common::SignatureState::Unchecked);
  EXPECT_NE(v.reason.find(L"超时"), std::wstring::npos) << v.reason;
}

// Wine keeps no catalogs for its own libraries, so the system's lookup finds none there; the
// catalog path is driven through the lookup seam.
TEST(Signature, CatalogLookupDecidesFilesWithoutAnEmbeddedSignature) {
  NEED_FIXTURES();
  EXPECT_EQ(Check(wt::WindowsProgram(L"system32\\kernel32.dll")).state, common::SignatureState::NotSigned);

  std::vector<std::wstring> asked;
  std::optional<common::CatalogMatch> answer;
  common::SetCatalogLookupHook([&](HANDLE file, const std::wstring& path) {
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    asked.push_back(path);
    return answer;
  });
  // No catalog holds the hash: not signed.
  EXPECT_EQ(Check(Fixture(L"unsigned.exe")).state, common::SignatureState::NotSigned);
  EXPECT_EQ(asked, std::vector<std::wstring>{Fixture(L"unsigned.exe")});
  // An embedded signature is judged without asking the catalogs.
  EXPECT_EQ(Check(Fixture(L"signed.exe")).state, common::SignatureState::Signed);
  EXPECT_EQ(asked.size(), 1u);
  // A "catalog" that does not vouch for the file (here: not a catalog at all) is never a signature.
  answer = common::CatalogMatch{Fixture(L"signed.exe"), L"00112233445566778899AABBCCDDEEFF00112233"};
  const common::SignatureVerdict v = Check(Fixture(L"unsigned.exe"));
  EXPECT_TRUE(v.state == common::SignatureState::Invalid || v.state == common::SignatureState::Unchecked)
      << static_cast<int>(v.state) << " " << std::string(v.reason.begin(), v.reason.end());
  EXPECT_TRUE(v.viaCatalog);
  common::SetCatalogLookupHook(nullptr);
}

TEST(FileSha256, KnownValuesForEmptyShortBlockSpanningAndHugeSparseFiles) {
  wt::TempDir dir;
  auto hashOf = [&](const std::string& bytes) {
    const std::wstring path = dir.path() + L"h.bin";
    EXPECT_TRUE(wt::WriteText(path, bytes));
    return common::FileSha256(path).hex;
  };
  EXPECT_EQ(hashOf(""), L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hashOf("abc"), L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  std::string pattern;  // 2.5 MiB: crosses the read blocks
  for (int i = 0; i < 10241; ++i)
    for (int b = 0; b < 256; ++b) pattern += static_cast<char>(b);
  EXPECT_EQ(hashOf(pattern), L"7eb2e6ed2edf25df7b8e03cbed0f111206f3a69a23534b87fb96f57aacd1033e");

  const common::Sha256Result missing = common::FileSha256(dir.path() + L"gone.bin");
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.reason, L"文件不存在");
  EXPECT_FALSE(common::FileSha256(L"\\\\.\\NUL").ok());
  EXPECT_FALSE(common::FileSha256(dir.path()).ok());

  // 4 GiB of zeros and "abc", sparse where the file system allows.
  const std::wstring huge = dir.path() + L"huge.bin";
  {
    ui::CFileHandle f(::CreateFileW(huge.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(f);
    DWORD bytes = 0;
    ::DeviceIoControl(f.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &bytes, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = 0x100000000LL;
    ASSERT_TRUE(::SetFilePointerEx(f.get(), at, nullptr, FILE_BEGIN));
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(f.get(), "abc", 3, &written, nullptr));
  }
  // Hashing 4 GiB takes Wine's CNG over a minute: done when asked for.
  if (::GetEnvironmentVariableW(L"WARDLET_HUGE_FILE_TESTS", nullptr, 0) > 0) {
    EXPECT_EQ(common::FileSha256(huge).hex, L"493aa9f5af1e681d1bcc8db0c96a2ae4b5e6b3e51cefddb7efe24bdc7bdefa91");
  } else {
    std::cout << "[   NOTE   ] SHA-256 of the 4 GiB file skipped (WARDLET_HUGE_FILE_TESTS=1 runs it)\n";
  }
  // Too large to hold a signature: the check refuses it rather than read 4 GiB.
  const common::SignatureVerdict v = Check(huge);
  EXPECT_EQ(v.state, common::SignatureState::Unchecked);
  EXPECT_NE(v.reason.find(L"过大"), std::wstring::npos);
}

TEST(SignatureChecker, ChecksEachDistinctFileOnceAndTellsTheWindowOnce) {
  NEED_FIXTURES();
  wt::TempDir dir;
  const std::wstring a = Copy(dir, L"signed.exe", L"a.exe"), b = Copy(dir, L"unsigned.exe", L"b.exe"),
                     c = Copy(dir, L"tampered.exe", L"c.exe"), d = dir.path() + L"gone.exe";
  common::CSignatureChecker checker(3);
  Listener window;

  // 200 requests of four files (in two spellings) as a refresh makes them: one check per file.
  for (int round = 0; round < 50; ++round)
    for (const std::wstring& p : {a, b, c, d}) {
      std::wstring spelt = p;
      if (round % 2) spelt = common::FoldPathForCache(p);
      EXPECT_EQ(checker.Request(spelt, window.hwnd, Listener::kMessage).state, common::SignatureState::Pending);
    }
  ASSERT_TRUE(checker.WaitIdle(30000));
  EXPECT_EQ(checker.ChecksRun(), 4u);
  EXPECT_EQ(window.Pump(), 1);  // one notice until the verdicts are taken
  auto ready = checker.TakeReady(window.hwnd);
  ASSERT_EQ(ready.size(), 4u);
  std::map<std::wstring, common::SignatureState> got;
  for (const auto& [path, v] : ready) got[path] = v.state;
  EXPECT_EQ(got[a], common::SignatureState::Signed);
  EXPECT_EQ(got[b], common::SignatureState::NotSigned);
  EXPECT_EQ(got[c], common::SignatureState::Invalid);
  EXPECT_EQ(got[d], common::SignatureState::Missing);
  EXPECT_TRUE(checker.TakeReady(window.hwnd).empty());

  // The next refresh answers from the cache; the re-validation finds the files unchanged.
  EXPECT_EQ(checker.Request(a, window.hwnd, Listener::kMessage).signer, L"Wardlet Test Signer");
  EXPECT_EQ(checker.Request(c, window.hwnd, Listener::kMessage).state, common::SignatureState::Invalid);
  ASSERT_TRUE(checker.WaitIdle(30000));
  EXPECT_EQ(checker.ChecksRun(), 4u);
  EXPECT_EQ(window.Pump(), 0);

  // A file replaced under the same name (another size and time) is checked again.
  ASSERT_TRUE(::CopyFileW(Fixture(L"unsigned.exe").c_str(), a.c_str(), FALSE));
  ASSERT_TRUE(wt::WriteText(b, "MZ, and other bytes now"));
  EXPECT_EQ(checker.Request(a, window.hwnd, Listener::kMessage).state, common::SignatureState::Signed);  // as cached
  checker.Request(b, window.hwnd, Listener::kMessage);
  ASSERT_TRUE(checker.WaitIdle(30000));
  EXPECT_EQ(checker.ChecksRun(), 6u);
  EXPECT_EQ(checker.Cached(a)->state, common::SignatureState::NotSigned);
  EXPECT_EQ(window.Pump(), 1);
  EXPECT_EQ(checker.TakeReady(window.hwnd).size(), 1u);  // b's verdict is what it was: no news

  // A missing file still missing is not checked again; once there, it is, and the window told.
  checker.RequestMany({d, d}, window.hwnd, Listener::kMessage);
  ASSERT_TRUE(checker.WaitIdle(30000));
  EXPECT_EQ(checker.ChecksRun(), 6u);
  ASSERT_TRUE(::CopyFileW(Fixture(L"signed.exe").c_str(), d.c_str(), FALSE));
  EXPECT_EQ(checker.RequestMany({d}, window.hwnd, Listener::kMessage)[0].state, common::SignatureState::Missing);
  ASSERT_TRUE(checker.WaitIdle(30000));
  EXPECT_EQ(checker.ChecksRun(), 7u);
  EXPECT_EQ(checker.Cached(d)->state, common::SignatureState::Signed);
  EXPECT_EQ(window.Pump(), 1);
  EXPECT_EQ(checker.TakeReady(window.hwnd).size(), 1u);

  // A window that went away is no longer told.
  checker.Forget(window.hwnd);
  ASSERT_TRUE(wt::WriteText(c, "changed"));
  checker.Request(c, nullptr, 0);
  ASSERT_TRUE(checker.WaitIdle(30000));
  EXPECT_EQ(window.Pump(), 0);
  EXPECT_EQ(checker.Cached(c)->state, common::SignatureState::NotSigned);
}

TEST(SignatureChecker, AStalledCheckTimesOutWhileTheOthersFinish) {
  NEED_FIXTURES();
  wt::TempDir dir;
  const std::wstring stall = Copy(dir, L"unsigned.exe", L"stall.exe"), other = Copy(dir, L"unsigned.exe", L"other.exe");
  Staller staller;
  common::CSignatureChecker checker(1, 300);
  Listener window;
  checker.Request(stall, window.hwnd, Listener::kMessage);
  checker.Request(other, window.hwnd, Listener::kMessage);
  // The only worker hangs in the first check; the watchdog gives up on it and another worker
  // takes the second.
  ASSERT_TRUE(checker.WaitIdle(10000));
  ASSERT_TRUE(checker.Cached(stall));
  EXPECT_EQ(checker.Cached(stall)->state, common::SignatureState::Unchecked);
  EXPECT_NE(checker.Cached(stall)->reason.find(L"超时"), std::wstring::npos);
  ASSERT_TRUE(checker.Cached(other));
  EXPECT_EQ(checker.Cached(other)->state, common::SignatureState::NotSigned);
  EXPECT_EQ(staller.held.load(), 1);
  // Released late, the abandoned check does not overwrite the verdict given.
  ::SetEvent(staller.release.get());
  ::Sleep(300);
  EXPECT_EQ(checker.Cached(stall)->state, common::SignatureState::Unchecked);
}

TEST(ModuleList, SignerColumnFillsAsChecksFinishAndTheHashCommandsUseTheRowsFile) {
  NEED_FIXTURES();
  wt::TempDir dir;
  const std::wstring exe = Copy(dir, L"signed.exe", L"signed-child.exe");
  wt::Child child(wt::Quoted(exe));
  ASSERT_TRUE(child.started());
  wt::ProcessTab t;
  ::Sleep(300);  // let the child map its libraries
  const int row = t.RowOf(child.pid());
  ASSERT_GE(row, 0);
  t.Click(row);
  ASSERT_GT(t.modules.GetItemCount(), 0);
  ASSERT_EQ(t.modules.GetColumnCount(), 4);
  ASSERT_TRUE(wt::SamePath(t.modules.GetItemText(0, 2), exe));
  // The cells fill as the checks finish, through the page's message loop.
  EXPECT_TRUE(wt::PumpUntil([&] { return t.modules.GetItemText(0, 3) == L"Wardlet Test Signer"; }, 30000))
      << std::string(t.modules.GetItemText(0, 3).begin(), t.modules.GetItemText(0, 3).end());
  EXPECT_EQ(common::RowSignature(t.modules, 0).state, common::SignatureState::Signed);
  // Wine's own libraries carry no signature: every other row reads "未签名" and is coloured.
  EXPECT_TRUE(wt::PumpUntil([&] {
    for (int i = 1, n = t.modules.GetItemCount(); i < n; ++i)
      if (t.modules.GetItemText(i, 3).empty()) return false;
    return true;
  }, 30000));
  // The list asks its page how to draw each row: unsigned rows in the warning colours.
  auto draw = [&](int item, COLORREF& text) {
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdr = {t.modules.GetSafeHwnd(), static_cast<UINT_PTR>(IDC_MODULE_LIST), static_cast<UINT>(NM_CUSTOMDRAW)};
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(item);
    cd.clrText = CLR_DEFAULT;
    const LRESULT r = t.page.SendMessage(WM_NOTIFY, IDC_MODULE_LIST, reinterpret_cast<LPARAM>(&cd));
    text = cd.clrText;
    return r;
  };
  COLORREF text = 0;
  EXPECT_EQ(draw(0, text), CDRF_DODEFAULT);
  EXPECT_EQ(text, CLR_DEFAULT);
  if (t.modules.GetItemCount() > 1) {
    EXPECT_EQ(t.modules.GetItemText(1, 3), L"未签名");
    EXPECT_EQ(common::SignatureRowClassOf(common::RowSignature(t.modules, 1).state), common::SignatureRowClass::Warning);
    EXPECT_EQ(draw(1, text), CDRF_NEWFONT);
    EXPECT_EQ(text, RGB(common::kSignatureWarningText.r, common::kSignatureWarningText.g, common::kSignatureWarningText.b));
  }
  // A second click refills from the cache at once.
  t.Click(row);
  EXPECT_EQ(t.modules.GetItemText(0, 3), L"Wardlet Test Signer");

  const std::wstring hash = common::FileSha256(exe).hex;
  ASSERT_EQ(hash.size(), 64u);
  {
    wt::MessageLog log;
    wt::MenuChooser menu;
    wt::RunRowCommand(t.page, t.modules, 0, IDM_COPY_SHA256, &menu);
    EXPECT_TRUE(menu.IsGreyed(IDM_COPY_SHA256) == false && menu.IsGreyed(IDM_VIRUSTOTAL) == false);
    EXPECT_NE(std::find(menu.items.begin(), menu.items.end(), IDM_VIRUSTOTAL), menu.items.end());
    EXPECT_EQ(wt::ClipboardText(), hash);
    EXPECT_EQ(log.entries, wt::Shown(t.page, L"SHA-256已复制到剪贴板!", L"提示", MB_ICONINFORMATION));
  }
  {
    wt::ShellLog shell;
    wt::RunRowCommand(t.page, t.modules, 0, IDM_VIRUSTOTAL);
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].verb, L"open");
    EXPECT_EQ(shell.requests[0].file, L"https://www.virustotal.com/gui/file/" + hash);  // the hash, nothing else
    EXPECT_EQ(shell.requests[0].parameters, L"");
  }
  // A row whose file is gone: told in plain words; nothing copied, no browser.
  {
    wt::MessageLog log;
    wt::ShellLog shell;
    const int last = t.modules.GetItemCount() - 1;
    t.modules.SetItemText(last, 2, dir.path() + L"gone.dll");
    wt::RunRowCommand(t.page, t.modules, last, IDM_VIRUSTOTAL);
    wt::RunRowCommand(t.page, t.modules, last, IDM_COPY_SHA256);
    EXPECT_TRUE(shell.requests.empty());
    EXPECT_EQ(wt::ClipboardText(), hash);
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[0].caption, L"错误");
    EXPECT_NE(log.entries[0].text.find(L"文件不存在"), std::wstring::npos);
  }
}

TEST(MainDialog, HideMicrosoftSignedIsOffByDefaultAndSurvivesARestart) {
  const std::wstring key = L"Software\\WardletTest\\signature-" + std::to_wstring(::GetCurrentProcessId());
  common::SetSettingsKey(key);
  auto mark = [](wt::MainDialog& m) {
    return (::GetMenuState(::GetMenu(m.dlg().GetSafeHwnd()), IDM_FILE_HIDE_MICROSOFT, MF_BYCOMMAND) & MF_CHECKED) != 0;
  };
  {
    wt::MainDialog main;
    EXPECT_FALSE(mark(main));
    EXPECT_FALSE(common::HideMicrosoftSigned());
    main.dlg().SendMessage(WM_COMMAND, IDM_FILE_HIDE_MICROSOFT, 0);
    EXPECT_TRUE(mark(main));
  }
  EXPECT_EQ(common::ReadSetting(common::kHideMicrosoftSetting, 7), 1u);
  {
    wt::MainDialog main;  // as after a restart
    EXPECT_TRUE(mark(main));
    EXPECT_TRUE(common::HideMicrosoftSigned());
    main.dlg().SendMessage(WM_COMMAND, IDM_FILE_HIDE_MICROSOFT, 0);
    EXPECT_FALSE(mark(main));
  }
  EXPECT_EQ(common::ReadSetting(common::kHideMicrosoftSetting, 7), 0u);
  common::SetSettingsKey(L"");
  ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\WardletTest");  // only when no other test's key is left
}
