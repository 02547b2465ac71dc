// Signature checks through WinVerifyTrust (embedded, then the system catalogs), SHA-256 through
// BCrypt, and the file opening both share.
#include "common/signature.h"

#include <wincrypt.h>
#include <bcrypt.h>
#include <mscat.h>
#include <softpub.h>
#include <wintrust.h>

#include <cwchar>
#include <mutex>
#include <utility>

#include "ui/handle.h"

namespace common {
namespace {

// WINTRUST_ACTION_GENERIC_VERIFY_V2: Authenticode.
const GUID kVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
// DRIVER_ACTION_VERIFY: the subsystem of the system catalogs.
const GUID kDriverVerify = {0xF750E6C3, 0x38EE, 0x11D1, {0x85, 0xE5, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

std::mutex& HookLock() {
  static std::mutex lock;
  return lock;
}
CatalogLookup& CatalogHook() {
  static CatalogLookup hook;
  return hook;
}
std::function<void(const std::wstring&)>& StartHook() {
  static std::function<void(const std::wstring&)> hook;
  return hook;
}
std::function<std::optional<SignatureVerdict>(const std::wstring&)>& VerdictHook() {
  static std::function<std::optional<SignatureVerdict>(const std::wstring&)> hook;
  return hook;
}

std::wstring SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == L' ' || message.back() == L'\r' || message.back() == L'\n'))
    message.pop_back();
  wchar_t hex[16];
  std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(code));
  return message.empty() ? std::wstring(L"错误 ") + hex : message + L" (" + hex + L")";
}

std::wstring OpenFailureText(DWORD code) {
  switch (code) {
    case ERROR_SHARING_VIOLATION: return L"文件被其他程序独占打开，无法读取";
    case ERROR_LOCK_VIOLATION: return L"文件被其他程序锁定，无法读取";
    case ERROR_ACCESS_DENIED: return L"没有读取文件的权限";
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_BAD_NET_NAME: return L"网络位置无法访问";
    default: return L"无法读取文件：" + SystemMessage(code);
  }
}

// An open regular file, or the verdict that stops the check before anything is read: missing,
// refused (device path, folder, device, off-line file, too large) or unreadable.
struct OpenedFile {
  ui::CFileHandle handle;
  unsigned long long size = 0;
  SignatureVerdict stop;  // state Pending while the file is open
};

SignatureVerdict Stop(SignatureState state, std::wstring reason = {}) {
  SignatureVerdict v;
  v.state = state;
  v.reason = std::move(reason);
  return v;
}

OpenedFile OpenRegularFile(const std::wstring& path, unsigned long long sizeLimit) {
  OpenedFile f;
  if (const PathRefusal refusal = RefusePath(path); refusal != PathRefusal::None) {
    f.stop = Stop(SignatureState::Unchecked, RefusalText(refusal));
    return f;
  }
  WIN32_FILE_ATTRIBUTE_DATA attrs{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attrs)) {
    const DWORD e = ::GetLastError();
    f.stop = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME
                 ? Stop(SignatureState::Missing)
                 : Stop(SignatureState::Unchecked, OpenFailureText(e));
    return f;
  }
  if (attrs.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    f.stop = Stop(SignatureState::Unchecked, L"不是普通文件");
    return f;
  }
  // Reading an off-line or cloud-only file would fetch it from elsewhere first.
  if (attrs.dwFileAttributes & (FILE_ATTRIBUTE_OFFLINE | 0x00400000 /* RECALL_ON_DATA_ACCESS */)) {
    f.stop = Stop(SignatureState::Unchecked, L"文件不在本机（脱机文件），不为检查而下载它");
    return f;
  }
  // Readers share with writers and deleters, so the check never stands in anyone's way.
  f.handle.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!f.handle) {
    const DWORD e = ::GetLastError();
    f.stop = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? Stop(SignatureState::Missing)
                                                                     : Stop(SignatureState::Unchecked, OpenFailureText(e));
    return f;
  }
  if (::GetFileType(f.handle.get()) != FILE_TYPE_DISK) {
    f.handle.reset();
    f.stop = Stop(SignatureState::Unchecked, L"不是普通文件");
    return f;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(f.handle.get(), &size)) {
    f.stop = Stop(SignatureState::Unchecked, OpenFailureText(::GetLastError()));
    f.handle.reset();
    return f;
  }
  f.size = static_cast<unsigned long long>(size.QuadPart);
  if (f.size > sizeLimit) {
    f.handle.reset();
    f.stop = Stop(SignatureState::Unchecked, L"文件过大（超过4GB），不检查签名");
  }
  return f;
}

