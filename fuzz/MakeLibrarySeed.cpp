// Writes a small library database the way the player makes one (a few songs, Chinese and Latin
// texts, the settings row) to the path given, as a seed of the library fuzz target.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "library/dataCtr.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.db3\n", argv[0]);
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("melvo-seed-" + std::to_string(getpid()));
  fs::create_directories(folder);
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  if (!InitDatabase()) return 1;
  TSongList songs;
  const char* rows[][3] = {{"晴天", "叶惠美", "周杰伦"},
                           {"Tone A", "Tests", "Melvo"},
                           {"It's 100% _done_", "Album's", "O'Brien"}};
  int n = 0;
  for (const auto& r : rows) {
    TTSL s;
    s.s_title = r[0];
    s.s_artist = r[1];
    s.s_singer = r[2];
    s.s_path = "/music/" + std::to_string(++n) + ".mp3";
    s.s_ltime = 180 + n;
    s.s_addtime = 2612100900 + n;
    songs.push_back(s);
  }
  TTSL online;
  online.s_title = "Online";
  online.s_url = "http://127.0.0.1:8783/tm/music/1.mp3";
  songs.push_back(online);
  AddSongs(songs);
  TTSC config;
  config.skin_path = "/skins/1";
  WriteConfig(&config);
  fs::copy_file(DatabasePath(), argv[1], fs::copy_options::overwrite_existing);
  fs::remove_all(folder);
  return 0;
}
