#include "Services.h"

#include <httplib.h>
#include <sqlite3.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "Catalogue.h"
#include "Ranges.h"
#include "online/common.h"

namespace services {
namespace {

namespace fs = std::filesystem;
using Fields = std::vector<std::pair<std::string, std::string>>;

constexpr size_t kMaxBodyBytes = 1 << 20;

std::string NowUtc() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FieldValue(const Fields& fields, const std::string& name) {
  for (const auto& [n, v] : fields)
    if (n == name) return v;
  return {};
}

std::string LowerAscii(std::string text) {
  for (char& ch : text)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return text;
}

bool IsAudioFile(const fs::path& path) {
  static const std::set<std::string> kExts = {".mp3", ".flac", ".ogg", ".oga", ".opus", ".m4a",
                                              ".aac", ".wav",  ".wma", ".ape", ".mp2",  ".aiff"};
  return kExts.count(LowerAscii(path.extension().string())) > 0;
}

std::string MimeOf(const std::string& path) {
  const std::string ext = LowerAscii(fs::path(path).extension().string());
  if (ext == ".mp3" || ext == ".mp2") return "audio/mpeg";
  if (ext == ".flac") return "audio/flac";
  if (ext == ".ogg" || ext == ".oga" || ext == ".opus") return "audio/ogg";
  if (ext == ".m4a" || ext == ".aac") return "audio/mp4";
  if (ext == ".wav") return "audio/wav";
  return "application/octet-stream";
}

// Every received request goes into one table; bound parameters keep any text safe.
class Store {
 public:
  // lockWaitMs: how long a write waits for another connection's lock before it fails.
  bool Open(const std::string& path, int lockWaitMs) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) return false;
    sqlite3_busy_timeout(db_, lockWaitMs);
    // Readers (a --dump while the services run) then never hold up a write.
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    return sqlite3_exec(db_,
                        "CREATE TABLE IF NOT EXISTS received (id INTEGER PRIMARY KEY, at TEXT, "
                        "service TEXT, kind TEXT, target TEXT, fields TEXT, note TEXT)",
                        nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~Store() {
    if (db_) sqlite3_close(db_);
  }
  // Whether the row is stored.
  bool Add(const std::string& service, const std::string& kind, const std::string& target,
           const Fields& fields, const std::string& note) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [n, v] : fields) list.push_back({n, v});
    const std::string json = list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const std::string at = NowUtc();
    std::lock_guard lock(mutex_);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_,
                           "INSERT INTO received (at, service, kind, target, fields, note) "
                           "VALUES (?, ?, ?, ?, ?, ?)",
                           -1, &st, nullptr) != SQLITE_OK) {
      sqlite3_finalize(st);
      return false;
    }
    const std::string* texts[] = {&at, &service, &kind, &target, &json, &note};
    for (int i = 0; i < 6; ++i)
      sqlite3_bind_text(st, i + 1, texts[i]->c_str(), -1, SQLITE_TRANSIENT);
    const bool stored = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    return stored;
  }

 private:
  sqlite3* db_ = nullptr;
  std::mutex mutex_;
};

Fields QueryFields(const httplib::Request& req) {
  const size_t q = req.target.find('?');
  return q == std::string::npos ? Fields{} : ParseForm(req.target.substr(q + 1));
}

// Parameters come from the query only, never from a form body that happens to name them.
std::string QueryParam(const httplib::Request& req, const std::string& name) {
  const Fields fields = QueryFields(req);
  for (const auto& [n, v] : fields)
    if (n == name) return v;
  return {};
}

}  // namespace

Fields ParseForm(const std::string& body) {
  Fields fields;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string pair = body.substr(start, end - start);
    if (!pair.empty()) {
      const size_t eq = pair.find('=');
      fields.emplace_back(
          PercentDecode(pair.substr(0, eq)),
          eq == std::string::npos ? std::string() : PercentDecode(pair.substr(eq + 1)));
    }
    start = end + 1;
  }
  return fields;
}

std::string FormatDuration(int seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  return text;
}

