// The output device: the mixer and the sink that plays it (SDL, or the no-sound sink).
#pragma once

#include <memory>

#include "audiolib/Mixer.h"
#include "audiolib/OutputSink.h"

namespace melvo::audiolib {

class Stream;

class Device {
 public:
  // device 0 (or an environment that asks for no sound) = the no-sound sink; -1 and 1 = SDL.
  bool open(int device, int rate);
  void close();
  bool isOpen() const { return sink_ != nullptr; }
  int rate() const { return rate_; }
  void setRunning(bool on);
  void wake();  // a stream started, moved or paused: drop what is queued where the sink can
  void feed();  // a stream has its first stretch: take it, keeping what is queued
  bool dropsQueued() const { return sink_ && sink_->drops(); }
  int startFrames() const { return sink_ ? sink_->startFrames() : 4096; }
  void attach(Stream* s);
  void detach(Stream* s);  // returns once the mixer no longer uses s
  void setMaster(float volume) {
    mixer_.master = volume;
    gainChanged();
  }
  void gainChanged() {
    if (sink_) sink_->gainChanged();
  }
  float master() const { return mixer_.master.load(); }
  const OutputClock& clock() const { return mixer_.clock(); }

 private:
  Mixer mixer_;
  std::unique_ptr<OutputSink> sink_;
  int rate_ = 44100;
};

}  // namespace melvo::audiolib
