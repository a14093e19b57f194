// Speed of the library database on a real file under /tmp.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "library/dataCtr.h"

namespace {

namespace fs = std::filesystem;

// A private XDG_DATA_HOME for the whole run.
class TBenchFolder {
 public:
  TBenchFolder() {
    char pattern[] = "/tmp/melvo-library-bench-XXXXXX";
    FRoot = mkdtemp(pattern);
    setenv("XDG_DATA_HOME", FRoot.c_str(), 1);
  }
  ~TBenchFolder() {
    std::error_code ignored;
    fs::remove_all(FRoot, ignored);
  }
  const std::string& Root() const { return FRoot; }

 private:
  std::string FRoot;
};

TBenchFolder& Folder() {
  static TBenchFolder folder;
  return folder;
}

TSongList MakeSongs(int count, const std::string& prefix) {
  TSongList songs;
  songs.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    TTSL song;
    song.s_title = prefix + " 第" + std::to_string(i) + "首 It's a song";
    song.s_artist = "Album " + std::to_string(i % 97);
    song.s_singer = "歌手 " + std::to_string(i % 211);
    song.s_path = "/home/user/Music/" + song.s_singer + "/" + song.s_title + ".flac";
    song.s_ltime = 180 + i % 120;
    song.s_addtime = 2512091405 + i % 50;
    songs.push_back(std::move(song));
  }
  return songs;
}

// A database file holding `rows` songs, made once per size and copied for each use.
std::string TemplateWithRows(int rows) {
  const std::string path = Folder().Root() + "/template-" + std::to_string(rows) + ".db3";
  if (!fs::exists(path)) {
    fs::remove(DatabasePath());
    InitDatabase();
    AddSongs(MakeSongs(rows, "stored"));
    fs::rename(DatabasePath(), path);
  }
  return path;
}

// A new file (a new inode, as a file put in place by another program would be) with the rows.
void UseDatabaseWithRows(int rows) {
  const std::string source = TemplateWithRows(rows);
  fs::create_directories(DataFolder());
  fs::remove(DatabasePath());
  fs::copy_file(source, DatabasePath());
}

// AddSongs of 10,000 new songs into a file that already holds range(0) songs, in a player that
// has already stored songs into that file before (an earlier import, a command-line song): the
// usual case, and the one whose cost must not grow with the table.
void BM_AddSongs10000(benchmark::State& state) {
  Folder();
  const TSongList songs = MakeSongs(10000, "new");
  const TSongList earlier = MakeSongs(1, "earlier");
  for (auto _ : state) {
    state.PauseTiming();
    UseDatabaseWithRows(static_cast<int>(state.range(0)));
    AddSongs(earlier);
    state.ResumeTiming();
    std::vector<int> ids = AddSongs(songs);
    if (ids.size() != songs.size()) state.SkipWithError("not every song was stored");
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_AddSongs10000)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same into a file this process has never stored into: the first import after start.
void BM_AddSongs10000FirstImport(benchmark::State& state) {
  Folder();
  const TSongList songs = MakeSongs(10000, "new");
  for (auto _ : state) {
    state.PauseTiming();
    UseDatabaseWithRows(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    std::vector<int> ids = AddSongs(songs);
    if (ids.size() != songs.size()) state.SkipWithError("not every song was stored");
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_AddSongs10000FirstImport)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond);

// A main-thread deletion between two imports: the next import finds the table changed.
void BM_AddSongs10000AfterDeletion(benchmark::State& state) {
  Folder();
  const TSongList songs = MakeSongs(10000, "new");
  const TSongList earlier = MakeSongs(1, "earlier");
  for (auto _ : state) {
    state.PauseTiming();
    UseDatabaseWithRows(static_cast<int>(state.range(0)));
    AddSongs(earlier);
    DeleteSong(1);
    state.ResumeTiming();
    std::vector<int> ids = AddSongs(songs);
    if (ids.size() != songs.size()) state.SkipWithError("not every song was stored");
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_AddSongs10000AfterDeletion)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond);

// The play list of 10,000 songs in each order.
void BM_GetSongList10000(benchmark::State& state) {
  Folder();
  UseDatabaseWithRows(10000);
  const int sort = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TSongList songs = GetSongList(sort);
    if (songs.size() != 10000) state.SkipWithError("wrong number of songs");
    benchmark::DoNotOptimize(songs.data());
  }
}
BENCHMARK(BM_GetSongList10000)->Arg(10)->Arg(11)->Arg(12)->Unit(benchmark::kMillisecond);

// A local search over 100,000 songs that finds a handful.
void BM_SearchSongs100000(benchmark::State& state) {
  Folder();
  UseDatabaseWithRows(100000);
  for (auto _ : state) {
    TSongList songs = SearchSongs("第4242首");
    if (songs.size() != 1) state.SkipWithError("wrong number of songs found");
    benchmark::DoNotOptimize(songs.data());
  }
}
BENCHMARK(BM_SearchSongs100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
