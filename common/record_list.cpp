// The record list: gathering off the user-interface thread, the owner-data list's notifications,
// sorting, the find box, marks and the kept settings.
#include "common/record_list.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <utility>

#include "common/listpage.h"
#include "common/settings.h"
#include "common/signature.h"

namespace common {
namespace {

thread_local bool t_automatic = false;
std::atomic<unsigned> g_generation{0};

constexpr int kFindBarHeight = 24;
constexpr COLORREF kNewColour = RGB(198, 239, 206);
constexpr COLORREF kGoneColour = RGB(255, 199, 206);
constexpr int kNoticeHeight = 20;
constexpr UINT_PTR kListSubclassId = 0x5243;

UINT VerdictMessage() {
  static const UINT msg = ::RegisterWindowMessageW(L"WardletRecordVerdicts");
  return msg;
}

// The record lists with a signer column (user-interface thread only).
std::set<RecordList*>& SignedLists() {
  static std::set<RecordList*> lists;
  return lists;
}

UINT ReadyMessage() {
  static const UINT msg = ::RegisterWindowMessageW(L"WardletRecordsGathered");
  return msg;
}

// Locale order of the user, case and width folded; code-unit order when the system cannot say.
std::string UserCollate(std::wstring_view text) {
  const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE | NORM_IGNOREWIDTH;
  const int len = static_cast<int>(text.size());
  char small[512];
  int n = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.data(), len, reinterpret_cast<LPWSTR>(small),
                          sizeof(small), nullptr, nullptr, 0);
  if (n > 0) return std::string(small, static_cast<size_t>(n));
  n = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.data(), len, nullptr, 0, nullptr, nullptr, 0);
  if (n <= 0) return lists::DefaultCollate(text);
  std::string out(static_cast<size_t>(n), '\0');
  n = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, text.data(), len, reinterpret_cast<LPWSTR>(out.data()), n,
                      nullptr, nullptr, 0);
  if (n <= 0) return lists::DefaultCollate(text);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::wstring WindowTextOf(HWND h) {
  const int len = ::GetWindowTextLengthW(h);
  std::wstring s(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
  s.resize(static_cast<size_t>(::GetWindowTextW(h, s.data(), len + 1)));
  return s;
}

}  // namespace

bool IsAutomaticRefresh() { return t_automatic; }

struct RecordList::Job {
  unsigned generation = 0;
  bool automatic = false;
  bool ok = false;
  Records records;
};

RecordList::~RecordList() {
  if (m_signColumn >= 0) {
    SignedLists().erase(this);
    if (m_list && ::IsWindow(m_list)) {
      SharedSignatureChecker().Forget(m_list);
      ::RemoveWindowSubclass(m_list, &RecordList::ListProc, kListSubclassId);
    }
    if (m_tip && ::IsWindow(m_tip)) ::DestroyWindow(m_tip);
  }
  if (m_page && ::IsWindow(m_page)) ::RemoveWindowSubclass(m_page, &RecordList::PageProc, reinterpret_cast<UINT_PTR>(this));
  if (m_findBox && ::IsWindow(m_findBox))
    ::RemoveWindowSubclass(m_findBox, &RecordList::FindProc, reinterpret_cast<UINT_PTR>(this));
}

void RecordList::Setup(HWND list, const std::vector<ListColumn>& columns, const std::wstring& name, Gather gather) {
  m_list = list;
  m_page = ::GetParent(list);
  m_columns = columns;
  m_name = L"List." + name + L".";
  m_gather = std::move(gather);
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kListExStyle);
  ::SendMessageW(list, LVM_SETCALLBACKMASK, 0, 0);
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    LVCOLUMNW c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.fmt = columns[i].format;
    c.cx = columns[i].width;
    c.pszText = const_cast<wchar_t*>(columns[i].heading);
    c.iSubItem = i;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
  }
  const DWORD column = ReadSetting((m_name + L"SortColumn").c_str(), 0xFFFFFFFF);
  m_sortColumn = column < columns.size() ? static_cast<int>(column) : -1;
  m_descending = m_sortColumn >= 0 && ReadSetting((m_name + L"SortDescending").c_str(), 0) != 0;
  m_pendingKey = ReadSettingText((m_name + L"Selected").c_str());
  ShowSortArrow();
  ::SetWindowSubclass(m_page, &RecordList::PageProc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
}

