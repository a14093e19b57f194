#include "shell/ShareMemory.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <QString>

#include "base/UserFolders.h"

namespace {

uint8_t* gView = nullptr;
int gInstanceLock = -1;
int gHandOffLock = -1;

// All the waiting one copy does for the hand-off (for the lock, then for the running copy's
// answer) stays within this budget, so a hung running copy holds a second copy a few seconds at
// most. Copies waiting their turn use it up only while others hand over, a few milliseconds each.
constexpr std::chrono::milliseconds kHandOffBudget{4000};
// Less than this left is not worth a hand-off: the answer could not be awaited.
constexpr std::chrono::milliseconds kLeastReplyWait{300};
constexpr std::chrono::milliseconds kLockPollInterval{2};
// A listener whose queue of connections is full (it never accepts) must not block the look-up.
constexpr int kConnectTimeoutMs = 1000;

std::chrono::milliseconds gHandOffWaited{0};

std::chrono::milliseconds HandOffBudgetLeft() {
  return std::max(kHandOffBudget - gHandOffWaited, std::chrono::milliseconds{0});
}

// Counts the time from construction to destruction against the budget.
class TBudgetClock {
 public:
  TBudgetClock() : FStart(std::chrono::steady_clock::now()) {}
  ~TBudgetClock() {
    gHandOffWaited += std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - FStart);
  }
  TBudgetClock(const TBudgetClock&) = delete;
  TBudgetClock& operator=(const TBudgetClock&) = delete;
  std::chrono::steady_clock::time_point Start() const { return FStart; }

 private:
  std::chrono::steady_clock::time_point FStart;
};

std::string InRuntimeDir(const char* name) {
  std::string dir = base::RuntimeDir();
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
  timeval limit{kConnectTimeoutMs / 1000, (kConnectTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
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

// The hand-off lock orders the copies that touch the area: the zeroing at start and the
// zero-write-signal-answer of a hand-off each run whole, one copy at a time. It is a file of its
// own, apart from the instance lock, which the running copy holds for its whole life.
bool LockHandOff(std::chrono::milliseconds limit) {
  if (gHandOffLock < 0) {
    std::string path = HandOffLockPath();
    if (path.empty()) return false;
    gHandOffLock = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (gHandOffLock < 0) return false;
  }
  TBudgetClock clock;
  const auto deadline = clock.Start() + limit;
  while (flock(gHandOffLock, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kLockPollInterval);
  }
  return true;
}

void UnlockHandOff() {
  if (gHandOffLock >= 0) flock(gHandOffLock, LOCK_UN);
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

// Sends the message and blocks until the running copy answers, goes away or the time is up.
void SendHandOffMessage(int fd, std::chrono::milliseconds limit) {
  uint8_t wire[kHandOffMessageBytes];
  EncodeHandOffMessage({kHandOffMessage, 1, 1}, wire);
  if (send(fd, wire, sizeof wire, MSG_NOSIGNAL | MSG_DONTWAIT) != ssize_t(sizeof wire)) return;
  TBudgetClock clock;
  const auto deadline = clock.Start() + limit;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, int(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready > 0) {
      uint8_t reply[8];
      (void)!recv(fd, reply, sizeof reply, MSG_DONTWAIT);
    }
    return;
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
std::string HandOffLockPath() {
  return InRuntimeDir(kHandOffLockName);
}

void OpenShareMemory() {
  gView = MapArea();
  if (gView == nullptr) std::_Exit(0);
  // Under the hand-off lock, or this copy could wipe a path another copy is handing over. When
  // the lock cannot be had in time the area is left as it is: its holder is stuck, and whatever
  // it wrote is no business of this copy (a second copy zeroes again before it writes).
  if (LockHandOff(HandOffBudgetLeft())) {
    std::memset(gView, 0, kShareMemorySize);
    UnlockHandOff();
  }
}

void CloseShareMemory() {
  if (gView != nullptr) munmap(gView, kShareMemorySize);
  gView = nullptr;
  if (gHandOffLock >= 0) close(gHandOffLock);
  gHandOffLock = -1;
  gHandOffWaited = std::chrono::milliseconds{0};
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
  // One copy at a time: zero, write, signal and wait for the answer, by which the running copy
  // has read the text and marked the area consumed.
  if (gView != nullptr && HandOffBudgetLeft() >= kLeastReplyWait &&
      LockHandOff(HandOffBudgetLeft() - kLeastReplyWait)) {
    std::memset(gView, 0, kShareMemorySize);
    WriteHandOffText(HandOffCommandLine(args));
    SendHandOffMessage(runningCopy, std::max(HandOffBudgetLeft(), kLeastReplyWait));
    UnlockHandOff();
  }
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

std::string HandOffCommandLine(const std::vector<std::string>& args) {
  const std::string text = JoinCommandLine(args);
  if (text.empty() || text[0] == '/') return text;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(text, ec);
  return ec ? text : absolute.native();
}

void EncodeHandOffMessage(const HandOffMessage& m, uint8_t* out) {
  PutLE(out, m.message, 4);
  PutLE(out + 4, m.wParam, 8);
  PutLE(out + 12, m.lParam, 8);
}

HandOffMessage DecodeHandOffMessage(const uint8_t* in) {
  return {uint32_t(GetLE(in, 4)), GetLE(in + 4, 8), GetLE(in + 12, 8)};
}

std::u16string TakeHandOffText(uint8_t* area, std::size_t size) {
  std::u16string text = ReadHandOffText(area, size);
  if (area != nullptr) std::memset(area, 0, size);
  return text;
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
