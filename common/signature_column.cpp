// The signer column of a list, kept filled and coloured from the checker's verdicts, and the two
// row commands on a file's SHA-256.
#include "common/signature.h"

#include <commctrl.h>

#include <map>
#include <memory>

#include "common/settings.h"
#include "common/shell.h"
#include "ui/controls.h"
#include "ui/handle.h"
#include "ui/msgbox.h"

namespace common {
namespace {

constexpr UINT_PTR kSubclassId = 0x5167;  // on the list; on the parent the list's handle is the id
constexpr DWORD kHashTimeoutMs = 30000;

UINT VerdictMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"Wardlet.SignatureVerdictReady");
  return message;
}

struct ColumnState {
  HWND list = nullptr;
  HWND parent = nullptr;
  int pathColumn = 0;
  int signerColumn = 0;
  CSignatureChecker* checker = nullptr;
  std::map<std::wstring, SignatureVerdict> verdicts;  // by folded path
};

ui::CListCtrl ListOf(HWND hwnd) {
  ui::CListCtrl list;
  list.Attach(hwnd);
  return list;
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);

// The lists with a signer column (user-interface thread only).
std::map<HWND, ColumnState*>& Columns() {
  static std::map<HWND, ColumnState*> columns;
  return columns;
}

ColumnState* StateOf(HWND list) {
  auto it = Columns().find(list);
  return it == Columns().end() ? nullptr : it->second;
}

SignatureVerdict VerdictOfRow(const ColumnState& s, int row) {
  const ui::CListCtrl list = ListOf(s.list);
  auto it = s.verdicts.find(FoldPathForCache(list.GetItemText(row, s.pathColumn)));
  return it == s.verdicts.end() ? SignatureVerdict{} : it->second;
}

