// The window page's row menu, its commands and the opacity slider.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/listpage.h"
#include "common/shell.h"
#include "pages/window/window_page.h"
#include "pages/window/window_rules.h"

HWND CWindowPage::TargetWindow() const {
  auto rec = m_rows.SelectedAs<window::WindowRecord>();
  return rec && rec->StillThere() ? rec->hwnd : nullptr;
}

// The window commands do not wait for the window's thread: a window of a hung program (or of one
// that stops answering on purpose) must not freeze the tool. The window's own thread carries the
// change out; a window of this thread changes at once.
void CWindowPage::ShowTarget(int command) {
  if (HWND target = TargetWindow()) ::ShowWindowAsync(target, command);
}

void CWindowPage::OnTopmost() {
  if (HWND target = TargetWindow())
    ::SetWindowPos(target, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
}

// Waits until the window has handled WM_CLOSE (it may ask its user first or refuse), then shows
// whether it went. The wait is bounded: a window whose thread does not answer (hung, or made so
// on purpose) must not freeze the tool; it still gets the message and may close later.
// Closing the program's own main window takes this page with it.
void CWindowPage::OnCloseWindow() {
  constexpr UINT kCloseWaitMs = 5000;
  DWORD_PTR ignored = 0;
  if (HWND target = TargetWindow())
    ::SendMessageTimeoutW(target, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseWaitMs, &ignored);
  if (m_hWnd && ::IsWindow(m_hWnd)) RefreshWindowList();
}

namespace {
using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

void FadeNow(HWND target, BYTE alpha, SetLayeredFn setLayered) {
  ::SetWindowLongW(target, GWL_EXSTYLE, ::GetWindowLongW(target, GWL_EXSTYLE) | WS_EX_LAYERED);
  setLayered(target, 0, alpha, LWA_ALPHA);
}

// Fading another program's window changes its style, which waits for the window's thread
// (WM_STYLECHANGING is sent to it), and a window may answer every probe and then stall there. So
// the change runs on a short-lived thread of its own, which the page waits for only briefly. A
// window has one such thread at a time: while it is held up, further requests only leave the
// latest alpha for it, which it applies when it comes back, and the page does not wait at all.
class CBackgroundFader {
 public:
  static CBackgroundFader& Instance() {
    static CBackgroundFader* fader = new CBackgroundFader;  // never destroyed: threads may outlive the page
    return *fader;
  }

  void Fade(HWND target, BYTE alpha, SetLayeredFn setLayered) {
    constexpr auto kWait = std::chrono::milliseconds(500);
    std::unique_lock lock(m_lock);
    const unsigned long ticket = ++m_lastTicket;
    auto [job, fresh] = m_jobs.try_emplace(target);
    job->second.alpha = alpha;
    job->second.ticket = ticket;
    if (!fresh) return;  // its thread is held up by the window: it takes the new alpha when back
    try {
      std::thread(&CBackgroundFader::Run, this, target, setLayered).detach();
    } catch (const std::system_error&) {
      m_jobs.erase(target);  // no thread to be had: the window is left as it is
      return;
    }
    m_changed.wait_for(lock, kWait, [&] {
      auto at = m_jobs.find(target);
      return at == m_jobs.end() || at->second.doneTicket >= ticket;
    });
  }

 private:
  struct Job {
    BYTE alpha = 0;
    unsigned long ticket = 0;      // the request still to carry out; 0 when none
    unsigned long doneTicket = 0;  // the last request carried out
  };

  void Run(HWND target, SetLayeredFn setLayered) {
    std::unique_lock lock(m_lock);
    for (;;) {
      Job& job = m_jobs[target];
      if (job.ticket == 0) {
        m_jobs.erase(target);
        m_changed.notify_all();
        return;
      }
      const Job now = job;
      job.ticket = 0;
      lock.unlock();
      FadeNow(target, now.alpha, setLayered);
      lock.lock();
      m_jobs[target].doneTicket = now.ticket;
      m_changed.notify_all();
    }
  }

  std::mutex m_lock;
  std::condition_variable m_changed;
  std::map<HWND, Job> m_jobs;  // windows with a fading thread at work
  unsigned long m_lastTicket = 0;
};
}  // namespace

void CWindowPage::ApplyWindowOpacity() {
  HWND target = TargetWindow();
  UpdateData(true);
  if (!target || !::IsWindow(target)) return;
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  FARPROC proc = user32 ? ::GetProcAddress(user32, "SetLayeredWindowAttributes") : nullptr;
  if (!proc) return;  // no layered windows on this system: the window is left as it is
  auto setLayered = reinterpret_cast<SetLayeredFn>(reinterpret_cast<void*>(proc));
  const BYTE alpha = static_cast<BYTE>(m_nOpacity);
  // A window of this thread (the tool's own) changes at once; waiting on another thread for it
  // would only wait for this one.
  if (::GetWindowThreadProcessId(target, nullptr) == ::GetCurrentThreadId())
    FadeNow(target, alpha, setLayered);
  else
    CBackgroundFader::Instance().Fade(target, alpha, setLayered);
}

// Every movement of the slider, by mouse or keys, fades the selected window at once.
void CWindowPage::OnSliderMoved() {
  m_nOpacity = m_slider.GetPos();
  ApplyWindowOpacity();
  m_strOpacity = std::to_wstring(m_nOpacity);
  UpdateData(false);
}

bool CWindowPage::OnMessage(UINT msg, WPARAM /*wp*/, LPARAM lp, LRESULT& /*result*/) {
  if (msg == WM_HSCROLL && reinterpret_cast<HWND>(lp) == m_slider.GetSafeHwnd()) OnSliderMoved();
  return false;  // the dialog's own scroll handling runs as well
}

bool CWindowPage::OnNotify(NMHDR* nm, LRESULT& result) {
  if (nm->idFrom != IDC_WINDOW_LIST || nm->code != NM_RCLICK) return false;
  common::ShowRowMenu(m_hWnd, reinterpret_cast<NMITEMACTIVATE*>(nm)->iItem, IDR_MENU_WINDOW, {});
  result = 0;
  return true;
}

bool CWindowPage::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  switch (id) {
    case IDM_WINDOW_REFRESH: RefreshWindowList(); return true;
    case IDM_WINDOW_SHOW: ShowTarget(SW_SHOW); return true;
    case IDM_WINDOW_HIDE: ShowTarget(SW_HIDE); return true;
    case IDM_WINDOW_MINIMIZE: ShowTarget(SW_MINIMIZE); return true;
    case IDM_WINDOW_NORMAL: ShowTarget(SW_SHOWNORMAL); return true;
    case IDM_WINDOW_MAXIMIZE: ShowTarget(SW_SHOWMAXIMIZED); return true;
    case IDM_WINDOW_TOPMOST: OnTopmost(); return true;
    case IDM_WINDOW_CLOSE: OnCloseWindow(); return true;
    case IDM_WINDOW_TRANSPARENT: ApplyWindowOpacity(); return true;
    case IDM_WINDOW_COPY_CLASS:
      common::CopyTextToClipboard(m_hWnd, SelectedCell(2), L"窗口类名已复制到剪贴板!");
      return true;
    case IDM_WINDOW_COPY_PATH:
      common::CopyTextToClipboard(m_hWnd, SelectedCell(4), L"文件路径已复制到剪贴板!");
      return true;
    case IDM_WINDOW_LOCATE: common::LocateFile(SelectedCell(4), SW_SHOWMAXIMIZED); return true;
    case IDM_WINDOW_PROPERTIES: common::ShowFileProperties(SelectedCell(4)); return true;
    case IDM_WINDOW_SEARCH: common::SearchWeb(m_hWnd, SelectedCell(2)); return true;
    default: return false;
  }
}
