// Output straight to a PulseAudio server (or PipeWire's PulseAudio service). The server keeps a
// long buffer filled, so that it wakes rarely; the stream's own latency report tells the mixer how
// much of what it handed over is still to be heard, and a wake-up flushes the buffer, so that
// starts, seeks and pauses are heard at once.
#include "audiolib/OnDemandPulse.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audiolib/Mixer.h"
#include "audiolib/OutputSink.h"

namespace melvo::audiolib {
namespace {

constexpr int kBufferMs = 200;  // what the server holds ahead of the loudspeaker
constexpr int kRequestMs = 50;  // the least it asks for at a time
constexpr int kFrameBytes = 2 * sizeof(float);

class PulseSink final : public OutputSink {
 public:
  explicit PulseSink(Mixer& mixer) : mixer_(mixer) {}
  ~PulseSink() override { close(); }

  bool open(int rate) override {
    if (!ondemand::pulse.open()) return false;
    rate_ = rate;
    mixed_.assign(size_t(Mixer::kMaxFrames) * 2, 0.0f);
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return false;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Melvo");
    if (!context_) return fail();
    pa_context_set_state_callback(context_, &PulseSink::onContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return fail();
    if (pa_threaded_mainloop_start(loop_) < 0) return fail();
    pa_threaded_mainloop_lock(loop_);
    bool ok = waitForContext() && connectStream();
    pa_threaded_mainloop_unlock(loop_);
    return ok ? true : fail();
  }

  void close() override {
    if (!loop_) return;
    pa_threaded_mainloop_stop(loop_);
    if (stream_) {
      pa_stream_disconnect(stream_);
      pa_stream_unref(stream_);
      stream_ = nullptr;
    }
    if (context_) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
      context_ = nullptr;
    }
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
  }

  void setRunning(bool on) override {
    if (!stream_) return;
    pa_threaded_mainloop_lock(loop_);
    if (!on) flushLocked();
    if (pa_operation* op = pa_stream_cork(stream_, on ? 0 : 1, nullptr, nullptr))
      pa_operation_unref(op);
    pa_threaded_mainloop_unlock(loop_);
  }

  void wake() override {
    if (!stream_) return;
    pa_threaded_mainloop_lock(loop_);
    flushLocked();
    pa_threaded_mainloop_unlock(loop_);
  }

 private:
  bool fail() {
    close();
    return false;
  }

  bool waitForContext() {
    for (;;) {
      pa_context_state_t state = pa_context_get_state(context_);
      if (state == PA_CONTEXT_READY) return true;
      if (!PA_CONTEXT_IS_GOOD(state)) return false;
      pa_threaded_mainloop_wait(loop_);
    }
  }

  bool connectStream() {
    pa_sample_spec spec{PA_SAMPLE_S16NE, uint32_t(rate_), 2};
    stream_ = pa_stream_new(context_, "Melvo", &spec, nullptr);
    if (!stream_) return false;
    pa_stream_set_state_callback(stream_, &PulseSink::onStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseSink::onWrite, this);
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(bytesFor(kBufferMs));
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(bytesFor(kRequestMs));
    attr.fragsize = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
      return false;
    for (;;) {
      pa_stream_state_t state = pa_stream_get_state(stream_);
      if (state == PA_STREAM_READY) return true;
      if (!PA_STREAM_IS_GOOD(state)) return false;
      pa_threaded_mainloop_wait(loop_);
    }
  }

  size_t bytesFor(int ms) const { return size_t(rate_) * size_t(ms) / 1000 * kFrameBytes; }

  // Frames written but not yet heard, as the stream's timing tells; 0 before it knows.
  int64_t queuedFrames() {
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &usec, &negative) < 0 || negative) return 0;
    return int64_t(usec) * rate_ / 1000000;
  }

  // With the main loop locked, so no pass runs meanwhile.
  void flushLocked() {
    if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(op);
    mixer_.setQueued(0);
  }

  // The server asks for `bytes`: one or more mix passes straight into its buffer.
  void write(size_t bytes) {
    int64_t ahead = queuedFrames();
    while (bytes >= kFrameBytes) {
      void* data = nullptr;
      size_t size = bytes;
      if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data) return;
      size = std::min(size, bytes) / kFrameBytes * kFrameBytes;
      int16_t* out = static_cast<int16_t*>(data);
      int frames = int(size / kFrameBytes);
      while (frames > 0) {
        int n = std::min(frames, Mixer::kMaxFrames);
        ahead += n;
        mixer_.mix(mixed_.data(), n, ahead);  // clipped to -1..1
        for (int i = 0; i < n * 2; ++i) out[i] = int16_t(std::lrint(mixed_[size_t(i)] * 32767.0f));
        out += n * 2;
        frames -= n;
      }
      if (pa_stream_write(stream_, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
      bytes -= size;
    }
  }

  static void onContextState(pa_context*, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->loop_, 0);
  }
  static void onStreamState(pa_stream*, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->loop_, 0);
  }
  static void onWrite(pa_stream*, size_t bytes, void* self) {
    static_cast<PulseSink*>(self)->write(bytes);
  }

  Mixer& mixer_;
  int rate_ = 44100;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::vector<float> mixed_;
};

}  // namespace

std::unique_ptr<OutputSink> makePulseSink(Mixer& mixer) {
  return std::make_unique<PulseSink>(mixer);
}

}  // namespace melvo::audiolib
