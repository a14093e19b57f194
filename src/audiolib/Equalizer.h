// Peaking equaliser bands (RBJ cookbook biquads) over interleaved float frames.
#pragma once

#include <vector>

#include "audiolib/AudioLib.h"

namespace melvo::audiolib {

class PeakingBand {
 public:
  // Clamps the parameters to their ranges and recomputes the coefficients for `rate`.
  void configure(const BASS_DX8_PARAMEQ& params, int rate);
  const BASS_DX8_PARAMEQ& params() const { return params_; }
  void process(float* frames, int count, int channels);
  void reset();

 private:
  BASS_DX8_PARAMEQ params_{1000.0f, 12.0f, 0.0f};
  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double z1_[2] = {0, 0}, z2_[2] = {0, 0};
  bool flat_ = true;
};

}  // namespace melvo::audiolib
