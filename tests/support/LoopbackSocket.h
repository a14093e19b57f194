// The socket work of the peers that play an HTTP server on loopback in the tests and the fuzz
// targets: a listening socket on a free port, the accept loop, reading one request and sending a
// whole reply. What a peer answers is its own business.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <string_view>

namespace loopback {

struct TListener {
  int fd = -1;
  int port = 0;
};

// Listens on 127.0.0.1 at a port the system picks.
inline TListener Listen(int backlog = 16) {
  TListener l;
  l.fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(l.fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(l.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(l.fd, backlog);
  socklen_t len = sizeof addr;
  getsockname(l.fd, reinterpret_cast<sockaddr*>(&addr), &len);
  l.port = ntohs(addr.sin_port);
  return l;
}

inline std::string HostOf(const TListener& l) {
  return "127.0.0.1:" + std::to_string(l.port);
}

// Hands each connection to serve(fd), one after another, and closes it afterwards, until stop
// is set; stop is looked at every pollMs.
template <class Serve>
void AcceptUntil(int listenFd, const std::atomic<bool>& stop, int pollMs, Serve&& serve) {
  while (!stop) {
    pollfd p{listenFd, POLLIN, 0};
    if (poll(&p, 1, pollMs) <= 0) continue;
    const int conn = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) continue;
    serve(conn);
    close(conn);
  }
}

// The head and a body of Content-Length bytes, or what came before the peer went quiet for
// idleMs, closed, or stop was set.
inline std::string ReadRequest(int conn, int idleMs, const std::atomic<bool>* stop = nullptr) {
  std::string data;
  char buf[4096];
  size_t need = std::string::npos;
  while (!stop || !*stop) {
    const size_t head = data.find("\r\n\r\n");
    if (head != std::string::npos && need == std::string::npos) {
      need = head + 4;
      std::string lower = data.substr(0, head);
      for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      const size_t cl = lower.find("\r\ncontent-length:");
      if (cl != std::string::npos) need += std::strtoul(lower.c_str() + cl + 17, nullptr, 10);
    }
    if (need != std::string::npos && data.size() >= need) break;
    pollfd p{conn, POLLIN, 0};
    if (poll(&p, 1, idleMs) <= 0) break;
    const ssize_t n = recv(conn, buf, sizeof buf, 0);
    if (n <= 0) break;
    data.append(buf, size_t(n));
  }
  return data;
}

// False when the peer went away before all of it was sent.
inline bool SendAll(int conn, std::string_view data) {
  for (size_t off = 0; off < data.size();) {
    const ssize_t n = send(conn, data.data() + off, data.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += size_t(n);
  }
  return true;
}

}  // namespace loopback
