// Where mixed audio goes: a sound card through SDL, or nowhere at the real-time rate. A sink pulls
// its periods from the mixer on a thread of its own.
#pragma once

#include <memory>

namespace melvo::audiolib {

class Mixer;

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // Starts taking audio at `rate`; false when the output cannot be opened.
  virtual bool open(int rate) = 0;
  virtual void close() = 0;
  // Paused output takes nothing; what it had queued is dropped.
  virtual void setRunning(bool on) = 0;
  // A stream started, moved or paused: drop what is queued (where the output can) and take new
  // audio at once.
  virtual void wake() = 0;
  // A stream has decoded its first stretch: take it now. What is queued stays: it was dropped when
  // the stream started or moved, and what was taken since is the stream's own first stretch.
  virtual void feed() { wake(); }
  // Whether wake() drops what is queued, so that it is never heard.
  virtual bool drops() const { return true; }
  // How much a stream decodes after a start or a seek before it is mixed: what the output takes at
  // once when it starts, so that no silence is queued in front of the first stretch.
  virtual int startFrames() const { return 4096; }
  // A stream's volume or the master changed: a sink that applies the mixer's outside gain takes
  // the new one at once.
  virtual void gainChanged() {}
};

std::unique_ptr<OutputSink> makeSdlSink(Mixer& mixer);
std::unique_ptr<OutputSink> makeNoSoundSink(Mixer& mixer);
std::unique_ptr<OutputSink> makePulseSink(Mixer& mixer);  // only with MELVO_HAVE_PULSE

}  // namespace melvo::audiolib
