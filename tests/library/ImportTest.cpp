// Records built from files, and the import worker that stores them in pieces.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "LibraryTestSupport.h"
#include "library/Import.h"

namespace {

TEST(FileTitle, IsTheNameWithoutTheExtensionAfterTheLastFolder) {
  EXPECT_EQ(GetFileTitle("/home/me/Music/live.2013.mp3"), "live.2013");
  EXPECT_EQ(GetFileTitle("/home/me/Music/a.b/track"), "track");
  EXPECT_EQ(GetFileTitle("C:\\Music\\a.b\\track"), "track");
  EXPECT_EQ(GetFileTitle("C:\\Music\\live.2013.mp3"), "live.2013");
  EXPECT_EQ(GetFileTitle("C:song.flac"), "song");
  EXPECT_EQ(GetFileTitle("/music/mixed\\sep/晴天.mp3"), "晴天");
  EXPECT_EQ(GetFileTitle("plain"), "plain");
  EXPECT_EQ(GetFileTitle("/music/.mp3"), "");
  EXPECT_EQ(GetFileTitle("/music/dir/"), "");
  EXPECT_EQ(GetFileTitle(""), "");
}

TEST(Record, TitleLengthAndFieldsFollowTheTags) {
  EXPECT_EQ(RecordTitle("   ", "/m/name.mp3"), "name");
  EXPECT_EQ(RecordTitle("\t\r\n \x01", "/m/name.mp3"), "name");
  EXPECT_EQ(RecordTitle(" lead", "/m/name.mp3"), " lead");
  EXPECT_EQ(RecordTitle("晴天 ", "/m/name.mp3"), "晴天 ");

  constexpr double kSecond = 1.0 / 86400;
  EXPECT_EQ(LengthInSeconds(215.4 * kSecond), 215);
  EXPECT_EQ(LengthInSeconds(215.6 * kSecond), 216);
  EXPECT_EQ(LengthInSeconds(0.5 * kSecond), 0);  // halves to even
  EXPECT_EQ(LengthInSeconds(1.5 * kSecond), 2);
  EXPECT_EQ(LengthInSeconds(2.5 * kSecond), 2);
  EXPECT_EQ(LengthInSeconds(-3 * kSecond), 0);
  EXPECT_EQ(LengthInSeconds(std::nan("")), 0);
  EXPECT_EQ(LengthInSeconds(1e9), 0);

  std::tm when{};
  when.tm_year = 2025 - 1900;
  when.tm_mon = 11;
  when.tm_mday = 8;
  when.tm_hour = 14;
  when.tm_min = 5;
  when.tm_isdst = -1;
  const TTSL song =
      SongFromFile("/m/a.mp3", {"T", "Singer", "Album", 200 * kSecond}, std::mktime(&when));
  EXPECT_EQ(song.s_title, "T");
  EXPECT_EQ(song.s_path, "/m/a.mp3");
  EXPECT_EQ(song.s_artist, "Album");
  EXPECT_EQ(song.s_singer, "Singer");
  EXPECT_EQ(song.s_url, "");
  EXPECT_EQ(song.s_ltime, 200);
  EXPECT_EQ(song.s_addtime, int64_t{2512081405});
  EXPECT_EQ(song.s_nowplaytime, 0);
}

TEST(Record, FilesBecomeRecordsInOrderAndUnreadableOnesKeepTheirName) {
  TSongList songs;
  const TSongProbe probe = [](const std::string& path) {
    return path == "/m/b.mp3" ? TSongTags{"Bee", "B", "", 0} : TSongTags{};
  };
  FilesToSongs(songs, {"/m/a.mp3", "/m/b.mp3"}, probe);
  FileToSong(songs, "/no/such/file.ogg", probe);
  ASSERT_EQ(songs.size(), 3u);
  EXPECT_EQ(songs[0].s_title, "a");
  EXPECT_EQ(songs[1].s_title, "Bee");
  EXPECT_EQ(songs[2].s_title, "file");
  EXPECT_EQ(songs[2].s_ltime, 0);
  FilesToSongs(songs, {}, probe);
  EXPECT_EQ(songs.size(), 3u);
}

class ImportJob : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    InitOrFail();
  }
  struct TResult {
    std::mutex Lock;
    std::condition_variable Done;
    std::vector<TImportProgress> Pieces;
    bool Last = false;
  };
  // Runs an import to its end and returns its pieces.
  std::vector<TImportProgress> Run(const std::vector<std::string>& paths, TSongProbe probe) {
    auto result = std::make_shared<TResult>();
    TImportJob job(paths, std::move(probe), [result](TImportProgress p) {
      std::lock_guard lock(result->Lock);
      result->Last = p.Last;
      result->Pieces.push_back(std::move(p));
      result->Done.notify_all();
    });
    std::unique_lock lock(result->Lock);
    EXPECT_TRUE(
        result->Done.wait_for(lock, std::chrono::seconds(20), [&] { return result->Last; }));
    // The worker may still be leaving its handler.
    while (!job.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return std::move(result->Pieces);
  }
  static std::vector<std::string> Paths(int n) {
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i) paths.push_back("/m/song" + std::to_string(1000 + i) + ".mp3");
    return paths;
  }
  static TTSL Stored(const std::string& title) {
    TTSL s;
    s.s_title = title;
    s.s_path = "/elsewhere/" + title;
    return s;
  }
};