void RecordList::SaveSettings() const {
  if (m_name.empty()) return;
  WriteSetting((m_name + L"SortColumn").c_str(), m_sortColumn < 0 ? 0xFFFFFFFF : static_cast<DWORD>(m_sortColumn));
  WriteSetting((m_name + L"SortDescending").c_str(), m_descending ? 1 : 0);
  if (m_listed) WriteSettingText((m_name + L"Selected").c_str(), SelectedKey());
}

// ---- refreshing ----------------------------------------------------------------------------

void RecordList::Refresh(bool automatic) {
  if (m_job) {
    m_againAutomatic = m_again ? (m_againAutomatic && automatic) : automatic;
    m_again = true;
    return;
  }
  StartJob(automatic);
}

void RecordList::StartJob(bool automatic) {
  auto job = std::make_shared<Job>();
  job->generation = ++g_generation;
  job->automatic = automatic;
  m_job = job;
  const HWND page = m_page;
  const UINT msg = ReadyMessage();
  const LPARAM self = reinterpret_cast<LPARAM>(this);
  std::thread([job, gather = m_gather, page, msg, self] {
    t_automatic = job->automatic;
    try {
      job->records = gather();
      job->ok = true;
    } catch (...) {
      job->records.clear();  // out of memory or a failing query: the shown rows stay
    }
    t_automatic = false;
    ::PostMessageW(page, msg, job->generation, self);
  }).detach();
}

void RecordList::RefreshNow() {
  m_job.reset();  // a worker still running ends unseen
  m_again = false;
  Records records;
  try {
    records = m_gather();
  } catch (...) {
    return;
  }
  Finish(std::move(records), false);
}

bool RecordList::WaitIdle(DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (m_job) {
    MSG msg;
    while (m_job && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {  // returns once the rows are in
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (!m_job) break;
    if (::GetTickCount() - start > timeoutMs) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

void RecordList::Replace(Records records) { Finish(std::move(records), false); }

void RecordList::Finish(Records records, bool /*automatic*/) {
  const std::wstring keep = m_listed ? SelectedKey() : m_pendingKey;
  std::vector<Entry> next;
  if (m_watch && m_listed) {
    std::vector<std::wstring> before, after;
    std::vector<const Entry*> steady;
    before.reserve(m_entries.size());
    for (const Entry& e : m_entries)
      if (e.mark != lists::Mark::Gone) {
        before.push_back(e.rec->key);
        steady.push_back(&e);
      }
    after.reserve(records.size());
    for (const auto& r : records) after.push_back(r->key);
    const lists::Changes ch = lists::CompareListings(before, after);
    next.reserve(records.size() + ch.gone.size());
    for (size_t i = 0; i < records.size(); ++i) next.push_back({std::move(records[i]), ch.fresh[i]});
    for (size_t g : ch.gone) next.push_back({steady[g]->rec, lists::Mark::Gone});
  } else {
    next.reserve(records.size());
    for (auto& r : records) next.push_back({std::move(r), lists::Mark::None});
  }
  m_entries.swap(next);
  next.clear();
  m_listed = true;
  m_pendingKey.clear();
  RequestSignatures();
  Resort();
  ShowView(keep);
  if (m_onRefreshed) m_onRefreshed();
}

// ---- rows ----------------------------------------------------------------------------------

int RecordList::TotalCount() const { return static_cast<int>(m_order.size()); }

const Record* RecordList::RecordAt(int row) const {
  if (row < 0 || row >= RowCount()) return nullptr;
  return m_entries[m_view[static_cast<size_t>(row)]].rec.get();
}

lists::Mark RecordList::MarkAt(int row) const {
  if (row < 0 || row >= RowCount()) return lists::Mark::None;
  return m_entries[m_view[static_cast<size_t>(row)]].mark;
}

int RecordList::RowOf(const std::wstring& key) const {
  for (size_t i = 0; i < m_view.size(); ++i)
    if (m_entries[m_view[i]].rec->key == key) return static_cast<int>(i);
  return -1;
}

int RecordList::SelectedRow() const {
  if (!m_list) return -1;
  const int row = static_cast<int>(::SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  return row < RowCount() ? row : -1;
}

RecordPtr RecordList::Selected() const {
  const int row = SelectedRow();
  return row < 0 ? nullptr : m_entries[m_view[static_cast<size_t>(row)]].rec;
}

std::wstring RecordList::SelectedKey() const {
  const Record* r = RecordAt(SelectedRow());
  return r ? r->key : std::wstring();
}

void RecordList::ShowView(const std::wstring& keepKey) {
  if (!m_list) return;
  // Only the rows that hold a state are cleared: clearing every row of a long list one by one
  // would cost as much as the list is long.
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  for (UINT flag : {LVNI_SELECTED, LVNI_FOCUSED}) {
    const int row = static_cast<int>(::SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), flag));
    if (row >= 0) ::SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&clear));
  }
  // A new count makes a shown list lay out its scroll bars again, which costs tens of
  // milliseconds under Wine: an unchanged one needs no more than the repaint below.
  if (static_cast<size_t>(::SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)) != m_view.size())
    ::SendMessageW(m_list, LVM_SETITEMCOUNT, m_view.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
  if (!keepKey.empty()) {
    const int row = RowOf(keepKey);
    if (row >= 0) {
      LVITEMW sel{};
      sel.stateMask = sel.state = LVIS_SELECTED | LVIS_FOCUSED;
      ::SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sel));
    }
  }
  ::InvalidateRect(m_list, nullptr, FALSE);
  UpdateFindCount();
  if (m_signColumn >= 0) PlaceNotice();
}

