#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "audiolib/Core.h"

namespace melvo::audiolib {
namespace {

constexpr int kMaxFrames = 8192;
constexpr int kNoSoundPeriodMs = 10;  // like a sound card's period: positions move in 10 ms steps
constexpr int kNoSoundIdleMs = 200;

bool noSoundRequested(int device) {
  if (device == 0) return true;
  const char* ours = std::getenv("MELVO_AUDIO_DEVICE");
  if (ours && std::strcmp(ours, "nosound") == 0) return true;
  const char* sdl = std::getenv("SDL_AUDIODRIVER");
  return sdl && std::strcmp(sdl, "dummy") == 0;
}

}  // namespace

bool Device::open(int device, int rate) {
  rate_ = rate;
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
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  sdlInit_ = true;
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 512;
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
  if (sdlDevice_) SDL_PauseAudioDevice(sdlDevice_, on ? 0 : 1);
}

void Device::attach(Stream* s) {
  for (auto& slot : slots_) {
    Stream* expected = nullptr;
    if (slot.compare_exchange_strong(expected, s)) return;
  }
}

void Device::detach(Stream* s) {
  for (auto& slot : slots_) {
    Stream* expected = s;
    slot.compare_exchange_strong(expected, nullptr);
  }
  // Wait out a mix pass that may have picked the stream up before it left its slot.
  uint64_t seen = epoch_.load();
  if (seen & 1) {
    while (epoch_.load() == seen) std::this_thread::yield();
  }
}

void Device::sdlCallback(void* self, uint8_t* stream, int len) {
  auto* device = static_cast<Device*>(self);
  float* out = reinterpret_cast<float*>(stream);
  int frames = len / int(2 * sizeof(float));
  while (frames > 0) {
    int n = frames < kMaxFrames ? frames : kMaxFrames;
    device->mix(out, n);
    out += n * 2;
    frames -= n;
  }
}

void Device::mix(float* out, int frames) {
  epoch_.fetch_add(1);
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
  epoch_.fetch_add(1);
}

// The no-sound device: takes audio at the real-time rate and throws it away.
void Device::runNoSound() {
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  uint64_t done = 0;
  while (!noSoundQuit_.load()) {
    if (!audible_.load()) {
      // Nothing to hear: rest until a stream starts playing (or a while has passed).
      std::unique_lock lock(idleMutex_);
      idleWake_.wait_for(lock, std::chrono::milliseconds(kNoSoundIdleMs),
                         [this] { return noSoundQuit_.load() || woken_; });
      woken_ = false;
      start = clock::now();
      done = 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kNoSoundPeriodMs));
    if (!running_.load()) {
      start = clock::now();
      done = 0;
      continue;
    }
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start);
    uint64_t due = uint64_t(elapsed.count()) * uint64_t(rate_) / 1000000;
    while (done < due) {
      int n = int(std::min<uint64_t>(due - done, kMaxFrames));
      mix(silentOut_.data(), n);
      done += uint64_t(n);
    }
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
