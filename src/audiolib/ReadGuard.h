// Bounds on what reading a container may cost. Damaged or hostile input can make a demuxer or a
// parser read (and buffer) a whole file of garbage, or a source can stop delivering: reading
// fails once a deadline has passed or once too many bytes came in without any audio coming out.
#pragma once

#include <atomic>
#include <cstdint>

struct AVFormatContext;

namespace melvo::audiolib {

class ReadGuard {
 public:
  // Input read without any decoded audio, after which reading fails.
  static constexpr int64_t kBytesWithoutAudio = 8 << 20;

  // 0 = no deadline.
  void setDeadlineMs(int64_t ms);
  bool pastDeadline() const;
  // The container whose reads count; from now on at most kBytesWithoutAudio until progressed().
  void watch(const AVFormatContext* fmt);
  void progressed();  // audio came out (or the reader moved): the budget starts again
  bool exceeded() const;

  // An AVIOInterruptCB callback over a ReadGuard.
  static int interrupt(void* guard);

 private:
  int64_t bytesRead() const;

  std::atomic<int64_t> deadlineNs_{0};
  const AVFormatContext* fmt_ = nullptr;
  int64_t mark_ = 0;
};

}  // namespace melvo::audiolib