void Rewind(HANDLE file) {
  LARGE_INTEGER zero{};
  ::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
}

// What a WinVerifyTrust result means for the file.
enum class TrustOutcome { Valid, NoSignature, Invalid, Failed };
TrustOutcome OutcomeOf(LONG result) {
  const auto code = static_cast<unsigned long>(result);
  if (result == ERROR_SUCCESS) return TrustOutcome::Valid;
  if (code == static_cast<unsigned long>(TRUST_E_NOSIGNATURE) || code == static_cast<unsigned long>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
      code == static_cast<unsigned long>(TRUST_E_PROVIDER_UNKNOWN))
    return TrustOutcome::NoSignature;
  // Reading the file failed: no judgement on the signature.
  if (code == static_cast<unsigned long>(CRYPT_E_FILE_ERROR) || code == static_cast<unsigned long>(TRUST_E_ACTION_UNKNOWN) ||
      (code >> 16) == 0x8007 || code < 0x10000)
    return TrustOutcome::Failed;
  // Certificate and trust results (0x800Bxxxx) and broken signature data (0x8009xxxx).
  if ((code >> 16) == 0x800B || (code >> 16) == 0x8009) return TrustOutcome::Invalid;
  return TrustOutcome::Failed;
}

std::wstring CertName(PCCERT_CONTEXT cert) {
  if (!cert) return {};
  wchar_t name[256] = {};
  const DWORD n = ::CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
  return n > 1 ? std::wstring(name) : std::wstring();
}

// The chain errors that leave a signature unvouched for, whatever the policy said: a chain that
// stops short of a root, or ends in a root the machine does not trust.
constexpr DWORD kUntrustedChain = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                                  CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC |
                                  CERT_TRUST_IS_EXPLICIT_DISTRUST | CERT_TRUST_IS_REVOKED;

