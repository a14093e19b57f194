// Output through SDL's audio callback.
#include "audiolib/OnDemandSdl.h"

#include "audiolib/Mixer.h"
#include "audiolib/OutputSink.h"

namespace melvo::audiolib {
namespace {

// Output periods: long enough that steady playback wakes the machine rarely (each wake-up costs
// more than mixing the period); positions, levels and spectra stay smooth because readers take
// off what is still queued.
constexpr int kSdlPeriodFrames = 2048;

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
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kSdlPeriodFrames;
    want.callback = &SdlSink::callback;
    want.userdata = this;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      close();
      return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void close() override {
    if (device_) {
      SDL_CloseAudioDevice(device_);
      device_ = 0;
    }
    if (init_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      init_ = false;
    }
  }

  void setRunning(bool on) override {
    if (!device_) return;
    SDL_PauseAudioDevice(device_, on ? 0 : 1);  // returns with the callback finished
    if (!on) mixer_.setQueued(0);
  }

  void wake() override {}
  bool drops() const override { return false; }

 private:
  static void callback(void* self, uint8_t* stream, int len) {
    Mixer& mixer = static_cast<SdlSink*>(self)->mixer_;
    float* out = reinterpret_cast<float*>(stream);
    int frames = len / int(2 * sizeof(float));
    int64_t handed = 0;
    while (frames > 0) {
      int n = frames < Mixer::kMaxFrames ? frames : Mixer::kMaxFrames;
      handed += n;
      mixer.mix(out, n, handed);  // the device asks when its buffer runs dry: all still queued
      out += n * 2;
      frames -= n;
    }
  }

  Mixer& mixer_;
  SDL_AudioDeviceID device_ = 0;
  bool init_ = false;
};

}  // namespace

std::unique_ptr<OutputSink> makeSdlSink(Mixer& mixer) {
  return std::make_unique<SdlSink>(mixer);
}

}  // namespace melvo::audiolib
