// Loopback sockets the port benchmarks open, so that the connection tables have rows to read.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <vector>

namespace bench {

// Loopback sockets: count / 2 UDP sockets and count / 4 connected TCP pairs.
class SocketSet {
 public:
  explicit SocketSet(int count) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < count / 2; ++i) {
      SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
      if (s == INVALID_SOCKET) break;
      m_sockets.push_back(s);
      if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) break;
    }
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    m_sockets.push_back(listener);
    int len = sizeof(a);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    for (int i = 0; i < count / 4; ++i) {
      SOCKET c = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      if (c == INVALID_SOCKET) break;
      m_sockets.push_back(c);
      if (::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) break;
      SOCKET s = ::accept(listener, nullptr, nullptr);
      if (s == INVALID_SOCKET) break;
      m_sockets.push_back(s);
    }
  }
  ~SocketSet() {
    for (SOCKET s : m_sockets) ::closesocket(s);
  }
  size_t size() const { return m_sockets.size(); }

 private:
  std::vector<SOCKET> m_sockets;
};

}  // namespace bench
