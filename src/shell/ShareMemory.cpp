#include "shell/ShareMemory.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <QString>

#include "shell/PlatformPaths.h"

namespace {

uint8_t* gView = nullptr;
int gInstanceLock = -1;

// A running copy that takes longer than this to handle the hand-off is taken as hung.
constexpr int kHandOffReplyTimeoutMs = 10000;

std::string InRuntimeDir(const char* name) {
  std::string dir = shell::RuntimeDir();
  return dir.empty() ? std::string() : dir + "/" + name;
}

uint8_t* MapArea() {
  std::string path = ShareMemoryPath();
  if (path.empty()) return nullptr;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  void* view = MAP_FAILED;
  if (ftruncate(fd, kShareMemorySize) == 0)
    view = mmap(nullptr, kShareMemorySize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  return view == MAP_FAILED ? nullptr : static_cast<uint8_t*>(view);
}

// The "is a copy running" look-up: a connection to the running copy's endpoint, or -1.
int ConnectToRunningCopy() {
  std::string path = HandOffEndpointPath();
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof(addr.sun_path)) return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool TakeInstanceLock() {
  std::string path = InstanceLockPath();
  if (path.empty()) return false;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  gInstanceLock = fd;
  return true;
}

void WriteHandOffText(const std::string& text) {
  if (gView == nullptr) return;
  std::u16string units = QString::fromUtf8(text.data(), qsizetype(text.size())).toStdU16String();
  std::size_t room = (kShareMemorySize - kHandOffTextOffset) / 2;
  if (units.size() > room) units.resize(room);
  uint8_t* out = gView + kHandOffTextOffset;
  for (char16_t u : units) {
    *out++ = uint8_t(u & 0xFF);
    *out++ = uint8_t(u >> 8);
  }
}

// Sends the message and blocks until the running copy answers (or goes away).
void SendHandOffMessage(int fd) {
  uint8_t wire[kHandOffMessageBytes];
  EncodeHandOffMessage({kHandOffMessage, 1, 1}, wire);
  if (send(fd, wire, sizeof wire, MSG_NOSIGNAL) != ssize_t(sizeof wire)) return;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, kHandOffReplyTimeoutMs) > 0) {
    uint8_t reply[8];
    (void)!recv(fd, reply, sizeof reply, 0);
  }
}

void PutLE(uint8_t* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = uint8_t(v >> (8 * i));
}

uint64_t GetLE(const uint8_t* in, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint64_t(in[i]) << (8 * i);
  return v;
}

}  // namespace

std::string ShareMemoryPath() {
  return InRuntimeDir(kShareMemoryName);
}
std::string InstanceLockPath() {
  return InRuntimeDir(kInstanceLockName);
}
std::string HandOffEndpointPath() {
  return InRuntimeDir(kHandOffEndpointName);
}

void OpenShareMemory() {
  gView = MapArea();
  if (gView == nullptr) std::_Exit(0);
  std::memset(gView, 0, kShareMemorySize);
}

void CloseShareMemory() {
  if (gView != nullptr) munmap(gView, kShareMemorySize);
  gView = nullptr;
}

uint8_t* ShareMemoryView() {
  return gView;
}

bool CheckSingleInstance(const std::vector<std::string>& args) {
  // The look-up comes before the lock, as a second copy must not mistake itself for the first.
  int runningCopy = ConnectToRunningCopy();
  bool first = TakeInstanceLock();
  if (first || runningCopy < 0) {
    if (runningCopy >= 0) close(runningCopy);
    return first;
  }
  WriteHandOffText(JoinCommandLine(args));
  SendHandOffMessage(runningCopy);
  close(runningCopy);
  return false;
}

void ReleaseSingleInstance() {
  if (gInstanceLock >= 0) close(gInstanceLock);
  gInstanceLock = -1;
}

std::string JoinCommandLine(const std::vector<std::string>& args) {
  std::string joined;
  for (const auto& a : args) joined += " " + a;
  auto isBlank = [](unsigned char c) { return c <= ' '; };
  std::size_t b = 0, e = joined.size();
  while (b < e && isBlank(joined[b])) ++b;
  while (e > b && isBlank(joined[e - 1])) --e;
  return joined.substr(b, e - b);
}

void EncodeHandOffMessage(const HandOffMessage& m, uint8_t* out) {
  PutLE(out, m.message, 4);
  PutLE(out + 4, m.wParam, 8);
  PutLE(out + 12, m.lParam, 8);
}

HandOffMessage DecodeHandOffMessage(const uint8_t* in) {
  return {uint32_t(GetLE(in, 4)), GetLE(in + 4, 8), GetLE(in + 12, 8)};
}

std::u16string ReadHandOffText(const uint8_t* area, std::size_t size) {
  std::u16string text;
  if (area == nullptr) return text;
  for (std::size_t i = kHandOffTextOffset; i + 1 < size; i += 2) {
    char16_t u = char16_t(area[i] | (area[i + 1] << 8));
    if (u == 0) break;
    text.push_back(u);
  }
  return text;
}
