// Fills the library of $XDG_DATA_HOME with N songs for the start-up benchmark.
// Usage: melvo-bench-library N [PATH_OF_FIRST_SONG]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "library/dataCtr.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s N [PATH_OF_FIRST_SONG]\n", argv[0]);
    return 2;
  }
  const int count = std::atoi(argv[1]);
  if (!InitDatabase()) return 1;
  TSongList songs;
  songs.reserve(size_t(count));
  for (int i = 0; i < count; ++i) {
    TTSL s;
    s.s_title = "歌曲 " + std::to_string(i + 1);
    s.s_singer = "歌手 " + std::to_string(i % 97);
    s.s_artist = "专辑 " + std::to_string(i % 31);
    s.s_path = i == 0 && argc > 2 ? argv[2] : "/music/" + s.s_singer + "/" + s.s_title + ".mp3";
    s.s_ltime = 180 + i % 120;
    s.s_addtime = 2401010000 + i;
    songs.push_back(s);
  }
  const auto ids = AddSongs(songs);
  std::printf("%zu songs in %s\n", ids.size(), DatabasePath().c_str());
  return ids.size() == size_t(count) ? 0 : 1;
}
