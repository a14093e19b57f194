// Replies a hostile or broken server might send: deep nesting, huge texts, members of the wrong
// type. None may crash the player or fill its window; a reply too deep to read is a failed one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "OnlineTestSupport.h"
#include "RawListener.h"
#include "online/ReplyJson.h"
#include "online/Search.h"
#include "online/Version.h"
#include "online/common.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kDeep = 100000;

std::string Nested(size_t depth, const std::string& inner = "") {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

std::string NestedObjects(size_t depth) {
  std::string text;
  for (size_t i = 0; i < depth; ++i) text += "{\"a\":";
  text += "1";
  text.append(depth, '}');
  return text;
}

TEST(ReplyNesting, CountsBracketsOutsideStringsOnly) {
  EXPECT_TRUE(online::NestingWithin(Nested(64), 64));
  EXPECT_FALSE(online::NestingWithin(Nested(65), 64));
  EXPECT_FALSE(online::NestingWithin(NestedObjects(65), 64));
  EXPECT_TRUE(online::NestingWithin("[\"" + std::string(1000, '[') + "\"]", 2));
  // An escaped quote does not end the string; an escaped backslash before a quote does.
  EXPECT_TRUE(online::NestingWithin(R"(["\"[[[[[["])", 1));
  EXPECT_FALSE(online::NestingWithin(R"(["\\"[[[[[["])", 1));
  // Stray closing brackets do not buy depth for what follows.
  EXPECT_FALSE(online::NestingWithin("]]]]" + Nested(3), 2));
  EXPECT_TRUE(online::NestingWithin("", 0));
  EXPECT_TRUE(online::ParseReply(Nested(kDeep)).is_discarded());
  EXPECT_TRUE(online::ParseReply(NestedObjects(kDeep)).is_discarded());
  EXPECT_EQ(online::ParseReply(Nested(online::kMaxReplyDepth)).size(), 1u);
}

std::string SearchReply(const std::string& entries) {
  return "{\"songList\":[" + entries + "]}";
}

TEST(HostileSearchReply, DeepNestingAnywhereMakesTheReplyAFailedOne) {
  const std::string song = R"({"name":"a","mp3":"http://h/1.mp3"})";
  for (const std::string& body : std::vector<std::string>{
           SearchReply(R"({"name":)" + Nested(kDeep) + "}"),        // a member turned to text
           SearchReply(song + "," + NestedObjects(kDeep)),          // an entry
           R"({"songList":)" + Nested(kDeep) + "}",                 // the list itself
           "{\"songList\":[],\"x\":" + NestedObjects(kDeep) + "}",  // a member nobody reads
           Nested(kDeep, "\"songList\""),                           // the whole reply
           std::string(kDeep, '[') + "\"songList\"",                // and never closed
       }) {
    const auto page = online::ParseSearchReply(body);
    EXPECT_FALSE(page.hasSongList);
    EXPECT_TRUE(page.songs.empty());
  }
  // Nesting a real reply could have is still read, and a nested member is still its JSON text.
  const auto page = online::ParseSearchReply(SearchReply(R"({"name":)" + Nested(40) + "}"));
  ASSERT_EQ(page.songs.size(), 1u);
  EXPECT_EQ(page.songs[0].name, Nested(40));
}

TEST(HostileSearchReply, HugeTextsAreCutAndAHugeAddressIsDropped) {
  const std::string longName(3u << 20, 'n');
  std::string longChinese;
  for (int i = 0; i < 1000; ++i) longChinese += "晴";  // 3 bytes each: 1024 falls inside one
  const std::string longAddress = "http://h/" + std::string(100000, 'a') + ".mp3";
  const auto page = online::ParseSearchReply(
      SearchReply(R"({"name":")" + longName + R"(","singer":")" + longChinese + R"(","album":[")" +
                  std::string(600, 'x') + "\",\"" + std::string(600, 'y') + "\"]" + R"(,"mp3":")" +
                  longAddress + R"("},{"name":"short","mp3":"http://h/2.mp3"})"));
  ASSERT_EQ(page.songs.size(), 2u);
  const auto& s = page.songs[0];
  EXPECT_EQ(s.name, std::string(online::kMaxShownTextBytes, 'n'));
  EXPECT_EQ(s.singer.size(), 1023u);  // whole characters only
  EXPECT_EQ(s.singer, longChinese.substr(0, 1023));
  EXPECT_EQ(s.album.size(), online::kMaxShownTextBytes);
  EXPECT_EQ(s.album.front(), '[');
  EXPECT_EQ(s.mp3, "");  // nothing to play rather than a cut, wrong address
  EXPECT_EQ(page.songs[1].name, "short");
  EXPECT_EQ(page.songs[1].mp3, "http://h/2.mp3");
  // An address as long as real ones get is kept whole.
  const std::string fair = "http://h/" + std::string(4000, 'b');
  EXPECT_EQ(online::ParseSearchReply(SearchReply(R"({"mp3":")" + fair + "\"}")).songs[0].mp3, fair);
}

TEST(HostileSearchReply, AFloodOfEntriesFillsOnePageOnly) {
  std::string entries;
  for (int i = 0; i < 200000; ++i) entries += i ? ",{}" : "{\"name\":\"first\"}";
  const auto page = online::ParseSearchReply(SearchReply(entries));
  EXPECT_TRUE(page.hasSongList);
  EXPECT_TRUE(page.moreMayFollow);
  ASSERT_EQ(page.songs.size(), online::kMaxSongsPerPage);
  EXPECT_EQ(page.songs[0].name, "first");
}

