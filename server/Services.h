// The reference web services of the player: statistics server, product web server and music
// search service, each on an address and port of its own. Everything they receive is stored in
// a SQLite file.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace services {

struct Endpoint {
  std::string address = "127.0.0.1";
  int port = 0;  // 0: any free port
};

struct ServicesConfig {
  Endpoint stat{"127.0.0.1", 8781};
  Endpoint web{"127.0.0.1", 8782};
  Endpoint search{"127.0.0.1", 8783};
  std::string musicFolder;  // indexed once at start; empty: no songs
  // Where the built-in catalogue is made and served from when the music folder holds no songs
  // (see Catalogue.h); empty: no catalogue.
  std::string catalogueFolder;
  std::string databasePath = "melvo-services.db3";
  int lockWaitMs = 2000;  // a write waits this long for another connection's lock, then fails
  std::string latestVersion = "5.0.4.227";
  std::string downloadUrl;  // empty: an address on the product web server
  // host[:port] by which clients reach the search service and the product web server, for the
  // addresses the services hand out; empty: the bound address (127.0.0.1 for a wildcard one).
  std::string searchPublic;
  std::string webPublic;
};

// One stored request.
struct ReceivedRow {
  int64_t id = 0;
  std::string at;       // UTC, ISO 8601
  std::string service;  // "stat", "web", "search"
  std::string
      kind;  // "token", "sign", "report", "listening", "feedback", "check", "search", "music"
  std::string target;                                       // request target as received
  std::vector<std::pair<std::string, std::string>> fields;  // decoded, in body order
  std::string note;                                         // e.g. "sign ok", a Range header
};

// Reads every stored row of a database file, oldest first.
std::vector<ReceivedRow> ReadReceived(const std::string& databasePath);
// One line per row, fields separated by tabs. Control characters, line separators, backslashes
// and bytes that are not UTF-8 are written as escapes (\n, \t, \\, \x1B, \u2028), so a stored
// text can never forge a line or a field.
void DumpReceived(const std::string& databasePath, std::ostream& out);
std::string EscapeForDump(const std::string& text);

// Decodes "a=1&b=%20" keeping the order; "+" is a plus sign.
std::vector<std::pair<std::string, std::string>> ParseForm(const std::string& body);

struct IndexedSong {
  std::string path, name, singer, album;
  int seconds = 0;
};
// Every audio file under folder with its tags, in path order.
std::vector<IndexedSong> IndexMusicFolder(const std::string& folder);
// "m:ss" (minutes may have more digits).
std::string FormatDuration(int seconds);

class MelvoServices {
 public:
  explicit MelvoServices(ServicesConfig config);
  ~MelvoServices();
  MelvoServices(const MelvoServices&) = delete;
  MelvoServices& operator=(const MelvoServices&) = delete;

  // Binds all three services and serves them on threads of their own. False if any address
  // cannot be bound or the database cannot be opened.
  bool Start();
  void Stop();

  int statPort() const;
  int webPort() const;
  int searchPort() const;
  size_t songCount() const;
  bool servesCatalogue() const;  // the music folder had no songs: the built-in pieces are served

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace services
