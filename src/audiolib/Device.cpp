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

}  // namespace

bool Device::open(int device, int rate) {
  const bool noSound = noSoundRequested(device);
  if (!noSound && device != -1 && device != 1) return false;
  rate_ = rate;
  mixer_.reset(rate);
  auto sink = noSound ? makeNoSoundSink(mixer_) : makeSdlSink(mixer_);
  if (!sink->open(rate)) return false;
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

void Device::attach(Stream* s) {
  mixer_.attach(s);
  s->setOutput(this, &mixer_.clock());
}

void Device::detach(Stream* s) {
  mixer_.detach(s);
}

}  // namespace melvo::audiolib
