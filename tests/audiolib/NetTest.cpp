// URL streams against a loopback HTTP server: download blocks, sizes, time-outs, play lists and
// refused addresses.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "TestSupport.h"

using namespace audiolib_test;
using namespace std::chrono_literals;

namespace {

class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
    BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 500);
    mp3_ = readFile(fixture("tone.mp3"));
    server_.Get("/tone.mp3", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(mp3_, "audio/mpeg");
    });
    server_.Get("/chunked.mp3", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("audio/mpeg",
                                       [this](size_t offset, httplib::DataSink& sink) {
                                         if (offset >= mp3_.size()) {
                                           sink.done();
                                           return true;
                                         }
                                         size_t n = std::min<size_t>(4000, mp3_.size() - offset);
                                         sink.write(mp3_.data() + offset, n);
                                         return true;
                                       });
    });
    server_.Get("/slow.mp3", [this](const httplib::Request&, httplib::Response& res) {
      for (int i = 0; i < 30 && !stopping_; ++i) std::this_thread::sleep_for(50ms);
      res.set_content(mp3_, "audio/mpeg");
    });
    server_.Get("/redirect.mp3", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("file://" + fixture("tone.mp3"));
    });
    server_.Get("/stalls.mp3", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("audio/mpeg",
                                       [this](size_t offset, httplib::DataSink& sink) {
                                         if (offset == 0) {
                                           sink.write(mp3_.data(), 12000);
                                           return true;
                                         }
                                         for (int i = 0; i < 60 && !stopping_; ++i)
                                           std::this_thread::sleep_for(50ms);
                                         sink.done();
                                         return true;
                                       });
    });
    server_.Get("/stalls-on.mp3", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("audio/mpeg",
                                       [this](size_t offset, httplib::DataSink& sink) {
                                         if (offset == 0) {
                                           sink.write(mp3_.data(), 12000);
                                           return true;
                                         }
                                         while (!stopping_) std::this_thread::sleep_for(20ms);
                                         sink.done();
                                         return true;
                                       });
    });
    server_.Get("/list.pls", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content("[playlist]\nNumberOfEntries=2\nFile1=" + url("/gone.mp3") +
                          "\nTitle1=gone\nFile2=" + url("/tone.mp3") + "\nLength2=-1\nVersion=2\n",
                      "audio/x-scpls");
    });
    server_.Get("/nested.m3u", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content("#EXTM3U\nfile:///etc/passwd\n" + url("/list.pls") + "\n", "audio/x-mpegurl");
    });
    server_.Get("/many.m3u", [this](const httplib::Request&, httplib::Response& res) {
      std::string list;
      for (int i = 0; i < 50; ++i) list += url("/slow.mp3?" + std::to_string(i)) + "\n";
      res.set_content(list + url("/tone.mp3") + "\n", "audio/x-mpegurl");
    });
    server_.Get("/a.m3u", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(url("/b.m3u") + "\n", "audio/x-mpegurl");
    });
    server_.Get("/b.m3u", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(url("/a.m3u") + "\n" + url("/a.m3u") + "\n", "audio/x-mpegurl");
    });
    // A port that takes connections and never answers them.
    dead_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(dead_, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(dead_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::listen(dead_, 64), 0);
    socklen_t len = sizeof(addr);
    ::getsockname(dead_, reinterpret_cast<sockaddr*>(&addr), &len);
    std::string dead;
    for (int i = 0; i < 20; ++i)
      dead += "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/dead" +
              std::to_string(i) + ".mp3\n";
    server_.Get("/dead.m3u", [dead](const httplib::Request&, httplib::Response& res) {
      res.set_content(dead, "audio/x-mpegurl");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    waitFor([this] { return server_.is_running(); }, 2s);
  }
  void TearDown() override {
    stopping_ = true;
    server_.stop();
    thread_.join();
    if (dead_ >= 0) ::close(dead_);
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  std::string mp3_;
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  int dead_ = -1;
  std::atomic<bool> stopping_{false};
};

std::atomic<size_t> downloaded{0};
std::atomic<int> blocks{0};
void countDownload(const void* buffer, DWORD length, void*) {
  if (buffer) {
    downloaded += length;
    ++blocks;
  }
}

TEST_F(NetTest, StreamsDecodeAndEveryBlockReachesTheDownloadCallback) {
  downloaded = 0;
  blocks = 0;
  HSTREAM h =
      BASS_StreamCreateURL(url("/tone.mp3").c_str(), 0, BASS_STREAM_DECODE, countDownload, nullptr);
  StreamGuard g(h);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), mp3_.size());
  std::vector<int16_t> pcm = decodeAll(h);
  EXPECT_NEAR(double(pcm.size()), 88200.0 * 2, 2000.0);
  // The server takes range requests, so the stream can go back.
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 44100 * 4, BASS_POS_BYTE));  // 1 s of 16-bit stereo
  EXPECT_NEAR(double(decodeAll(h).size()), 44100.0 * 2, 2000.0);
  EXPECT_EQ(downloaded.load(), mp3_.size());
  EXPECT_GT(blocks.load(), 1);
}

