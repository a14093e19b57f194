// Threads at once, for ThreadSanitizer (the tsan preset) as much as for the normal run: the main
// thread drives the engine (play, seek, pause, volume, stop) while other threads probe files
// through the same engine, an import job probes and stores on its worker, and online searches
// run against the reference services.
#include <gtest/gtest.h>
#include "BuildPaths.h"

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "../audio/EngineTestSupport.h"
#include "Services.h"
#include "library/Import.h"
#include "library/dataCtr.h"
#include "online/Http.h"
#include "online/Search.h"

using namespace enginetest;

namespace {

const std::vector<std::string> kFiles = {"tone.wav",  "tone.mp3",      "tone.ogg",
                                         "tone.flac", "tone.m4a",      "tone.opus",
                                         "tagged.wv", "truncated.mp3", "corrupt.mp3"};

TEST(Stress, EngineImportAndSearchOnSeveralThreadsAtOnce) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/melvo-stress-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  setenv("XDG_DATA_HOME", dir.c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  ASSERT_TRUE(InitDatabase());

  services::ServicesConfig config;
  config.stat.port = config.web.port = config.search.port = 0;
  config.musicFolder = melvo::build::FixturesDir();
  config.databasePath = (dir / "received.db3").string();
  services::MelvoServices running(config);
  ASSERT_TRUE(running.Start());
  setenv("MELVO_SEARCH_HOST", ("127.0.0.1:" + std::to_string(running.searchPort())).c_str(), 1);

  auto engine = MakeEngine();
  std::atomic<bool> stop{false};

  std::atomic<int> probes{0};
  std::vector<std::thread> probers;
  for (int t = 0; t < 2; ++t)
    probers.emplace_back([&, t] {
      for (size_t i = t; !stop; ++i) {
        const TTags tags = engine->GetSongLength(Fixture(kFiles[i % kFiles.size()]));
        EXPECT_GE(tags.Longtime, 0);
        ++probes;
      }
    });

  std::atomic<int> pages{0}, searches{0};
  std::thread searcher([&] {
    while (!stop) {
      const online::SearchPage page = online::SearchOnline("tone", "0");
      ++searches;
      if (page.hasSongList) ++pages;
    }
  });

  std::vector<std::string> paths;
  for (int i = 0; i < 60; ++i) paths.push_back(Fixture(kFiles[i % kFiles.size()]));
  std::atomic<size_t> stored{0};
  std::atomic<bool> importDone{false};
  TImportJob job(
      paths,
      [&](const std::string& path) {
        const TTags t = engine->GetSongLength(path);
        return TSongTags{t.Title + " " + std::to_string(path.size()), t.Artist, t.Album,
                         t.Longtime};
      },
      [&](TImportProgress piece) {
        stored += piece.Ids.size();
        if (piece.Last) importDone = true;
      });

  EventLog log(*engine);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
    engine->Play(Fixture(kFiles[round % 4]));
    WaitUntil([&] { return engine->EngineState() == psPlaying; }, 2000);
    Drain(30);
    engine->SetSongPos(engine->GetSongLen() * float(round % 5) / 5.0f);
    engine->SetVolume(float(round % 10) / 10.0f);
    engine->GetFFTData();
    engine->GetWaveBuffer();
    engine->Pause();
    Drain(10);
    engine->UnPause();
    Drain(20);
    if (round % 3 == 0) engine->Stop();
  }
  engine->Stop();
  WaitUntil([&] { return importDone.load(); }, 20000);
  stop = true;
  for (auto& t : probers) t.join();
  searcher.join();
  running.Stop();

  EXPECT_TRUE(importDone);
  EXPECT_TRUE(job.Finished());
  EXPECT_GT(stored.load(), 0u);
  EXPECT_EQ(GetSongList(0).size(), stored.load());
  EXPECT_GT(probes.load(), 0);
  EXPECT_GT(searches.load(), 0);
  EXPECT_EQ(pages.load(), searches.load());
  engine.reset();
  fs::remove_all(dir);
}

}  // namespace
