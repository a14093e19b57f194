// The library database. The first byte picks the case:
//   even: the rest is a whole melvov5.db3 file (a mutated one): it is opened, its settings and
//         the play list read in each order, and searched. An SQLite error is an answer; a crash,
//         a hang or a list that contradicts itself is not.
//   odd:  the rest is song texts (fields split by 0x1F, songs by 0x1E) stored into a fresh
//         database and read back: every stored text comes back byte for byte, under the id the
//         store reported, and a search finds exactly the songs whose texts contain the needle
//         (the last song's title).
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "library/dataCtr.h"

namespace {

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// SQL LIKE on ASCII text: % any run, _ any one character, letters without regard to case.
bool Like(const std::string& pattern, const std::string& text) {
  std::vector<char> row(text.size() + 1, 0), next(text.size() + 1, 0);
  row[0] = 1;
  for (size_t j = 1; j <= text.size(); ++j) row[j] = 0;
  for (char p : pattern) {
    std::fill(next.begin(), next.end(), 0);
    if (p == '%') {
      char any = 0;
      for (size_t j = 0; j <= text.size(); ++j) next[j] = any = char(any | row[j]);
    } else {
      for (size_t j = 1; j <= text.size(); ++j)
        next[j] = row[j - 1] && (p == '_' || Fold(p) == Fold(text[j - 1]));
    }
    row.swap(next);
  }
  return row[text.size()];
}

bool SameSong(const TTSL& a, const TTSL& b) {
  return a.s_id == b.s_id && a.s_title == b.s_title && a.s_path == b.s_path &&
         a.s_artist == b.s_artist && a.s_singer == b.s_singer && a.s_url == b.s_url &&
         a.s_ltime == b.s_ltime && a.s_addtime == b.s_addtime;
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == by)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

void RemoveSideFiles(const std::string& db) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) unlink((db + suffix).c_str());
}

void UseFolder(const char* name) {
  const std::string folder = fuzz::ScratchFolder() + "/" + name;
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  mkdir(folder.c_str(), 0700);
  mkdir((folder + "/melvo").c_str(), 0700);
}

void ReadMutatedFile(const uint8_t* data, size_t size) {
  UseFolder("mutated");
  const std::string db = DatabasePath();
  RemoveSideFiles(db);
  fuzz::WriteFile(db, data, size);
  try {
    ReadConfig();
    const TSongList byId = GetSongList(0);
    std::map<int, const TTSL*> rows;
    for (const TTSL& song : byId) rows.emplace(song.s_id, &song);
    for (int sort : {10, 11}) {
      const TSongList other = GetSongList(sort);
      FUZZ_CHECK(other.size() == byId.size());
      for (const TTSL& song : other) {
        auto it = rows.find(song.s_id);
        FUZZ_CHECK(it != rows.end());
      }
    }
    for (const std::string needle : {"a", "%", "_", "'", "\xE5\x91\xA8"}) {
      for (const TTSL& hit : SearchSongs(needle)) FUZZ_CHECK(rows.count(hit.s_id) == 1);
    }
    GetMaxSongId();
  } catch (const EDatabaseError&) {
  }
  RemoveSideFiles(db);
}

void StoreAndReadBack(const uint8_t* data, size_t size) {
  UseFolder("stored");
  static bool made = false;
  if (!made) {
    unlink(DatabasePath().c_str());
    FUZZ_CHECK(InitDatabase());
    made = true;
  }
  DeleteAllSongs();
  std::string text(reinterpret_cast<const char*>(data), size);
  std::replace(text.begin(), text.end(), '\0', ' ');  // tag texts never hold a NUL

  TSongList songs;
  for (const std::string& entry : Split(text, '\x1E')) {
    const auto f = Split(entry, '\x1F');
    TTSL song;
    song.s_title = f[0];
    if (f.size() > 1) song.s_artist = f[1];
    if (f.size() > 2) song.s_singer = f[2];
    if (f.size() > 3) song.s_path = f[3];
    if (f.size() > 4) song.s_url = f[4];
    song.s_ltime = int(entry.size() * 7);
    song.s_addtime = 2612101200 + int64_t(songs.size());
    songs.push_back(song);
    if (songs.size() == 8) break;
  }
  // Storing stops at the first song whose title, album and singer repeat an earlier one.
  size_t expected = 0;
  for (; expected < songs.size(); ++expected) {
    bool repeat = false;
    for (size_t k = 0; k < expected; ++k)
      repeat = repeat || (songs[k].s_title == songs[expected].s_title &&
                          songs[k].s_artist == songs[expected].s_artist &&
                          songs[k].s_singer == songs[expected].s_singer);
    if (repeat) break;
  }

  const std::vector<int> ids = AddSongs(songs);
  FUZZ_CHECK(ids.size() == expected);
  for (size_t i = 0; i < ids.size(); ++i) songs[i].s_id = ids[i];
  songs.resize(expected);

  const TSongList stored = GetSongList(0);
  FUZZ_CHECK(stored.size() == songs.size());
  for (size_t i = 0; i < stored.size(); ++i) FUZZ_CHECK(SameSong(stored[i], songs[i]));
  FUZZ_CHECK(GetMaxSongId() == (ids.empty() ? 0 : ids.back()));

  const std::string needle = songs.empty() ? std::string() : songs.back().s_title;
  const TSongList hits = SearchSongs(needle);
  bool ascii = IsAscii(needle);
  for (const TTSL& s : songs)
    ascii = ascii && IsAscii(s.s_title) && IsAscii(s.s_artist) && IsAscii(s.s_singer);
  std::vector<int> want;
  for (const TTSL& s : songs) {
    const std::string pattern = "%" + needle + "%";
    if (!ascii || Like(pattern, s.s_title) || Like(pattern, s.s_artist) ||
        Like(pattern, s.s_singer))
      want.push_back(s.s_id);
  }
  for (const TTSL& hit : hits) {
    auto it =
        std::find_if(songs.begin(), songs.end(), [&](const TTSL& s) { return s.s_id == hit.s_id; });
    FUZZ_CHECK(it != songs.end() && SameSong(*it, hit));
  }
  if (ascii) FUZZ_CHECK(hits.size() == want.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("HOME", fuzz::ScratchFolder().c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (data[0] % 2 == 0)
    ReadMutatedFile(data + 1, size - 1);
  else
    StoreAndReadBack(data + 1, size - 1);
  return 0;
}
