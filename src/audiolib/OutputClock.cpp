#include "audiolib/OutputClock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace melvo::audiolib {

int64_t OutputClock::nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t OutputClock::queuedAt(int64_t pass, int64_t ahead, int64_t now) const {
  const int64_t played = (now - pass) * int64_t(rate) / 1000000000;
  return std::max<int64_t>(0, ahead - std::max<int64_t>(0, played));
}

OutputClock::Reading OutputClock::read(int64_t now) const {
  for (;;) {
    const uint64_t seen = epoch.load();
    if (seen & 1) {
      std::this_thread::yield();  // a mix pass is running: a few microseconds
      continue;
    }
    const int64_t pass = passNs.load();
    const int64_t ahead = aheadFrames.load();
    const int64_t heard = heardAtPass.load();
    if (epoch.load() != seen) continue;
    const int64_t queued = queuedAt(pass, ahead, now);
    return {heard + (ahead - queued), queued, seen / 2};
  }
}

}  // namespace melvo::audiolib
