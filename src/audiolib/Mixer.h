// The mix pass: the streams attached to the output, summed with the master volume into one
// stereo float buffer, and the clock that tells how much of it is still to be heard.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "audiolib/OutputClock.h"

namespace melvo::audiolib {

class Stream;

class Mixer {
 public:
  static constexpr int kMaxFrames = 8192;  // the most one pass mixes

  void reset(int rate);
  int rate() const { return clock_.rate; }
  void attach(Stream* s);  // with every slot taken the stream stays silent
  void detach(Stream* s);  // returns once no pass uses s
  void clear();

  // One pass of at most kMaxFrames; `aheadAfter` is how many frames are still to be heard once
  // this pass is handed over.
  void mix(float* out, int frames, int64_t aheadAfter);
  // Only while no pass can run: from the mixing thread itself, or with the output paused.
  void setQueued(int64_t frames);
  bool audible() const { return audible_.load(std::memory_order_relaxed); }
  // A stream plays that has not decoded its first stretch yet (after a start or a seek).
  bool startPending() const;
  const OutputClock& clock() const { return clock_; }

  // Set by a sink that scales what it plays itself: a sound server applies its stream's volume as
  // it plays, so a volume change is heard at once, where scaling here would delay it by the whole
  // buffer the server holds. Passes with one playing stream then mix it at full level and leave
  // its volume and the master to the sink; with several streams (or a gain above 1, which the
  // clip here must see) a pass scales as usual and the sink's gain is 1.
  void setGainOutside(bool on) { gainOutside_.store(on, std::memory_order_relaxed); }
  // The gain the sink is to apply to what passes mix now.
  float outsideGain() const;

  std::atomic<float> master{1.0f};

 private:
  static constexpr int kSlots = 512;
  std::array<std::atomic<Stream*>, kSlots> slots_{};
  OutputClock clock_;
  std::vector<float> scratch_;
  int64_t handed_ = 0;  // frames handed to the output since it opened (the mixing thread's)
  std::atomic<bool> audible_{false};  // some stream played in the last pass
  std::atomic<bool> gainOutside_{false};

  // The streams playing now, in slot order; their count.
  int playingStreams(std::array<Stream*, kSlots>& playing) const;
  Stream* soloOf(Stream* const* playing, int count) const;
};

}  // namespace melvo::audiolib
