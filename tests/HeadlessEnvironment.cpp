// Linked into every test program and fuzz target (melvo_run_headless): they run headless (no
// display, no sound card) unless the caller's environment says otherwise. This is the only place
// that sets it; neither ctest's presets nor the scripts repeat it.
#include <cstdlib>

namespace {

const bool kHeadless = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("MELVO_AUDIO_DEVICE", "nosound", 0);
  return true;
}();

}  // namespace