// ---- sorting and finding -------------------------------------------------------------------

void RecordList::Resort() {
  m_order.resize(m_entries.size());
  for (std::uint32_t i = 0; i < m_order.size(); ++i) m_order[i] = i;
  if (m_sortColumn >= 0 && m_sortColumn < static_cast<int>(m_columns.size())) {
    const lists::Kind kind = m_columns[static_cast<size_t>(m_sortColumn)].kind;
    std::vector<lists::SortKey> keys;
    keys.reserve(m_entries.size());
    static const std::wstring none;
    for (const Entry& e : m_entries) {
      const auto& cells = e.rec->cells;
      std::wstring signer;
      if (m_sortColumn == m_signColumn) signer = SignerText(*e.rec);
      const std::wstring& cell = m_sortColumn == m_signColumn                      ? signer
                                 : static_cast<size_t>(m_sortColumn) < cells.size() ? cells[m_sortColumn]
                                                                                    : none;
      keys.push_back(lists::MakeSortKey(kind, cell, kind == lists::Kind::Text ? lists::Collate(UserCollate) : nullptr));
    }
    m_order = lists::SortOrder(kind, keys, m_descending);
  }
  Refilter();
}

void RecordList::Refilter() {
  m_hidden = 0;
  const bool hide = m_signColumn >= 0 && m_hideMicrosoft;
  if (m_findFolded.empty() && !hide) {
    m_view = m_order;
    return;
  }
  m_view.clear();
  for (std::uint32_t i : m_order) {
    const Record& rec = *m_entries[i].rec;
    if (hide) {
      const SignatureVerdict* v = VerdictOf(rec);
      if (v && IsMicrosoftSigned(*v)) {
        ++m_hidden;
        continue;
      }
    }
    if (m_findFolded.empty() || lists::RowMatches(rec.cells, m_findFolded) ||
        (m_signColumn >= 0 && lists::RowMatches({SignerText(rec)}, m_findFolded)))
      m_view.push_back(i);
  }
}

void RecordList::SortBy(int column, bool descending) {
  const std::wstring keep = SelectedKey();
  m_sortColumn = column >= 0 && column < static_cast<int>(m_columns.size()) ? column : -1;
  m_descending = m_sortColumn >= 0 && descending;
  Resort();
  ShowView(keep);
  ShowSortArrow();
  SaveSettings();
}

