// A music folder without songs: the services serve the catalogue they make themselves.
#include <gtest/gtest.h>
#include "BuildPaths.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "Catalogue.h"
#include "ServicesFixture.h"
#include "online/Search.h"

namespace {

namespace fs = std::filesystem;

struct Opened {
  bool ok = false;
  std::string codec;
  double seconds = 0;
  int packets = 0;
};

// Reads a whole stream through FFmpeg, as the player's audio library would open it.
Opened OpenStream(const std::string& url) {
  Opened result;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, url.c_str(), nullptr, nullptr) < 0) return result;
  if (avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams == 1) {
    result.codec = avcodec_get_name(format->streams[0]->codecpar->codec_id);
    result.seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
      ++result.packets;
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
    result.ok = true;
  }
  avformat_close_input(&format);
  return result;
}

class Catalogue : public ServicesFixture {
 protected:
  // One catalogue for the suite: making it takes a few seconds.
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/melvo-catalogue-XXXXXX";
    folder = mkdtemp(pattern);
  }
  static void TearDownTestSuite() { fs::remove_all(folder); }

  void SetUp() override {
    ServicesFixture::SetUp();
    fs::create_directory(dir / "no-songs");
    std::ofstream(dir / "no-songs" / "notes.txt") << "not audio";
    config.musicFolder = (dir / "no-songs").string();
    config.catalogueFolder = (folder / "catalogue").string();
  }

  static inline fs::path folder;
};

TEST_F(Catalogue, EmptyFolderServesTwoPagesOfOneQueryThatStream) {
  Start();
  ASSERT_TRUE(running->servesCatalogue());
  ASSERT_EQ(running->songCount(), services::CataloguePieces().size());
  for (const std::string query : {"song", "之歌"}) {
    const auto first = online::SearchOnline(query, "0");
    const auto second = online::SearchOnline(query, "1");
    ASSERT_EQ(first.songs.size(), 20u) << query;
    EXPECT_TRUE(first.moreMayFollow);
    ASSERT_FALSE(second.songs.empty()) << query;
    EXPECT_LT(second.songs.size(), 19u);
    EXPECT_FALSE(second.moreMayFollow);
    EXPECT_TRUE(online::SearchOnline(query, "2").songs.empty());
    std::set<std::string> titles, addresses;
    for (const auto* page : {&first, &second})
      for (const auto& s : page->songs) {
        titles.insert(s.name);
        addresses.insert(s.mp3);
        EXPECT_FALSE(s.singer.empty()) << s.name;
        EXPECT_FALSE(s.album.empty()) << s.name;
        EXPECT_TRUE(std::regex_match(s.duration, std::regex("0:[01][0-9]"))) << s.duration;
        EXPECT_GE(s.seconds, 5) << s.name;
      }
    EXPECT_EQ(titles.size(), first.songs.size() + second.songs.size()) << query;
    EXPECT_EQ(addresses.size(), titles.size());
  }
  // Every address of the last page and the first of the first page play to their end.
  auto page = online::SearchOnline("song", "1").songs;
  page.push_back(online::SearchOnline("song", "0").songs.at(0));
  for (const auto& song : page) {
    const Opened opened = OpenStream(song.mp3);
    ASSERT_TRUE(opened.ok) << song.mp3;
    EXPECT_EQ(opened.codec, "mp3");
    EXPECT_NEAR(opened.seconds, song.seconds, 1.0) << song.mp3;
    EXPECT_GT(opened.packets, 100) << song.mp3;
  }
}

TEST_F(Catalogue, ItIsMadeOnceAndHalfMadeFilesAreNotServed) {
  ASSERT_TRUE(services::MakeCatalogue(config.catalogueFolder));
  const fs::path first = fs::path(config.catalogueFolder) / services::CataloguePieces()[0].file;
  const auto made = fs::last_write_time(first);
  fs::remove(fs::path(config.catalogueFolder) / services::CataloguePieces()[1].file);
  std::ofstream(fs::path(config.catalogueFolder) / "piece99.mp3.part1") << "half";
  Start();
  EXPECT_EQ(running->songCount(), services::CataloguePieces().size());
  EXPECT_EQ(fs::last_write_time(first), made);  // kept, not made again
  EXPECT_TRUE(fs::exists(fs::path(config.catalogueFolder) / services::CataloguePieces()[1].file));
  for (const auto& row : Received()) ADD_FAILURE() << row.kind;  // nothing asked yet
}

TEST_F(Catalogue, AFolderWithSongsOrNoCatalogueFolderServesNoCatalogue) {
  config.musicFolder = melvo::build::TestMusicDir();
  Start();
  EXPECT_FALSE(running->servesCatalogue());
  EXPECT_EQ(running->songCount(), 24u);
  running->Stop();
  config.musicFolder = (dir / "no-songs").string();
  config.catalogueFolder.clear();
  Start();
  EXPECT_FALSE(running->servesCatalogue());
  EXPECT_EQ(running->songCount(), 0u);
  EXPECT_TRUE(online::SearchOnline("song", "0").songs.empty());
}

TEST(CatalogueParts, PiecesHaveBothScriptsAndDistinctFiles) {
  const auto& pieces = services::CataloguePieces();
  std::set<std::string> files, artists, albums;
  size_t latin = 0, chinese = 0;
  for (const auto& p : pieces) {
    files.insert(p.file);
    artists.insert(p.artist);
    albums.insert(p.album);
    latin += p.title.find("Song") != std::string::npos;
    chinese += p.title.find("之歌") != std::string::npos;
  }
  EXPECT_EQ(files.size(), pieces.size());
  EXPECT_GE(latin, 21u);  // each query: a full page and some
  EXPECT_GE(chinese, 21u);
  EXPECT_EQ(latin + chinese, pieces.size());
  EXPECT_GE(artists.size(), 4u);
  EXPECT_GE(albums.size(), 4u);
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("XDG_CACHE_HOME", "/cache", 1);
  EXPECT_EQ(services::DefaultCatalogueFolder(), "/cache/melvo-services/catalogue-1");
  setenv("XDG_CACHE_HOME", "relative", 1);  // not an absolute path: ignored
  setenv("HOME", "/home/x", 1);
  EXPECT_EQ(services::DefaultCatalogueFolder(), "/home/x/.cache/melvo-services/catalogue-1");
  setenv("HOME", oldHome.c_str(), 1);
  unsetenv("XDG_CACHE_HOME");
}

}  // namespace
