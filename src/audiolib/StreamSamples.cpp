// What is being heard of a stream: the history of mixed frames, raw samples, the spectrum and the
// level; and the stream's effects and syncs.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>
#ifdef __SSE__
#include <xmmintrin.h>
#endif

#include "audiolib/Ring.h"
#include "audiolib/Stream.h"

#include "audiolib/OnDemandFfmpeg.h"

namespace melvo::audiolib {
namespace {

constexpr int kFftSize = 1024;

// Rounded to the nearest, ties to even (as nearbyint), without a library call per sample; NaN
// reads as the lowest value.
int16_t toS16(float v) {
  float s = v * 32768.0f;
  s = s > -32768.0f ? s : -32768.0f;
  s = s < 32767.0f ? s : 32767.0f;
#ifdef __SSE__
  return int16_t(_mm_cvtss_si32(_mm_set_ss(s)));
#else
  return int16_t(std::nearbyint(s));
#endif
}

// Room for `floats` samples, kept by the thread between calls (the progress tick asks for
// samples 20 times a second).
float* scratch(size_t floats) {
  thread_local std::vector<float> room;
  if (room.size() < floats) room.resize(floats);
  return room.data();
}

// One transform context per thread that asks for spectra.
struct Transform {
  AVTXContext* ctx = nullptr;
  av_tx_fn fn = nullptr;
  float* in = nullptr;
  AVComplexFloat* out = nullptr;
  float window[kFftSize];
  Transform() {
    float scale = 1.0f;
    av_tx_init(&ctx, &fn, AV_TX_FLOAT_RDFT, 0, kFftSize, &scale, 0);
    in = static_cast<float*>(av_malloc(sizeof(float) * (kFftSize + 2)));
    out = static_cast<AVComplexFloat*>(av_malloc(sizeof(AVComplexFloat) * (kFftSize / 2 + 1)));
    for (int i = 0; i < kFftSize; ++i)
      window[i] = float(0.5 - 0.5 * std::cos(2.0 * M_PI * i / kFftSize));
  }
  ~Transform() {
    av_tx_uninit(&ctx);
    av_free(in);
    av_free(out);
  }
};

}  // namespace

void Stream::recordHistory(const float* frames, int count) {
  if (count <= 0 || !historyMutex_.try_lock()) return;
  if (count > kHistoryCapacity) {
    frames += size_t(count - kHistoryCapacity) * 2;
    count = kHistoryCapacity;
  }
  copyIntoRing(history_.data(), kHistoryCapacity, historyPos_, frames, size_t(count));
  historyPos_ = (historyPos_ + size_t(count)) % kHistoryCapacity;
  historyMutex_.unlock();
}

// The `frames` that end where the output is now: the newest mixed frames are still queued.
int Stream::latestHeard(float* stereo, int frames) {
  frames = std::min(frames, kHistoryFrames);
  const auto queued = size_t(std::min<uint64_t>(heardNow().queued, kHistoryCapacity - frames));
  std::lock_guard lock(historyMutex_);
  size_t start =
      (historyPos_ + 2 * size_t(kHistoryCapacity) - queued - size_t(frames)) % kHistoryCapacity;
  copyFromRing(history_.data(), kHistoryCapacity, start, stereo, size_t(frames));
  return frames;
}

DWORD Stream::rawData(void* buffer, DWORD length) {
  const int bpf = bytesPerFrame();
  int frames = int(length / DWORD(bpf));
  int16_t* out = static_cast<int16_t*>(buffer);
  if (decodeOnly()) {
    float* tmp = scratch(size_t(frames) * size_t(channels_));
    int got;
    {
      std::lock_guard lock(decodeMutex_);
      got = decoder->read(tmp, frames);
    }
    applyFx(tmp, got, channels_);
    for (size_t i = 0; i < size_t(got) * size_t(channels_); ++i) out[i] = toS16(tmp[i]);
    if (got == 0) {
      ended_ = true;
      setError(BASS_ERROR_NOTAVAIL);
      return DWORD(-1);
    }
    return DWORD(got * bpf);
  }
  frames = std::min(frames, kHistoryFrames);
  if (!playing_.load()) {
    std::memset(buffer, 0, size_t(frames) * size_t(bpf));
    return DWORD(frames * bpf);
  }
  float* stereo = scratch(size_t(frames) * 2);
  latestHeard(stereo, frames);
  for (int i = 0; i < frames; ++i) {
    float l = stereo[size_t(i) * 2], r = stereo[size_t(i) * 2 + 1];
    if (channels_ == 1) {
      out[i] = toS16((l + r) * 0.5f);
    } else {
      out[size_t(i) * 2] = toS16(l);
      out[size_t(i) * 2 + 1] = toS16(r);
    }
  }
  return DWORD(frames * bpf);
}

DWORD Stream::spectrum(float* out512) {
  std::fill(out512, out512 + kFftSize / 2, 0.0f);
  if (decodeOnly() || !playing_.load()) return kFftSize / 2 * sizeof(float);
  thread_local Transform tx;
  if (!tx.ctx) {
    setError(BASS_ERROR_MEM);
    return DWORD(-1);
  }
  float stereo[kFftSize * 2];
  latestHeard(stereo, kFftSize);
  for (int i = 0; i < kFftSize; ++i)
    tx.in[i] = 0.5f * (stereo[i * 2] + stereo[i * 2 + 1]) * tx.window[i];
  tx.fn(tx.ctx, tx.out, tx.in, sizeof(AVComplexFloat));
  const float scale = 2.0f / kFftSize;
  // Magnitudes are far from overflowing: no need for hypot's care (and its library call).
  for (int k = 0; k < kFftSize / 2; ++k) {
    const float re = tx.out[k].re, im = tx.out[k].im;
    out512[k] = std::sqrt(re * re + im * im) * scale;
  }
  return kFftSize / 2 * sizeof(float);
}

DWORD Stream::level() {
  if (decodeOnly() || !playing_.load()) {
    setError(BASS_ERROR_NOPLAY);
    return 0;
  }
  const int frames = deviceRate_ / 50;  // 20 ms
  float* stereo = scratch(size_t(frames) * 2);
  int n = latestHeard(stereo, frames);
  float peakL = 0, peakR = 0;
  for (int i = 0; i < n; ++i) {
    peakL = std::max(peakL, std::fabs(stereo[size_t(i) * 2]));
    peakR = std::max(peakR, std::fabs(stereo[size_t(i) * 2 + 1]));
  }
  const float vol = heardVolume_.load();
  auto scaled = [&](float p) { return DWORD(std::clamp(p * vol * 32768.0f, 0.0f, 32768.0f)); };
  return scaled(peakL) | (scaled(peakR) << 16);
}

HSYNC Stream::addSync(HSYNC id, DWORD type, SYNCPROC* proc, void* user) {
  std::lock_guard lock(syncMutex_);
  syncs_.push_back({id, type, proc, user});
  return id;
}

bool Stream::removeSync(HSYNC id) {
  std::lock_guard lock(syncMutex_);
  auto it = std::remove_if(syncs_.begin(), syncs_.end(), [&](const Sync& s) { return s.id == id; });
  bool found = it != syncs_.end();
  syncs_.erase(it, syncs_.end());
  return found;
}

bool Stream::addFx(HFX id, int priority) {
  std::lock_guard lock(fxMutex_);
  Fx fx{id, priority, {}, BASS_DX8_PARAMEQ{1000.0f, 12.0f, 0.0f}, true};
  // Higher priority first; equal priorities in the order they were added.
  auto at =
      std::find_if(fx_.begin(), fx_.end(), [&](const Fx& f) { return f.priority < priority; });
  fx_.insert(at, fx);
  return true;
}

bool Stream::removeFx(HFX id) {
  std::lock_guard lock(fxMutex_);
  auto it = std::remove_if(fx_.begin(), fx_.end(), [&](const Fx& f) { return f.id == id; });
  bool found = it != fx_.end();
  fx_.erase(it, fx_.end());
  return found;
}

bool Stream::setFx(HFX id, const BASS_DX8_PARAMEQ& p) {
  std::lock_guard lock(fxMutex_);
  for (Fx& fx : fx_) {
    if (fx.id != id) continue;
    PeakingBand check;
    check.configure(p, decodeOnly() ? rate_ : deviceRate_);
    fx.params = check.params();
    fx.dirty = true;
    return true;
  }
  return false;
}

bool Stream::getFx(HFX id, BASS_DX8_PARAMEQ* p) {
  std::lock_guard lock(fxMutex_);
  for (Fx& fx : fx_) {
    if (fx.id != id) continue;
    *p = fx.params;
    return true;
  }
  return false;
}

}  // namespace melvo::audiolib
