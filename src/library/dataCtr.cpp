#include "library/dataCtr.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "base/UserFolders.h"
#include "library/SQLiteDb.h"

std::unique_ptr<TTSC> CurConfig;

namespace {

constexpr const char* kCreateConfigTable =
    "CREATE TABLE korvax_config(con_volv integer default 100,con_dls char default 0,con_ar char "
    "default 0,con_eq integer default 0,skin_name varchar(50) default 1,skin_path "
    "varchar(50),con_psi integer default 0,con_sort integer,con_circle type integer )";
constexpr const char* kCreateSongTable =
    "CREATE TABLE korvax_lst(s_id integer primary key,s_title varchar(500),s_path varchar(2000) "
    "default 0,s_artist varchar(500),s_singer varchar(500),s_url varchar(2000) default 0,s_ltime "
    "integer default 0,s_addtime integer,s_npt integer default 0)";
constexpr const char* kInsertDefaultConfig =
    "insert into korvax_config(con_volv,con_sort,con_circle) values(100,10,1003)";
constexpr const char* kSelectConfig = "select * from korvax_config";
constexpr const char* kSelectSongs = "select * from korvax_lst";
constexpr const char* kSelectMaxSongId = "select max(s_id) as s_id from korvax_lst";
constexpr const char* kDeleteAllSongs = "delete from korvax_lst";
constexpr const char* kDeleteSong = "delete from korvax_lst where s_id = ";

constexpr int kSortByAddTime = 10;
constexpr int kSortBySinger = 11;

constexpr std::chrono::milliseconds kPauseBetweenTransactions{2};

std::string Quoted(std::string_view text) {
  std::string quoted = "'";
  quoted += QuotedSQLText(text);
  quoted += '\'';
  return quoted;
}

// Zero bytes is what a first start leaves behind when it is cut off before the tables were
// committed; such a file holds nothing, so making the tables in it loses nothing.
bool DatabaseFileExists(const std::string& path) {
  struct stat info {};
  // A file that is there but cannot be looked at is left alone.
  if (stat(path.c_str(), &info) != 0) return errno != ENOENT && errno != ENOTDIR;
  return !S_ISREG(info.st_mode) || info.st_size > 0;
}

// The desktop's data folder is the base the platform provides; a fresh account may not have it
// yet, and the base directory convention is to create it (mode 0700) on first use.
void EnsureDataHome(const std::string& home) {
  for (std::size_t slash = home.find('/', 1);; slash = home.find('/', slash + 1)) {
    mkdir(home.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
}

bool EnsureFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0777) == 0) return true;
  struct stat info {};
  return errno == EEXIST && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void CreateTables(const std::string& path) {
  TSQLiteDatabase db(path, TSQLiteDatabase::TOpenMode::CreateIfMissing);
  // One transaction, so that a cut-off start never leaves a file with only some of the tables.
  db.ExecSQL("begin immediate");
  // Another process may have made the file since it was found missing.
  if (db.GetTable("select count(*) as n from sqlite_master").FieldAsInteger("n") == 0) {
    db.ExecSQL(kCreateConfigTable);
    db.ExecSQL(kCreateSongTable);
    db.ExecSQL(kInsertDefaultConfig);
  }
  db.ExecSQL("commit");
}

TTSL SongFromRow(const TSQLiteTable& table, const std::size_t (&columns)[9]) {
  TTSL song;
  song.s_id = table.FieldAsInteger(columns[0]);
  song.s_title = table.FieldAsString(columns[1]);
  song.s_path = table.FieldAsString(columns[2]);
  song.s_artist = table.FieldAsString(columns[3]);
  song.s_singer = table.FieldAsString(columns[4]);
  song.s_url = table.FieldAsString(columns[5]);
  song.s_ltime = table.FieldAsInteger(columns[6]);
  song.s_addtime = table.FieldAsInt64(columns[7]);
  song.s_nowplaytime = table.FieldAsInteger(columns[8]);
  return song;
}

TSongList SongsFromQuery(const std::string& sql) {
  TSQLiteDatabase db(DatabasePath());
  TSQLiteTable table = db.GetTable(sql);
  TSongList songs;
  if (table.Eof()) return songs;
  const std::size_t columns[9] = {
      table.FieldIndex("s_id"),     table.FieldIndex("s_title"),   table.FieldIndex("s_path"),
      table.FieldIndex("s_artist"), table.FieldIndex("s_singer"),  table.FieldIndex("s_url"),
      table.FieldIndex("s_ltime"),  table.FieldIndex("s_addtime"), table.FieldIndex("s_npt")};
  songs.reserve(table.RowCount());
  for (; !table.Eof(); table.Next()) songs.push_back(SongFromRow(table, columns));
  return songs;
}

std::string SearchStatement(const std::string& text) {
  std::string t = QuotedSQLText(text);
  return "select * from korvax_lst where s_title like '%" + t + "%' or s_artist like " + "'%" + t +
         "%' or s_singer like " + "'%" + t + "%'";
}

std::string InsertSongStatement(const TTSL& song) {
  return "insert into korvax_lst(s_title,s_path,s_artist,s_singer,s_url,s_ltime,s_addtime,s_npt) "
         "values(" +
         Quoted(song.s_title) + "," + Quoted(song.s_path) + "," + Quoted(song.s_artist) + "," +
         Quoted(song.s_singer) + "," + Quoted(song.s_url) + "," + std::to_string(song.s_ltime) +
         "," + std::to_string(song.s_addtime) + "," + std::to_string(song.s_nowplaytime) + ")";
}

std::string UpdateConfigStatement(const TTSC& c) {
  return "update korvax_config  set con_volv=" + std::to_string(c.con_volv) +
         ",con_dls=" + std::to_string(c.con_dls) + ",con_ar=" + std::to_string(c.con_ar) +
         ",con_eq=" + std::to_string(c.con_eq) + ",skin_name=" + Quoted(c.skin_name) +
         ",skin_path=" + Quoted(c.skin_path) + ",con_psi=" + std::to_string(c.now_psi) +
         ",con_sort=" + std::to_string(c.sort) + ",con_circle=" + std::to_string(c.circle);
}

// The duplicate test of AddSongs compares title, album and singer byte for byte, as the SQL '='
// on these text columns does; a NULL in a stored row never equals anything. Keeping the stored
// keys in memory makes the test O(1) per song instead of a table scan.
std::string SongKey(std::string_view title, std::string_view artist, std::string_view singer) {
  std::string key;
  key.reserve(title.size() + artist.size() + singer.size() + 24);
  for (std::string_view part : {title, artist, singer}) {
    key += std::to_string(part.size());
    key += ':';
    key += part;
  }
  return key;
}

using TSongKeys = std::unordered_set<std::string>;

TSongKeys LoadSongKeys(TSQLiteDatabase& db) {
  TSQLiteTable table = db.GetTable(
      "select s_title,s_artist,s_singer from korvax_lst where typeof(s_title)='text' and "
      "typeof(s_artist)='text' and typeof(s_singer)='text'");
  TSongKeys keys;
  keys.reserve(table.RowCount() * 2);
  for (; !table.Eof(); table.Next()) {
    keys.insert(SongKey(table.FieldAsString(std::size_t{0}), table.FieldAsString(std::size_t{1}),
                        table.FieldAsString(std::size_t{2})));
  }
  return keys;
}

// Changes whenever another connection commits to the file.
int64_t DataVersion(TSQLiteDatabase& db) {
  return db.GetTable("pragma data_version").FieldAsInt64(std::size_t{0});
}

// The keys of the stored songs, kept between imports together with the connection that stores
// the songs. That connection's data_version moves only when another connection commits, so the
// keys, with each song stored added to them, stay valid until someone else writes the file, and
// are reloaded only then. The kept connection holds no lock between transactions.
class TStoredSongs {
 public:
  // Held for a whole AddSongs: imports on two workers take turns.
  std::mutex Lock;

