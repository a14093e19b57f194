// melvo-probe: runs the engine's tag and duration probe over files and prints one JSON line per
// file with the result and the time the probe took.
#include "audio/AudioEngine.h"

#include <QCoreApplication>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: melvo-probe FILE...\n");
    return 2;
  }
  // Probing never plays: the no-sound device lets it run on machines without a sound card.
  setenv("MELVO_AUDIO_DEVICE", "nosound", 0);
  TAudioEngine engine(0, QCoreApplication::applicationDirPath().toStdString() + "/");
  for (int i = 1; i < argc; ++i) {
    auto start = std::chrono::steady_clock::now();
    TTags tags = engine.GetSongLength(argv[i]);
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    nlohmann::json line = {{"file", argv[i]},
                           {"title", tags.Title},
                           {"artist", tags.Artist},
                           {"album", tags.Album},
                           {"longtime", tags.Longtime},
                           {"seconds", tags.Longtime * 86400.0},
                           {"ms", ms}};
    // Tag bytes that are not UTF-8 must not stop the listing.
    std::printf("%s\n",
                line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  }
  return 0;
}
