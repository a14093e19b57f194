#include "audiolib/ReadGuard.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include "audiolib/OutputClock.h"

namespace melvo::audiolib {

void ReadGuard::setDeadlineMs(int64_t ms) {
  deadlineNs_.store(ms > 0 ? OutputClock::nowNs() + ms * 1000000 : 0);
}

bool ReadGuard::pastDeadline() const {
  const int64_t deadline = deadlineNs_.load(std::memory_order_relaxed);
  return deadline != 0 && OutputClock::nowNs() > deadline;
}

int64_t ReadGuard::bytesRead() const {
  return fmt_ && fmt_->pb ? fmt_->pb->bytes_read : 0;
}

void ReadGuard::watch(const AVFormatContext* fmt) {
  fmt_ = fmt;
  mark_ = bytesRead();
}

void ReadGuard::progressed() {
  mark_ = bytesRead();
}

bool ReadGuard::exceeded() const {
  return pastDeadline() || (fmt_ && bytesRead() - mark_ > kBytesWithoutAudio);
}

int ReadGuard::interrupt(void* guard) {
  return static_cast<const ReadGuard*>(guard)->exceeded() ? 1 : 0;
}

}  // namespace melvo::audiolib
