#include <sys/stat.h>

#include "LibraryTestSupport.h"

namespace {

constexpr const char* kConfigTableSql =
    "CREATE TABLE korvax_config(con_volv integer default 100,con_dls char default 0,con_ar char "
    "default 0,con_eq integer default 0,skin_name varchar(50) default 1,skin_path "
    "varchar(50),con_psi integer default 0,con_sort integer,con_circle type integer )";
constexpr const char* kSongTableSql =
    "CREATE TABLE korvax_lst(s_id integer primary key,s_title varchar(500),s_path varchar(2000) "
    "default 0,s_artist varchar(500),s_singer varchar(500),s_url varchar(2000) default 0,s_ltime "
    "integer default 0,s_addtime integer,s_npt integer default 0)";

const std::string kGarbage = "this is not a database, just some bytes\n\x01\x02\xff";

}  // namespace

TEST_F(LibraryTest, PathsFollowXdgDataHomeAndFallBackToHome) {
  EXPECT_EQ(DataFolder(), FDataHome + "/melvo");
  EXPECT_EQ(DatabasePath(), FDataHome + "/melvo/melvov5.db3");

  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  setenv("HOME", "/home/someone", 1);
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DatabasePath(), "/home/someone/.local/share/melvo/melvov5.db3");
  setenv("XDG_DATA_HOME", "relative/path", 1);  // relative values are ignored
  EXPECT_EQ(DataFolder(), "/home/someone/.local/share/melvo");
  if (home)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
}

TEST_F(LibraryTest, FirstStartCreatesFolderFileTablesAndDefaultRow) {
  ASSERT_FALSE(FileExists(DataFolder()));
  ASSERT_TRUE(InitDatabase());

  struct stat info {};
  ASSERT_EQ(stat(DataFolder().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  ASSERT_TRUE(FileExists(DatabasePath()));

  TRows tables = RawQuery(DatabasePath(), "select name, sql from sqlite_master order by name");
  ASSERT_EQ(tables.size(), 2u);  // no index or anything else of ours
  EXPECT_EQ(tables[0], (std::vector<std::string>{"korvax_config", kConfigTableSql}));
  EXPECT_EQ(tables[1], (std::vector<std::string>{"korvax_lst", kSongTableSql}));

  TRows config = RawQuery(DatabasePath(), "select * from korvax_config");
  ASSERT_EQ(config.size(), 1u);
  EXPECT_EQ(config[0],
            (std::vector<std::string>{"100", "0", "0", "0", "1", "<NULL>", "0", "10", "1003"}));
  EXPECT_TRUE(RawQuery(DatabasePath(), "select * from korvax_lst").empty());

  TTSC* read = ReadConfig();
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read, CurConfig.get());
  EXPECT_EQ(read->con_volv, 100);
  EXPECT_EQ(read->con_dls, 0);
  EXPECT_EQ(read->con_ar, 0);
  EXPECT_EQ(read->con_eq, 0);
  EXPECT_EQ(read->skin_name, "1");
  EXPECT_EQ(read->skin_path, "");
  EXPECT_EQ(read->now_psi, 0);
  EXPECT_EQ(read->sort, 10);
  EXPECT_EQ(read->circle, 1003);
}

TEST_F(LibraryTest, ExistingFileIsNeitherExaminedNorChanged) {
  ASSERT_EQ(mkdir(DataFolder().c_str(), 0700), 0);
  WriteFileBytes(DatabasePath(), kGarbage);
  EXPECT_TRUE(InitDatabase());
  EXPECT_EQ(FileBytes(DatabasePath()), kGarbage);

  // A real database without our tables is not repaired either.
  WriteFileBytes(DatabasePath(), "");
  RawExec(DatabasePath(), "create table other(x)");
  const std::string before = FileBytes(DatabasePath());
  EXPECT_TRUE(InitDatabase());
  EXPECT_EQ(FileBytes(DatabasePath()), before);
}

TEST_F(LibraryTest, GarbageFileRaisesOnEveryOperationAndStaysUnchanged) {
  ASSERT_EQ(mkdir(DataFolder().c_str(), 0700), 0);
  WriteFileBytes(DatabasePath(), kGarbage);
  ASSERT_TRUE(InitDatabase());

  TTSC config;
  EXPECT_THROW(GetSongList(10), EDatabaseError);
  EXPECT_THROW(SearchSongs("a"), EDatabaseError);
  EXPECT_THROW(AddSongs({MakeSong("a", "b", "c")}), EDatabaseError);
  EXPECT_THROW(DeleteSong(1), EDatabaseError);
  EXPECT_THROW(DeleteAllSongs(), EDatabaseError);
  EXPECT_THROW(GetMaxSongId(), EDatabaseError);
  EXPECT_THROW(ReadConfig(), EDatabaseError);
  EXPECT_THROW(WriteConfig(&config), EDatabaseError);
  EXPECT_EQ(CurConfig, nullptr);

  EXPECT_EQ(FileBytes(DatabasePath()), kGarbage);
  EXPECT_FALSE(FileExists(DatabasePath() + "-journal"));
  try {
    GetMaxSongId();
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "file is not a database");  // SQLite's own message
  }
}

