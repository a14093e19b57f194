// A loopback TCP listener that records the exact bytes of each request it receives and answers
// with canned bytes, or not at all. Connections are served one after another.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/LoopbackSocket.h"

class RawListener {
 public:
  enum class Mode { Reply, NeverAnswer, Stream, Trickle };

  explicit RawListener(std::string reply = {})
      : reply_(reply.empty() ? Ok("ok") : std::move(reply)), listener_(loopback::Listen()) {
    thread_ = std::thread([this] { Run(); });
  }
  ~RawListener() {
    stop_ = true;
    thread_.join();
    close(listener_.fd);
  }

  static std::string Ok(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
  }

  void SetReply(std::string reply) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
    mode_ = Mode::Reply;
  }
  void NeverAnswer() {
    std::lock_guard lock(mutex_);
    mode_ = Mode::NeverAnswer;
  }
  // Answers with `bytes` bytes of body, announcing the length in a header or not.
  void Stream(size_t bytes, bool announceLength) {
    std::lock_guard lock(mutex_);
    mode_ = Mode::Stream;
    streamBytes_ = bytes;
    announce_ = announceLength;
  }

  // Answers with a long body, one byte every 200 ms: never stalled, never done.
  void Trickle() {
    std::lock_guard lock(mutex_);
    mode_ = Mode::Trickle;
  }

  int port() const { return listener_.port; }
  std::string host() const { return loopback::HostOf(listener_); }
  size_t bytesSent() const { return sent_; }

  std::vector<std::string> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // The raw bytes of the only request that arrived, empty when none or several did.
  std::string OnlyRequest() {
    auto r = Requests();
    return r.size() == 1 ? r[0] : std::string();
  }

 private:
  void Run() {
    loopback::AcceptUntil(listener_.fd, stop_, 20, [this](int conn) { Serve(conn); });
  }

  void Serve(int conn) {
    // Gives up on a request after two idle seconds.
    const std::string request = loopback::ReadRequest(conn, 2000, &stop_);
    Mode mode;
    std::string reply;
    size_t streamBytes;
    bool announce;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      mode = mode_;
      reply = reply_;
      streamBytes = streamBytes_;
      announce = announce_;
    }
    if (mode == Mode::Reply) {
      SendAll(conn, reply);
    } else if (mode == Mode::NeverAnswer) {
      // Hold the connection open until the client gives up or the test ends.
      char buf[256];
      while (!stop_) {
        pollfd p{conn, POLLIN, 0};
        if (poll(&p, 1, 20) > 0 && recv(conn, buf, sizeof buf, 0) <= 0) break;
      }
    } else if (mode == Mode::Trickle) {
      if (!SendAll(conn, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n")) return;
      while (!stop_ && SendAll(conn, "x"))
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } else {
      std::string head = "HTTP/1.1 200 OK\r\n";
      if (announce) head += "Content-Length: " + std::to_string(streamBytes) + "\r\n";
      head += "Connection: close\r\n\r\n";
      if (!SendAll(conn, head)) return;
      const std::string block(1 << 16, 'x');
      for (size_t left = streamBytes; left > 0 && !stop_;) {
        const size_t n = std::min(left, block.size());
        if (!SendAll(conn, block.substr(0, n))) break;
        sent_ += n;
        left -= n;
      }
    }
  }

  static bool SendAll(int conn, const std::string& data) { return loopback::SendAll(conn, data); }

  std::atomic<bool> stop_{false};
  std::atomic<size_t> sent_{0};
  std::mutex mutex_;
  std::string reply_;
  Mode mode_ = Mode::Reply;
  size_t streamBytes_ = 0;
  bool announce_ = false;
  std::vector<std::string> requests_;
  loopback::TListener listener_;
  std::thread thread_;
};
