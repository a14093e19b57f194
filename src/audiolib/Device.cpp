#include "audiolib/Device.h"

#include <cstdlib>
#include <cstring>

#include "audiolib/Stream.h"

namespace melvo::audiolib {
namespace {

bool noSoundRequested(int device) {
  if (device == 0) return true;
  const char* ours = std::getenv("MELVO_AUDIO_DEVICE");
  if (ours && std::strcmp(ours, "nosound") == 0) return true;
  const char* sdl = std::getenv("SDL_AUDIODRIVER");
  return sdl && std::strcmp(sdl, "dummy") == 0;
}

// A PulseAudio server (PipeWire offers one too) is spoken to directly unless SDL is asked for:
// SDL's own PulseAudio output keeps a buffer of one short period and cannot drop it.
bool pulseWanted() {
#ifdef MELVO_HAVE_PULSE
  const char* ours = std::getenv("MELVO_AUDIO_OUTPUT");
  if (ours && std::strcmp(ours, "sdl") == 0) return false;
  const char* sdl = std::getenv("SDL_AUDIODRIVER");
  return !sdl || !*sdl || std::strcmp(sdl, "pulseaudio") == 0 || std::strcmp(sdl, "pipewire") == 0;
#else
  return false;
#endif
}

}  // namespace

bool Device::open(int device, int rate) {
  const bool noSound = noSoundRequested(device);
  if (!noSound && device != -1 && device != 1) return false;
  rate_ = rate;
  mixer_.reset(rate);
  std::unique_ptr<OutputSink> sink;
  if (noSound) {
    sink = makeNoSoundSink(mixer_);
    if (!sink->open(rate)) return false;
  } else {
    if (pulseWanted()) {
      sink = makePulseSink(mixer_);
      if (!sink->open(rate)) sink.reset();
    }
    if (!sink) {
      sink = makeSdlSink(mixer_);
      if (!sink->open(rate)) return false;
    }
  }
  sink_ = std::move(sink);
  return true;
}

void Device::close() {
  if (sink_) sink_->close();
  sink_.reset();
  mixer_.clear();
}

void Device::setRunning(bool on) {
  if (sink_) sink_->setRunning(on);
}

void Device::wake() {
  if (sink_) sink_->wake();
}

void Device::feed() {
  if (sink_) sink_->feed();
}

void Device::attach(Stream* s) {
  mixer_.attach(s);
  s->setOutput(this, &mixer_.clock());
}

void Device::detach(Stream* s) {
  mixer_.detach(s);
}

}  // namespace melvo::audiolib
