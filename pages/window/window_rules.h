// Platform-free texts of the window list: handle cells, row cells and the owner-path lookup that
// reads each process once per refresh.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace window {

// Handle cell: the handle's value as a signed decimal number ("%d" of a pointer-sized integer).
std::wstring HandleText(long long value);

// Reads a handle cell back: an optional minus sign and decimal digits, nothing else, within the
// signed range of a pointer of pointerBits (32 or 64) bits. Nothing for any other text.
std::optional<long long> ParseHandleText(const std::wstring& text, int pointerBits);

// What the walk learnt about one window; an absent class or owner path shows as an empty cell.
struct WindowFacts {
  long long handle = 0;
  std::optional<std::wstring> className;
  std::wstring title;
  std::optional<std::wstring> ownerPath;
};

// The five cells of row (counted from 0): number, handle, class, title, owner path. The facts'
// texts move into the cells.
std::vector<std::wstring> WindowRowTexts(int row, WindowFacts facts);

// Executable paths by process id, each process looked up once; pid 0 (a window that has gone)
// is never looked up and has no path.
class OwnerPathCache {
 public:
  using Lookup = std::function<std::optional<std::wstring>(unsigned long pid)>;
  explicit OwnerPathCache(Lookup lookup) : m_lookup(std::move(lookup)) {}

  std::optional<std::wstring> PathOf(unsigned long pid);
  int Lookups() const { return m_lookups; }

 private:
  Lookup m_lookup;
  std::unordered_map<unsigned long, std::optional<std::wstring>> m_paths;
  int m_lookups = 0;
};

}  // namespace window
