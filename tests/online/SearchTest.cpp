// The search request and the reading of its reply.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "OnlineTestSupport.h"
#include "RawListener.h"
#include "online/Search.h"

namespace {

std::string ReplyWith(size_t songs) {
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < songs; ++i) {
    std::string name(1, 'n');  // appended, not "n" + ...: GCC 12 warns wrongly on the latter
    name += std::to_string(i);
    list.push_back({{"name", name},
                    {"singer", "s"},
                    {"mp3", "http://m/x.mp3"},
                    {"album", "a"},
                    {"duration", "4:05"},
                    {"imgUrl", ""}});
  }
  return nlohmann::json{{"songList", list}}.dump();
}

TEST(SearchQuery, OnlyDigitsLettersDotAndUnderscoreStay) {
  EXPECT_EQ(online::EncodeSearchQuery("a b"), "a%20b");
  EXPECT_EQ(online::EncodeSearchQuery("晴天"), "%E6%99%B4%E5%A4%A9");
  EXPECT_EQ(online::EncodeSearchQuery("-~._"), "%2D%7E._");
  EXPECT_EQ(online::EncodeSearchQuery("Az09&=?/+%"), "Az09%26%3D%3F%2F%2B%25");
  EXPECT_EQ(online::EncodeSearchQuery(""), "");
}

TEST(SearchDuration, MinutesAndSecondsBecomeSeconds) {
  EXPECT_EQ(online::DurationToSeconds("4:05"), 245);
  EXPECT_EQ(online::DurationToSeconds("0:00"), 0);
  EXPECT_EQ(online::DurationToSeconds("10:05"), 605);
  EXPECT_EQ(online::DurationToSeconds("1:02:03"), 3723);
  for (const char* unreadable : {"", "4", "4:5", "4:005", ":05", "4:05x", "x4:05", "-4:05", "4.05",
                                 "1:2:3:4", "99999:00", "4:05:"})
    EXPECT_EQ(online::DurationToSeconds(unreadable), 0) << unreadable;
}

TEST(SearchReply, NineteenResultsMayHaveANextPageEighteenDoNot) {
  const auto full = online::ParseSearchReply(ReplyWith(19));
  EXPECT_TRUE(full.hasSongList);
  EXPECT_TRUE(full.moreMayFollow);
  ASSERT_EQ(full.songs.size(), 19u);
  EXPECT_EQ(full.songs[0].name, "n0");
  EXPECT_EQ(full.songs[18].name, "n18");  // reply order
  EXPECT_EQ(full.songs[3].seconds, 245);
  const auto last = online::ParseSearchReply(ReplyWith(18));
  EXPECT_TRUE(last.hasSongList);
  EXPECT_FALSE(last.moreMayFollow);
  EXPECT_EQ(last.songs.size(), 18u);
  const auto none = online::ParseSearchReply(ReplyWith(0));
  EXPECT_TRUE(none.hasSongList);
  EXPECT_FALSE(none.moreMayFollow);
}

TEST(SearchReply, RepliesWithoutASongListArrayGiveNothing) {
  for (const std::string body :
       {"", "{}", "{\"list\":[]}", "[\"songList\"]", "{\"x\":\"songList\"}", "{\"songList\":5}",
        "{\"songList\":{\"name\":\"a\"}}", "{\"songList\":[", "songList", "<html>songList</html>",
        "{\"songList\":[]} trailing"}) {
    const auto page = online::ParseSearchReply(body);
    EXPECT_FALSE(page.hasSongList) << body;
    EXPECT_TRUE(page.songs.empty()) << body;
  }
}

TEST(SearchReply, MembersAreReadAsTextWhateverTheirJsonType) {
  const auto page = online::ParseSearchReply(
      R"({"songList":[{"name":5,"singer":null,"album":{"a":[1,true]},"duration":"3:07",)"
      R"("mp3":"http://h/1.mp3","imgUrl":1.5,"extra":"ignored"},{},7,"text"]})");
  ASSERT_EQ(page.songs.size(), 4u);
  const auto& s = page.songs[0];
  EXPECT_EQ(s.name, "5");
  EXPECT_EQ(s.singer, "null");
  EXPECT_EQ(s.album, R"({"a":[1,true]})");
  EXPECT_EQ(s.duration, "3:07");
  EXPECT_EQ(s.seconds, 187);
  EXPECT_EQ(s.mp3, "http://h/1.mp3");
  EXPECT_EQ(s.imgUrl, "1.5");
  for (size_t i = 1; i < 4; ++i) {  // an empty object and entries that are no objects
    EXPECT_EQ(page.songs[i].name, "");
    EXPECT_EQ(page.songs[i].mp3, "");
    EXPECT_EQ(page.songs[i].seconds, 0);
  }
}

TEST(SearchReply, BytesThatAreNotUtf8DoNotSpoilTheReply) {
  const std::string body =
      "{\"songList\":[{\"name\":\"a\xff\xfe"
      "b\",\"singer\":\"\xe6\x99\"}]}";
  const auto page = online::ParseSearchReply(body);
  ASSERT_TRUE(page.hasSongList);
  ASSERT_EQ(page.songs.size(), 1u);
  EXPECT_EQ(page.songs[0].name.front(), 'a');
  EXPECT_EQ(page.songs[0].name.back(), 'b');
}

class SearchRequest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseShortTimeouts();
    PointServicesAt(listener.host(), listener.host(), listener.host());
  }
  RawListener listener;
};

TEST_F(SearchRequest, QueryAndPageGoIntoTheTargetAsGiven) {
  listener.SetReply(RawListener::Ok(ReplyWith(2)));
  const auto page = online::SearchOnline("周 杰-伦", "3");
  EXPECT_TRUE(page.hasSongList);
  EXPECT_EQ(page.songs.size(), 2u);
  EXPECT_EQ(listener.OnlyRequest(),
            "GET /tm/search/search.html?query=%E5%91%A8%20%E6%9D%B0%2D%E4%BC%A6&page=3 "
            "HTTP/1.1\r\nHost: " +
                listener.host() +
                "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy "
                "Library)\r\n\r\n");
}

TEST_F(SearchRequest, EmptyQueryIsSentAsAnEmptyParameter) {
  online::SearchOnline("", "0");
  EXPECT_EQ(
      listener.OnlyRequest().rfind("GET /tm/search/search.html?query=&page=0 HTTP/1.1\r\n", 0), 0u);
}

TEST_F(SearchRequest, FailedOrSilentServiceGivesNoResults) {
  listener.SetReply(RawListener::Ok(ReplyWith(20), "500 Internal Server Error"));
  EXPECT_FALSE(online::SearchOnline("a", "0").hasSongList);
  listener.NeverAnswer();
  EXPECT_FALSE(online::SearchOnline("a", "0").hasSongList);
}

}  // namespace