TEST_F(ImportJob, EveryRecordCarriesTheRowIdOfItsOwnRowDespiteAnInsertInBetween) {
  AddSongs({Stored("old one"), Stored("old two")});
  const int maxId = GetMaxSongId();
  // Another song is stored while the batch is being probed: an online song, an earlier batch.
  std::once_flag once;
  const TSongProbe probe = [&](const std::string&) {
    std::call_once(once, [] { AddSongs({Stored("came in between")}); });
    return TSongTags{};
  };
  const std::vector<TImportProgress> pieces = Run(Paths(300), probe);
  ASSERT_GT(pieces.size(), 1u) << "a batch this size comes in pieces";
  std::map<int, std::string> rows;
  for (const TTSL& s : GetSongList(12)) rows[s.s_id] = s.s_title;
  ASSERT_EQ(rows.size(), 303u);
  std::size_t i = 0;
  bool guessWouldMiss = false;
  for (const TImportProgress& piece : pieces) {
    ASSERT_EQ(piece.Ids.size(), piece.Songs.size());
    for (std::size_t k = 0; k < piece.Songs.size(); ++k, ++i) {
      EXPECT_EQ(piece.Songs[k].s_title, "song" + std::to_string(1000 + i));
      EXPECT_EQ(rows[piece.Ids[k]], piece.Songs[k].s_title) << "record " << i;
      if (rows[maxId + 1 + int(i)] != piece.Songs[k].s_title) guessWouldMiss = true;
    }
    EXPECT_EQ(piece.Done, i);
    EXPECT_EQ(piece.Total, 300u);
  }
  EXPECT_EQ(i, 300u);
  EXPECT_TRUE(pieces.back().Last);
  EXPECT_TRUE(guessWouldMiss) << "maxId + 1 + i names another song's row here";
}

TEST_F(ImportJob, AStoredSongStopsTheStoringForItAndEveryLaterRecordAsOneBatchWould) {
  const std::vector<std::string> paths = Paths(200);
  AddSongs({Stored("song1100")});  // title "song1100", no album, no singer: as record 100
  const std::vector<TImportProgress> pieces =
      Run(paths, [](const std::string&) { return TSongTags{}; });
  std::size_t records = 0, ids = 0;
  for (const TImportProgress& p : pieces) {
    records += p.Songs.size();
    ids += p.Ids.size();
  }
  EXPECT_EQ(records, 200u);
  EXPECT_EQ(ids, 100u);
  EXPECT_EQ(GetSongList(12).size(), 101u);
}

TEST_F(ImportJob, AFailingProbeStillGivesARecordAndACancelledJobReportsNoMore) {
  const std::vector<TImportProgress> pieces =
      Run({"/m/x.mp3", "/m/y.mp3"}, [](const std::string& p) {
        if (p == "/m/x.mp3") throw std::runtime_error("unreadable");
        return TSongTags{"Why", "", "", 0};
      });
  ASSERT_EQ(pieces.size(), 1u);
  ASSERT_EQ(pieces[0].Songs.size(), 2u);
  EXPECT_EQ(pieces[0].Songs[0].s_title, "x");
  EXPECT_EQ(pieces[0].Songs[1].s_title, "Why");

  std::atomic<int> calls{0};
  std::atomic<bool> release{false};
  {
    TImportJob job(
        Paths(1000),
        [&](const std::string&) {
          while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          return TSongTags{};
        },
        [&](TImportProgress) { ++calls; });
    job.Cancel();
    release = true;
    while (!job.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(calls, 0);
}

TEST_F(ImportJob, TheStoringWorkerKeepsABatchOfItsOwn) {
  TSongList batch{Stored("a"), Stored("b")};
  std::mutex lock;
  std::condition_variable done;
  std::vector<int> ids;
  bool finished = false;
  TInfoToData(batch, [&](std::vector<int> stored) {
    std::lock_guard guard(lock);
    ids = std::move(stored);
    finished = true;
    done.notify_all();
  });
  batch.clear();  // the next batch clears the shared list at once
  batch.push_back(Stored("z"));
  std::unique_lock wait(lock);
  ASSERT_TRUE(done.wait_for(wait, std::chrono::seconds(10), [&] { return finished; }));
  ASSERT_EQ(ids.size(), 2u);
  const TSongList rows = GetSongList(12);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].s_title, "a");
  EXPECT_EQ(rows[0].s_id, ids[0]);
  EXPECT_EQ(rows[1].s_title, "b");
}

}  // namespace
