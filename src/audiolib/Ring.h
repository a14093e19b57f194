// Stereo float frames into and out of a circular buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace melvo::audiolib {

// Stereo frames into / out of a circular buffer, in at most two straight copies.
inline void copyIntoRing(float* ring, size_t ringFrames, size_t at, const float* src,
                         size_t frames) {
  size_t first = std::min(frames, ringFrames - at);
  std::memcpy(ring + at * 2, src, first * 2 * sizeof(float));
  std::memcpy(ring, src + first * 2, (frames - first) * 2 * sizeof(float));
}

inline void copyFromRing(const float* ring, size_t ringFrames, size_t at, float* dst,
                         size_t frames) {
  size_t first = std::min(frames, ringFrames - at);
  std::memcpy(dst, ring + at * 2, first * 2 * sizeof(float));
  std::memcpy(dst + first * 2, ring, (frames - first) * 2 * sizeof(float));
}

}  // namespace melvo::audiolib
