#include "audiolib/Mixer.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "audiolib/Stream.h"

namespace melvo::audiolib {

void Mixer::reset(int rate) {
  clock_.rate = rate;
  handed_ = 0;
  clock_.heardAtPass.store(0);
  setQueued(0);
  scratch_.assign(size_t(kMaxFrames) * 2, 0.0f);
}

void Mixer::setQueued(int64_t frames) {
  const int64_t now = OutputClock::nowNs();
  const int64_t heard = clock_.read(now).heard;  // what was dropped was never heard
  handed_ = heard + frames;
  clock_.epoch.fetch_add(1, std::memory_order_acq_rel);
  clock_.passNs.store(now, std::memory_order_relaxed);
  clock_.aheadFrames.store(frames, std::memory_order_relaxed);
  clock_.heardAtPass.store(heard, std::memory_order_relaxed);
  clock_.epoch.fetch_add(1, std::memory_order_release);
}

void Mixer::attach(Stream* s) {
  for (auto& slot : slots_) {
    Stream* expected = nullptr;
    if (slot.compare_exchange_strong(expected, s)) return;
  }
}

void Mixer::detach(Stream* s) {
  for (auto& slot : slots_) {
    Stream* expected = s;
    slot.compare_exchange_strong(expected, nullptr);
  }
  // Wait out a pass that may have picked the stream up before it left its slot.
  uint64_t seen = clock_.epoch.load();
  if (seen & 1) {
    while (clock_.epoch.load() == seen) std::this_thread::yield();
  }
}

bool Mixer::startPending() const {
  for (const auto& slot : slots_) {
    Stream* s = slot.load();
    if (s && s->audible() && !s->ready()) return true;
  }
  return false;
}

void Mixer::clear() {
  for (auto& slot : slots_) slot.store(nullptr);
}

// Of the playing streams, the one whose volume the sink applies: the only one, at a gain the
// sink can give (not above 1, which the clip here must see).
Stream* Mixer::soloOf(Stream* const* playing, int count) const {
  if (count != 1 || !gainOutside_.load(std::memory_order_relaxed)) return nullptr;
  return playing[0]->volume.load() * master.load() > 1.0f ? nullptr : playing[0];
}

int Mixer::playingStreams(std::array<Stream*, kSlots>& playing) const {
  int count = 0;
  for (const auto& slot : slots_) {
    Stream* s = slot.load();
    if (s && s->audible()) playing[size_t(count++)] = s;
  }
  return count;
}

float Mixer::outsideGain() const {
  std::array<Stream*, kSlots> playing;
  const Stream* solo = soloOf(playing.data(), playingStreams(playing));
  return solo ? solo->volume.load() * master.load() : 1.0f;
}

void Mixer::mix(float* out, int frames, int64_t aheadAfter) {
  // Right after a drop the sound system may still hold more than was handed to it since (its own
  // latency): the frames of this pass are heard after that gap, and the count of frames heard never
  // goes back.
  const int64_t heard = clock_.read(OutputClock::nowNs()).heard;
  handed_ += std::max<int64_t>(0, heard - (handed_ + frames - aheadAfter));
  clock_.epoch.fetch_add(1, std::memory_order_acq_rel);
  std::memset(out, 0, size_t(frames) * 2 * sizeof(float));
  std::array<Stream*, kSlots> playing;
  const int count = playingStreams(playing);
  const Stream* solo = soloOf(playing.data(), count);
  for (int i = 0; i < count; ++i)
    playing[size_t(i)]->mixInto(out, frames, scratch_.data(), handed_, playing[size_t(i)] != solo);
  audible_.store(count > 0, std::memory_order_relaxed);
  const float gain = solo ? 1.0f : master.load(std::memory_order_relaxed);
  for (int i = 0; i < frames * 2; ++i) {
    float v = out[i] * gain;
    out[i] = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v);
  }
  handed_ += frames;
  clock_.passNs.store(OutputClock::nowNs(), std::memory_order_relaxed);
  clock_.aheadFrames.store(aheadAfter, std::memory_order_relaxed);
  clock_.heardAtPass.store(handed_ - aheadAfter, std::memory_order_relaxed);
  clock_.epoch.fetch_add(1, std::memory_order_release);
}

}  // namespace melvo::audiolib