void RecordList::OnHeadingClick(int column) {
  SortBy(column, column == m_sortColumn ? !m_descending : false);
}

void RecordList::ShowSortArrow() const {
  HWND header = reinterpret_cast<HWND>(::SendMessageW(m_list, LVM_GETHEADER, 0, 0));
  if (!header) return;
  for (int i = 0, n = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)); i < n; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item))) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == m_sortColumn) item.fmt |= m_descending ? HDF_SORTDOWN : HDF_SORTUP;
    ::SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
}

void RecordList::SetFindText(const std::wstring& text) {
  if (m_findBox && WindowTextOf(m_findBox) != text) ::SetWindowTextW(m_findBox, text.c_str());  // comes back here
  if (text == m_findText) return;
  const std::wstring keep = SelectedKey();
  m_findText = text;
  m_findFolded = lists::FoldForFind(text);
  Refilter();
  ShowView(keep);
}

std::wstring RecordList::FindCountText() const {
  std::wstring text = L"符合 " + std::to_wstring(RowCount()) + L" 行，共 " + std::to_wstring(TotalCount()) + L" 行";
  if (m_hidden > 0) text += L"（" + std::to_wstring(m_hidden) + L" 行微软签名的项已隐藏）";
  return text;
}

void RecordList::UpdateFindCount() const {
  if (m_findCount) ::SetWindowTextW(m_findCount, FindCountText().c_str());
}

void RecordList::OpenFind() {
  if (!m_page) return;
  if (!m_findBox) {
    const HINSTANCE inst = ::GetModuleHandleW(nullptr);
    m_findBox = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 10, 10,
                                  m_page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFindBoxId)), inst, nullptr);
    m_findCount = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT, 0, 0, 10, 10, m_page,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFindCountId)), inst, nullptr);
    const LPARAM font = static_cast<LPARAM>(::SendMessageW(m_page, WM_GETFONT, 0, 0));
    ::SendMessageW(m_findBox, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    ::SendMessageW(m_findCount, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    ::SetWindowSubclass(m_findBox, &RecordList::FindProc, reinterpret_cast<UINT_PTR>(this),
                        reinterpret_cast<DWORD_PTR>(this));
  }
  m_findOpen = true;
  PlaceFind();
  UpdateFindCount();
  ::ShowWindow(m_findBox, SW_SHOW);
  ::ShowWindow(m_findCount, SW_SHOW);
  ::SetFocus(m_findBox);
  ::SendMessageW(m_findBox, EM_SETSEL, 0, -1);
}

void RecordList::CloseFind() {
  SetFindText(L"");
  if (!m_findOpen) return;
  m_findOpen = false;
  ::ShowWindow(m_findBox, SW_HIDE);
  ::ShowWindow(m_findCount, SW_HIDE);
  PlaceFind();
  ::SetFocus(m_list);
}

// The find bar takes a strip at the top of the list's place; the list gives it back on closing.
// The page's layout puts the list back to its whole place on each resize, so the strip is taken
// again then.
void RecordList::PlaceFind() {
  RECT r{};
  ::GetWindowRect(m_list, &r);
  ::MapWindowPoints(HWND_DESKTOP, m_page, reinterpret_cast<POINT*>(&r), 2);
  if (m_findOpen && !m_findInset) {
    m_findInset = kFindBarHeight;
    ::MoveWindow(m_list, r.left, r.top + m_findInset, r.right - r.left, r.bottom - r.top - m_findInset, TRUE);
    ::MoveWindow(m_findBox, r.left, r.top + 1, 220, kFindBarHeight - 3, TRUE);
    ::MoveWindow(m_findCount, r.left + 228, r.top + 5, 300, kFindBarHeight - 6, TRUE);
  } else if (!m_findOpen && m_findInset) {
    ::MoveWindow(m_list, r.left, r.top - m_findInset, r.right - r.left, r.bottom - r.top + m_findInset, TRUE);
    m_findInset = 0;
  }
}

