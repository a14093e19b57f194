#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <mutex>
#include <set>
#include <thread>

#include "LibraryTestSupport.h"

namespace {

// Collects the first error of any thread.
class TErrors {
 public:
  template <typename F>
  void Guard(F&& work) {
    try {
      work();
    } catch (const std::exception& error) {
      std::lock_guard lock(FMutex);
      if (FFirst.empty()) FFirst = error.what();
      ++FCount;
    }
  }
  int Count() {
    std::lock_guard lock(FMutex);
    return FCount;
  }
  std::string First() {
    std::lock_guard lock(FMutex);
    return FFirst;
  }

 private:
  std::mutex FMutex;
  int FCount = 0;
  std::string FFirst;
};

TSongList Batch(const std::string& prefix, int count) {
  TSongList songs;
  for (int i = 0; i < count; ++i) songs.push_back(MakeSong(prefix + std::to_string(i), "a", "s"));
  return songs;
}

}  // namespace

TEST_F(LibraryTest, ImportOnAWorkerAndMainThreadOperationsNeverFailOnLocks) {
  InitOrFail();
  TErrors errors;
  std::atomic<bool> importing{true};
  std::vector<int> ids;
  constexpr int kBatches = 6;
  constexpr int kPerBatch = 1000;

  std::thread worker([&] {
    errors.Guard([&] {
      for (int b = 0; b < kBatches; ++b) {
        std::vector<int> stored =
            AddSongs(Batch("batch " + std::to_string(b) + " song ", kPerBatch));
        ids.insert(ids.end(), stored.begin(), stored.end());
      }
    });
    importing = false;
  });
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      while (importing) {
        errors.Guard([] {
          GetSongList(10);
          SearchSongs("song 1");
          GetMaxSongId();
        });
      }
    });
  }
  int rounds = 0;
  while (importing) {  // this thread plays the main thread
    errors.Guard([&] {
      TTSC* config = ReadConfig();
      config->now_psi = ++rounds;
      WriteConfig(config);
      DeleteSong(-1);
    });
  }
  worker.join();
  for (std::thread& reader : readers) reader.join();

  EXPECT_EQ(errors.Count(), 0) << errors.First();
  ASSERT_EQ(ids.size(), std::size_t{kBatches * kPerBatch});
  EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
  EXPECT_EQ(GetSongList(10).size(), ids.size());
  EXPECT_EQ(ReadConfig()->now_psi, rounds);
}

TEST_F(LibraryTest, TwoImportsOfTheSameSongsNeverStoreADuplicate) {
  InitOrFail();
  // The second list fills a whole transaction before it reaches the shared songs, so the first
  // import can store them in between.
  TSongList shared = Batch("shared ", 1500);
  TSongList withOwnSongsFirst = Batch("own ", static_cast<int>(kSongsPerTransaction) + 500);
  withOwnSongsFirst.insert(withOwnSongsFirst.end(), shared.begin(), shared.end());

  TErrors errors;
  std::latch start(2);
  std::size_t storedA = 0, storedB = 0;
  std::thread a([&] {
    start.arrive_and_wait();
    errors.Guard([&] { storedA = AddSongs(shared).size(); });
  });
  std::thread b([&] {
    start.arrive_and_wait();
    errors.Guard([&] { storedB = AddSongs(withOwnSongsFirst).size(); });
  });
  a.join();
  b.join();

  EXPECT_EQ(errors.Count(), 0) << errors.First();
  TRows counts =
      RawQuery(DatabasePath(), "select count(*), count(distinct s_title) from korvax_lst");
  EXPECT_EQ(counts[0][0], counts[0][1]) << "a song was stored twice";
  EXPECT_EQ(std::stoul(counts[0][0]), storedA + storedB);
}

TEST_F(LibraryTest, OperationWaitsForALockHeldByAnotherConnection) {
  InitOrFail();
  std::latch locked(1);
  std::thread holder([&] {
    sqlite3* db = nullptr;
    sqlite3_open(DatabasePath().c_str(), &db);
    sqlite3_exec(db, "begin exclusive", nullptr, nullptr, nullptr);
    locked.count_down();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  });
  locked.wait();
  EXPECT_NO_THROW(AddSongs({MakeSong("after the lock", "a", "s")}));
  EXPECT_NO_THROW(ReadConfig());
  holder.join();
  EXPECT_EQ(GetSongList(10).size(), 1u);
}

// A reader that keeps its transaction open past the wait makes the commit fail: no song of that
// transaction is reported stored, none is, and none is taken for stored by the next import.
TEST_F(LibraryTest, FailedCommitStoresAndReportsNoSongOfItsTransaction) {
  InitOrFail();
  ASSERT_EQ(AddSongs({MakeSong("earlier", "a", "s")}).size(), 1u);
  std::latch reading(1);
  std::latch done(1);
  std::thread reader([&] {
    sqlite3* db = nullptr;
    sqlite3_open(DatabasePath().c_str(), &db);
    sqlite3_exec(db, "begin; select count(*) from korvax_lst", nullptr, nullptr, nullptr);
    reading.count_down();
    done.wait();
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  });
  reading.wait();
  const TSongList songs = Batch("lost ", 10);
  try {
    std::vector<int> ids = AddSongs(songs);
    ADD_FAILURE() << "reported " << ids.size() << " songs stored";
  } catch (const EAddSongsError& error) {
    EXPECT_TRUE(error.StoredIds().empty());
  }
  done.count_down();
  reader.join();
  EXPECT_EQ(RawQuery(DatabasePath(), "select count(*) from korvax_lst")[0][0], "1");
  EXPECT_TRUE(NobodyHoldsALock(DatabasePath()));
  EXPECT_EQ(AddSongs(songs).size(), songs.size());
}
