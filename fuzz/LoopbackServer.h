// A loopback HTTP peer for the fuzz targets: every connection made during one Serve scope reads
// one request and gets the same raw reply bytes, then the connection closes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace fuzz {

class LoopbackServer {
 public:
  LoopbackServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(fd_, 16);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~LoopbackServer() { close(fd_); }

  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

  // Answers with `reply` while the scope lives.
  class Serve {
   public:
    Serve(LoopbackServer& server, std::string reply)
        : thread_([this, &server, reply = std::move(reply)] { server.Run(reply, stop_); }) {}
    ~Serve() {
      stop_ = true;
      thread_.join();
    }

   private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
  };

 private:
  void Run(const std::string& reply, const std::atomic<bool>& stop) {
    while (!stop) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 5) <= 0) continue;
      const int conn = accept(fd_, nullptr, nullptr);
      if (conn < 0) continue;
      ReadRequest(conn);
      for (size_t off = 0; off < reply.size();) {
        const ssize_t n = send(conn, reply.data() + off, reply.size() - off, MSG_NOSIGNAL);
        if (n <= 0) break;
        off += size_t(n);
      }
      shutdown(conn, SHUT_WR);
      close(conn);
    }
  }

  // The head and a body of Content-Length bytes, or what came before 500 idle ms.
  static void ReadRequest(int conn) {
    std::string data;
    char buf[4096];
    size_t need = std::string::npos;
    for (;;) {
      const size_t head = data.find("\r\n\r\n");
      if (head != std::string::npos && need == std::string::npos) {
        need = head + 4;
        std::string lower = data.substr(0, head);
        for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
        const size_t cl = lower.find("\r\ncontent-length:");
        if (cl != std::string::npos) need += std::strtoul(lower.c_str() + cl + 17, nullptr, 10);
      }
      if (need != std::string::npos && data.size() >= need) return;
      pollfd p{conn, POLLIN, 0};
      if (poll(&p, 1, 500) <= 0) return;
      const ssize_t n = recv(conn, buf, sizeof buf, 0);
      if (n <= 0) return;
      data.append(buf, size_t(n));
    }
  }

  int fd_ = -1;
  int port_ = 0;
};

}  // namespace fuzz