void RecordList::SetWatch(bool on) {
  if (on == m_watch) return;
  m_watch = on;
  if (on) return;
  const std::wstring keep = SelectedKey();
  std::vector<Entry> kept;
  for (Entry& e : m_entries)
    if (e.mark != lists::Mark::Gone) kept.push_back({std::move(e.rec), lists::Mark::None});
  m_entries.swap(kept);
  Resort();
  ShowView(keep);
}

// ---- copying -------------------------------------------------------------------------------

std::vector<std::wstring> RecordList::Headings() const {
  std::vector<std::wstring> h;
  for (const auto& c : m_columns) h.push_back(c.heading);
  return h;
}

Records RecordList::ShownRecords() const {
  Records out;
  out.reserve(m_view.size());
  for (std::uint32_t i : m_view) out.push_back(m_entries[i].rec);
  return out;
}

std::vector<std::vector<std::wstring>> RecordList::ShownRows() const {
  std::vector<std::vector<std::wstring>> rows;
  rows.reserve(m_view.size());
  for (int row = 0, n = RowCount(); row < n; ++row) rows.push_back(RowTexts(row));
  return rows;
}

std::vector<std::wstring> RecordList::RowTexts(int row) const {
  const Record* rec = RecordAt(row);
  if (!rec) return {};
  std::vector<std::wstring> cells = rec->cells;
  if (m_signColumn >= 0) {
    cells.resize(static_cast<size_t>(m_signColumn));
    cells.push_back(SignerText(*rec));
  }
  return cells;
}

// ---- messages ------------------------------------------------------------------------------

