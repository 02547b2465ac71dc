// Handle cells, row cells and the per-refresh owner-path cache of the window list.
#include "pages/window/window_rules.h"

namespace window {

std::wstring HandleText(long long value) { return std::to_wstring(value); }

std::optional<long long> ParseHandleText(const std::wstring& text, int pointerBits) {
  if (pointerBits != 32 && pointerBits != 64) return std::nullopt;
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == L'-';
  if (negative) ++i;
  if (i == text.size()) return std::nullopt;
  // Largest magnitude: 2^(bits-1) - 1, or 2^(bits-1) for a negative value.
  const unsigned long long limit = (1ull << (pointerBits - 1)) - (negative ? 0 : 1);
  unsigned long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    const unsigned digit = static_cast<unsigned>(text[i] - L'0');
    if (value > (limit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (!negative) return static_cast<long long>(value);
  return value == (1ull << 63) ? static_cast<long long>(value) : -static_cast<long long>(value);
}

std::vector<std::wstring> WindowRowTexts(int row, WindowFacts facts) {
  std::vector<std::wstring> cells;  // built one by one: a braced list would copy every text
  cells.reserve(5);
  cells.push_back(std::to_wstring(row + 1));
  cells.push_back(HandleText(facts.handle));
  cells.push_back(std::move(facts.className).value_or(L""));
  cells.push_back(std::move(facts.title));
  cells.push_back(std::move(facts.ownerPath).value_or(L""));
  return cells;
}

std::optional<std::wstring> OwnerPathCache::PathOf(unsigned long pid) {
  if (pid == 0) return std::nullopt;
  auto it = m_paths.find(pid);
  if (it != m_paths.end()) return it->second;
  ++m_lookups;
  return m_paths.emplace(pid, m_lookup(pid)).first->second;
}

}  // namespace window
