#include <gmock/gmock.h>

#include <algorithm>

#include "LibraryTestSupport.h"

using ::testing::ElementsAre;

namespace {

std::vector<std::string> Titles(const TSongList& songs) {
  std::vector<std::string> titles;
  for (const TTSL& song : songs) titles.push_back(song.s_title);
  return titles;
}

int64_t SongCount() {
  return std::stoll(RawQuery(DatabasePath(), "select count(*) from korvax_lst")[0][0]);
}

}  // namespace

TEST_F(LibraryTest, EmptyTableGivesZeroMaxIdAndEmptyLists) {
  InitOrFail();
  EXPECT_EQ(GetMaxSongId(), 0);
  EXPECT_TRUE(GetSongList(10).empty());
  EXPECT_TRUE(GetSongList(11).empty());
  EXPECT_TRUE(GetSongList(12).empty());
  EXPECT_TRUE(SearchSongs("").empty());
  EXPECT_TRUE(SearchSongs("a").empty());
  EXPECT_TRUE(AddSongs({}).empty());
}

TEST_F(LibraryTest, StoredSongReadsBackFieldForFieldWithTheRowIdSQLiteGave) {
  InitOrFail();
  TTSL online = MakeSong("Online", "Album", "Singer", 2612312359);  // needs more than 32 bits
  online.s_path = "";
  online.s_url = "http://example.com/a.mp3?x=1&y='2'";
  online.s_ltime = 3601;
  online.s_nowplaytime = 0;
  online.s_id = 999;  // not used when storing

  std::vector<int> ids = AddSongs({MakeSong("Local", "A", "S"), online});
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(ids[1], ids[0] + 1);
  EXPECT_EQ(GetMaxSongId(), ids[1]);

  TSongList songs = GetSongList(12);
  ASSERT_EQ(songs.size(), 2u);
  EXPECT_EQ(songs[0].s_id, ids[0]);
  EXPECT_EQ(songs[0].s_path, "/music/Local.mp3");
  const TTSL& read = songs[1];
  EXPECT_EQ(read.s_id, ids[1]);
  EXPECT_EQ(read.s_title, "Online");
  EXPECT_EQ(read.s_path, "");
  EXPECT_EQ(read.s_artist, "Album");
  EXPECT_EQ(read.s_singer, "Singer");
  EXPECT_EQ(read.s_url, online.s_url);
  EXPECT_EQ(read.s_ltime, 3601);
  EXPECT_EQ(read.s_addtime, 2612312359);
  EXPECT_EQ(read.s_nowplaytime, 0);

  // Ids follow the largest stored one, also after deletions in between.
  DeleteSong(ids[0]);
  std::vector<int> next = AddSongs({MakeSong("Third", "A", "S")});
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0], ids[1] + 1);
  EXPECT_EQ(GetSongList(12).back().s_id, next[0]);
}

TEST_F(LibraryTest, SortTenByTimeAddedElevenBySingerDescendingOtherwiseById) {
  InitOrFail();
  AddSongs({MakeSong("one", "x", "Bob", 2501011200), MakeSong("two", "x", "alice", 2401011200),
            MakeSong("three", "x", "Carol", 2601011200),
            MakeSong("four", "x", "Dave", 2301011200)});
  EXPECT_THAT(Titles(GetSongList(10)), ElementsAre("four", "two", "one", "three"));
  // By UTF-8 bytes: lower-case letters sort after upper-case ones.
  EXPECT_THAT(Titles(GetSongList(11)), ElementsAre("two", "four", "three", "one"));
  for (int sort : {12, 0, -1, 1001}) {
    EXPECT_THAT(Titles(GetSongList(sort)), ElementsAre("one", "two", "three", "four"))
        << "sort " << sort;
  }
}

TEST_F(LibraryTest, SingleQuotesAreStoredOnceAndFound) {
  InitOrFail();
  std::vector<int> ids = AddSongs({MakeSong("O'Brien", "Rock 'n' Roll", "Sinéad O'Connor"),
                                   MakeSong("x'); delete from korvax_lst; --", "''", "'")});
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(RawQuery(DatabasePath(), "select s_title, s_artist from korvax_lst order by s_id")[0],
            (std::vector<std::string>{"O'Brien", "Rock 'n' Roll"}));
  EXPECT_THAT(Titles(GetSongList(12)), ElementsAre("O'Brien", "x'); delete from korvax_lst; --"));

  EXPECT_THAT(Titles(SearchSongs("O'Brien")), ElementsAre("O'Brien"));
  EXPECT_THAT(Titles(SearchSongs("o'bri")), ElementsAre("O'Brien"));  // ASCII ignores case
  EXPECT_THAT(Titles(SearchSongs("'n'")), ElementsAre("O'Brien"));    // by album
  EXPECT_THAT(Titles(SearchSongs("'); delete")), ElementsAre("x'); delete from korvax_lst; --"));
  EXPECT_EQ(SearchSongs("'").size(), 2u);
  EXPECT_EQ(SongCount(), 2);

  // The duplicate test quotes too: the same song again is recognised, not an error.
  EXPECT_TRUE(AddSongs({MakeSong("O'Brien", "Rock 'n' Roll", "Sinéad O'Connor")}).empty());
}