bool RecordList::OnNotify(NMHDR* nm, LRESULT& result) {
  switch (nm->code) {
    case LVN_GETDISPINFOW: {
      auto* di = reinterpret_cast<NMLVDISPINFOW*>(nm);
      if ((di->item.mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0) {
        const Record* r = RecordAt(di->item.iItem);
        const int col = di->item.iSubItem;
        size_t n = 0;
        if (r && col >= 0 && col == m_signColumn) {
          const std::wstring text = SignerText(*r);
          n = std::min(text.size(), static_cast<size_t>(di->item.cchTextMax - 1));
          text.copy(di->item.pszText, n);
        } else if (r && col >= 0 && static_cast<size_t>(col) < r->cells.size()) {
          const std::wstring& text = r->cells[static_cast<size_t>(col)];
          n = std::min(text.size(), static_cast<size_t>(di->item.cchTextMax - 1));
          text.copy(di->item.pszText, n);
        }
        di->item.pszText[n] = L'\0';
      }
      result = 0;
      return true;
    }
    case LVN_ODFINDITEMW: {  // typing on the list: the next row whose first cell starts so
      auto* fi = reinterpret_cast<NMLVFINDITEMW*>(nm);
      result = -1;
      if (!(fi->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !fi->lvfi.psz) return true;
      const std::wstring want = lists::FoldForFind(fi->lvfi.psz);
      const int n = RowCount();
      for (int k = 0; k < n; ++k) {
        const int row = (fi->iStart + k) % n;
        const Record* r = RecordAt(row < 0 ? 0 : row);
        if (r && !r->cells.empty() && lists::FoldForFind(r->cells[0]).rfind(want, 0) == 0) {
          result = row;
          break;
        }
      }
      return true;
    }
    case LVN_GETINFOTIPW: {  // a check that gave up, or a signature found invalid: why
      auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(nm);
      result = 0;
      const Record* r = RecordAt(tip->iItem);
      const SignatureVerdict* v = r && m_signColumn >= 0 ? VerdictOf(*r) : nullptr;
      if (!v || v->reason.empty() || !tip->pszText || tip->cchTextMax <= 0) return false;
      const std::wstring text = SignatureCellText(*v) + L"：" + v->reason;
      const size_t n = std::min(text.size(), static_cast<size_t>(tip->cchTextMax - 1));
      text.copy(tip->pszText, n);
      tip->pszText[n] = L'\0';
      return true;
    }
    case LVN_ODCACHEHINT:
      result = 0;
      return true;
    case LVN_COLUMNCLICK:
      OnHeadingClick(reinterpret_cast<NMLISTVIEW*>(nm)->iSubItem);
      result = 0;
      return true;
    case NM_CUSTOMDRAW: {
      auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(nm);
      if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
        if (m_tip) PlaceLegendTip();
        result = CDRF_NOTIFYITEMDRAW;
      } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const int row = static_cast<int>(cd->nmcd.dwItemSpec);
        const lists::Mark mark = MarkAt(row);
        if (m_signColumn >= 0 && SignatureRowClassOf(VerdictAt(row).state) == SignatureRowClass::Warning) {
          cd->clrText = RGB(kSignatureWarningText.r, kSignatureWarningText.g, kSignatureWarningText.b);
          cd->clrTextBk = RGB(kSignatureWarningBack.r, kSignatureWarningBack.g, kSignatureWarningBack.b);
        }
        if (mark != lists::Mark::None) cd->clrTextBk = mark == lists::Mark::New ? kNewColour : kGoneColour;
        result = CDRF_NEWFONT;
      } else {
        result = CDRF_DODEFAULT;
      }
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK RecordList::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* self = reinterpret_cast<RecordList*>(ref);
  if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->hwndFrom == self->m_list) {
    LRESULT result = 0;
    if (self->OnNotify(reinterpret_cast<NMHDR*>(lp), result)) return result;
  } else if (msg == WM_COMMAND && self->m_findBox && reinterpret_cast<HWND>(lp) == self->m_findBox) {
    if (HIWORD(wp) == EN_CHANGE) self->SetFindText(WindowTextOf(self->m_findBox));
    return 0;
  } else if (msg == ReadyMessage() && lp == reinterpret_cast<LPARAM>(self)) {
    if (self->m_job && self->m_job->generation == wp) {
      std::shared_ptr<Job> job = std::move(self->m_job);
      if (job->ok) self->Finish(std::move(job->records), job->automatic);
      if (self->m_again) {
        self->m_again = false;
        self->StartJob(self->m_againAutomatic);
      }
    }
    return 0;
  } else if (msg == WM_SIZE) {
    const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
    if (self->m_findOpen) {  // the layout gave the list its whole place back
      RECT list{}, box{};
      ::GetWindowRect(self->m_list, &list);
      ::GetWindowRect(self->m_findBox, &box);
      if (list.top <= box.top) {
        self->m_findInset = 0;
        self->PlaceFind();
      }
    }
    if (self->m_noticeInset) {  // the layout may have given the list its whole place back
      RECT list{};
      ::GetWindowRect(self->m_list, &list);
      ::MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&list), 2);
      if (list.bottom != self->m_noticeListBottom) self->m_noticeInset = 0;
      self->PlaceNotice();
    }
    return r;
  } else if (msg == WM_DESTROY) {
    self->SaveSettings();
  } else if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &RecordList::PageProc, id);
    self->m_page = nullptr;
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

// Escape in the find box clears and closes it (the dialog manager would take it otherwise).
LRESULT CALLBACK RecordList::FindProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* self = reinterpret_cast<RecordList*>(ref);
  switch (msg) {
    case WM_GETDLGCODE:
      if (lp && reinterpret_cast<MSG*>(lp)->message == WM_KEYDOWN && reinterpret_cast<MSG*>(lp)->wParam == VK_ESCAPE)
        return DLGC_WANTMESSAGE | ::DefSubclassProc(hwnd, msg, wp, lp);
      break;
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        self->CloseFind();
        return 0;
      }
      break;
    case WM_CHAR:
      if (wp == 27) return 0;
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(hwnd, &RecordList::FindProc, id);
      self->m_findBox = nullptr;
      self->m_findCount = nullptr;
      self->m_findOpen = false;
      self->m_findInset = 0;
      break;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

// ---- the signer column ---------------------------------------------------------------------

