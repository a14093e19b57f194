// The player's requests against the reference services on loopback, and what those store.
#include <gtest/gtest.h>
#include <httplib.h>
#include "BuildPaths.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "OnlineTestSupport.h"
#include "Services.h"
#include "ServicesFixture.h"
#include "online/Hosts.h"
#include "online/Search.h"
#include "online/Version.h"
#include "online/Workers.h"
#include "online/common.h"

namespace {

namespace fs = std::filesystem;

class Services : public ServicesFixture {
 protected:
  void SetUp() override {
    ServicesFixture::SetUp();
    Start();
  }
};

TEST_F(Services, RegistrationIsSignedWithTheIssuedToken) {
  online::TSendTJMessage().wait();
  const auto rows = Received();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].kind, "token");
  EXPECT_EQ(rows[1].kind, "sign");
  EXPECT_EQ(rows[1].note, "sign ok");
  EXPECT_EQ(Field(rows[1], "uid"), "1001");
  EXPECT_EQ(Field(rows[1], "c"), "1");
  EXPECT_EQ(Field(rows[1], "v"), "5.0.4.227");
}

TEST_F(Services, ForgedSignIsRecordedAsBad) {
  online::FormFields form = online::MakeSignForm("not-issued", "001A2B3C4D5E", "7", "5.0.4.227");
  EXPECT_FALSE(
      online::HttpPostForm(online::StatHost(), "/interface.php?s=/Count/sign.html", form).ok);
  const auto rows = Received();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].note, "sign bad");
}

TEST_F(Services, ReportsArriveWithTheirTextsIntact) {
  online::TSendTjMsg("click", "btnClearlist").wait();
  online::TSendLSStatus("晴天 & 雨天", "周杰伦", "2").wait();
  online::SendFeedback("a+b@c.d", "好用 100% <b>#1</b>\r\n");
  online::PostCloseStatistic();
  const auto rows = Received();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].kind, "report");
  EXPECT_EQ(Field(rows[0], "btnName"), "btnClearlist");
  EXPECT_EQ(rows[1].kind, "listening");
  EXPECT_EQ(Field(rows[1], "song_name"), "晴天 & 雨天");
  EXPECT_EQ(Field(rows[1], "singer"), "周杰伦");
  EXPECT_EQ(Field(rows[1], "uid"), "0");
  EXPECT_EQ(Field(rows[1], "status"), "2");
  EXPECT_EQ(rows[2].kind, "feedback");
  EXPECT_EQ(Field(rows[2], "email"), "a+b@c.d");
  EXPECT_EQ(Field(rows[2], "content"), "好用 100% <b>#1</b>\r\n");
  EXPECT_EQ(Field(rows[3], "oper"), "close");
  std::ostringstream dump;
  services::DumpReceived(config.databasePath, dump);
  EXPECT_NE(dump.str().find("btnName=btnClearlist"), std::string::npos) << dump.str();
}

TEST_F(Services, SearchPagesHoldTwentyResults) {
  ASSERT_EQ(running->songCount(), 24u);
  const auto first = online::SearchOnline("song", "0");
  ASSERT_TRUE(first.hasSongList);
  EXPECT_EQ(first.songs.size(), 20u);
  EXPECT_TRUE(first.moreMayFollow);
  EXPECT_EQ(first.songs[0].name, "Song 01");
  EXPECT_EQ(first.songs[0].singer, "Singer 01");
  EXPECT_EQ(first.songs[0].album, "Album");
  EXPECT_EQ(first.songs[0].duration, "0:01");
  EXPECT_EQ(first.songs[0].seconds, 1);
  const auto second = online::SearchOnline("song", "1");
  ASSERT_TRUE(second.hasSongList);
  EXPECT_EQ(second.songs.size(), 3u);
  EXPECT_FALSE(second.moreMayFollow);
  const auto beyond = online::SearchOnline("song", "7");
  EXPECT_TRUE(beyond.hasSongList);
  EXPECT_TRUE(beyond.songs.empty());
  const auto odd = online::SearchOnline("song", "-1&x=%00");  // the page text is sent as given
  EXPECT_TRUE(odd.hasSongList);
}

TEST_F(Services, ChineseSearchFindsTheSongAndItsAddressServesRanges) {
  const auto page = online::SearchOnline("晴天", "0");
  ASSERT_EQ(page.songs.size(), 1u);
  const auto& song = page.songs[0];
  EXPECT_EQ(song.singer, "周杰伦");
  EXPECT_EQ(song.album, "叶惠美");
  EXPECT_EQ(song.seconds, 2);
  std::string host, target;
  ASSERT_TRUE(online::SplitHttpUrl(song.mp3, host, target));
  const std::string file = melvo::build::TestMusicDir() + "/qingtian.mp3";
  std::ifstream in(file, std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  httplib::Client client("http://" + host);
  const auto part = client.Get(target, {{"Range", "bytes=100-199"}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->body, whole.substr(100, 100));
  const auto all = client.Get(target);
  ASSERT_TRUE(all);
  EXPECT_EQ(all->body, whole);
  EXPECT_EQ(client.Get("/tm/music/999.mp3")->status, 404);
}

TEST_F(Services, VersionCheckNamesTheConfiguredVersion) {
  std::ofstream(dir / "melvo", std::ios::binary) << VersionRecord("5.0.4.226");
  std::vector<std::string> args;
  EXPECT_TRUE(online::CheckVersion(online::VersionCheckUrl(), (dir / "melvo").string(),
                                   [&](auto&, auto& a) { args = a; }));
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0], online::EncodeBase64("http://" + online::WebHost() +
                                          "/download/melvo-5.0.4.227.tar.gz"));
  std::ofstream(dir / "melvo", std::ios::binary) << VersionRecord("5.0.4.227");
  EXPECT_FALSE(online::CheckVersion(online::VersionCheckUrl(), (dir / "melvo").string(),
                                    [&](auto&, auto&) { ADD_FAILURE(); }));
  EXPECT_EQ(Received().back().kind, "check");
}

TEST(ServicesParts, FormDecodingKeepsOrderAndPlusSigns) {
  const auto fields = services::ParseForm("b=1+1&a=%E6%99%B4&&c&d=%zz&e=%4");
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[0], (std::pair<std::string, std::string>("b", "1+1")));
  EXPECT_EQ(fields[1].second, "晴");
  EXPECT_EQ(fields[2], (std::pair<std::string, std::string>("c", "")));
  EXPECT_EQ(fields[3].second, "%zz");
  EXPECT_EQ(fields[4].second, "%4");
  EXPECT_EQ(services::FormatDuration(605), "10:05");
  EXPECT_TRUE(services::IndexMusicFolder("/no/such/folder").empty());
}

TEST(ServicesParts, TakenPortIsReported) {
  char pattern[] = "/tmp/melvo-services-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  services::ServicesConfig config;
  config.stat.port = config.web.port = config.search.port = 0;
  config.databasePath = (dir / "a.db3").string();
  services::MelvoServices first(config);
  ASSERT_TRUE(first.Start());
  config.stat.port = first.statPort();
  config.databasePath = (dir / "b.db3").string();
  services::MelvoServices second(config);
  EXPECT_FALSE(second.Start());
  config.databasePath = (dir / "no" / "such" / "c.db3").string();
  services::MelvoServices third(config);
  EXPECT_FALSE(third.Start());
  first.Stop();
  fs::remove_all(dir);
}

}  // namespace