std::vector<IndexedSong> IndexMusicFolder(const std::string& folder) {
  std::vector<IndexedSong> songs;
  std::error_code ec;
  if (folder.empty() || !fs::is_directory(folder, ec)) return songs;
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(
           folder, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && IsAudioFile(it->path())) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    IndexedSong song;
    song.path = path.string();
    song.name = path.stem().string();
    TagLib::FileRef ref(path.c_str());
    if (!ref.isNull() && ref.tag()) {
      const TagLib::Tag* tag = ref.tag();
      if (!tag->title().isEmpty()) song.name = tag->title().to8Bit(true);
      song.singer = tag->artist().to8Bit(true);
      song.album = tag->album().to8Bit(true);
    }
    if (!ref.isNull() && ref.audioProperties())
      song.seconds = ref.audioProperties()->lengthInSeconds();
    songs.push_back(std::move(song));
  }
  return songs;
}

struct MelvoServices::Impl {
  ServicesConfig config;
  Store store;
  std::vector<IndexedSong> songs;
  bool usingCatalogue = false;
  httplib::Server stat, web, search;
  int statPort = 0, webPort = 0, searchPort = 0;
  std::vector<std::thread> threads;
  std::mutex tokenMutex;
  std::deque<std::string> tokens;  // the most recent ones issued
  std::mt19937_64 random{std::random_device{}()};

  std::string IssueToken() {
    std::lock_guard lock(tokenMutex);
    char text[40];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
    tokens.emplace_back(text);
    if (tokens.size() > 1000) tokens.pop_front();
    return text;
  }

  bool SignMatchesAnyToken(const Fields& f) {
    const std::string code = FieldValue(f, "code");
    std::lock_guard lock(tokenMutex);
    for (const auto& token : tokens)
      if (online::MakeSignCode(token, FieldValue(f, "mac"), FieldValue(f, "v"),
                               FieldValue(f, "uid")) == code)
        return true;
    return false;
  }

  void RouteStatistics() {
    stat.Get("/interface.php", [this](const httplib::Request& req, httplib::Response& res) {
      if (QueryParam(req, "s") != "/Count/getToken.html") return NotFound("stat", req, res);
      const std::string token = IssueToken();
      store.Add("stat", "token", req.target, {}, token);
      res.set_content(token, "text/plain");
    });
    stat.Post("/interface.php", [this](const httplib::Request& req, httplib::Response& res) {
      const Fields fields = ParseForm(req.body);
      if (QueryParam(req, "s") == "/Count/sign.html") {
        const bool ok = SignMatchesAnyToken(fields);
        if (!Acknowledge(store.Add("stat", "sign", req.target, fields, ok ? "sign ok" : "sign bad"),
                         res))
          return;
        res.status = ok ? 200 : 403;
        res.set_content(ok ? "1" : "0", "text/plain");
      } else if (QueryParam(req, "m") == "Index" && QueryParam(req, "a") == "tjOper") {
        Acknowledge(store.Add("stat", "report", req.target, fields, ""), res);
      } else {
        NotFound("stat", req, res);
      }
    });
  }

