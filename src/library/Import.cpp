#include "library/Import.h"

#include "base/OneShot.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>
#include <utility>

TSongList ImportList;

namespace {

bool IsBlank(unsigned char c) {
  return c <= 32;
}

// The first pieces of an import are small so that its first entries show at once; later ones
// are larger, since every store reads the stored songs' keys once.
constexpr std::size_t kFirstPiece = 64;
constexpr std::size_t kLargestPiece = 512;
constexpr std::size_t kMostProbeThreads = 4;

}  // namespace

std::string GetFileTitle(const std::string& path) {
  const std::size_t folderEnd = path.find_last_of("/\\:");
  const std::size_t nameStart = folderEnd == std::string::npos ? 0 : folderEnd + 1;
  const std::size_t dot = path.rfind('.');
  const std::size_t nameEnd =
      dot != std::string::npos && dot >= nameStart ? dot : std::string::npos;
  return path.substr(nameStart,
                     nameEnd == std::string::npos ? std::string::npos : nameEnd - nameStart);
}

std::string RecordTitle(const std::string& tagTitle, const std::string& path) {
  const bool blank = std::all_of(tagTitle.begin(), tagTitle.end(),
                                 [](char c) { return IsBlank(static_cast<unsigned char>(c)); });
  return blank ? GetFileTitle(path) : tagTitle;
}

int LengthInSeconds(double days) {
  const double seconds = std::nearbyint(days * 86400.0);
  // A length no file has (negative, not a number, beyond the field) counts as unknown.
  if (!(seconds >= 0) || seconds > 2147483647.0) return 0;
  return static_cast<int>(seconds);
}

TTSL SongFromFile(const std::string& path, const TSongTags& tags, std::time_t now) {
  TTSL song;
  song.s_title = RecordTitle(tags.Title, path);
  song.s_path = path;
  song.s_artist = tags.Album;
  song.s_singer = tags.Artist;
  song.s_ltime = LengthInSeconds(tags.Longtime);
  song.s_addtime = AddTimeOf(now);
  song.s_nowplaytime = 0;
  return song;
}

void FileToSong(TSongList& songs, const std::string& path, const TSongProbe& probe) {
  const TSongTags tags = probe ? probe(path) : TSongTags{};
  songs.push_back(SongFromFile(path, tags, std::time(nullptr)));
}

void FilesToSongs(TSongList& songs, const std::vector<std::string>& paths,
                  const TSongProbe& probe) {
  songs.reserve(songs.size() + paths.size());
  for (const std::string& path : paths) FileToSong(songs, path, probe);
}

void TInfoToData(const TSongList& songs, std::function<void(std::vector<int>)> stored) {
  // A failed store ends the worker; the entries already shown stay. Without a thread the store
  // runs here rather than being lost.
  base::StartOneShot(
      [batch = songs, done = std::move(stored)] {
        std::vector<int> ids = AddSongs(batch);
        if (done) done(std::move(ids));
      },
      base::TNoThread::RunHere);
}

struct TImportJob::TState {
  std::vector<std::string> Paths;
  TSongProbe Probe;
  TPieceHandler Piece;
  std::atomic<bool> Cancelled{false};
  std::atomic<bool> Finished{false};
  std::size_t ProbeThreads =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMostProbeThreads);

  TTSL Record(std::size_t i) {
    try {
      TSongList one;
      FileToSong(one, Paths[i], Probe);
      return std::move(one.front());
    } catch (...) {
      // A probe that fails reads nothing: the record is made from the path alone.
      return SongFromFile(Paths[i], TSongTags{}, std::time(nullptr));
    }
  }

  // Probing waits on the disk and the decoder's set-up: the files of a piece are shared out
  // among a few threads, each record landing at its file's place.
  TSongList ProbePiece(std::size_t begin, std::size_t end) {
    TSongList songs(end - begin);
    std::atomic<std::size_t> next{begin};
    auto work = [&] {
      for (std::size_t i = next++; i < end && !Cancelled; i = next++) songs[i - begin] = Record(i);
    };
    const std::size_t helpers = std::min<std::size_t>(ProbeThreads - 1, (end - begin) / 8);
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (std::size_t t = 0; t < helpers; ++t) threads.emplace_back(work);
    work();
    for (std::thread& t : threads) t.join();
    return songs;
  }

  void Run() {
    bool storing = true;
    std::size_t next = 0, size = kFirstPiece;
    while (next < Paths.size() && !Cancelled) {
      const std::size_t end = std::min(Paths.size(), next + size);
      TImportProgress piece;
      piece.Songs = ProbePiece(next, end);
      if (storing) {
        try {
          piece.Ids = AddSongs(piece.Songs);
        } catch (const EAddSongsError& error) {
          piece.Ids = error.StoredIds();  // exactly the songs that were stored
          storing = false;
        } catch (...) {
          piece.Ids.clear();
          storing = false;
        }
        if (piece.Ids.size() < piece.Songs.size()) storing = false;
      }
      next = end;
      size = std::min(kLargestPiece, size * 2);
      piece.Done = next;
      piece.Total = Paths.size();
      piece.Last = next == Paths.size();
      if (Cancelled) break;
      if (Piece) Piece(std::move(piece));
    }
    Finished = true;
  }
};

TImportJob::TImportJob(std::vector<std::string> paths, TSongProbe probe, TPieceHandler piece)
    : FState(std::make_shared<TState>()) {
  FState->Paths = std::move(paths);
  FState->Probe = std::move(probe);
  FState->Piece = std::move(piece);
  std::thread([state = FState] { state->Run(); }).detach();
}

TImportJob::~TImportJob() {
  Cancel();
}

void TImportJob::Cancel() {
  FState->Cancelled = true;
}

bool TImportJob::Finished() const {
  return FState->Finished;
}
