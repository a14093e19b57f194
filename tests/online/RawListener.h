// A loopback TCP listener that records the exact bytes of each request it receives and answers
// with canned bytes, or not at all. Connections are served one after another.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
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

class RawListener {
 public:
  enum class Mode { Reply, NeverAnswer, Stream, Trickle };

  explicit RawListener(std::string reply = {})
      : reply_(reply.empty() ? Ok("ok") : std::move(reply)) {
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
    thread_ = std::thread([this] { Run(); });
  }
  ~RawListener() {
    stop_ = true;
    thread_.join();
    close(fd_);
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

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
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
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      const int conn = accept(fd_, nullptr, nullptr);
      if (conn < 0) continue;
      Serve(conn);
      close(conn);
    }
  }

  // Reads the head and a body of Content-Length bytes; gives up after two idle seconds.
  std::string ReadRequest(int conn) {
    std::string data;
    char buf[4096];
    size_t need = std::string::npos;
    while (!stop_) {
      const size_t head = data.find("\r\n\r\n");
      if (head != std::string::npos && need == std::string::npos) {
        need = head + 4;
        const std::string lower = Lower(data.substr(0, head));
        const size_t cl = lower.find("\r\ncontent-length:");
        if (cl != std::string::npos) need += std::stoul(lower.substr(cl + 17));
      }
      if (need != std::string::npos && data.size() >= need) break;
      pollfd p{conn, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) break;
      const ssize_t n = recv(conn, buf, sizeof buf, 0);
      if (n <= 0) break;
      data.append(buf, static_cast<size_t>(n));
    }
    return data;
  }

  void Serve(int conn) {
    const std::string request = ReadRequest(conn);
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

  static bool SendAll(int conn, const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
      const ssize_t n = send(conn, data.data() + off, data.size() - off, MSG_NOSIGNAL);
      if (n <= 0) return false;
      off += static_cast<size_t>(n);
    }
    return true;
  }

  static std::string Lower(std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  }

  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> sent_{0};
  std::mutex mutex_;
  std::string reply_;
  Mode mode_ = Mode::Reply;
  size_t streamBytes_ = 0;
  bool announce_ = false;
  std::vector<std::string> requests_;
  std::thread thread_;
};
