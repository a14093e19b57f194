// Loaded format plug-ins (b_*.so) and the decoders they offer.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "audiolib/AudioLibPlugin.h"
#include "audiolib/Decoder.h"

namespace melvo::audiolib {

// The folder of the running executable, with a trailing '/'.
std::string programFolder();

class PluginRegistry {
 public:
  HPLUGIN load(const std::string& name, int* error);
  const BASS_PLUGININFO* info(HPLUGIN handle);
  bool free(HPLUGIN handle);  // 0 = all
  PluginDecoder openDecoder(const AVCodecParameters* par);

 private:
  struct Loaded {
    HPLUGIN handle;
    void* module;
    const MELVO_AUDIOLIB_PLUGIN* api;
    std::string path;
  };
  std::mutex mutex_;
  std::vector<Loaded> loaded_;
  HPLUGIN next_ = 0x1000;
};

}  // namespace melvo::audiolib