// One WinVerifyTrust verification, offline; reads the signer and root names while its state is
// open, and holds the chain to its own account too.
LONG VerifyTrust(WINTRUST_DATA& data, SignatureVerdict& verdict) {
  GUID action = kVerifyV2;
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  LONG result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  if (result == ERROR_SUCCESS) {
    CRYPT_PROVIDER_DATA* prov = data.hWVTStateData ? ::WTHelperProvDataFromStateData(data.hWVTStateData) : nullptr;
    CRYPT_PROVIDER_SGNR* signer = prov ? ::WTHelperGetProvSignerFromChain(prov, 0, FALSE, 0) : nullptr;
    PCCERT_CHAIN_CONTEXT chain = signer ? signer->pChainContext : nullptr;
    if (!chain || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
      result = TRUST_E_NO_SIGNER_CERT;
    } else {
      const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
      verdict.signer = CertName(simple->rgpElement[0]->pCertContext);
      verdict.root = CertName(simple->rgpElement[simple->cElement - 1]->pCertContext);
      const DWORD errors = chain->TrustStatus.dwErrorStatus | simple->TrustStatus.dwErrorStatus;
      if (errors & kUntrustedChain)
        result = errors & CERT_TRUST_IS_PARTIAL_CHAIN ? CERT_E_CHAINING : CERT_E_UNTRUSTEDROOT;
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return result;
}

LONG VerifyEmbedded(const std::wstring& path, HANDLE file, SignatureVerdict& verdict) {
  WINTRUST_FILE_INFO info{};
  info.cbStruct = sizeof(info);
  info.pcwszFilePath = path.c_str();
  info.hFile = file;
  WINTRUST_DATA data{};
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  Rewind(file);
  return VerifyTrust(data, verdict);
}

// The catalog must list the member itself: a verifier that only checks the catalog's own
// signature would otherwise vouch for any file through any signed catalog.
bool CatalogListsMember(const CatalogMatch& match) {
  std::wstring catalog = match.catalogPath, tag = match.memberTag;
  HANDLE cat = ::CryptCATOpen(catalog.data(), CRYPTCAT_OPEN_EXISTING, 0, 0, 0);
  if (cat == INVALID_HANDLE_VALUE || !cat) return false;
  const bool listed = ::CryptCATGetMemberInfo(cat, tag.data()) != nullptr;
  ::CryptCATClose(cat);
  return listed;
}

LONG VerifyCatalogMember(const std::wstring& path, HANDLE file, const CatalogMatch& match, SignatureVerdict& verdict) {
  if (!CatalogListsMember(match)) return TRUST_E_BAD_DIGEST;
  WINTRUST_CATALOG_INFO info{};
  info.cbStruct = sizeof(info);
  info.pcwszCatalogFilePath = match.catalogPath.c_str();
  info.pcwszMemberTag = match.memberTag.c_str();
  info.pcwszMemberFilePath = path.c_str();
  info.hMemberFile = file;
  WINTRUST_DATA data{};
  data.dwUnionChoice = WTD_CHOICE_CATALOG;
  data.pCatalog = &info;
  Rewind(file);
  return VerifyTrust(data, verdict);
}

// The system catalog that holds the file's hash: SHA-256 catalogs first where the system has
// them, then SHA-1 ones.
std::optional<CatalogMatch> FindCatalogInSystem(HANDLE file) {
  using Acquire2 = BOOL(WINAPI*)(HCATADMIN*, const GUID*, const WCHAR*, const CERT_STRONG_SIGN_PARA*, DWORD);
  using Hash2 = BOOL(WINAPI*)(HCATADMIN, HANDLE, DWORD*, BYTE*, DWORD);
  HMODULE wintrust = ::GetModuleHandleW(L"wintrust.dll");
  const auto acquire2 = wintrust ? reinterpret_cast<Acquire2>(reinterpret_cast<void*>(::GetProcAddress(wintrust, "CryptCATAdminAcquireContext2"))) : nullptr;
  const auto hash2 = wintrust ? reinterpret_cast<Hash2>(reinterpret_cast<void*>(::GetProcAddress(wintrust, "CryptCATAdminCalcHashFromFileHandle2"))) : nullptr;
  GUID subsystem = kDriverVerify;
  for (int pass = 0; pass < 2; ++pass) {
    HCATADMIN admin = nullptr;
    const bool sha256 = pass == 0;
    if (sha256) {
      if (!acquire2 || !hash2 || !acquire2(&admin, &subsystem, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) continue;
    } else if (!::CryptCATAdminAcquireContext(&admin, &subsystem, 0)) {
      continue;
    }
    BYTE hash[64] = {};
    DWORD size = sizeof(hash);
    Rewind(file);
    const BOOL hashed = sha256 ? hash2(admin, file, &size, hash, 0) : ::CryptCATAdminCalcHashFromFileHandle(file, &size, hash, 0);
    std::optional<CatalogMatch> match;
    if (hashed) {
      if (HCATINFO cat = ::CryptCATAdminEnumCatalogFromHash(admin, hash, size, 0, nullptr)) {
        CATALOG_INFO info{};
        info.cbStruct = sizeof(info);
        if (::CryptCATCatalogInfoFromContext(cat, &info, 0)) {
          std::wstring tag = HexLower(hash, size);
          for (wchar_t& c : tag) c = static_cast<wchar_t>(std::towupper(c));
          match = CatalogMatch{info.wszCatalogFile, tag};
        }
        ::CryptCATAdminReleaseCatalogContext(admin, cat, 0);
      }
    }
    ::CryptCATAdminReleaseContext(admin, 0);
    if (match) return match;
  }
  return std::nullopt;
}

std::optional<CatalogMatch> FindCatalog(HANDLE file, const std::wstring& path) {
  CatalogLookup hook;
  {
    std::lock_guard<std::mutex> guard(HookLock());
    hook = CatalogHook();
  }
  return hook ? hook(file, path) : FindCatalogInSystem(file);
}

SignatureVerdict FromTrust(LONG result, SignatureVerdict verdict) {
  switch (OutcomeOf(result)) {
    case TrustOutcome::Valid:
      verdict.state = SignatureState::Signed;
      return verdict;
    case TrustOutcome::NoSignature:
      return Stop(SignatureState::NotSigned);
    case TrustOutcome::Invalid:
      return Stop(SignatureState::Invalid, SystemMessage(static_cast<DWORD>(result)));
    case TrustOutcome::Failed:
      break;
  }
  return Stop(SignatureState::Unchecked, L"检查失败：" + SystemMessage(static_cast<DWORD>(result)));
}

struct ThreadJob {
  std::wstring path;
  SignatureVerdict verdict;
};

DWORD WINAPI RunThreadJob(void* param) {
  auto* holder = static_cast<std::shared_ptr<ThreadJob>*>(param);
  std::shared_ptr<ThreadJob> job = std::move(*holder);
  delete holder;
  job->verdict = CheckFileSignatureHere(job->path);
  return 0;
}

}  // namespace

void SetCatalogLookupHook(CatalogLookup hook) {
  std::lock_guard<std::mutex> guard(HookLock());
  CatalogHook() = std::move(hook);
}

void SetSignatureCheckStartHook(std::function<void(const std::wstring&)> hook) {
  std::lock_guard<std::mutex> guard(HookLock());
  StartHook() = std::move(hook);
}

void SetSignatureVerdictHook(std::function<std::optional<SignatureVerdict>(const std::wstring&)> hook) {
  std::lock_guard<std::mutex> guard(HookLock());
  VerdictHook() = std::move(hook);
}

SignatureVerdict CheckFileSignatureHere(const std::wstring& path) {
  std::function<void(const std::wstring&)> start;
  std::function<std::optional<SignatureVerdict>(const std::wstring&)> answer;
  {
    std::lock_guard<std::mutex> guard(HookLock());
    start = StartHook();
    answer = VerdictHook();
  }
  if (start) start(path);
  if (answer)
    if (std::optional<SignatureVerdict> v = answer(path)) return *v;
  OpenedFile file = OpenRegularFile(path, kSignatureSizeLimit);
  if (!file.handle) return file.stop;

  SignatureVerdict verdict;
  const LONG embedded = VerifyEmbedded(path, file.handle.get(), verdict);
  if (OutcomeOf(embedded) != TrustOutcome::NoSignature) return FromTrust(embedded, verdict);

  const std::optional<CatalogMatch> match = FindCatalog(file.handle.get(), path);
  if (!match) return Stop(SignatureState::NotSigned);
  verdict = {};
  verdict.viaCatalog = true;
  const LONG catalog = VerifyCatalogMember(path, file.handle.get(), *match, verdict);
  // A catalog that names the file's hash but does not vouch for it is no missing signature.
  if (OutcomeOf(catalog) == TrustOutcome::NoSignature)
    return Stop(SignatureState::Invalid, L"目录文件不能证明此文件：" + SystemMessage(static_cast<DWORD>(catalog)));
  SignatureVerdict v = FromTrust(catalog, verdict);
  v.viaCatalog = true;
  return v;
}

SignatureVerdict CheckFileSignature(const std::wstring& path, DWORD timeoutMs) {
  auto job = std::make_shared<ThreadJob>();
  job->path = path;
  auto* param = new std::shared_ptr<ThreadJob>(job);
  ui::CHandle thread(::CreateThread(nullptr, 0, RunThreadJob, param, 0, nullptr));
  if (!thread) {
    delete param;
    return Stop(SignatureState::Unchecked, L"无法启动检查：" + SystemMessage(::GetLastError()));
  }
  if (::WaitForSingleObject(thread.get(), timeoutMs) != WAIT_OBJECT_0) {
    ::CancelSynchronousIo(thread.get());  // the thread keeps its own share of the job
    return Stop(SignatureState::Unchecked, L"检查超时（文件读取过慢或无响应）");
  }
  return job->verdict;
}

Sha256Result FileSha256(const std::wstring& path) {
  Sha256Result result;
  OpenedFile file = OpenRegularFile(path, ~0ull);
  if (!file.handle) {
    result.reason = file.stop.state == SignatureState::Missing ? L"文件不存在" : file.stop.reason;
    return result;
  }
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    result.reason = L"系统的SHA-256算法不可用";
    return result;
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<BYTE> block(1 << 20);
  unsigned char digest[32] = {};
  bool ok = BCRYPT_SUCCESS(::BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0));
  unsigned long long total = 0;
  while (ok) {
    DWORD read = 0;
    if (!::ReadFile(file.handle.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) {
      result.reason = OpenFailureText(::GetLastError());
      ok = false;
      break;
    }
    if (read == 0) break;
    total += read;
    ok = BCRYPT_SUCCESS(::BCryptHashData(hash, block.data(), read, 0));
  }
  if (ok && total != file.size && total < file.size) {  // shortened while read: the hash names no state
    result.reason = L"读取时文件被改短";
    ok = false;
  }
  if (ok) ok = BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof(digest), 0));
  if (hash) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(alg, 0);
  if (ok) {
    result.hex = HexLower(digest, sizeof(digest));
  } else if (result.reason.empty()) {
    result.reason = L"计算SHA-256失败";
  }
  return result;
}

}  // namespace common