TEST_F(LibraryTest, ReadOnlyFileIsKeptAndWritesRaise) {
  InitOrFail();
  AddSongs({MakeSong("kept", "album", "singer")});
  if (!MakeReadOnly(DatabasePath())) GTEST_SKIP() << "cannot make a file read-only here";
  const std::string before = FileBytes(DatabasePath());

  EXPECT_TRUE(InitDatabase());
  EXPECT_EQ(GetSongList(10).size(), 1u);  // reading still works
  TTSC config;
  EXPECT_THROW(WriteConfig(&config), EDatabaseError);
  EXPECT_THROW(AddSongs({MakeSong("new", "album", "singer")}), EDatabaseError);
  EXPECT_THROW(DeleteAllSongs(), EDatabaseError);
  EXPECT_EQ(FileBytes(DatabasePath()), before);
}

TEST_F(LibraryTest, OldVersionFileIsDeletedAtEveryStart) {
  const std::string oldFile = FDataHome + "/melvo/korvax.db3";
  ASSERT_EQ(mkdir(DataFolder().c_str(), 0700), 0);
  WriteFileBytes(oldFile, "old");
  ASSERT_TRUE(InitDatabase());
  EXPECT_FALSE(FileExists(oldFile));
  EXPECT_TRUE(FileExists(DatabasePath()));

  WriteFileBytes(oldFile, "old again");
  ASSERT_TRUE(InitDatabase());  // the database exists now; the old file still goes
  EXPECT_FALSE(FileExists(oldFile));
}

TEST_F(LibraryTest, FolderThatCannotBeCreatedFailsTheStart) {
  // A fresh account may have no data folder yet: it is made, as the desktop would.
  setenv("XDG_DATA_HOME", (FRoot + "/fresh/share").c_str(), 1);
  EXPECT_TRUE(InitDatabase());
  EXPECT_TRUE(FileExists(DatabasePath()));

  // Below a plain file nothing can be made.
  WriteFileBytes(FRoot + "/plain", "x");
  setenv("XDG_DATA_HOME", (FRoot + "/plain/share").c_str(), 1);
  EXPECT_FALSE(InitDatabase());
  EXPECT_EQ(FileBytes(FRoot + "/plain"), "x");

  // A plain file where the folder should be cannot become the folder.
  setenv("XDG_DATA_HOME", FDataHome.c_str(), 1);
  WriteFileBytes(DataFolder(), "in the way");
  EXPECT_FALSE(InitDatabase());
  EXPECT_EQ(FileBytes(DataFolder()), "in the way");
}

TEST_F(LibraryTest, EmptyFileLeftByAnInterruptedFirstStartGetsTheTables) {
  ASSERT_EQ(mkdir(DataFolder().c_str(), 0700), 0);
  WriteFileBytes(DatabasePath(), "");
  ASSERT_TRUE(InitDatabase());
  EXPECT_EQ(RawQuery(DatabasePath(), "select count(*) from sqlite_master")[0][0], "2");
  EXPECT_EQ(ReadConfig()->circle, 1003);
}

TEST_F(LibraryTest, OperationsNeverCreateAMissingFile) {
  ASSERT_EQ(mkdir(DataFolder().c_str(), 0700), 0);
  EXPECT_THROW(GetSongList(10), EDatabaseError);
  EXPECT_THROW(ReadConfig(), EDatabaseError);
  EXPECT_FALSE(FileExists(DatabasePath()));
  // So the next start still makes a complete file.
  ASSERT_TRUE(InitDatabase());
  EXPECT_EQ(ReadConfig()->con_volv, 100);
}