  // The kept connection when it is still on this file and the file may still be written;
  // otherwise a new one, kept from now on.
  TSQLiteDatabase& Connection(const std::string& path) {
    struct stat info {};
    const bool same = FDb != nullptr && FPath == path && stat(path.c_str(), &info) == 0 &&
                      info.st_dev == FDevice && info.st_ino == FInode &&
                      access(path.c_str(), R_OK | W_OK) == 0;
    if (same) return *FDb;
    Forget();
    FDb = std::make_unique<TSQLiteDatabase>(path);
    if (stat(path.c_str(), &info) == 0) {
      FPath = path;
      FDevice = info.st_dev;
      FInode = info.st_ino;
    }
    return *FDb;
  }

  // The stored keys; call inside the write transaction, so nobody commits before the inserts.
  TSongKeys& Keys(TSQLiteDatabase& db) {
    const int64_t version = DataVersion(db);
    if (!FKeysValid || version != FVersion) {
      FKeys = LoadSongKeys(db);
      FVersion = version;
      FKeysValid = true;
    }
    return FKeys;
  }

  // After any failure: the connection goes (rolling back what it had not committed) and with it
  // the keys, which may name songs that were not stored.
  void Forget() {
    FDb.reset();
    FPath.clear();
    FKeys = TSongKeys();
    FKeysValid = false;
  }

