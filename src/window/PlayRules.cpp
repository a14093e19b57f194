#include "window/PlayRules.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

namespace PlayRules {

int ProcessRandom(int n) {
  static std::mt19937 generator(
      uint32_t(std::chrono::system_clock::now().time_since_epoch().count()));
  if (n <= 1) return 0;
  return std::uniform_int_distribution<int>(0, n - 1)(generator);
}

std::optional<TNextStep> NextIndex(int32_t mode, int count, int now, const TRandom& random) {
  if (count <= 0) return std::nullopt;
  // The following entry; after the last (or from a position without an entry), the first.
  auto following = [count](int i) { return i + 1 > count - 1 || i + 1 < 0 ? 0 : i + 1; };
  switch (mode) {
    case kModeList:
      return TNextStep{now, following(now)};
    case kModeRandom: {
      auto draw = [&random, count] {
        const int i = random ? random(count) : ProcessRandom(count);
        return i < 0 || i >= count ? 0 : i;  // a source out of range must not leave the list
      };
      int next = draw();
      // With two or more entries a fair source cannot keep drawing `now` for long; a broken one
      // could, so the walk ends at the following entry after many draws.
      for (int tries = 0; count != 1 && next == now; ++tries) {
        if (tries == 10000) {
          next = following(now);
          break;
        }
        next = draw();
      }
      return TNextStep{now, next};
    }
    case kModeSingle: {
      const int next = following(now);
      const int old = next - 1 < 0 ? count - 1 : next - 1;
      return TNextStep{old, next};
    }
    default:
      return std::nullopt;
  }
}

TDeleteStep DeleteIndex(int deleted, int countBefore, int nowPsi, bool songUnderWay) {
  TDeleteStep step;
  step.nowPsi = nowPsi;
  if (deleted < 0 || deleted >= countBefore) return step;
  if (deleted < step.nowPsi) --step.nowPsi;
  if (countBefore == 1) {
    step.action = TDeleteStep::StopAll;
    return step;
  }
  if (countBefore == 2) {
    step.action = TDeleteStep::PlayRemaining;
    step.nowPsi = 0;
    return step;
  }
  if (deleted == step.nowPsi && songUnderWay) {
    const int after = countBefore - 1;
    --step.nowPsi;
    if (step.nowPsi < 0)
      step.nowPsi = after - 1;
    else if (step.nowPsi == after - 1)
      step.nowPsi = after - 2;
    step.action = TDeleteStep::PlayNext;
  }
  return step;
}

QString FormatTime(double ms) {
  if (!std::isfinite(ms) || ms < 0) return QStringLiteral("00:00");
  // Whole milliseconds first, then whole seconds; hours are dropped.
  const double whole = std::min(std::round(ms), 9.0e15);
  const int64_t seconds = int64_t(whole) / 1000;
  const int minutes = int((seconds / 60) % 60);
  const int secs = int(seconds % 60);
  return QStringLiteral("%1:%2")
      .arg(minutes, 2, 10, QLatin1Char('0'))
      .arg(secs, 2, 10, QLatin1Char('0'));
}

int32_t SpectrumHeight(float v) {
  const double h = std::fabs(double(v)) * 500;
  if (!(h < TSpectrum::kHeight)) return std::isnan(h) ? 0 : TSpectrum::kHeight;
  return int32_t(h);
}

void TSpectrum::Update(const float* bins, int count) {
  for (int k = 0; k < kColumns; ++k) {
    const int i = kFirstBin + k;
    const int32_t h = bins && i < count ? SpectrumHeight(bins[i]) : 0;
    FPeaks[k] = h >= FPeaks[k] ? h : FPeaks[k] - 1;
    FBars[k] = h >= FBars[k] ? h : FBars[k] - 3;
    if (FPeaks[k] < 0) FPeaks[k] = 0;
    if (FBars[k] < 0) FBars[k] = 0;
  }
}

QImage TSpectrum::Picture() const {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  Paint(image);
  return image;
}

void TSpectrum::Paint(QImage& image) const {
  if (image.width() != kWidth || image.height() != kHeight || image.depth() != 32) return;
  const QRgb grey = qRgb(128, 128, 128);
  const QRgb white = qRgb(255, 255, 255);
  image.fill(grey);
  auto span = [&image, white](int x0, int y) {
    if (y < 0 || y >= kHeight) return;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = x0; x < x0 + 4 && x < kWidth; ++x) line[x] = white;
  };
  for (int k = 0; k < kColumns; ++k) {
    const int x0 = 5 * k;
    if (x0 >= kWidth) continue;  // the sixth column is clipped away
    // The peak line, 4 pixels at 35 − peak (a peak of 0 lies just below the picture).
    span(x0, kHeight - FPeaks[k]);
    // The bar, from 35 − bar down to the bottom edge.
    for (int y = kHeight - FBars[k]; y < kHeight; ++y) span(x0, y);
  }
}

double SeekPosition(double maxPos, double x, double width) {
  if (!(width > 0) || !std::isfinite(maxPos) || !std::isfinite(x) || maxPos <= 0) return 0;
  const double pos = std::nearbyint(maxPos * x) / width;
  return std::clamp(pos, 0.0, maxPos);
}

int32_t VolumePercent(double sliderValue) {
  if (!std::isfinite(sliderValue)) return 100;
  return int32_t(std::nearbyint(100 - std::clamp(sliderValue, 0.0, 100.0)));
}

float VolumeOfSlider(double sliderValue) {
  if (!std::isfinite(sliderValue)) return 1.0f;
  return float((100 - std::clamp(sliderValue, 0.0, 100.0)) / 100);
}

double SliderOfVolume(float volume) {
  return 100 - std::clamp(double(volume), 0.0, 1.0) * 100;
}

}  // namespace PlayRules
