// The library database: the play list (table korvax_lst) and the player's settings (table
// korvax_config) in one SQLite file. Plain functions; each opens and closes its own connection,
// except AddSongs, which keeps one between imports (see there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "library/DatabaseError.h"

// One song. Texts are UTF-8.
struct TTSL {
  int s_id = 0;           // row id SQLite gave the stored song
  std::string s_title;    // song title
  std::string s_path;     // full path of a local file; empty for an online song
  std::string s_artist;   // album name
  std::string s_singer;   // performer
  std::string s_url;      // network address of an online song; empty for a local file
  int s_ltime = 0;        // length in whole seconds
  int64_t s_addtime = 0;  // yymmddhhmm, local time (64-bit: from 2022 on it exceeds 32 bits)
  int s_nowplaytime = 0;  // always 0
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

// $XDG_DATA_HOME (default ~/.local/share) + "/melvo"; recomputed on every call.
std::string DataFolder();
// DataFolder() + "/melvov5.db3".
std::string DatabasePath();

// The moment t as the decimal number yymmddhhmm in local time, e.g. 8 Dec 2013 14:05 -> 1312081405.
int64_t AddTimeOf(std::time_t t);

// Deletes the old-version file, then creates the folder (one level), the file, its two tables and
// the default configuration row when the file is missing. An existing file is never examined,
// changed or deleted; a file of zero bytes (a first start that was cut off) counts as missing.
// Returns false when the folder cannot be created; raises EDatabaseError when SQLite cannot make
// the new file.
bool InitDatabase();

// Every other operation opens the existing file (a missing one is an error, never created here),
// waits up to a few seconds for locks held by other connections, and raises EDatabaseError on
// failure with the connection already closed. Integer columns that are NULL or not a number read 0.

// sort 10: by time added, 11: by singer descending, anything else: in row-id order.
TSongList GetSongList(int sort);
// Songs whose title, album or singer contains text (SQL LIKE: ASCII letters ignore case, % and _
// are wildcards).
TSongList SearchSongs(const std::string& text);
// Raised by AddSongs: SQLite's message and the row ids of the songs the call did store.
class EAddSongsError : public EDatabaseError {
 public:
  EAddSongsError(const std::string& message, std::vector<int> storedIds);
  const std::vector<int>& StoredIds() const { return FStoredIds; }

 private:
  std::vector<int> FStoredIds;
};

// Stores the songs in list order until the first one whose title, album and singer equal a stored
// row's; that one and all after it are not stored. Returns the row ids SQLite gave the stored
// ones, in order. s_id is not read. On failure raises EAddSongsError, whose ids are exactly the
// songs stored (committed) before it; songs stored before a duplicate or an error stay stored.
// The keys of the stored songs are kept between calls and reloaded only when another connection
// has written the file.
std::vector<int> AddSongs(const TSongList& songs);
// AddSongs commits this many songs per transaction: one transaction per song costs a disk sync
// each, one for the whole batch would hold the write lock for long and lose it all on a crash.
inline constexpr std::size_t kSongsPerTransaction = 2000;
void DeleteSong(int id);
void DeleteAllSongs();
// 0 when the table is empty.
int GetMaxSongId();
// Reads the configuration row into a new record that replaces CurConfig, and returns it. A table
// without a row gets the default row first.
TTSC* ReadConfig();
// Writes the nine fields to the configuration row; nullptr writes nothing.
void WriteConfig(const TTSC* config);