void ApplyReady(ColumnState& s) {
  auto ready = s.checker->TakeReady(s.list);
  if (ready.empty()) return;
  std::map<std::wstring, const SignatureVerdict*> changed;
  for (const auto& [path, verdict] : ready) {
    const std::wstring key = FoldPathForCache(path);
    s.verdicts[key] = verdict;
    changed[key] = &s.verdicts[key];
  }
  const ui::CListCtrl list = ListOf(s.list);
  for (int row = 0, n = list.GetItemCount(); row < n; ++row) {
    auto it = changed.find(FoldPathForCache(list.GetItemText(row, s.pathColumn)));
    if (it != changed.end()) list.SetItemText(row, s.signerColumn, SignatureCellText(*it->second));
  }
  ::InvalidateRect(s.list, nullptr, FALSE);
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* s = reinterpret_cast<ColumnState*>(ref);
  if (msg == WM_NOTIFY) {
    auto* nm = reinterpret_cast<NMHDR*>(lp);
    if (nm->hwndFrom == s->list && nm->code == NM_CUSTOMDRAW) {
      auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(lp);
      if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
      if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const SignatureVerdict v = VerdictOfRow(*s, static_cast<int>(cd->nmcd.dwItemSpec));
        if (SignatureRowClassOf(v.state) == SignatureRowClass::Warning) {
          cd->clrText = RGB(kSignatureWarningText.r, kSignatureWarningText.g, kSignatureWarningText.b);
          cd->clrTextBk = RGB(kSignatureWarningBack.r, kSignatureWarningBack.g, kSignatureWarningBack.b);
          return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
      }
    }
  }
  if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, ParentProc, id);
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* s = reinterpret_cast<ColumnState*>(ref);
  if (msg == VerdictMessage()) {
    ApplyReady(*s);
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    s->checker->Forget(hwnd);
    if (s->parent) ::RemoveWindowSubclass(s->parent, ParentProc, reinterpret_cast<UINT_PTR>(hwnd));
    ::RemoveWindowSubclass(hwnd, ListProc, id);
    Columns().erase(hwnd);
    std::unique_ptr<ColumnState> owned(s);
    return ::DefSubclassProc(hwnd, msg, wp, lp);
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

struct HashJob {
  std::wstring path;
  Sha256Result result;
};

DWORD WINAPI RunHashJob(void* param) {
  std::unique_ptr<std::shared_ptr<HashJob>> holder(static_cast<std::shared_ptr<HashJob>*>(param));
  (*holder)->result = FileSha256((*holder)->path);
  return 0;
}

// Waits for handle up to timeoutMs while the window keeps answering: the messages that arrive
// meanwhile are handled (paint, moves, a timer). False on timeout.
bool WaitPumping(HANDLE handle, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
    const DWORD r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
        return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

// The hash on a thread of its own, waited for a bounded time while messages are handled; a thread that overruns keeps its
// own share of the job and ends by itself.
Sha256Result HashWithin(const std::wstring& path, DWORD timeoutMs) {
  auto job = std::make_shared<HashJob>();
  job->path = path;
  auto* param = new std::shared_ptr<HashJob>(job);
  ui::CHandle thread(::CreateThread(nullptr, 0, RunHashJob, param, 0, nullptr));
  if (!thread) {
    delete param;
    return FileSha256(path);
  }
  if (!WaitPumping(thread.get(), timeoutMs)) {
    ::CancelSynchronousIo(thread.get());
    Sha256Result timedOut;
    timedOut.reason = L"读取文件超时（文件过大或所在位置无响应）";
    return timedOut;
  }
  return job->result;
}

std::optional<std::wstring> HashOrTell(HWND owner, const std::wstring& path) {
  if (path.empty()) {
    ui::ShowMessage(owner, L"这一行没有文件路径。", L"提示", MB_ICONINFORMATION);
    return std::nullopt;
  }
  const Sha256Result hash = HashWithin(path, kHashTimeoutMs);
  if (!hash.ok()) {
    ui::ShowMessage(owner, L"无法计算文件的SHA-256：" + hash.reason + L"\n" + path, L"错误", MB_ICONERROR);
    return std::nullopt;
  }
  return hash.hex;
}

}  // namespace

int AttachSignatureColumn(HWND list, int pathColumn, CSignatureChecker& checker) {
  if (ColumnState* s = StateOf(list)) return s->signerColumn;
  const ui::CListCtrl ctrl = ListOf(list);
  auto state = std::make_unique<ColumnState>();
  state->list = list;
  state->parent = ::GetParent(list);
  state->pathColumn = pathColumn;
  state->checker = &checker;
  state->signerColumn = ctrl.InsertColumn(ctrl.GetColumnCount(), L"签名", LVCFMT_LEFT, 160);
  if (state->signerColumn < 0) return -1;
  if (!::SetWindowSubclass(list, ListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(state.get()))) return -1;
  ColumnState* s = state.release();
  Columns()[list] = s;
  if (s->parent && !::SetWindowSubclass(s->parent, ParentProc, reinterpret_cast<UINT_PTR>(list), reinterpret_cast<DWORD_PTR>(s)))
    s->parent = nullptr;
  return s->signerColumn;
}

void RequestSignatures(HWND list) {
  ColumnState* s = StateOf(list);
  if (!s) return;
  const ui::CListCtrl ctrl = ListOf(list);
  for (int row = 0, n = ctrl.GetItemCount(); row < n; ++row) {
    const std::wstring path = ctrl.GetItemText(row, s->pathColumn);
    const SignatureVerdict v = s->checker->Request(path, list, VerdictMessage());
    if (v.state != SignatureState::Pending) s->verdicts[FoldPathForCache(path)] = v;
    ctrl.SetItemText(row, s->signerColumn, SignatureCellText(v));
  }
}

SignatureVerdict RowSignature(HWND list, int row) {
  ColumnState* s = StateOf(list);
  return s ? VerdictOfRow(*s, row) : SignatureVerdict{};
}

bool HideMicrosoftSigned() { return ReadSetting(kHideMicrosoftSetting, 0) != 0; }
void SetHideMicrosoftSigned(bool hide) { WriteSetting(kHideMicrosoftSetting, hide ? 1 : 0); }

void CopyFileSha256(HWND owner, const std::wstring& path) {
  if (auto hash = HashOrTell(owner, path)) CopyTextToClipboard(owner, *hash, L"SHA-256已复制到剪贴板!");
}

void LookUpOnVirusTotal(HWND owner, const std::wstring& path) {
  if (auto hash = HashOrTell(owner, path)) ShellRun({owner, L"open", VirusTotalAddress(*hash), L"", SW_SHOWNORMAL, false});
}

}  // namespace common
