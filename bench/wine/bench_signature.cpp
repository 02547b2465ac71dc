// Signature checks of 200 distinct files (copies of the signed test program, or of system
// libraries where the signed copies were not made): the checker's own work per file against a
// bare WinVerifyTrust loop over the same files, and the wall time of the worker pool for a first
// refresh and for a refresh answered from the cache.
#include <windows.h>
#include <wincrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/wine/bench_util.h"
#include "common/signature.h"

namespace {

constexpr int kFiles = 200;

// The signed copies' root, trusted for the run (before the first check: the chain engine reads
// the Root store once) and taken out at the end.
struct TrustForRun {
  HCERTSTORE store = nullptr;
  PCCERT_CONTEXT cert = nullptr;
  explicit TrustForRun(const std::wstring& cer) {
    std::ifstream in(cer.c_str(), std::ios::binary);
    std::vector<char> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (der.empty()) return;
    store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store && ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                    static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &cert))
      ::CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }
  ~TrustForRun() {
    if (cert) ::CertDeleteCertificateFromStore(cert);
    if (store) {
      ::CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
      ::CertCloseStore(store, 0);
    }
  }
};

LONG BareWinVerifyTrust(const std::wstring& path) {
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof(file);
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_IGNORE;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  return ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

std::wstring TempFolder() {
  wchar_t base[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, base);
  std::wstring dir = std::wstring(base) + L"wardlet-bench-sig-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

}  // namespace

int main() {
  const std::wstring fixtures = bench::ExeDir() + L"sigfixtures\\";
  const std::wstring signedExe = fixtures + L"signed.exe";
  const bool haveSigned = ::GetFileAttributesW(signedExe.c_str()) != INVALID_FILE_ATTRIBUTES;
  TrustForRun trust(fixtures + L"root.cer");

  // 200 distinct files.
  std::vector<std::wstring> sources;
  if (haveSigned) {
    sources.push_back(signedExe);
  } else {
    wchar_t sys[MAX_PATH] = {};
    ::GetSystemDirectoryW(sys, MAX_PATH);
    for (const wchar_t* dll : {L"kernel32.dll", L"user32.dll", L"advapi32.dll", L"shell32.dll", L"comctl32.dll"})
      sources.push_back(std::wstring(sys) + L"\\" + dll);
  }
  const std::wstring dir = TempFolder();
  std::vector<std::wstring> files;
  for (int i = 0; i < kFiles; ++i) {
    std::wstring to = dir + L"file" + std::to_wstring(i) + L".exe";
    if (::CopyFileW(sources[i % sources.size()].c_str(), to.c_str(), FALSE)) files.push_back(to);
  }
  std::printf("files: %zu distinct copies of %s\n", files.size(),
              haveSigned ? "the signed test program (embedded signature, trusted throwaway root)"
                         : "system libraries (no signed copies: osslsigncode missing)");
  if (files.empty()) return 1;

  common::SignatureVerdict first = common::CheckFileSignatureHere(files[0]);
  std::printf("verdict of the first: %ls\n", common::SignatureCellText(first).c_str());

  // The checker's own work and the bare call, in turns, over the same files.
  auto own = [&] {
    for (const auto& f : files) common::CheckFileSignatureHere(f);
  };
  auto bare = [&] {
    for (const auto& f : files) BareWinVerifyTrust(f);
  };
  const bench::Turns t = bench::InTurns(5, own, bare);
  const double n = static_cast<double>(files.size());
  std::printf("one thread, %zu files: check %.1f ms (%.3f ms/file), bare WinVerifyTrust %.1f ms (%.3f ms/file)\n",
              files.size(), t.refresh * 1e3, t.refresh * 1e3 / n, t.floor * 1e3, t.floor * 1e3 / n);
  std::printf("ratio check / bare WinVerifyTrust: %.2f (best of 5), %.2f (sum of 5); target <= 1.20\n",
              t.refresh / t.floor, t.refreshSum / t.floorSum);

  // The pool: a first refresh of 200 rows, then a refresh answered from the cache.
  for (unsigned workers : {1u, 3u}) {
    common::CSignatureChecker checker(workers);
    const double cold = bench::Time([&] {
      for (const auto& f : files) checker.Request(f, nullptr, 0);
      checker.WaitIdle(600000);
    });
    const double warm = bench::Time([&] {
      for (const auto& f : files) checker.Request(f, nullptr, 0);
      checker.WaitIdle(600000);
    });
    std::printf("checker, %u worker(s): first refresh %.1f ms (%lu checks), cached refresh %.1f ms (%lu checks in all)\n",
                workers, cold * 1e3, checker.ChecksRun(), warm * 1e3, checker.ChecksRun());
  }

  for (const auto& f : files) ::DeleteFileW(f.c_str());
  ::RemoveDirectoryW(dir.c_str());
  return 0;
}
