// The verdict cache and its worker threads: requests from the user-interface thread, checks on a
// few workers, a watchdog that gives up on a check that overruns, and the windows told of verdicts.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "common/signature.h"
#include "ui/handle.h"

namespace common {

namespace {
struct Stamp {
  bool known = false;
  bool missing = false;  // known not to be there: still missing, it need not be checked again
  unsigned long long size = 0, written = 0;
  bool operator==(const Stamp&) const = default;
};

// Size and last-write time, or unknown when the file cannot be asked (the check then decides).
Stamp StampOf(const std::wstring& path) {
  Stamp s;
  if (RefusePath(path) != PathRefusal::None) return s;
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) {
    const DWORD error = ::GetLastError();
    s.known = s.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return s;
  }
  s.known = true;
  s.size = (static_cast<unsigned long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  s.written = (static_cast<unsigned long long>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
  return s;
}
}  // namespace

struct CSignatureChecker::State {
  struct Entry {
    std::wstring path;  // as first requested
    SignatureVerdict verdict;
    Stamp stamp;
    bool queued = false;
    bool running = false;  // a worker checks it now: its verdict answers later requests too
    std::set<HWND> watchers;
  };
  struct Waiter {
    UINT message = 0;
    bool posted = false;
    std::vector<std::pair<std::wstring, SignatureVerdict>> ready;
  };
  struct Worker {
    HANDLE thread = nullptr;
    std::wstring key;  // the check it runs, empty when idle
    ULONGLONG started = 0;
    bool abandoned = false;
  };

  mutable std::mutex lock;
  mutable std::condition_variable changed;
  std::map<std::wstring, Entry> cache;  // by folded path
  std::deque<std::wstring> queue;
  std::map<HWND, Waiter> waiters;
  std::vector<std::shared_ptr<Worker>> workers;
  bool stopping = false;
  DWORD timeoutMs = kSignatureTimeoutMs;
  unsigned long checksRun = 0;
  unsigned replacements = 0;
  HANDLE watchdog = nullptr;

  // With the lock held: a new verdict for key, told to the windows that asked for it.
  void Publish(Entry& e, const SignatureVerdict& verdict) {
    const bool differs = !(e.verdict == verdict);
    e.verdict = verdict;
    if (!differs) return;
    for (auto it = e.watchers.begin(); it != e.watchers.end();) {
      auto w = waiters.find(*it);
      if (w == waiters.end()) {
        it = e.watchers.erase(it);
        continue;
      }
      w->second.ready.emplace_back(e.path, verdict);
      if (!w->second.posted) {
        if (::PostMessageW(w->first, w->second.message, 0, 0)) {
          w->second.posted = true;
        } else {  // the window is gone
          waiters.erase(w);
          it = e.watchers.erase(it);
          continue;
        }
      }
      ++it;
    }
  }