void RecordList::SetSignatureColumn(int pathColumn) {
  if (m_signColumn >= 0 || !m_list) return;
  m_pathColumn = pathColumn;
  m_signColumn = static_cast<int>(m_columns.size());
  m_columns.push_back({L"签名", LVCFMT_LEFT, 160, lists::Kind::Text});
  LVCOLUMNW c{};
  c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  c.fmt = LVCFMT_LEFT;
  c.cx = 160;
  c.pszText = const_cast<wchar_t*>(L"签名");
  c.iSubItem = m_signColumn;
  ::SendMessageW(m_list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(m_signColumn), reinterpret_cast<LPARAM>(&c));
  ::SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);  // the reasons
  // The sort order kept from the last run may name the new column.
  const DWORD column = ReadSetting((m_name + L"SortColumn").c_str(), 0xFFFFFFFF);
  if (static_cast<int>(column) == m_signColumn) {
    m_sortColumn = m_signColumn;
    m_descending = ReadSetting((m_name + L"SortDescending").c_str(), 0) != 0;
    ShowSortArrow();
  }
  m_hideMicrosoft = !m_everything && HideMicrosoftSigned();
  ::SetWindowSubclass(m_list, &RecordList::ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SignedLists().insert(this);

  // The legend as the tooltip of the column's heading.
  HWND header = reinterpret_cast<HWND>(::SendMessageW(m_list, LVM_GETHEADER, 0, 0));
  if (header) {
    m_tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_page, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    if (m_tip) {
      TTTOOLINFOW ti{};
      ti.cbSize = sizeof(ti);
      ti.uFlags = TTF_SUBCLASS;
      ti.hwnd = header;
      ti.uId = 1;
      ti.lpszText = const_cast<wchar_t*>(kSignatureLegend);
      ::SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
      ::SendMessageW(m_tip, TTM_SETMAXTIPWIDTH, 0, 400);
      PlaceLegendTip();
    }
  }
}

void RecordList::PlaceLegendTip() const {
  HWND header = reinterpret_cast<HWND>(::SendMessageW(m_list, LVM_GETHEADER, 0, 0));
  if (!header || !m_tip) return;
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = header;
  ti.uId = 1;
  ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(m_signColumn), reinterpret_cast<LPARAM>(&ti.rect));
  ::SendMessageW(m_tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}

namespace {
const std::wstring& PathOf(const Record& rec, int pathColumn) {
  static const std::wstring none;
  if (pathColumn < 0) return rec.file;
  return static_cast<size_t>(pathColumn) < rec.cells.size() ? rec.cells[static_cast<size_t>(pathColumn)] : none;
}
}  // namespace

const SignatureVerdict* RecordList::VerdictOf(const Record& rec) const {
  const std::wstring& path = PathOf(rec, m_pathColumn);
  if (path.empty()) return nullptr;
  auto it = m_verdicts.find(FoldPathForCache(path));
  return it == m_verdicts.end() ? nullptr : &it->second;
}

std::wstring RecordList::SignerText(const Record& rec) const {
  const SignatureVerdict* v = VerdictOf(rec);
  return v ? SignatureCellText(*v) : std::wstring();
}

SignatureVerdict RecordList::VerdictAt(int row) const {
  const Record* r = RecordAt(row);
  const SignatureVerdict* v = r && m_signColumn >= 0 ? VerdictOf(*r) : nullptr;
  return v ? *v : SignatureVerdict{};
}

// Each distinct path once; the checker answers from its cache and leaves the files to its workers,
// so this costs no file access here.
void RecordList::RequestSignatures() {
  if (m_signColumn < 0 || !m_list) return;
  std::set<std::wstring> asked;
  std::vector<std::wstring> paths, keys;
  for (const Entry& e : m_entries) {
    const std::wstring& path = PathOf(*e.rec, m_pathColumn);
    if (path.empty()) continue;
    std::wstring folded = FoldPathForCache(path);
    if (!asked.insert(folded).second) continue;
    paths.push_back(path);
    keys.push_back(std::move(folded));
  }
  const std::vector<SignatureVerdict> known = SharedSignatureChecker().RequestMany(paths, m_list, VerdictMessage());
  for (size_t i = 0; i < known.size(); ++i)
    if (known[i].state != SignatureState::Pending) m_verdicts[keys[i]] = known[i];
  m_hideMicrosoft = !m_everything && HideMicrosoftSigned();
}