TEST_F(LibraryTest, SearchMatchesTitleAlbumOrSingerWithLikeWildcards) {
  InitOrFail();
  AddSongs({MakeSong("abc", "first", "x"), MakeSong("other", "xyz album", "x"),
            MakeSong("none", "y", "the ABC band"), MakeSong("100% pure", "z", "z")});
  EXPECT_THAT(Titles(SearchSongs("abc")), ElementsAre("abc", "none"));
  EXPECT_THAT(Titles(SearchSongs("album")), ElementsAre("other"));
  // % and _ keep their LIKE meaning.
  EXPECT_THAT(Titles(SearchSongs("a_c")), ElementsAre("abc", "none"));
  EXPECT_EQ(SearchSongs("%").size(), 4u);
  EXPECT_THAT(Titles(SearchSongs("0% p")), ElementsAre("100% pure"));
  EXPECT_TRUE(SearchSongs("nothing like it").empty());
}

TEST_F(LibraryTest, AddSongsStopsAtTheFirstDuplicate) {
  InitOrFail();
  ASSERT_EQ(AddSongs({MakeSong("B", "album", "singer")}).size(), 1u);
  std::vector<int> ids =
      AddSongs({MakeSong("A", "album", "singer"), MakeSong("B", "album", "singer"),
                MakeSong("C", "album", "singer")});
  EXPECT_EQ(ids.size(), 1u);
  EXPECT_THAT(Titles(GetSongList(12)), ElementsAre("B", "A"));

  // A duplicate inside the same list counts as well.
  EXPECT_EQ(
      AddSongs({MakeSong("D", "a", "s"), MakeSong("D", "a", "s"), MakeSong("E", "a", "s")}).size(),
      1u);
  EXPECT_THAT(Titles(GetSongList(12)), ElementsAre("B", "A", "D"));
}

TEST_F(LibraryTest, DuplicateNeedsTitleAlbumAndSingerAllEqual) {
  InitOrFail();
  AddSongs({MakeSong("Song", "Album", "Singer")});
  EXPECT_EQ(AddSongs({MakeSong("Song", "Other album", "Singer")}).size(), 1u);
  EXPECT_EQ(AddSongs({MakeSong("Song", "Album", "Other singer")}).size(), 1u);
  EXPECT_EQ(AddSongs({MakeSong("song", "Album", "Singer")}).size(), 1u);  // case counts
  EXPECT_EQ(AddSongs({MakeSong("Song ", "Album", "Singer")}).size(), 1u);
  // Path and length do not count.
  TTSL samePath = MakeSong("Song", "Album", "Singer");
  samePath.s_path = "/elsewhere.flac";
  EXPECT_TRUE(AddSongs({samePath}).empty());

  // A NULL in a stored row equals nothing, as in SQL.
  RawExec(DatabasePath(),
          "insert into korvax_lst(s_title,s_artist,s_singer) values('Nulled',NULL,'Singer')");
  EXPECT_EQ(AddSongs({MakeSong("Nulled", "", "Singer")}).size(), 1u);
  EXPECT_EQ(SongCount(), 7);
}

TEST_F(LibraryTest, ChineseTextIsStoredAsUtf8AndFound) {
  InitOrFail();
  const std::string title = "月亮代表我的心";
  const std::string singer = "邓丽君";
  ASSERT_EQ(AddSongs({MakeSong(title, "淡淡幽情", singer)}).size(), 1u);

  // E6 9C 88 is the UTF-8 of 月.
  EXPECT_EQ(RawQuery(DatabasePath(), "select hex(s_title), length(s_title) from korvax_lst")[0],
            (std::vector<std::string>{"E69C88E4BAAEE4BBA3E8A1A8E68891E79A84E5BF83", "7"}));
  TSongList songs = GetSongList(10);
  ASSERT_EQ(songs.size(), 1u);
  EXPECT_EQ(songs[0].s_title, title);
  EXPECT_EQ(songs[0].s_singer, singer);
  EXPECT_THAT(Titles(SearchSongs("代表")), ElementsAre(title));
  EXPECT_THAT(Titles(SearchSongs("丽")), ElementsAre(title));
  EXPECT_TRUE(AddSongs({MakeSong(title, "淡淡幽情", singer)}).empty());
}

TEST_F(LibraryTest, DeleteSongRemovesOnlyThatIdAndUnknownIdsAreHarmless) {
  InitOrFail();
  std::vector<int> ids = AddSongs({MakeSong("a", "x", "s"), MakeSong("b", "x", "s")});
  ASSERT_EQ(ids.size(), 2u);
  DeleteSong(ids[1] + 100);
  DeleteSong(-1);
  DeleteSong(0);
  EXPECT_EQ(SongCount(), 2);
  DeleteSong(ids[0]);
  EXPECT_THAT(Titles(GetSongList(10)), ElementsAre("b"));
  DeleteAllSongs();
  EXPECT_TRUE(GetSongList(10).empty());
  EXPECT_EQ(GetMaxSongId(), 0);
  DeleteAllSongs();  // already empty
}

