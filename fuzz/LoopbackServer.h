// A loopback HTTP peer for the fuzz targets: every connection made during one Serve scope reads
// one request and gets the same raw reply bytes, then the connection closes.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/LoopbackSocket.h"

namespace fuzz {

class LoopbackServer {
 public:
  LoopbackServer() : listener_(loopback::Listen()) {}
  ~LoopbackServer() { close(listener_.fd); }

  std::string host() const { return loopback::HostOf(listener_); }

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
    loopback::AcceptUntil(listener_.fd, stop, 5, [&](int conn) {
      loopback::ReadRequest(conn, 500);
      loopback::SendAll(conn, reply);
      shutdown(conn, SHUT_WR);
    });
  }

  loopback::TListener listener_;
};

}  // namespace fuzz