TEST_F(NetTest, UnknownSizeIsReportedAsMinusOneAndPlaybackAdvances) {
  HSTREAM h = BASS_StreamCreateURL(url("/chunked.mp3").c_str(), 0, 0, nullptr, nullptr);
  StreamGuard g(h);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), QWORD(-1));
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END) & 0xFFFFFFFFu, 0xFFFFFFFFu);
  EXPECT_FALSE(BASS_ChannelSetPosition(h, 44100 * 4, BASS_POS_BYTE));  // no ranges: no seeking
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  EXPECT_TRUE(waitFor([&] { return BASS_ChannelGetPosition(h, BASS_POS_BYTE) > 44100; }, 3s));
}

TEST_F(NetTest, PreBufferingFillsBeforeReturningAndFreeingAStalledStreamIsQuick) {
  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 50);
  HSTREAM h = BASS_StreamCreateURL(url("/tone.mp3").c_str(), 0, 0, nullptr, nullptr);
  StreamGuard g(h);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_GT(BASS_StreamGetFilePosition(h, BASS_FILEPOS_DOWNLOAD), 5000u);

  BASS_SetConfig(BASS_CONFIG_NET_PREBUF, 0);
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 5000);
  auto opening = std::chrono::steady_clock::now();
  HSTREAM stalled = BASS_StreamCreateURL(url("/stalls.mp3").c_str(), 0, 0, nullptr, nullptr);
  ASSERT_NE(stalled, 0u) << BASS_ErrorGetCode();
  EXPECT_LT(std::chrono::steady_clock::now() - opening, 1s);  // no waiting for more data
  ASSERT_TRUE(BASS_ChannelPlay(stalled, FALSE));
  EXPECT_TRUE(waitFor([&] { return BASS_ChannelIsActive(stalled) == BASS_ACTIVE_STALLED; }, 3s));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(BASS_StreamFree(stalled));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
}

std::atomic<int> ends{0};
void countEnd(HSYNC, DWORD, DWORD, void*) {
  ++ends;
}

TEST_F(NetTest, AStreamThatStallsAfterOpeningEndsAfterTheTimeOut) {
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 300);
  HSTREAM h = BASS_StreamCreateURL(url("/stalls-on.mp3").c_str(), 0, 0, nullptr, nullptr);
  StreamGuard g(h);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  ends = 0;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr), 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  // The server never sends more and never closes: the source gives up, what came is played out.
  EXPECT_TRUE(waitFor([&] { return BASS_ChannelIsActive(h) == BASS_ACTIVE_STOPPED; }, 5s));
  EXPECT_TRUE(waitFor([&] { return ends.load() == 1; }, 1s));

  // A decoding channel over the same source ends its reads instead of blocking in them.
  HSTREAM d =
      BASS_StreamCreateURL(url("/stalls-on.mp3").c_str(), 0, BASS_STREAM_DECODE, nullptr, nullptr);
  StreamGuard gd(d);
  ASSERT_NE(d, 0u) << BASS_ErrorGetCode();
  EXPECT_GT(decodeAll(d).size(), 0u);
}

TEST_F(NetTest, ASlowServerTimesOutWithoutHangingTheCaller) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(BASS_StreamCreateURL(url("/slow.mp3").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1400ms);
}

TEST_F(NetTest, PlayListsAreFollowedOnlyWhenAskedAndNeverInCircles) {
  HSTREAM h = BASS_StreamCreateURL(url("/list.pls").c_str(), 0, 0, nullptr, nullptr);
  StreamGuard g(h);
  EXPECT_NE(h, 0u) << BASS_ErrorGetCode();
  HSTREAM nested = BASS_StreamCreateURL(url("/nested.m3u").c_str(), 0, 0, nullptr, nullptr);
  StreamGuard g2(nested);
  EXPECT_NE(nested, 0u) << BASS_ErrorGetCode();  // the file: entry is skipped

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(BASS_StreamCreateURL(url("/a.m3u").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
  EXPECT_EQ(BASS_StreamCreateURL(url("/list.pls").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);

  // A long list of dead entries gives up after a few of them.
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 100);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(BASS_StreamCreateURL(url("/many.m3u").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(NetTest, AListOfDeadAddressesHasOneLimitForTheWholeOpening) {
  // Every address of the list takes the connection and never answers: each costs the whole
  // connect time-out, so twenty of them would hold the opening for ten time-outs (the most
  // addresses tried).
  BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 300);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(BASS_StreamCreateURL(url("/dead.m3u").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TIMEOUT);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GT(took, 1200ms);  // five time-outs
  EXPECT_LT(took, 2200ms);
}

TEST_F(NetTest, OnlyHttpAddressesAreOpened) {
  for (std::string bad :
       {"file://" + fixture("tone.mp3"), std::string("file:") + fixture("tone.mp3"),
        std::string("pipe:0"), "concat:" + fixture("tone.mp3"), std::string("tcp://127.0.0.1:1"),
        fixture("tone.mp3")}) {
    EXPECT_EQ(BASS_StreamCreateURL(bad.c_str(), 0, 0, nullptr, nullptr), 0u) << bad;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_PROTOCOL) << bad;
  }
}

TEST_F(NetTest, MissingResourcesAndClosedPortsGiveDistinctCodes) {
  EXPECT_EQ(BASS_StreamCreateURL(url("/gone.mp3").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  std::string refused = "http://127.0.0.1:1/x.mp3";  // nothing listens on port 1
  EXPECT_EQ(BASS_StreamCreateURL(refused.c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NONET);
}

}  // namespace