  void RouteWeb() {
    web.Get("/", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(
          "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Melvo</title>"
          "</head><body><h1>Melvo 5</h1></body></html>",
          "text/html; charset=utf-8");
    });
    web.Post("/player", [this](const httplib::Request& req, httplib::Response& res) {
      Acknowledge(store.Add("web", "listening", req.target, ParseForm(req.body), ""), res);
    });
    web.Post("/index.php", [this](const httplib::Request& req, httplib::Response& res) {
      if (QueryParam(req, "m") != "question" || QueryParam(req, "a") != "suggest")
        return NotFound("web", req, res);
      Acknowledge(store.Add("web", "feedback", req.target, ParseForm(req.body), ""), res);
    });
    web.Get("/player-check_version", [this](const httplib::Request& req, httplib::Response& res) {
      store.Add("web", "check", req.target, QueryFields(req), "");
      std::string url = config.downloadUrl;
      if (url.empty())
        url = "http://" + PublicAddress(config.webPublic, config.web, webPort) +
              "/download/melvo-" + config.latestVersion + ".tar.gz";
      const nlohmann::json reply = {{"data", {{"version", config.latestVersion}, {"d_url", url}}}};
      res.set_content(reply.dump(), "application/json");
    });
  }

  void RouteSearch() {
    search.Get("/tm/search/search.html", [this](const httplib::Request& req,
                                                httplib::Response& res) {
      const std::string query = QueryParam(req, "query");
      int page = 0;
      try {
        page = std::max(0, std::stoi(QueryParam(req, "page")));
      } catch (...) {
        page = 0;
      }
      store.Add("search", "search", req.target, QueryFields(req), "");
      const std::string needle = LowerAscii(query);
      std::vector<size_t> hits;
      for (size_t i = 0; i < songs.size(); ++i)
        if (LowerAscii(songs[i].name).find(needle) != std::string::npos) hits.push_back(i);
      constexpr size_t kPageSize = 20;
      const std::string host = PublicAddress(config.searchPublic, config.search, searchPort);
      nlohmann::json list = nlohmann::json::array();
      for (size_t k = size_t(page) * kPageSize; k < hits.size() && list.size() < kPageSize; ++k) {
        const IndexedSong& s = songs[hits[k]];
        list.push_back({{"name", s.name},
                        {"singer", s.singer},
                        {"album", s.album},
                        {"duration", FormatDuration(s.seconds)},
                        {"mp3", "http://" + host + "/tm/music/" + std::to_string(hits[k]) +
                                    LowerAscii(fs::path(s.path).extension().string())},
                        {"imgUrl", ""}});
      }
      const nlohmann::json reply = {{"songList", list}, {"page", page}, {"total", hits.size()}};
      res.set_content(reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                      "application/json; charset=utf-8");
    });
    search.Get(R"(/tm/music/(\d+)(\.\w+)?)",
               [this](const httplib::Request& req, httplib::Response& res) {
                 size_t index = songs.size();
                 try {
                   index = std::stoul(req.matches[1]);
                 } catch (...) {
                 }
                 store.Add("search", "music", req.target, {}, req.get_header_value("Range"));
                 if (index >= songs.size()) return NotFound("search", req, res, false);
                 ServeFile(songs[index].path, req, res);
               });
  }

  // What the client sent is acknowledged only once it is stored; otherwise the client learns
  // that it failed (a locked or broken database answers 503).
  static bool Acknowledge(bool stored, httplib::Response& res) {
    if (stored) {
      res.set_content("1", "text/plain");
    } else {
      res.status = 503;
      res.set_content("0", "text/plain");
    }
    return stored;
  }

  // One file, whole or the one range asked for. The library's own handling of ranges answers a
  // first byte past the end with a bogus 206, so ranges are answered here and the library's copy
  // of them dropped (the request object is the server's own, not a constant one).
  static void ServeFile(const std::string& path, const httplib::Request& req,
                        httplib::Response& res) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) {
      res.status = 404;
      return;
    }
    const RangeAnswer range =
        req.has_header("Range") ? AnswerRange(req.get_header_value("Range"), size) : RangeAnswer{};
    const_cast<httplib::Request&>(req).ranges.clear();
    res.set_header("Accept-Ranges", "bytes");
    const std::string total = std::to_string(size);
    uint64_t first = 0, length = size;
    if (range.kind == RangeAnswer::Kind::Unsatisfiable) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + total);
      return;
    }
    if (range.kind == RangeAnswer::Kind::Part) {
      first = range.first;
      length = range.length;
      res.status = 206;
      res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                          std::to_string(first + length - 1) + "/" + total);
    } else {
      res.status = 200;
    }
    auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
    res.set_content_provider(static_cast<size_t>(length), MimeOf(path),
                             [file, first](size_t offset, size_t want, httplib::DataSink& sink) {
                               char buf[64 * 1024];
                               file->clear();
                               file->seekg(static_cast<std::streamoff>(first + offset));
                               file->read(buf,
                                          static_cast<std::streamsize>(std::min(want, sizeof buf)));
                               const auto got = static_cast<size_t>(file->gcount());
                               if (got == 0) return false;
                               sink.write(buf, got);
                               return true;
                             });
  }

  void NotFound(const std::string& service, const httplib::Request& req, httplib::Response& res,
                bool store_it = true) {
    if (store_it) store.Add(service, "unknown", req.target, ParseForm(req.body), req.method);
    res.status = 404;
  }

  // Where clients reach a service: the configured public address, else the bound one (a
  // wildcard address there means this machine). Never the request's Host header, which any
  // client may forge to point other clients elsewhere.
  static std::string PublicAddress(const std::string& configured, const Endpoint& e, int port) {
    if (!configured.empty()) return configured;
    const bool wildcard = e.address.empty() || e.address == "0.0.0.0" || e.address == "::";
    return (wildcard ? std::string("127.0.0.1") : e.address) + ":" + std::to_string(port);
  }

  // A body longer than the cap is refused before a byte of it is read: otherwise the server
  // would read (and drop) whatever length a client names before answering.
  static httplib::Server::HandlerResponse RefuseLongBodies(const httplib::Request& req,
                                                           httplib::Response& res) {
    if (!req.has_header("Content-Length")) return httplib::Server::HandlerResponse::Unhandled;
    const std::string text = req.get_header_value("Content-Length");
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (digits && (text.size() < 10 && std::stoul(text) <= kMaxBodyBytes))
      return httplib::Server::HandlerResponse::Unhandled;
    res.status = digits ? 413 : 400;
    res.set_header("Connection", "close");  // the unread body must not be taken for a request
    return httplib::Server::HandlerResponse::Handled;
  }

  static bool Bind(httplib::Server& server, const Endpoint& e, int& port) {
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_payload_max_length(kMaxBodyBytes);
    server.set_pre_routing_handler(RefuseLongBodies);
    // Quick restarts yes, but never two servers sharing one port.
    server.set_socket_options([](socket_t sock) {
      int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    if (e.port == 0) {
      port = server.bind_to_any_port(e.address);
      return port > 0;
    }
    port = e.port;
    return server.bind_to_port(e.address, e.port);
  }
};

MelvoServices::MelvoServices(ServicesConfig config) : impl_(std::make_unique<Impl>()) {
  impl_->config = std::move(config);
}

MelvoServices::~MelvoServices() {
  Stop();
}

namespace {

void WaitUntilRunning(const httplib::Server& server) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(10);
  while (!server.is_running() && steady_clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(1));
}

}  // namespace

