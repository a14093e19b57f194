#include "TestSupport.h"
#include "BuildPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

namespace audiolib_test {

void initDevice() {
  setenv("MELVO_PLUGIN_DIR", melvo::build::BinDir().c_str(),
         1);  // the tests run from their own folder
  bool ready =
      BASS_Init(-1, 44100, 0, nullptr, nullptr) || BASS_ErrorGetCode() == BASS_ERROR_ALREADY;
  ASSERT_TRUE(ready) << "no-sound device did not open";
}

std::string fixture(const std::string& name) {
  return melvo::build::FixturesDir() + "/" + name;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void loadPlugin() {
  ASSERT_NE(BASS_PluginLoad("b_ffx.so", BASS_UNICODE), 0u);
}
void unloadPlugins() {
  BASS_PluginFree(0);
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<int16_t> decodeAll(HSTREAM h) {
  std::vector<int16_t> all;
  int16_t buf[4096];
  for (;;) {
    DWORD got = BASS_ChannelGetData(h, buf, sizeof(buf));
    if (got == DWORD(-1) || got == 0) break;
    all.insert(all.end(), buf, buf + got / 2);
  }
  return all;
}

double toneAmplitude(const std::vector<float>& samples, int rate, double freq) {
  double re = 0, im = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    double w = 2 * M_PI * freq * double(i) / rate;
    re += samples[i] * std::cos(w);
    im += samples[i] * std::sin(w);
  }
  return 2 * std::hypot(re, im) / double(samples.size());
}

}  // namespace audiolib_test
