// Shared helpers of the audio library tests: device set-up, fixture paths, waiting.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "audiolib/AudioLib.h"

namespace audiolib_test {

// Opens the no-sound device once per process (the tests run with MELVO_AUDIO_DEVICE=nosound).
void initDevice();
std::string fixture(const std::string& name);
// The whole file as bytes (empty when it cannot be read).
std::string readFile(const std::string& path);
void loadPlugin();
void unloadPlugins();
// Polls until `done` holds or the time is up; returns the last result.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);
// Decodes a whole file through a decoding channel into 16-bit samples.
std::vector<int16_t> decodeAll(HSTREAM decodeChannel);
// Amplitude of `freq` in mono samples (single-bin DFT).
double toneAmplitude(const std::vector<float>& samples, int rate, double freq);

// Frees a stream when the test ends.
struct StreamGuard {
  HSTREAM h;
  explicit StreamGuard(HSTREAM handle) : h(handle) {}
  ~StreamGuard() {
    if (h) BASS_StreamFree(h);
  }
  StreamGuard(const StreamGuard&) = delete;
  StreamGuard& operator=(const StreamGuard&) = delete;
};

}  // namespace audiolib_test
