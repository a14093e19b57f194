// How far the output runs ahead of the loudspeaker, shared by the mixer (writer) and the streams
// (readers of positions, levels and spectra).
#pragma once

#include <atomic>
#include <cstdint>

namespace melvo::audiolib {

// When the output last took audio and how much of it is still to be heard: the mixer runs ahead
// of the loudspeaker by a period or more (and the sound system adds its own latency), so
// positions, levels and spectra subtract what is still queued. `epoch` is odd while a mix pass
// runs; readers retry until they saw an even, unchanged one.
struct OutputClock {
  std::atomic<uint64_t> epoch{0};
  std::atomic<int64_t> passNs{0};       // steady clock at the end of the last pass
  std::atomic<int64_t> aheadFrames{0};  // frames mixed then but not yet heard
  std::atomic<int64_t> heardAtPass{0};  // frames heard since the output opened, at `passNs`
  int rate = 44100;

  static int64_t nowNs();
  // Frames of the last pass still queued at `nowNs`.
  int64_t queuedAt(int64_t passNs, int64_t ahead, int64_t nowNs) const;

  struct Reading {
    int64_t heard;    // frames heard since the output opened
    int64_t queued;   // frames mixed but not heard yet
    uint64_t passes;  // mix passes (and drops) so far
  };
  // A consistent reading at `nowNs` (waits out a pass that is being mixed).
  Reading read(int64_t nowNs) const;
};

}  // namespace melvo::audiolib
