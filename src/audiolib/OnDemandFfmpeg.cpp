#include "audiolib/OnDemandFfmpeg.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstdlib>
#include <mutex>

namespace melvo::audiolib::ondemand {
namespace {

// The largest single block FFmpeg may take. Demuxers allocate what a header declares before
// reading it (an AIFF text chunk that claims 1.3 GB in a file of 2.6 kB); nothing a song needs
// comes near this, embedded pictures included.
constexpr size_t kMaxFfmpegBlock = size_t(64) << 20;

}  // namespace

// Looked up here directly: the on-demand objects would come back to the opening that is still
// running.
void applyFfmpegSettings(void* avutilHandle) {
  using MaxAlloc = void (*)(size_t);
  using LogLevel = void (*)(int);
  if (auto maxAlloc = reinterpret_cast<MaxAlloc>(::dlsym(avutilHandle, "av_max_alloc")))
    maxAlloc(kMaxFfmpegBlock);
  // The player writes no logs; FFmpeg's own messages are shown only when asked for.
  if (!std::getenv("MELVO_AUDIO_DEBUG"))
    if (auto logLevel = reinterpret_cast<LogLevel>(::dlsym(avutilHandle, "av_log_set_level")))
      logLevel(AV_LOG_QUIET);
}

bool openFfmpeg() {
  return avformat.open() && avcodec.open() && swresample.open();
}

void openFfmpegInBackground() {
  static std::once_flag started;
  std::call_once(started, [] { ::base::ondemand::runInBackground([] { openFfmpeg(); }); });
}

}  // namespace melvo::audiolib::ondemand
