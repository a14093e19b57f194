#include "audiolib/Equalizer.h"

#include <algorithm>
#include <cmath>

namespace melvo::audiolib {

void PeakingBand::configure(const BASS_DX8_PARAMEQ& params, int rate) {
  params_.fCenter = std::clamp(params.fCenter, 80.0f, 16000.0f);
  params_.fBandwidth = std::clamp(params.fBandwidth, 1.0f, 36.0f);
  params_.fGain = std::clamp(params.fGain, -15.0f, 15.0f);
  if (std::isnan(params.fCenter)) params_.fCenter = 1000.0f;
  if (std::isnan(params.fBandwidth)) params_.fBandwidth = 12.0f;
  if (std::isnan(params.fGain)) params_.fGain = 0.0f;
  flat_ = params_.fGain == 0.0f;
  const double f0 = std::min<double>(params_.fCenter, rate * 0.45);
  const double octaves = params_.fBandwidth / 12.0;
  const double a = std::pow(10.0, params_.fGain / 40.0);
  const double w0 = 2.0 * M_PI * f0 / rate;
  const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2.0 * octaves * w0 / std::sin(w0));
  const double a0 = 1.0 + alpha / a;
  b0_ = (1.0 + alpha * a) / a0;
  b1_ = -2.0 * std::cos(w0) / a0;
  b2_ = (1.0 - alpha * a) / a0;
  a1_ = b1_;
  a2_ = (1.0 - alpha / a) / a0;
}

void PeakingBand::reset() {
  z1_[0] = z1_[1] = z2_[0] = z2_[1] = 0;
}

void PeakingBand::process(float* frames, int count, int channels) {
  if (flat_) return;
  for (int c = 0; c < channels && c < 2; ++c) {
    double z1 = z1_[c], z2 = z2_[c];
    for (int i = 0; i < count; ++i) {
      float& s = frames[size_t(i) * channels + c];
      const double x = s;
      const double y = b0_ * x + z1;  // transposed direct form II
      z1 = b1_ * x - a1_ * y + z2;
      z2 = b2_ * x - a2_ * y;
      s = float(y);
    }
    z1_[c] = z1;
    z2_[c] = z2;
  }
}

}  // namespace melvo::audiolib
