#include "audiolib/OutputClock.h"

#include <algorithm>
#include <chrono>

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

}  // namespace melvo::audiolib