bool MelvoServices::Start() {
  Impl& m = *impl_;
  if (!m.store.Open(m.config.databasePath, m.config.lockWaitMs)) return false;
  m.songs = IndexMusicFolder(m.config.musicFolder);
  m.usingCatalogue = false;
  if (m.songs.empty() && !m.config.catalogueFolder.empty()) {
    // A folder without songs: the services' own pieces, made once and kept.
    MakeCatalogue(m.config.catalogueFolder);
    m.songs = IndexMusicFolder(m.config.catalogueFolder);
    m.usingCatalogue = !m.songs.empty();
  }
  m.RouteStatistics();
  m.RouteWeb();
  m.RouteSearch();
  if (!Impl::Bind(m.stat, m.config.stat, m.statPort) ||
      !Impl::Bind(m.web, m.config.web, m.webPort) ||
      !Impl::Bind(m.search, m.config.search, m.searchPort))
    return false;
  for (httplib::Server* s : {&m.stat, &m.web, &m.search})
    m.threads.emplace_back([s] { s->listen_after_bind(); });
  // A stop() that comes before a server runs its loop is lost and the loop never ends, so the
  // services count as started only once every loop runs.
  for (httplib::Server* s : {&m.stat, &m.web, &m.search}) WaitUntilRunning(*s);
  return true;
}

void MelvoServices::Stop() {
  if (!impl_) return;
  for (httplib::Server* s : {&impl_->stat, &impl_->web, &impl_->search}) s->stop();
  for (auto& t : impl_->threads)
    if (t.joinable()) t.join();
  impl_->threads.clear();
}

int MelvoServices::statPort() const {
  return impl_->statPort;
}
int MelvoServices::webPort() const {
  return impl_->webPort;
}
int MelvoServices::searchPort() const {
  return impl_->searchPort;
}
size_t MelvoServices::songCount() const {
  return impl_->songs.size();
}
bool MelvoServices::servesCatalogue() const {
  return impl_->usingCatalogue;
}

}  // namespace services
