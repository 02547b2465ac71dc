// Judging a file: its SHA-256 through the system's CNG, and who signed it (an embedded signature
// or a system catalog that holds its hash) through WinVerifyTrust, offline; a cache and a few
// worker threads that answer the lists without holding them up; the signer column of a list.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/signature_rules.h"

namespace common {

// How long one check may take before its verdict is "无法检查" (timed out).
constexpr DWORD kSignatureTimeoutMs = 15000;
// Files larger than this are not read for a check (no signed image comes near it).
constexpr unsigned long long kSignatureSizeLimit = 0xFFFFFFFFull;

struct Sha256Result {
  std::wstring hex;     // 64 lower-case hex digits when ok
  std::wstring reason;  // plain words when not
  bool ok() const { return !hex.empty(); }
};
// SHA-256 of the file, streamed in blocks through BCrypt, for files of any size. The file is
// opened with sharing that never stands in a writer's way; device paths and anything but a
// regular file are refused.
Sha256Result FileSha256(const std::wstring& path);

// The verdict on path, within timeoutMs: the check runs on a thread of its own that is left to
// finish by itself when it overruns. Never runs the file; no revocation checks, no network.
SignatureVerdict CheckFileSignature(const std::wstring& path, DWORD timeoutMs = kSignatureTimeoutMs);
// The same check on the calling thread, without a time bound (the checker's workers run it).
SignatureVerdict CheckFileSignatureHere(const std::wstring& path);

// The catalog of the system's catalog database that holds a file's hash, and the member tag the
// file has in it. Tests replace the lookup where the system has no catalogs to find.
struct CatalogMatch {
  std::wstring catalogPath;
  std::wstring memberTag;
};
using CatalogLookup = std::function<std::optional<CatalogMatch>(HANDLE file, const std::wstring& path)>;
void SetCatalogLookupHook(CatalogLookup hook);
// Called at the start of every check with the path; tests hold checks up with it.
void SetSignatureCheckStartHook(std::function<void(const std::wstring&)> hook);
// Answers checks in the system's place: a verdict returned is taken as the check's outcome
// (tests give verdicts no fixture can have, such as Microsoft's own signature).
void SetSignatureVerdictHook(std::function<std::optional<SignatureVerdict>(const std::wstring&)> hook);

// Answers verdicts for paths from a cache keyed by path, size and last-write time, and runs the
// checks on a few worker threads. The calling (user-interface) thread never touches the file:
// Request answers from the cache and leaves the rest to a worker, which re-validates a cached
// verdict against the file's size and time and checks again only when they changed. When a new
// or changed verdict is ready, the requesting window gets `message` posted (once until it takes
// the verdicts with TakeReady), so a refresh of 200 rows costs one check per distinct file.
class CSignatureChecker {
 public:
  explicit CSignatureChecker(unsigned workers = 3, DWORD timeoutMs = kSignatureTimeoutMs);
  ~CSignatureChecker();
  CSignatureChecker(const CSignatureChecker&) = delete;
  CSignatureChecker& operator=(const CSignatureChecker&) = delete;

  // The cached verdict (Pending when there is none yet); queues a check or a re-validation.
  // notify may be null: the verdict is then only cached.
  SignatureVerdict Request(const std::wstring& path, HWND notify, UINT message);
  // The same for many paths at once (one lock, one wake-up of the workers): a list's refresh.
  std::vector<SignatureVerdict> RequestMany(const std::vector<std::wstring>& paths, HWND notify, UINT message);
  // The verdicts that became ready for notify since its last call: (path as requested, verdict).
  std::vector<std::pair<std::wstring, SignatureVerdict>> TakeReady(HWND notify);
  // Stops notifying the window (a page going away).
  void Forget(HWND notify);
  // The cached verdict of path, if any; touches nothing.
  std::optional<SignatureVerdict> Cached(const std::wstring& path) const;
  // Full checks run so far (re-validations that found the file unchanged do not count).
  unsigned long ChecksRun() const;
  // Waits until no check is queued or running, up to timeoutMs; true when idle.
  bool WaitIdle(DWORD timeoutMs) const;
  // Whether a check is queued or running now.
  bool Busy() const;

  struct State;

 private:
  std::shared_ptr<State> m_state;
};

// The checker the pages share (three workers), made on first use and kept for the program's life.
CSignatureChecker& SharedSignatureChecker();

// The signer column of a list: appends a "签名" column at the end (once), and from then on keeps
// it filled as verdicts arrive, colouring the rows whose file is not signed or whose signature is
// invalid. pathColumn names the column whose cell is the file's path. Returns the new column's
// index. The list and its parent window are subclassed; both let go when the list is destroyed.
int AttachSignatureColumn(HWND list, int pathColumn, CSignatureChecker& checker = SharedSignatureChecker());
// After a fill: asks for the verdict of every row and writes the verdicts known already.
void RequestSignatures(HWND list);
// The verdict the column holds for a row (Pending when none).
SignatureVerdict RowSignature(HWND list, int row);

// The "隐藏微软签名项" choice, kept in the program's settings; off when never set.
bool HideMicrosoftSigned();
void SetHideMicrosoftSigned(bool hide);

// Row commands shared by the pages: copy the file's SHA-256 (lower-case hex), and open the
// browser on VirusTotal's page of that hash (only the hash leaves the machine). A file that
// cannot be read is told in a message box owned by owner.
void CopyFileSha256(HWND owner, const std::wstring& path);
void LookUpOnVirusTotal(HWND owner, const std::wstring& path);

}  // namespace common
