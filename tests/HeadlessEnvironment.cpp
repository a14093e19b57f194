// Linked into every test program: the suites run headless (no display, no sound card) unless the
// caller's environment says otherwise.
#include <cstdlib>

namespace {

const bool kHeadless = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("MELVO_AUDIO_DEVICE", "nosound", 0);
  return true;
}();

}  // namespace