TEST_F(LibraryTest, RowWithDamagedIntegerStillLoadsWithZero) {
  InitOrFail();
  AddSongs({MakeSong("good", "x", "s")});
  RawExec(DatabasePath(),
          "insert into korvax_lst(s_title,s_artist,s_singer,s_ltime,s_addtime,s_npt) "
          "values('damaged','x','s',NULL,'yesterday',2.5)");
  TSongList songs = GetSongList(10);
  ASSERT_EQ(songs.size(), 2u);
  auto damaged = std::find_if(songs.begin(), songs.end(),
                              [](const TTSL& song) { return song.s_title == "damaged"; });
  ASSERT_NE(damaged, songs.end());
  EXPECT_EQ(damaged->s_ltime, 0);
  EXPECT_EQ(damaged->s_addtime, 0);
  EXPECT_EQ(damaged->s_nowplaytime, 0);
  EXPECT_GT(damaged->s_id, 0);
  EXPECT_EQ(SearchSongs("damaged").size(), 1u);
}

TEST_F(LibraryTest, AddSongsKeepsWhatWasStoredBeforeAnError) {
  InitOrFail();
  // A trigger stands in for any failure of one insert, e.g. a full disk.
  RawExec(DatabasePath(),
          "create trigger refuse before insert on korvax_lst when new.s_title = 'bad' "
          "begin select raise(abort, 'refused by test'); end");
  const int failing = static_cast<int>(kSongsPerTransaction) + 100;  // in the second transaction
  TSongList songs;
  for (int i = 0; i < failing + 50; ++i) {
    songs.push_back(MakeSong("song " + std::to_string(i), "a", "s"));
  }
  songs[failing].s_title = "bad";
  try {
    AddSongs(songs);
    ADD_FAILURE() << "the failing insert was not reported";
  } catch (const EAddSongsError& error) {
    EXPECT_STREQ(error.what(), "refused by test");
    // Exactly the stored songs are named, the ones of the failing transaction included.
    std::vector<int> storedIds;
    for (const TTSL& song : GetSongList(12)) storedIds.push_back(song.s_id);
    EXPECT_EQ(error.StoredIds(), storedIds);
  }
  EXPECT_EQ(SongCount(), failing);
  EXPECT_EQ(GetSongList(12).back().s_title, "song " + std::to_string(failing - 1));
  // Nothing about the refused song is remembered: without the trigger it is stored.
  RawExec(DatabasePath(), "drop trigger refuse");
  EXPECT_EQ(AddSongs({songs[failing]}).size(), 1u);
}

// The keys of the stored songs are kept from one import to the next; what other connections
// change in between is seen all the same.
TEST_F(LibraryTest, AddSongsSeesWhatOtherConnectionsChangedBetweenImports) {
  InitOrFail();
  ASSERT_EQ(AddSongs({MakeSong("A", "x", "s")}).size(), 1u);
  RawExec(DatabasePath(), "delete from korvax_lst");
  EXPECT_EQ(AddSongs({MakeSong("A", "x", "s")}).size(), 1u) << "a deleted song is no duplicate";
  RawExec(DatabasePath(), "insert into korvax_lst(s_title,s_artist,s_singer) values('B','x','s')");
  EXPECT_TRUE(AddSongs({MakeSong("B", "x", "s")}).empty()) << "stored by another connection";
  DeleteSong(GetMaxSongId());
  EXPECT_EQ(AddSongs({MakeSong("B", "x", "s")}).size(), 1u);
  DeleteAllSongs();
  EXPECT_EQ(AddSongs({MakeSong("A", "x", "s"), MakeSong("B", "x", "s")}).size(), 2u);

  // Another file put in the old one's place.
  ASSERT_EQ(std::remove(DatabasePath().c_str()), 0);
  InitOrFail();
  std::vector<int> ids = AddSongs({MakeSong("A", "x", "s")});
  EXPECT_EQ(ids, std::vector<int>{1});
  EXPECT_EQ(SongCount(), 1);
}

TEST_F(LibraryTest, LargeBatchStopsAtDuplicateAcrossTransactions) {
  InitOrFail();
  const int duplicate = static_cast<int>(kSongsPerTransaction) + 100;
  AddSongs({MakeSong("song " + std::to_string(duplicate), "a", "s")});
  TSongList songs;
  for (int i = 0; i < duplicate + 500; ++i) {
    songs.push_back(MakeSong("song " + std::to_string(i), "a", "s"));
  }
  std::vector<int> ids = AddSongs(songs);
  ASSERT_EQ(ids.size(), std::size_t(duplicate));
  for (std::size_t i = 1; i < ids.size(); ++i) ASSERT_EQ(ids[i], ids[i - 1] + 1);
  EXPECT_EQ(SongCount(), duplicate + 1);
  EXPECT_EQ(GetMaxSongId(), ids.back());
}
