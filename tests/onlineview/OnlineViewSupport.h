// The real window with the reference services on loopback: a music folder of as many short
// songs ("Song 01", "Song 02", …) as a test asks for, and every request the services receive.
#pragma once

#include <httplib.h>
#include "BuildPaths.h"

#include <QDir>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "OnlineTestSupport.h"
#include "Services.h"
#include "WindowTestSupport.h"

class OnlineWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    UseShortTimeouts();
    dir_ = std::filesystem::path(home_.path().toStdString()) / "services";
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    window.reset();
    if (services_) services_->Stop();
    WindowTest::TearDown();
  }

  // Starts the services on a folder with the first `songs` test songs (at most 23).
  void StartServices(int songs) {
    const auto music = dir_ / "music";
    std::filesystem::create_directories(music);
    for (int i = 1; i <= songs; ++i) {
      const std::string file = "song" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".mp3";
      std::filesystem::copy_file(std::filesystem::path(melvo::build::TestMusicDir()) / file,
                                 music / file);
    }
    services::ServicesConfig config;
    config.stat.port = config.web.port = config.search.port = 0;
    config.databasePath = (dir_ / "received.db3").string();
    config.musicFolder = music.string();
    databasePath_ = config.databasePath;
    services_ = std::make_unique<services::MelvoServices>(config);
    ASSERT_TRUE(services_->Start());
    PointServicesAt(Host(services_->statPort()), Host(services_->webPort()),
                    Host(services_->searchPort()));
  }
  static std::string Host(int port) { return "127.0.0.1:" + std::to_string(port); }
  std::string SearchHost() const { return Host(services_->searchPort()); }
  static void UseSearchHost(const std::string& host) {
    setenv("MELVO_SEARCH_HOST", host.c_str(), 1);
  }

  std::vector<services::ReceivedRow> Received(const std::string& kind) {
    std::vector<services::ReceivedRow> rows;
    for (auto& row : services::ReadReceived(databasePath_))
      if (row.kind == kind) rows.push_back(std::move(row));
    return rows;
  }
  // The query part of every search request received, "query=…&page=…".
  std::vector<std::string> Searches() {
    std::vector<std::string> out;
    for (const auto& row : Received("search"))
      out.push_back(row.target.substr(row.target.find('?') + 1));
    return out;
  }
  static std::string Field(const services::ReceivedRow& row, const std::string& name) {
    for (const auto& [n, v] : row.fields)
      if (n == name) return v;
    return "<absent>";
  }

  TunitMain& OpenOnlineView() {
    Open();
    Click(window->btnSearch);
    PumpAnimation(0.3);
    return *window;
  }
  // Types the text and clicks the search button; waits for the reply.
  void Search(const QString& text) {
    window->textSearch->SetText(text);
    Click(window->btnOL);
    ASSERT_TRUE(WaitForReply());
  }
  bool WaitForReply() {
    return PumpUntil([this] { return !window->SearchWaiting(); });
  }
  QStringList Captions() {
    QStringList out;
    for (int i = 0; i < window->OLListBox->Count(); ++i)
      out << window->OLListBox->ItemByIndex(i)->GetBinding(QStringLiteral("oltitle"));
    return out;
  }

  std::filesystem::path dir_;
  std::string databasePath_;
  std::unique_ptr<services::MelvoServices> services_;
};

// A search service of the test's own: every request gets `body` after `delayMs`.
class FakeSearchService {
 public:
  explicit FakeSearchService(std::string body, int delayMs = 0) {
    server_.Get("/tm/search/search.html",
                [body, delayMs](const httplib::Request&, httplib::Response& res) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                  res.set_content(body, "application/json");
                });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~FakeSearchService() {
    server_.stop();
    thread_.join();
  }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

  // A reply of `songs` results named "Late 0", "Late 1", …
  static std::string Songs(int songs) {
    std::string body = "{\"songList\":[";
    for (int i = 0; i < songs; ++i)
      body += std::string(i ? "," : "") + "{\"name\":\"Late " + std::to_string(i) +
              "\",\"singer\":\"S\",\"mp3\":\"http://127.0.0.1:1/x.mp3\"}";
    return body + "]}";
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};
