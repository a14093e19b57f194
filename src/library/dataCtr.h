// The library database: the play list (table korvax_lst) and the player's settings (table
// korvax_config) in one SQLite file. Plain functions; each opens and closes its own connection.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// One song. Texts are UTF-8.
struct TTSL {
  int s_id = 0;          // row id SQLite gave the stored song
  std::string s_title;   // song title
  std::string s_path;    // full path of a local file; empty for an online song
  std::string s_artist;  // album name
  std::string s_singer;  // performer
  std::string s_url;     // network address of an online song; empty for a local file
  int s_ltime = 0;       // length in whole seconds
  int64_t s_addtime = 0; // yymmddhhmm, local time (64-bit: from 2022 on it exceeds 32 bits)
  int s_nowplaytime = 0; // always 0
};
using TSL = TTSL*;
using TSongList = std::vector<TTSL>;

// The configuration row.
struct TTSC {
  int con_volv = 100;
  int con_dls = 0;
  int con_ar = 0;
  int con_eq = 0;
  std::string skin_name = "1";
  std::string skin_path;
  int now_psi = 0;
  int sort = 10;
  int circle = 1003;
};

// The live configuration, created by ReadConfig. Main thread only.
extern std::unique_ptr<TTSC> CurConfig;

// Raised by every operation when SQLite fails; carries SQLite's message.
class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// $XDG_DATA_HOME (default ~/.local/share) + "/melvo"; recomputed on every call.
std::string DataFolder();
// DataFolder() + "/melvov5.db3".
std::string DatabasePath();

bool InitDatabase();
TSongList GetSongList(int sort);
TSongList SearchSongs(const std::string& text);
// Stores the songs in list order until the first duplicate; returns the row ids SQLite gave the
// stored ones, in order.
std::vector<int> AddSongs(const TSongList& songs);
void DeleteSong(int id);
void DeleteAllSongs();
int GetMaxSongId();
TTSC* ReadConfig();
void WriteConfig(const TTSC* config);