TEST(HostileSearchReply, MembersOfTheWrongTypeReadAsTextOrNothing) {
  for (const std::string body :
       {R"({"songList":"songList"})", R"({"songList":null})", R"({"songList":{"0":{}}})",
        R"({"songList":true})", R"(["songList",[]])", R"("songList")"}) {
    EXPECT_FALSE(online::ParseSearchReply(body).hasSongList) << body;
  }
  const auto page = online::ParseSearchReply(SearchReply(
      R"({"name":["a",{"b":null}],"singer":false,"duration":245,"mp3":{"url":"http://h/1.mp3"}},)"
      R"(null,[],"x",-1e400)"));
  // -1e400 is no number JSON can hold: the reply is not JSON and gives nothing.
  EXPECT_FALSE(page.hasSongList);
  const auto typed = online::ParseSearchReply(SearchReply(
      R"({"name":["a",{"b":null}],"singer":false,"duration":245,"mp3":{"url":"http://h/1.mp3"}},)"
      R"(null,[],"x",1e300)"));
  ASSERT_EQ(typed.songs.size(), 5u);
  EXPECT_EQ(typed.songs[0].name, R"(["a",{"b":null}])");
  EXPECT_EQ(typed.songs[0].singer, "false");
  EXPECT_EQ(typed.songs[0].duration, "245");
  EXPECT_EQ(typed.songs[0].seconds, 0);
  EXPECT_EQ(typed.songs[0].mp3, R"({"url":"http://h/1.mp3"})");
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(typed.songs[i].name, "") << i;
}

// The same replies through the request, as the player gets them.
class HostileServer : public ::testing::Test {
 protected:
  void SetUp() override {
    UseShortTimeouts();
    PointServicesAt(listener.host(), listener.host(), listener.host());
    char pattern[] = "/tmp/melvo-hostile-XXXXXX";
    dir = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    std::ofstream(dir / "melvo", std::ios::binary) << VersionRecord("5.0.4.226");
  }
  void TearDown() override { fs::remove_all(dir); }

  void Serve(const std::string& body) { listener.SetReply(RawListener::Ok(body)); }
  // Whether a version check against the listener started the updater; its arguments in args.
  bool Check() {
    args.clear();
    return online::CheckVersion("http://" + listener.host() + "/v", (dir / "melvo").string(),
                                [this](auto&, auto& a) { args = a; });
  }

  RawListener listener;
  fs::path dir;
  std::vector<std::string> args;
};

TEST_F(HostileServer, DeepSearchReplyGivesNoResults) {
  Serve(SearchReply(R"({"name":)" + Nested(kDeep) + "}"));
  EXPECT_FALSE(online::SearchOnline("a", "0").hasSongList);
  Serve(SearchReply(R"({"name":"ok"})"));  // the next reply is read as ever
  EXPECT_EQ(online::SearchOnline("a", "0").songs.size(), 1u);
}

TEST_F(HostileServer, DeepVersionReplyStartsNothing) {
  for (const std::string& body : std::vector<std::string>{
           R"({"data":{"version":)" + Nested(kDeep) + "}}",
           R"({"data":{"version":"9.0.0.0","d_url":)" + NestedObjects(kDeep) + "}}",
           R"({"data":{"version":"9.0.0.0"},"x":)" + Nested(kDeep) + "}",
           Nested(kDeep),
       }) {
    Serve(body);
    EXPECT_FALSE(Check());
  }
  Serve(R"({"data":{"version":"9.0.0.0","d_url":"http://dl/x"}})");
  EXPECT_TRUE(Check());
}

TEST_F(HostileServer, VersionMembersOfTheWrongTypeOrSizeStartNothingOrReadAsEmpty) {
  for (const std::string body :
       {R"({"data":[{"version":"9.0.0.0"}]})", R"({"data":{"version":["9","0","0","0"]}})",
        R"({"data":{"version":{"a":9}}})", R"({"data":{"version":true}})",
        R"({"data":{"version":null}})", R"({"data":{"version":9.0}})"}) {
    Serve(body);
    EXPECT_FALSE(Check()) << body;
  }
  std::string hugeVersion = "9";
  while (hugeVersion.size() < (3u << 20)) hugeVersion += ".9";
  Serve(R"({"data":{"version":")" + hugeVersion + R"("}})");
  EXPECT_FALSE(Check());  // far more than four parts: 1.0.0.0
  Serve(R"({"data":{"version":"9.0.0.0","d_url":12}})");
  ASSERT_TRUE(Check());
  EXPECT_EQ(args[0], "");
  const std::string hugeUrl = "http://dl/" + std::string(1u << 20, 'u');
  Serve(R"({"data":{"version":"9.0.0.0","d_url":")" + hugeUrl + "\"}}");
  ASSERT_TRUE(Check());
  EXPECT_EQ(args[0], online::EncodeBase64(hugeUrl));
}

TEST_F(HostileServer, OddTokensAreSignedAsReceived) {
  std::string binary("t\0k\xff\xfe\r\n", 7);
  for (const std::string& token : {Nested(kDeep), std::string(3u << 20, 't'), binary}) {
    Serve(token);
    EXPECT_TRUE(online::RegisterClient());
    const auto requests = listener.Requests();
    const std::string& sign = requests.back();
    const std::string code =
        online::MakeSignCode(token, online::GetMacAddress(0), "5.0.4.227", "1001");
    EXPECT_NE(sign.find("&code=" + code), std::string::npos) << sign.substr(0, 200);
  }
  // A token beyond the reply cap is a failed request: no sign request follows.
  const size_t before = listener.Requests().size();
  Serve(std::string(5u << 20, 't'));
  EXPECT_FALSE(online::RegisterClient());
  EXPECT_EQ(listener.Requests().size(), before + 1);
}

}  // namespace
