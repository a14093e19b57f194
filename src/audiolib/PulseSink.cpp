// Output straight to a PulseAudio server (or PipeWire's PulseAudio service). The server keeps a
// long buffer filled, so that it and this thread wake rarely; the stream's own latency report tells
// the mixer how much of what it handed over is still to be heard, and a wake-up flushes the buffer,
// so that starts, seeks and pauses are heard at once; volume changes are the stream's own volume on
// the server, applied as it plays, so they are heard at once too. While nothing plays the stream is
// corked: neither side wakes for silence.
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

// What the server holds ahead of the loudspeaker, and the least it asks for at a time. The server
// splits the buffer: (buffer - 2 requests) / 2 for the sound card's own latency, the rest queued
// for the stream; its sound-card thread wakes about twice per latency, this thread once per
// request. The latency must stay well above nothing: with a buffer of just two requests the
// server's sound-card thread wakes thousands of times a second.
constexpr int kBufferMs = 800;
constexpr int kRequestMs = 200;
constexpr int kFrameBytes = 2 * sizeof(int16_t);  // the stream is 16-bit stereo

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
    if (ok) mixer_.setGainOutside(true);
    pa_threaded_mainloop_unlock(loop_);
    return ok ? true : fail();
  }

  void close() override {
    if (!loop_) return;
    mixer_.setGainOutside(false);
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
    running_ = on;
    if (!on) flushLocked();
    corkLocked();
    pa_threaded_mainloop_unlock(loop_);
  }

  void wake() override { take(true); }
  // No flush here: the server may have asked for the stream's first stretch already, and a flush
  // would drop it after the mixer had handed it over.
  void feed() override { take(false); }

  int startFrames() const override { return startFrames_; }

  void gainChanged() override {
    if (!stream_) return;
    pa_threaded_mainloop_lock(loop_);
    applyGainLocked();
    pa_threaded_mainloop_unlock(loop_);
  }

 private:
  bool fail() {
    close();
    return false;
  }

  void take(bool dropQueued) {
    if (!stream_) return;
    pa_threaded_mainloop_lock(loop_);
    if (dropQueued) flushLocked();
    idle_ = false;
    corkLocked();
    // A request held back for a stream that was still decoding is answered now.
    const size_t writable = pa_stream_writable_size(stream_);
    if (writable != size_t(-1) && writable > 0) write(writable);
    pa_threaded_mainloop_unlock(loop_);
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
    // Nothing plays yet: corked until a stream starts.
    const auto flags =
        pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                          PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    corked_ = true;
    // At full level (the gain below), not at a level the server remembered for the program.
    pa_cvolume full;
    pa_cvolume_set(&full, 2, PA_VOLUME_NORM);
    gain_ = 1.0f;
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, &full, nullptr) < 0)
      return false;
    for (;;) {
      pa_stream_state_t state = pa_stream_get_state(stream_);
      if (state == PA_STREAM_READY) {
        // After a flush the server asks for its whole queue at once.
        if (const pa_buffer_attr* a = pa_stream_get_buffer_attr(stream_))
          startFrames_ = std::max(4096, int(a->tlength / kFrameBytes));
        return true;
      }
      if (!PA_STREAM_IS_GOOD(state)) return false;
      pa_threaded_mainloop_wait(loop_);
    }
  }

  // With the main loop locked, so the gain matches what the passes mix.
  void applyGainLocked() {
    const float gain = mixer_.outsideGain();
    if (gain == gain_) return;
    gain_ = gain;
    pa_cvolume volume;
    pa_cvolume_set(&volume, 2, pa_sw_volume_from_linear(gain));
    if (pa_operation* op = pa_context_set_sink_input_volume(context_, pa_stream_get_index(stream_),
                                                            &volume, nullptr, nullptr))
      pa_operation_unref(op);
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

  // Corked while stopped, or while nothing plays and what was written has been heard.
  void corkLocked() {
    const bool cork = !running_ || idle_;
    if (cork == corked_) return;
    corked_ = cork;
    if (pa_operation* op = pa_stream_cork(stream_, cork ? 1 : 0, nullptr, nullptr))
      pa_operation_unref(op);
    if (cork) mixer_.setQueued(0);
  }

  // The server asks for `bytes`: one or more mix passes straight into its buffer.
  void write(size_t bytes) {
    // Silence queued in front of a stream's first stretch would be heard as a gap: the request
    // waits until the stream has decoded it (its wake-up writes then).
    int64_t ahead = queuedFrames();
    applyGainLocked();
    if (mixer_.startPending()) {
      mixer_.mix(mixed_.data(), 0, ahead);  // lets a moved stream let go of its old data
      return;
    }
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
    applyGainLocked();  // the passes may have changed who applies the volume
    // Silence only, and everything played before it is heard: rest until a stream starts. (A
    // stream that ended stops playing only once its last sample was heard.)
    if (!mixer_.audible()) {
      idle_ = true;
      corkLocked();
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
  // Main loop's (read and written with it locked).
  bool running_ = true;
  bool idle_ = true;
  bool corked_ = false;
  int startFrames_ = 4096;
  float gain_ = 1.0f;  // the stream's volume on the server
};

}  // namespace

std::unique_ptr<OutputSink> makePulseSink(Mixer& mixer) {
  return std::make_unique<PulseSink>(mixer);
}

}  // namespace melvo::audiolib
