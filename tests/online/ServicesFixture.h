// The reference services on loopback ports of their own, with a database in a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include "BuildPaths.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "OnlineTestSupport.h"
#include "Services.h"

class ServicesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    UseShortTimeouts();
    char pattern[] = "/tmp/melvo-services-XXXXXX";
    dir = mkdtemp(pattern);
    config.stat.port = config.web.port = config.search.port = 0;
    config.databasePath = (dir / "received.db3").string();
    config.musicFolder = melvo::build::TestMusicDir();
    config.latestVersion = "5.0.4.227";
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  void TearDown() override {
    if (running) running->Stop();
    std::filesystem::remove_all(dir);
  }

  // Starts the services with `config` as the test left it.
  void Start() {
    running = std::make_unique<services::MelvoServices>(config);
    ASSERT_TRUE(running->Start());
    PointServicesAt(Host(running->statPort()), Host(running->webPort()),
                    Host(running->searchPort()));
  }

  static std::string Host(int port) { return "127.0.0.1:" + std::to_string(port); }
  std::vector<services::ReceivedRow> Received() {
    return services::ReadReceived(config.databasePath);
  }
  static std::string Field(const services::ReceivedRow& row, const std::string& name) {
    for (const auto& [n, v] : row.fields)
      if (n == name) return v;
    return "<absent>";
  }

  std::filesystem::path dir;
  services::ServicesConfig config;
  std::unique_ptr<services::MelvoServices> running;
};
