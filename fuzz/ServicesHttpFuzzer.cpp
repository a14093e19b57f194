// The reference services answering raw requests: the statistics server, the product web server
// and the search service run in this process on loopback ports, and the fuzzer's bytes are sent
// to one of them as they are (request line, headers, query string, Range, body). The request is
// read by the HTTP library and handed to the services' own handlers, which store it.
//
// Input: one byte that picks the service, then the request.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Services.h"
#include "fuzz/FuzzSupport.h"

namespace {

services::MelvoServices* gServices = nullptr;
constexpr int kAnswerWithinMs = 20000;  // a loaded machine can take seconds

// libFuzzer's timeout alarm (SIGALRM, installed without SA_RESTART) interrupts whichever blocking
// call this thread is in, so every call below restarts on EINTR, with the time already waited
// taken off the deadline.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, int(std::max<std::int64_t>(0, left.count())));
    if (n > 0) return true;
    if (n == 0 || errno != EINTR) return false;
  }
}

// Each connection gets its own loopback source address: tens of thousands of connections a minute
// from one address would use up its ports in TIME_WAIT.
void BindFreshLoopbackSource(int fd) {
  static uint32_t next = 0;
  sockaddr_in source{};
  source.sin_family = AF_INET;
  source.sin_addr.s_addr = htonl(0x7F000002u + (next++ % 0xFFFF00u));  // 127.0.0.2 up
  bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
}

bool Connect(int fd, int port, std::chrono::steady_clock::time_point deadline) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(uint16_t(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return true;
  // An interrupted connect goes on in the background; its outcome arrives as writability.
  if (errno != EINTR && errno != EINPROGRESS) return false;
  if (!WaitFor(fd, POLLOUT, deadline)) return false;
  int error = 0;
  socklen_t len = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
}

void SendAll(int fd, const std::string& request) {
  for (size_t off = 0; off < request.size();) {
    const ssize_t n = send(fd, request.data() + off, request.size() - off, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    off += size_t(n);
  }
}

// Sends the request, closes the sending side and reads the answer until the server closes.
// Returns false when the connection is refused or the server neither answers nor closes in time.
bool Exchange(int port, const std::string& request, std::string& answer) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWithinMs);
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  BindFreshLoopbackSource(fd);
  bool closed = false;
  if (Connect(fd, port, deadline)) {
    SendAll(fd, request);
    shutdown(fd, SHUT_WR);
    char buf[16384];
    while (WaitFor(fd, POLLIN, deadline)) {
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        closed = true;
        break;
      }
      if (answer.size() < (1u << 20)) answer.append(buf, size_t(n));
    }
  }
  close(fd);
  return closed;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& scratch = fuzz::ScratchFolder();
  services::ServicesConfig config;
  config.stat.port = config.web.port = config.search.port = 0;
  config.catalogueFolder = scratch + "/catalogue";
  config.databasePath = scratch + "/services.db3";
  static std::unique_ptr<services::MelvoServices> running =
      std::make_unique<services::MelvoServices>(config);
  // The services' threads inherit a mask without SIGALRM, so libFuzzer's alarm always lands on
  // the fuzzing thread and never interrupts the server mid-request.
  sigset_t alarm, previous;
  sigemptyset(&alarm);
  sigaddset(&alarm, SIGALRM);
  pthread_sigmask(SIG_BLOCK, &alarm, &previous);
  const bool started = running->Start();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!started) std::abort();
  gServices = running.get();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int ports[] = {gServices->statPort(), gServices->webPort(), gServices->searchPort()};
  const int port = ports[data[0] % 3];
  const std::string request(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string answer;
  if (!Exchange(port, request, answer)) {
    std::fprintf(stderr, "no answer within 20 s or connection refused (port %d)\n", port);
    std::abort();
  }
  if (!answer.empty()) FUZZ_CHECK(answer.compare(0, 5, "HTTP/") == 0);
  return 0;
}
