#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "audiolib/Core.h"

namespace melvo::audiolib {
namespace {

constexpr int kMaxFrames = 8192;
// Output periods: long enough that steady playback wakes the machine rarely (each wake-up costs
// more than mixing the period); positions, levels and spectra stay smooth because readers take
// off what is still queued.
constexpr int kNoSoundPeriodMs = 40;
constexpr int kSdlPeriodFrames = 2048;
constexpr int kNoSoundIdleMs = 200;

bool noSoundRequested(int device) {
  if (device == 0) return true;
  const char* ours = std::getenv("MELVO_AUDIO_DEVICE");
  if (ours && std::strcmp(ours, "nosound") == 0) return true;
  const char* sdl = std::getenv("SDL_AUDIODRIVER");
  return sdl && std::strcmp(sdl, "dummy") == 0;
}

}  // namespace

int64_t OutputClock::nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t OutputClock::queuedAt(int64_t pass, int64_t ahead, int64_t now) const {
  const int64_t played = (now - pass) * int64_t(rate) / 1000000000;
  return std::max<int64_t>(0, ahead - std::max<int64_t>(0, played));
}

bool Device::open(int device, int rate) {
  rate_ = rate;
  clock_.rate = rate;
  setQueued(0);
  scratch_.assign(size_t(kMaxFrames) * 2, 0.0f);
  silentOut_.assign(size_t(kMaxFrames) * 2, 0.0f);
  running_ = true;
  if (noSoundRequested(device)) {
    noSoundQuit_ = false;
    noSound_ = std::thread([this] { runNoSound(); });
    open_ = true;
    return true;
  }
  if (device != -1 && device != 1) return false;
  // SDL would otherwise take over SIGINT and SIGTERM, and the program would no longer stop on them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  sdlInit_ = true;
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = kSdlPeriodFrames;
  want.callback = &Device::sdlCallback;
  want.userdata = this;
  sdlDevice_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (sdlDevice_ == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlInit_ = false;
    return false;
  }
  SDL_PauseAudioDevice(sdlDevice_, 0);
  open_ = true;
  return true;
}

void Device::close() {
  if (noSound_.joinable()) {
    noSoundQuit_ = true;
    wake();
    noSound_.join();
  }
  if (sdlDevice_) {
    SDL_CloseAudioDevice(sdlDevice_);
    sdlDevice_ = 0;
  }
  if (sdlInit_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlInit_ = false;
  }
  for (auto& slot : slots_) slot.store(nullptr);
  open_ = false;
}

void Device::setRunning(bool on) {
  running_ = on;
  if (sdlDevice_) {
    SDL_PauseAudioDevice(sdlDevice_, on ? 0 : 1);  // returns with the callback finished
    if (!on) setQueued(0);
  }
  if (on) wake();
}

// Only while no mix pass can run: from the mixing thread itself, or with the device paused.
void Device::setQueued(int64_t frames) {
  clock_.epoch.fetch_add(1, std::memory_order_acq_rel);
  clock_.passNs.store(OutputClock::nowNs(), std::memory_order_relaxed);
  clock_.aheadFrames.store(frames, std::memory_order_relaxed);
  clock_.epoch.fetch_add(1, std::memory_order_release);
}

void Device::attach(Stream* s) {
  for (auto& slot : slots_) {
    Stream* expected = nullptr;
    if (slot.compare_exchange_strong(expected, s)) {
      s->setOutput(this, &clock_);
      return;
    }
  }
}

void Device::detach(Stream* s) {
  for (auto& slot : slots_) {
    Stream* expected = s;
    slot.compare_exchange_strong(expected, nullptr);
  }
  // Wait out a mix pass that may have picked the stream up before it left its slot.
  uint64_t seen = clock_.epoch.load();
  if (seen & 1) {
    while (clock_.epoch.load() == seen) std::this_thread::yield();
  }
}

void Device::sdlCallback(void* self, uint8_t* stream, int len) {
  auto* device = static_cast<Device*>(self);
  float* out = reinterpret_cast<float*>(stream);
  int frames = len / int(2 * sizeof(float));
  int64_t handed = 0;
  while (frames > 0) {
    int n = frames < kMaxFrames ? frames : kMaxFrames;
    handed += n;
    device->mix(out, n, handed);  // the device asks when its buffer runs dry: all still queued
    out += n * 2;
    frames -= n;
  }
}

void Device::mix(float* out, int frames, int64_t aheadAfter) {
  clock_.epoch.fetch_add(1, std::memory_order_acq_rel);
  std::memset(out, 0, size_t(frames) * 2 * sizeof(float));
  bool anyAudible = false;
  for (auto& slot : slots_) {
    Stream* s = slot.load();
    if (s && s->audible()) {
      anyAudible = true;
      s->mixInto(out, frames, scratch_.data());
    }
  }
  audible_.store(anyAudible, std::memory_order_relaxed);
  const float gain = master.load(std::memory_order_relaxed);
  for (int i = 0; i < frames * 2; ++i) {
    float v = out[i] * gain;
    out[i] = v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v);
  }
  clock_.passNs.store(OutputClock::nowNs(), std::memory_order_relaxed);
  clock_.aheadFrames.store(aheadAfter, std::memory_order_relaxed);
  clock_.epoch.fetch_add(1, std::memory_order_release);
}

// The no-sound device: takes audio at the real-time rate and throws it away. Like a sound card it
// takes one period ahead of what is being heard; a wake-up (a stream started or moved) drops what
// is queued and takes the new audio at once, so starts and seeks are heard without a period's wait.
void Device::runNoSound() {
  using clock = std::chrono::steady_clock;
  const int64_t period = int64_t(rate_) * kNoSoundPeriodMs / 1000;
  auto start = clock::now();
  int64_t done = 0;  // frames taken since `start`
  bool woken = false;
  auto restart = [&] {
    start = clock::now();
    done = 0;
  };
  while (!noSoundQuit_.load()) {
    if (!audible_.load() || !running_.load()) {
      // Nothing to hear: rest until a stream starts playing (or a while has passed).
      setQueued(0);
      if (!woken) {
        std::unique_lock lock(idleMutex_);
        idleWake_.wait_for(lock, std::chrono::milliseconds(kNoSoundIdleMs),
                           [this] { return noSoundQuit_.load() || woken_; });
        woken_ = false;
      }
      restart();
      woken = false;
      if (!running_.load()) continue;
    }
    const auto now = clock::now();
    const int64_t heard =
        std::chrono::duration_cast<std::chrono::microseconds>(now - start).count() * rate_ /
        1000000;
    // Woken: what is queued is dropped. Late (slept long): what fell due meanwhile is taken now,
    // so positions keep to the clock (up to a second; after that the clock wins).
    done = woken ? heard : std::max(done, heard - int64_t(rate_));
    const int64_t due = heard + period;
    while (done < due) {
      int n = int(std::min<int64_t>(due - done, kMaxFrames));
      done += n;
      mix(silentOut_.data(), n, done - heard);
    }
    auto next = start + std::chrono::microseconds(done * 1000000 / rate_);
    std::unique_lock lock(idleMutex_);
    woken = idleWake_.wait_until(lock, next, [this] { return noSoundQuit_.load() || woken_; });
    woken_ = false;
  }
}

void Device::wake() {
  if (!noSound_.joinable()) return;
  {
    std::lock_guard lock(idleMutex_);
    woken_ = true;
  }
  idleWake_.notify_all();
}

}  // namespace melvo::audiolib
