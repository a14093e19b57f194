#include "audiolib/Plugins.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace melvo::audiolib {
namespace {

std::string canonical(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

}  // namespace

std::string programFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return "./";
  std::string exe(buf, size_t(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

HPLUGIN PluginRegistry::load(const std::string& name, int* error) {
  *error = BASS_ERROR_FILEOPEN;
  if (name.empty()) return 0;
  std::vector<std::string> candidates;
  if (name.find('/') != std::string::npos) {
    candidates.push_back(name);
  } else {
    candidates.push_back(programFolder() + name);
    if (const char* extra = std::getenv("MELVO_PLUGIN_DIR"); extra && *extra)
      candidates.push_back(std::string(extra) + "/" + name);
    candidates.push_back("./" + name);
  }
  std::string path;
  for (const std::string& c : candidates) {
    path = canonical(c);
    if (!path.empty()) break;
  }
  if (path.empty()) return 0;

  std::lock_guard lock(mutex_);
  for (const Loaded& p : loaded_)
    if (p.path == path) {
      *error = BASS_OK;
      return p.handle;
    }
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return 0;
  auto entry = reinterpret_cast<MELVO_AUDIOLIB_PLUGIN_ENTRY>(
      ::dlsym(module, MELVO_AUDIOLIB_PLUGIN_ENTRY_NAME));
  const MELVO_AUDIOLIB_PLUGIN* api = entry ? entry() : nullptr;
  if (!api || api->abi != MELVO_AUDIOLIB_PLUGIN_ABI || !api->openDecoder) {
    ::dlclose(module);
    *error = BASS_ERROR_FILEFORM;
    return 0;
  }
  loaded_.push_back({++next_, module, api, path});
  *error = BASS_OK;
  return next_;
}

const BASS_PLUGININFO* PluginRegistry::info(HPLUGIN handle) {
  std::lock_guard lock(mutex_);
  for (const Loaded& p : loaded_)
    if (p.handle == handle) return &p.api->info;
  return nullptr;
}

bool PluginRegistry::free(HPLUGIN handle) {
  std::lock_guard lock(mutex_);
  bool found = false;
  for (auto it = loaded_.begin(); it != loaded_.end();) {
    if (handle == 0 || it->handle == handle) {
      // Decoders it made are FFmpeg objects and outlive the module.
      ::dlclose(it->module);
      it = loaded_.erase(it);
      found = true;
    } else {
      ++it;
    }
  }
  return found || handle == 0;
}

PluginDecoder PluginRegistry::openDecoder(const AVCodecParameters* par) {
  std::lock_guard lock(mutex_);
  for (const Loaded& p : loaded_) {
    AVCodecContext* codec = p.api->openDecoder(par);
    if (!codec) continue;
    DWORD ctype = p.api->channelType ? p.api->channelType(par) : DWORD(BASS_CTYPE_STREAM);
    return {codec, p.handle, ctype};
  }
  return {};
}

}  // namespace melvo::audiolib
