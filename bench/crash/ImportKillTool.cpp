// The two halves of the import kill soak (kill_soak.sh):
//   melvo-import-kill import RUN LOG   imports 10,000 files as the window's import does (the
//                                      import job in pieces; the probe is a stand-in that names
//                                      each song after its path) and appends "id<TAB>title" to
//                                      LOG for every song the import reports stored, flushed to
//                                      disk after each piece;
//   melvo-import-kill check LOG        after a kill: the database passes PRAGMA integrity_check,
//                                      every song of LOG is present under its id, and every
//                                      item of the loaded list carries its row's id.
// The database is the player's own ($XDG_DATA_HOME/melvo/melvov5.db3).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "library/Import.h"
#include "library/SQLiteDb.h"
#include "library/dataCtr.h"

namespace {

constexpr int kFiles = 10000;

int Import(const std::string& run, const std::string& logPath) {
  if (!InitDatabase()) return 1;
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (log < 0) return 1;
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i)
    paths.push_back("/soak/run" + run + "/" + std::to_string(i) + " song.mp3");
  auto probe = [](const std::string& path) {
    TSongTags tags;
    tags.Title = GetFileTitle(path) + " of " + path.substr(0, path.rfind('/'));
    tags.Artist = "Album " + std::to_string(path.size() % 7);
    tags.Album = "Singer";
    tags.Longtime = 200.0 / 86400.0;
    return tags;
  };
  TImportJob job(paths, probe, [log](TImportProgress piece) {
    std::string lines;
    for (std::size_t i = 0; i < piece.Ids.size(); ++i)
      lines += std::to_string(piece.Ids[i]) + "\t" + piece.Songs[i].s_title + "\n";
    if (write(log, lines.data(), lines.size()) != ssize_t(lines.size())) _exit(3);
    fsync(log);
  });
  while (!job.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  close(log);
  return 0;
}

int Check(const std::string& logPath) {
  int faults = 0;
  auto fault = [&faults](const std::string& what) {
    if (++faults <= 10) std::fprintf(stderr, "fault: %s\n", what.c_str());
  };
  try {
    TSQLiteDatabase db(DatabasePath());
    TSQLiteTable integrity = db.GetTable("PRAGMA integrity_check");
    if (integrity.RowCount() != 1 || integrity.FieldAsString(std::size_t(0)) != "ok")
      fault("integrity_check: " + (integrity.RowCount() ? integrity.FieldAsString(std::size_t(0))
                                                        : std::string("no answer")));
    std::map<int, std::string> rows;
    for (TSQLiteTable t = db.GetTable("select rowid, s_title from korvax_lst"); !t.Eof(); t.Next())
      rows[t.FieldAsInteger(std::size_t(0))] = t.FieldAsString(std::size_t(1));

    const TSongList list = GetSongList(0);
    if (list.size() != rows.size()) fault("the list and the table differ in length");
    for (const TTSL& song : list) {
      auto it = rows.find(song.s_id);
      if (it == rows.end() || it->second != song.s_title)
        fault("item " + std::to_string(song.s_id) + " is not its row");
    }

    std::ifstream log(logPath);
    std::string line;
    std::size_t reported = 0;
    // A line cut off by the kill has no newline and was never reported.
    while (std::getline(log, line) && !log.eof()) {
      const std::size_t tab = line.find('\t');
      const int id = std::stoi(line.substr(0, tab));
      const std::string title = line.substr(tab + 1);
      ++reported;
      auto it = rows.find(id);
      if (it == rows.end() || it->second != title)
        fault("reported song " + std::to_string(id) + " (" + title + ") is missing");
    }
    std::printf("rows %zu, reported %zu, faults %d\n", rows.size(), reported, faults);
  } catch (const std::exception& e) {
    fault(std::string("database: ") + e.what());
  }
  return faults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "import" && argc == 4) return Import(argv[2], argv[3]);
  if (mode == "check" && argc == 3) return Check(argv[2]);
  std::fprintf(stderr, "usage: %s import RUN LOG | check LOG\n", argv[0]);
  return 2;
}