// Verdicts that arrived: the rows are repainted; when the order or the shown rows may depend on
// them (sorted by the column, a find, hidden Microsoft rows) they are worked out anew.
void RecordList::OnVerdicts() {
  auto ready = SharedSignatureChecker().TakeReady(m_list);
  if (ready.empty()) return;
  for (auto& [path, verdict] : ready) m_verdicts[FoldPathForCache(path)] = std::move(verdict);
  if (m_sortColumn == m_signColumn || !m_findFolded.empty() || m_hideMicrosoft)
    ReapplyKeepingSelection();
  else
    ::InvalidateRect(m_list, nullptr, FALSE);
}

bool RecordList::WaitForVerdicts(DWORD timeoutMs) {
  if (m_signColumn < 0) return true;
  const DWORD start = ::GetTickCount();
  DWORD lastLook = start;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    // The rows are looked over when the checker has nothing left to do (its last verdicts taken)
    // and now and then meanwhile: cached verdicts may answer every row while re-validations run.
    const DWORD now = ::GetTickCount();
    if (!SharedSignatureChecker().Busy() || now - lastLook >= 250) {
      lastLook = now;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      const bool pending = std::any_of(m_entries.begin(), m_entries.end(), [this](const Entry& e) {
        return !PathOf(*e.rec, m_pathColumn).empty() && !VerdictOf(*e.rec);
      });
      if (!pending) return true;
    }
    if (::GetTickCount() - start > timeoutMs) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void RecordList::ReapplyKeepingSelection() {
  const std::wstring keep = SelectedKey();
  Resort();
  ShowView(keep);
}

void RecordList::ApplyHideMicrosoftToAll() {
  const bool hide = HideMicrosoftSigned();
  for (RecordList* r : SignedLists()) {
    r->m_hideMicrosoft = hide && !r->m_everything;
    if (r->m_listed) r->ReapplyKeepingSelection();
  }
}

std::wstring RecordList::NoticeText() const {
  if (m_hidden <= 0) return {};
  return std::wstring(kHideMicrosoftNotice) + L"：" + std::to_wstring(m_hidden) + L" 行";
}

// While rows are hidden, a line under the list says so: it takes a strip at the bottom of the
// list's place and gives it back when nothing is hidden.
void RecordList::PlaceNotice() {
  if (!m_page || !m_list) return;
  const std::wstring text = NoticeText();
  const bool want = !text.empty();
  if (want && !m_notice) {
    m_notice = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 10, 10, m_page, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!m_notice) return;
    ::SendMessageW(m_notice, WM_SETFONT, static_cast<WPARAM>(::SendMessageW(m_page, WM_GETFONT, 0, 0)), FALSE);
  }
  if (m_notice) ::SetWindowTextW(m_notice, text.c_str());
  RECT r{};
  ::GetWindowRect(m_list, &r);
  ::MapWindowPoints(HWND_DESKTOP, m_page, reinterpret_cast<POINT*>(&r), 2);
  if (want && !m_noticeInset) {
    m_noticeInset = kNoticeHeight;
    m_noticeListBottom = r.bottom - m_noticeInset;
    ::MoveWindow(m_list, r.left, r.top, r.right - r.left, m_noticeListBottom - r.top, TRUE);
    ::MoveWindow(m_notice, r.left, m_noticeListBottom + 3, r.right - r.left, kNoticeHeight - 4, TRUE);
    ::ShowWindow(m_notice, SW_SHOWNA);
  } else if (!want && m_noticeInset) {
    ::MoveWindow(m_list, r.left, r.top, r.right - r.left, r.bottom - r.top + m_noticeInset, TRUE);
    m_noticeInset = 0;
    if (m_notice) ::ShowWindow(m_notice, SW_HIDE);
  }
}

LRESULT CALLBACK RecordList::ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* self = reinterpret_cast<RecordList*>(ref);
  if (msg == VerdictMessage()) {
    self->OnVerdicts();
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    SharedSignatureChecker().Forget(hwnd);
    ::RemoveWindowSubclass(hwnd, &RecordList::ListProc, id);
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace common