 private:
  std::unique_ptr<TSQLiteDatabase> FDb;
  std::string FPath;
  dev_t FDevice = 0;
  ino_t FInode = 0;
  int64_t FVersion = -1;
  TSongKeys FKeys;
  bool FKeysValid = false;
};

// Never destroyed: an import worker may still be running when the process ends.
TStoredSongs& StoredSongs() {
  static auto* stored = new TStoredSongs;
  return *stored;
}

std::string MessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace

std::string DataFolder() {
  return base::DataHome() + "/melvo";
}

std::string DatabasePath() {
  return DataFolder() + "/melvov5.db3";
}

int64_t AddTimeOf(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return (local.tm_year % 100) * int64_t{100000000} + (local.tm_mon + 1) * int64_t{1000000} +
         local.tm_mday * int64_t{10000} + local.tm_hour * int64_t{100} + local.tm_min;
}

bool InitDatabase() {
  const std::string folder = DataFolder();
  unlink((folder + "/korvax.db3").c_str());  // old-version file; never read, failure ignored
  const std::string path = DatabasePath();
  if (DatabaseFileExists(path)) return true;
  EnsureDataHome(base::DataHome());
  if (!EnsureFolder(folder)) return false;
  CreateTables(path);
  return true;
}

TSongList GetSongList(int sort) {
  std::string sql = kSelectSongs;
  if (sort == kSortByAddTime) {
    sql += " order by s_addtime asc";
  } else if (sort == kSortBySinger) {
    sql += " order by s_singer desc";
  }
  return SongsFromQuery(sql);
}

TSongList SearchSongs(const std::string& text) {
  return SongsFromQuery(SearchStatement(text));
}

EAddSongsError::EAddSongsError(const std::string& message, std::vector<int> storedIds)
    : EDatabaseError(message), FStoredIds(std::move(storedIds)) {}

std::vector<int> AddSongs(const TSongList& songs) {
  std::vector<int> ids;  // of committed songs only
  if (songs.empty()) return ids;
  TStoredSongs& stored = StoredSongs();
  std::lock_guard guard(stored.Lock);
  try {
    TSQLiteDatabase& db = stored.Connection(DatabasePath());
    std::size_t next = 0;
    while (next < songs.size()) {
      db.ExecSQL("begin immediate");
      TSongKeys& keys = stored.Keys(db);
      const std::size_t chunkEnd = std::min(songs.size(), next + kSongsPerTransaction);
      std::vector<int> inserted;
      bool duplicate = false;
      std::exception_ptr failure;
      try {
        for (; next < chunkEnd; ++next) {
          const TTSL& song = songs[next];
          if (!keys.insert(SongKey(song.s_title, song.s_artist, song.s_singer)).second) {
            duplicate = true;
            break;
          }
          db.ExecSQL(InsertSongStatement(song));
          inserted.push_back(static_cast<int>(db.LastInsertRowId()));
        }
      } catch (const EDatabaseError&) {
        failure = std::current_exception();
      }
      // The songs inserted before a failure are committed too, as they would be one by one. A
      // failed commit (a lock held past the wait, a full disk) stores none of them.
      try {
        db.ExecSQL("commit");
      } catch (const EDatabaseError& error) {
        throw EAddSongsError(failure ? MessageOf(failure) : error.what(), ids);
      }
      ids.insert(ids.end(), inserted.begin(), inserted.end());
      if (failure) throw EAddSongsError(MessageOf(failure), ids);
      if (duplicate) break;
      // Lets waiting connections (the main thread's) take the lock before the next transaction.
      if (next < songs.size()) std::this_thread::sleep_for(kPauseBetweenTransactions);
    }
  } catch (const EAddSongsError&) {
    stored.Forget();
    throw;
  } catch (const EDatabaseError& error) {
    stored.Forget();
    throw EAddSongsError(error.what(), ids);
  } catch (...) {
    stored.Forget();  // never keep a connection with a transaction open
    throw;
  }
  return ids;
}

void DeleteSong(int id) {
  TSQLiteDatabase db(DatabasePath());
  db.ExecSQL(kDeleteSong + std::to_string(id));
}

void DeleteAllSongs() {
  TSQLiteDatabase db(DatabasePath());
  db.ExecSQL(kDeleteAllSongs);
}

int GetMaxSongId() {
  TSQLiteDatabase db(DatabasePath());
  return db.GetTable(kSelectMaxSongId).FieldAsInteger("s_id");
}

TTSC* ReadConfig() {
  TSQLiteDatabase db(DatabasePath());
  TSQLiteTable table = db.GetTable(kSelectConfig);
  if (table.Eof()) {
    db.ExecSQL(kInsertDefaultConfig);
    table = db.GetTable(kSelectConfig);
  }
  auto config = std::make_unique<TTSC>();
  config->con_volv = table.FieldAsInteger("con_volv");
  config->con_dls = table.FieldAsInteger("con_dls");
  config->con_ar = table.FieldAsInteger("con_ar");
  config->con_eq = table.FieldAsInteger("con_eq");
  config->skin_name = table.FieldAsString("skin_name");
  config->skin_path = table.FieldAsString("skin_path");
  config->now_psi = table.FieldAsInteger("con_psi");
  config->sort = table.FieldAsInteger("con_sort");
  config->circle = table.FieldAsInteger("con_circle");
  CurConfig = std::move(config);
  return CurConfig.get();
}

void WriteConfig(const TTSC* config) {
  if (config == nullptr) return;
  TSQLiteDatabase db(DatabasePath());
  db.ExecSQL(UpdateConfigStatement(*config));
}
