// Small owning holders for the handles the program opens: each closes on every path.
#pragma once
#include <windows.h>
#include <utility>

namespace ui {

template <typename H, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H h) : m_h(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : m_h(std::exchange(o.m_h, Traits::invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) { reset(); m_h = std::exchange(o.m_h, Traits::invalid()); }
    return *this;
  }
  ~UniqueHandle() { reset(); }

  H get() const { return m_h; }
  H* put() { reset(); return &m_h; }
  explicit operator bool() const { return m_h != Traits::invalid(); }
  void reset(H h = Traits::invalid()) {
    if (m_h != Traits::invalid()) Traits::close(m_h);
    m_h = h;
  }

 private:
  H m_h = Traits::invalid();
};

struct KernelHandleTraits {  // process, thread and event handles: NULL when absent
  static HANDLE invalid() { return nullptr; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // snapshots and files: INVALID_HANDLE_VALUE when absent
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY invalid() { return nullptr; }
  static void close(HKEY h) { ::RegCloseKey(h); }
};
struct ServiceHandleTraits {
  static SC_HANDLE invalid() { return nullptr; }
  static void close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
struct MenuTraits {
  static HMENU invalid() { return nullptr; }
  static void close(HMENU h) { ::DestroyMenu(h); }
};

using CHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using CSnapshot = UniqueHandle<HANDLE, FileHandleTraits>;
using CFileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using CRegKey = UniqueHandle<HKEY, RegKeyTraits>;
using CServiceHandle = UniqueHandle<SC_HANDLE, ServiceHandleTraits>;
using CMenuHandle = UniqueHandle<HMENU, MenuTraits>;

}  // namespace ui
