#include "LibraryTestSupport.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

bool SetImmutable(const std::string& path, bool on) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

struct RawConnection {
  explicit RawConnection(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      std::string message = sqlite3_errmsg(db);
      sqlite3_close(db);
      throw std::runtime_error(message);
    }
    sqlite3_busy_timeout(db, 10000);
  }
  ~RawConnection() { sqlite3_close(db); }
  sqlite3* db = nullptr;
};

}  // namespace

void LibraryTest::SetUp() {
  char pattern[] = "/tmp/melvo-library-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  FRoot = pattern;
  FDataHome = FRoot + "/data";
  ASSERT_EQ(mkdir(FDataHome.c_str(), 0700), 0);
  const char* saved = std::getenv("XDG_DATA_HOME");
  FHadDataHome = saved != nullptr;
  if (saved != nullptr) FSavedDataHome = saved;
  setenv("XDG_DATA_HOME", FDataHome.c_str(), 1);
  CurConfig.reset();
}

void LibraryTest::TearDown() {
  for (const std::string& path : FReadOnlyFiles) {
    SetImmutable(path, false);
    chmod(path.c_str(), 0600);
  }
  if (FHadDataHome) {
    setenv("XDG_DATA_HOME", FSavedDataHome.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
  std::error_code ignored;
  std::filesystem::remove_all(FRoot, ignored);
  CurConfig.reset();
}

void LibraryTest::InitOrFail() {
  ASSERT_TRUE(InitDatabase());
}

bool LibraryTest::MakeReadOnly(const std::string& path) {
  FReadOnlyFiles.push_back(path);
  if (geteuid() == 0) return SetImmutable(path, true);
  return chmod(path.c_str(), 0444) == 0;
}

TRows RawQuery(const std::string& path, const std::string& sql) {
  RawConnection connection(path);
  TRows rows;
  auto collect = [](void* out, int count, char** values, char**) {
    std::vector<std::string> row;
    for (int i = 0; i < count; ++i) row.emplace_back(values[i] ? values[i] : "<NULL>");
    static_cast<TRows*>(out)->push_back(std::move(row));
    return 0;
  };
  char* error = nullptr;
  if (sqlite3_exec(connection.db, sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
    std::string message = error ? error : "query failed";
    sqlite3_free(error);
    throw std::runtime_error(message);
  }
  return rows;
}

void RawExec(const std::string& path, const std::string& sql) {
  RawQuery(path, sql);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

TTSL MakeSong(const std::string& title, const std::string& artist, const std::string& singer,
              int64_t addtime) {
  TTSL song;
  song.s_title = title;
  song.s_artist = artist;
  song.s_singer = singer;
  song.s_path = "/music/" + title + ".mp3";
  song.s_ltime = 215;
  song.s_addtime = addtime;
  return song;
}

bool NobodyHoldsALock(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  bool free = sqlite3_exec(db, "begin exclusive", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return free;
}
