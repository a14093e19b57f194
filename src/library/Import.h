// Turning audio files into song records and storing them. The probe that reads a file's tags
// and length is passed in, so this layer knows nothing of the audio engine.
#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/dataCtr.h"

// What the probe reads from a file. Texts are UTF-8; a file that cannot be opened gives empty
// texts and length 0.
struct TSongTags {
  std::string Title;
  std::string Artist;
  std::string Album;
  double Longtime = 0;  // playing time in days
};
using TSongProbe = std::function<TSongTags(const std::string& path)>;

// The records of the latest import batch (main thread only). A batch clears it first; a worker
// that stores a batch works on a copy of its own.
extern TSongList ImportList;

// The file name of a path without its extension. Folders end at "/", "\" or ":"; the
// extension starts at the last dot after them; a name without such a dot is returned whole.
std::string GetFileTitle(const std::string& path);

// The tag title as probed unless it is empty once spaces and control characters are trimmed
// from both ends; then the file title.
std::string RecordTitle(const std::string& tagTitle, const std::string& path);

// A length in days as whole seconds, rounded to the nearest (halves to even).
int LengthInSeconds(double days);

// The record of one file as probed, added at the local time `now`.
TTSL SongFromFile(const std::string& path, const TSongTags& tags, std::time_t now);

// Probes the path and appends its record (the clock read for this record).
void FileToSong(TSongList& songs, const std::string& path, const TSongProbe& probe);
// The same for every path, in the order given.
void FilesToSongs(TSongList& songs, const std::vector<std::string>& paths, const TSongProbe& probe);

// Stores a copy of the songs on a worker thread of its own and returns at once; `stored`, when
// given, gets the row ids AddSongs returned (on the worker; nothing when storing failed).
void TInfoToData(const TSongList& songs, std::function<void(std::vector<int> ids)> stored = {});

// One import on a worker thread: the files are probed, their records built and stored in
// pieces, in the order given. After each piece `piece` runs on the worker with the piece's
// records and the row ids of those stored (a prefix: once AddSongs stops at a song already
// stored, that one and every later record of the import get no row, as one AddSongs over the
// whole batch would do). A failure of the database ends the storing, not the import.
struct TImportProgress {
  TSongList Songs;       // records of this piece, in order
  std::vector<int> Ids;  // row ids of Songs[0 .. Ids.size() - 1]
  std::size_t Done = 0;  // files handled so far, this piece included
  std::size_t Total = 0;
  bool Last = false;
};
class TImportJob {
 public:
  using TPieceHandler = std::function<void(TImportProgress piece)>;
  // Starts at once; the job keeps copies of what it is given.
  TImportJob(std::vector<std::string> paths, TSongProbe probe, TPieceHandler piece);
  ~TImportJob();
  TImportJob(const TImportJob&) = delete;
  TImportJob& operator=(const TImportJob&) = delete;
  // Asks the worker to stop after the piece under way; no handler runs after that piece.
  void Cancel();
  bool Finished() const;

 private:
  struct TState;
  std::shared_ptr<TState> FState;
};
