// Output through SDL's audio callback. SDL's output thread runs for as long as its device is open,
// paused or not, so the device is closed once nothing has played for a while and opened again when
// a stream starts.
#include "audiolib/OnDemandSdl.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "audiolib/Mixer.h"
#include "audiolib/OutputSink.h"

namespace melvo::audiolib {
namespace {

// Output periods: long enough that steady playback wakes the machine rarely (each wake-up costs
// more than mixing the period); positions, levels and spectra stay smooth because readers take
// off what is still queued.
constexpr int kSdlPeriodFrames = 2048;
constexpr int kIdleMs = 1000;  // silence after which the device is closed

class SdlSink final : public OutputSink {
 public:
  explicit SdlSink(Mixer& mixer) : mixer_(mixer) {}
  ~SdlSink() override { close(); }

  bool open(int rate) override {
    if (!ondemand::sdl.open()) return false;
    // SDL would otherwise take over SIGINT and SIGTERM, and the program would no longer stop on
    // them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    init_ = true;
    rate_ = rate;
    std::lock_guard lock(mutex_);
    // Opened once here, so that a device that cannot play is known at once.
    if (!openDeviceLocked()) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      init_ = false;
      return false;
    }
    closing_ = false;
    quit_ = false;
    closer_ = std::thread([this] { closeWhenIdle(); });
    return true;
  }

  void close() override {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
      closeDeviceLocked();
    }
    {
      std::lock_guard lock(closerMutex_);
      quit_ = true;
    }
    closerWake_.notify_one();
    if (closer_.joinable()) closer_.join();
    if (init_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      init_ = false;
    }
  }

  void setRunning(bool on) override {
    std::lock_guard lock(mutex_);
    running_ = on;
    if (!on) {
      closeDeviceLocked();  // returns with the callback finished
      mixer_.setQueued(0);
    } else if (!idle_.load()) {
      openDeviceLocked();
    }
  }

  // A stream starts or moves: the device plays again (SDL keeps what it has queued).
  void wake() override {
    std::lock_guard lock(mutex_);
    idle_ = false;
    silentFrames_ = 0;
    if (running_ && !closing_) openDeviceLocked();
  }
  bool drops() const override { return false; }

 private:
  bool openDeviceLocked() {
    if (device_) return true;
    SDL_AudioSpec want{}, have{};
    want.freq = rate_;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kSdlPeriodFrames;
    want.callback = &SdlSink::callback;
    want.userdata = this;
    silentFrames_ = 0;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) return false;
    // A sound system still holds about one more period when it asks for the next; the stand-in
    // drivers (no sound, a file) play each buffer as soon as it is filled.
    const char* driver = SDL_GetCurrentAudioDriver();
    const bool standIn =
        driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
    heldFrames_ = standIn ? 0 : have.samples;
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void closeDeviceLocked() {
    if (!device_) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }

  // From the callback: the device may not be closed on its own thread, so the closer (which
  // sleeps until then) closes it, unless a stream started meanwhile.
  void goIdle() {
    if (idle_.exchange(true)) return;
    {
      std::lock_guard lock(closerMutex_);
      closeWanted_ = true;
    }
    closerWake_.notify_one();
  }

  void closeWhenIdle() {
    for (;;) {
      {
        std::unique_lock lock(closerMutex_);
        closerWake_.wait(lock, [this] { return closeWanted_ || quit_; });
        if (quit_) return;
        closeWanted_ = false;
      }
      std::lock_guard lock(mutex_);
      if (idle_.load() && !closing_) {
        closeDeviceLocked();
        mixer_.setQueued(0);
      }
    }
  }

  static void callback(void* userdata, uint8_t* stream, int len) {
    auto* self = static_cast<SdlSink*>(userdata);
    Mixer& mixer = self->mixer_;
    float* out = reinterpret_cast<float*>(stream);
    int frames = len / int(2 * sizeof(float));
    const int total = frames;
    int64_t handed = self->heldFrames_;
    while (frames > 0) {
      int n = frames < Mixer::kMaxFrames ? frames : Mixer::kMaxFrames;
      handed += n;
      mixer.mix(out, n, handed);  // all of this buffer is still to be heard, after what is held
      out += n * 2;
      frames -= n;
    }
    if (mixer.audible()) {
      self->silentFrames_ = 0;
    } else if ((self->silentFrames_ += total) > int64_t(self->rate_) * kIdleMs / 1000) {
      self->goIdle();
    }
  }

  Mixer& mixer_;
  int rate_ = 44100;
  std::mutex mutex_;  // the device's opening and closing
  SDL_AudioDeviceID device_ = 0;
  bool init_ = false;
  bool running_ = true;
  bool closing_ = false;
  std::atomic<bool> idle_{false};
  std::atomic<int64_t> silentFrames_{0};
  int heldFrames_ = 0;  // what the sound system holds besides the buffer being filled
  std::mutex closerMutex_;
  std::condition_variable closerWake_;
  bool closeWanted_ = false;
  bool quit_ = false;
  std::thread closer_;
};

}  // namespace

std::unique_ptr<OutputSink> makeSdlSink(Mixer& mixer) {
  return std::make_unique<SdlSink>(mixer);
}

}  // namespace melvo::audiolib