  bool Busy() const {
    if (!queue.empty()) return true;
    for (const auto& w : workers)
      if (!w->abandoned && !w->key.empty()) return true;
    return false;
  }
};

namespace {

struct WorkerStart {
  std::shared_ptr<CSignatureChecker::State> state;
  std::shared_ptr<CSignatureChecker::State::Worker> self;
};

DWORD WINAPI WorkerMain(void* param) {
  std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
  auto& st = *start->state;
  auto& self = *start->self;
  std::unique_lock<std::mutex> guard(st.lock);
  for (;;) {
    st.changed.wait(guard, [&] { return st.stopping || self.abandoned || !st.queue.empty(); });
    if (st.stopping || self.abandoned) return 0;
    const std::wstring key = st.queue.front();
    st.queue.pop_front();
    auto it = st.cache.find(key);
    if (it == st.cache.end()) continue;
    it->second.queued = false;
    it->second.running = true;
    const std::wstring path = it->second.path;
    const SignatureVerdict before = it->second.verdict;
    const Stamp known = it->second.stamp;
    self.key = key;
    self.started = ::GetTickCount64();
    guard.unlock();

    // The stamp is taken before the check, so a file changed during it is checked again next time.
    const Stamp now = StampOf(path);
    const bool unchanged = now.known && now == known && before.state != SignatureState::Pending;
    SignatureVerdict verdict = before;
    if (!unchanged) verdict = CheckFileSignatureHere(path);

    guard.lock();
    if (self.abandoned) return 0;  // the watchdog has given the verdict already
    self.key.clear();
    if (auto e = st.cache.find(key); e != st.cache.end()) {
      e->second.running = false;
      if (!unchanged) {
        e->second.stamp = now;
        st.Publish(e->second, verdict);
      }
    }
    if (!unchanged) ++st.checksRun;
    st.changed.notify_all();
  }
}

bool StartWorker(const std::shared_ptr<CSignatureChecker::State>& state) {
  auto worker = std::make_shared<CSignatureChecker::State::Worker>();
  auto* param = new WorkerStart{state, worker};
  worker->thread = ::CreateThread(nullptr, 0, WorkerMain, param, 0, nullptr);
  if (!worker->thread) {
    delete param;
    return false;
  }
  state->workers.push_back(worker);
  return true;
}

// Gives the timed-out verdict to a check that overruns, lets its worker go (asking the system to
// cancel the read it waits in) and starts another in its place, up to a bounded number.
DWORD WINAPI WatchdogMain(void* param) {
  std::unique_ptr<std::shared_ptr<CSignatureChecker::State>> holder(static_cast<std::shared_ptr<CSignatureChecker::State>*>(param));
  auto state = *holder;
  auto& st = *state;
  std::unique_lock<std::mutex> guard(st.lock);
  while (!st.stopping) {
    st.changed.wait_for(guard, std::chrono::milliseconds(100));
    if (st.stopping) break;
    const ULONGLONG now = ::GetTickCount64();
    std::vector<std::shared_ptr<CSignatureChecker::State::Worker>> overdue;
    for (const auto& w : st.workers)
      if (!w->abandoned && !w->key.empty() && now - w->started > st.timeoutMs) overdue.push_back(w);
    for (const auto& w : overdue) {
      w->abandoned = true;
      if (auto e = st.cache.find(w->key); e != st.cache.end()) {
        SignatureVerdict v;
        v.state = SignatureState::Unchecked;
        v.reason = L"检查超时（文件读取过慢或无响应）";
        e->second.stamp = {};
        e->second.running = false;
        st.Publish(e->second, v);
      }
      ::CancelSynchronousIo(w->thread);
      if (st.replacements < 16) {
        ++st.replacements;
        StartWorker(state);
      }
    }
    if (!overdue.empty()) st.changed.notify_all();
  }
  return 0;
}

}  // namespace

CSignatureChecker::CSignatureChecker(unsigned workers, DWORD timeoutMs) : m_state(std::make_shared<State>()) {
  std::lock_guard<std::mutex> guard(m_state->lock);
  m_state->timeoutMs = timeoutMs;
  for (unsigned i = 0; i < (workers ? workers : 1); ++i) StartWorker(m_state);
  auto* param = new std::shared_ptr<State>(m_state);
  m_state->watchdog = ::CreateThread(nullptr, 0, WatchdogMain, param, 0, nullptr);
  if (!m_state->watchdog) delete param;
}

// Workers in a check are given a moment to end; one stuck in a read keeps its own share of the
// state and ends by itself later.
CSignatureChecker::~CSignatureChecker() {
  std::vector<HANDLE> threads;
  {
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->stopping = true;
    m_state->waiters.clear();
    for (const auto& w : m_state->workers) threads.push_back(w->thread);
    if (m_state->watchdog) threads.push_back(m_state->watchdog);
  }
  m_state->changed.notify_all();
  const ULONGLONG deadline = ::GetTickCount64() + 2000;
  for (HANDLE t : threads) {
    const ULONGLONG now = ::GetTickCount64();
    ::WaitForSingleObject(t, now < deadline ? static_cast<DWORD>(deadline - now) : 0);
    ::CloseHandle(t);
  }
}

SignatureVerdict CSignatureChecker::Request(const std::wstring& path, HWND notify, UINT message) {
  return RequestMany({path}, notify, message).front();
}

std::vector<SignatureVerdict> CSignatureChecker::RequestMany(const std::vector<std::wstring>& paths, HWND notify,
                                                             UINT message) {
  std::vector<std::wstring> keys;
  keys.reserve(paths.size());
  for (const std::wstring& path : paths) keys.push_back(FoldPathForCache(path));
  std::vector<SignatureVerdict> verdicts;
  verdicts.reserve(paths.size());
  bool queued = false;
  std::lock_guard<std::mutex> guard(m_state->lock);
  if (notify) m_state->waiters[notify].message = message;
  for (size_t i = 0; i < paths.size(); ++i) {
    State::Entry& e = m_state->cache[keys[i]];
    if (e.path.empty()) e.path = paths[i];
    if (notify) e.watchers.insert(notify);
    if (!e.queued && !e.running) {
      e.queued = true;
      m_state->queue.push_back(keys[i]);
      queued = true;
    }
    verdicts.push_back(e.verdict);
  }
  if (queued) m_state->changed.notify_all();
  return verdicts;
}

std::vector<std::pair<std::wstring, SignatureVerdict>> CSignatureChecker::TakeReady(HWND notify) {
  std::lock_guard<std::mutex> guard(m_state->lock);
  auto it = m_state->waiters.find(notify);
  if (it == m_state->waiters.end()) return {};
  it->second.posted = false;
  return std::exchange(it->second.ready, {});
}

void CSignatureChecker::Forget(HWND notify) {
  std::lock_guard<std::mutex> guard(m_state->lock);
  m_state->waiters.erase(notify);
  for (auto& [key, e] : m_state->cache) e.watchers.erase(notify);
}

std::optional<SignatureVerdict> CSignatureChecker::Cached(const std::wstring& path) const {
  std::lock_guard<std::mutex> guard(m_state->lock);
  auto it = m_state->cache.find(FoldPathForCache(path));
  if (it == m_state->cache.end() || it->second.verdict.state == SignatureState::Pending) return std::nullopt;
  return it->second.verdict;
}

unsigned long CSignatureChecker::ChecksRun() const {
  std::lock_guard<std::mutex> guard(m_state->lock);
  return m_state->checksRun;
}

bool CSignatureChecker::Busy() const {
  std::lock_guard<std::mutex> guard(m_state->lock);
  return m_state->Busy();
}

bool CSignatureChecker::WaitIdle(DWORD timeoutMs) const {
  std::unique_lock<std::mutex> guard(m_state->lock);
  return m_state->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return !m_state->Busy(); });
}

CSignatureChecker& SharedSignatureChecker() {
  static CSignatureChecker* checker = new CSignatureChecker(3);  // kept to the end: workers may still run at exit
  return *checker;
}

}  // namespace common
