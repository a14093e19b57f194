// What goes on the wire: request lines, headers and bodies of every request kind, byte for byte,
// and how the client behaves with bad or slow peers.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "OnlineTestSupport.h"
#include "RawListener.h"
#include "online/Http.h"
#include "online/Workers.h"
#include "online/common.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Head(const std::string& requestLine, const std::string& host) {
  return requestLine + "\r\nHost: " + host +
         "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
}

std::string FormPost(const std::string& target, const std::string& host, const std::string& body) {
  return Head("POST " + target + " HTTP/1.0", host) +
         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string BodyOf(const std::string& request) {
  const size_t at = request.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : request.substr(at + 4);
}

class WireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseShortTimeouts();
    PointServicesAt(listener.host(), listener.host(), listener.host());
  }
  RawListener listener;
};

TEST_F(WireTest, GetIsHttp11WithOnlyTheThreeHeaders) {
  const auto r = online::HttpGet(listener.host(), "/interface.php?s=/Count/getToken.html");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.body, "ok");
  EXPECT_EQ(listener.OnlyRequest(),
            Head("GET /interface.php?s=/Count/getToken.html HTTP/1.1", listener.host()) + "\r\n");
}

TEST_F(WireTest, FormPostIsHttp10WithTypeLengthAndEncodedBody) {
  online::FormFields form;
  form.Set("email", "a b@c.d");
  form.Set("content", "x");
  EXPECT_TRUE(online::HttpPostForm(listener.host(), "/index.php?m=question&a=suggest", form).ok);
  EXPECT_EQ(listener.OnlyRequest(), FormPost("/index.php?m=question&a=suggest", listener.host(),
                                             "email=a%20b@c.d&content=x"));
}

TEST(FormEncoding, ReservedNonPrintableAndNonAsciiBecomePercentGroups) {
  EXPECT_EQ(online::EncodeFormValue(" "), "%20");
  EXPECT_EQ(online::EncodeFormValue("*#%<>[]&=+"), "%2A%23%25%3C%3E%5B%5D%26%3D%2B");
  EXPECT_EQ(online::EncodeFormValue("a\r\nb\t"), "a%0D%0Ab%09");
  EXPECT_EQ(online::EncodeFormValue("建议"), "%E5%BB%BA%E8%AE%AE");
  EXPECT_EQ(online::EncodeFormValue("dword:000003E9"), "dword:000003E9");
  EXPECT_EQ(online::EncodeFormValue("!\"$'(),-./:;?@\\^_`{|}~"), "!\"$'(),-./:;?@\\^_`{|}~");
  EXPECT_EQ(online::EncodeFormValue(std::string("\x7f\x80\xff", 3)), "%7F%80%FF");
}

TEST(FormEncoding, SetReplacesInPlaceAndEmptyValueRemovesTheField) {
  online::FormFields form;
  form.Set("a", "1");
  form.Set("b", "2");
  form.Set("c", "3");
  form.Set("a", "9");  // keeps its first position
  form.Set("b", "");   // gone
  form.Set("d", "");   // never appears
  EXPECT_EQ(form.Encode(), "a=9&c=3");
  EXPECT_EQ(form.Get("b"), "");
  form.Set("b", "new");  // comes back at the end
  EXPECT_EQ(form.Encode(), "a=9&c=3&b=new");
  EXPECT_EQ(online::FormFields().Encode(), "");
}

TEST_F(WireTest, StatusOutside2xxFailsAndRedirectsAreNotFollowed) {
  struct Case {
    std::string status;
    bool ok;
  } cases[] = {{"200 OK", true},     {"204 No Content", true}, {"299 Odd", true},
               {"302 Found", false}, {"404 Not Found", false}, {"500 Oops", false}};
  for (const auto& c : cases) {
    std::string reply = RawListener::Ok("body", c.status);
    reply.insert(reply.find("\r\n") + 2, "Location: http://" + listener.host() + "/elsewhere\r\n");
    listener.SetReply(reply);
    const auto r = online::HttpGet(listener.host(), "/x");
    EXPECT_EQ(r.ok, c.ok) << c.status;
    if (!c.ok) {
      EXPECT_EQ(r.body, "") << c.status;
    }
  }
  EXPECT_EQ(listener.Requests().size(), std::size(cases));  // nothing went to /elsewhere
}

TEST_F(WireTest, ProxySettingsOfTheEnvironmentAreIgnored) {
  setenv("http_proxy", "http://127.0.0.1:1", 1);
  setenv("HTTP_PROXY", "http://127.0.0.1:1", 1);
  setenv("ALL_PROXY", "http://127.0.0.1:1", 1);
  const bool ok = online::HttpGet(listener.host(), "/direct").ok;
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  unsetenv("ALL_PROXY");
  EXPECT_TRUE(ok);
  EXPECT_EQ(listener.Requests().size(), 1u);
}

TEST_F(WireTest, UsageReportsCarryTheirFieldsInOrder) {
  online::TSendTjMsg("click", "btnOL").wait();
  online::TSendTjMsg("close", "ignored").wait();
  online::TSendTjMsg("open", "").wait();
  online::TSendTjMsg("Click", "btnOL").wait();  // not one of the three words: nothing is sent
  online::PostCloseStatistic();
  const auto requests = listener.Requests();
  ASSERT_EQ(requests.size(), 4u);
  const std::string path = "/interface.php?m=Index&a=tjOper";
  EXPECT_EQ(requests[0], FormPost(path, listener.host(), "oper=click&btnName=btnOL"));
  EXPECT_EQ(requests[1], FormPost(path, listener.host(), "oper=close"));
  EXPECT_TRUE(std::regex_match(
      BodyOf(requests[2]), std::regex("(IP=[0-9]+(\\.[0-9]+){3}&)?(MAC=[0-9A-F]{12}&)?oper=open")))
      << requests[2];
  EXPECT_EQ(requests[2].rfind("POST " + path + " HTTP/1.0\r\n", 0), 0u);
  EXPECT_EQ(requests[3], FormPost(path, listener.host(), "oper=close"));
}

TEST_F(WireTest, EveryClickIsReportedSeparately) {
  std::vector<online::WorkerDone> done;
  for (int i = 0; i < 3; ++i) done.push_back(online::TSendTjMsg("click", "btnNext"));
  for (auto& d : done) d.wait();
  EXPECT_EQ(listener.Requests().size(), 3u);
}

TEST(ReportForms, MissingIdentityValuesLeaveTheirFieldsOut) {
  EXPECT_EQ(online::MakeOpenReportForm("10.0.0.7", "").Encode(), "IP=10.0.0.7&oper=open");
  EXPECT_EQ(online::MakeOpenReportForm("", "001A2B3C4D5E").Encode(), "MAC=001A2B3C4D5E&oper=open");
  EXPECT_EQ(online::MakeListeningStatusForm("", "0", "晴天", "", "2").Encode(),
            "uid=0&song_name=%E6%99%B4%E5%A4%A9&status=2");
}

TEST_F(WireTest, ListeningStatusSendsUidZeroAndTheSong) {
  online::TSendLSStatus("A&B=C", "周杰伦", "1").wait();
  const std::string request = listener.OnlyRequest();
  EXPECT_EQ(request.rfind("POST /player HTTP/1.0\r\n", 0), 0u) << request;
  EXPECT_TRUE(std::regex_match(
      BodyOf(request),
      std::regex("(mac=[0-9A-F]{12}&)?uid=0&song_name=A%26B%3DC&singer=%E5%91%A8%E6%9D%B0%E4%BC%A6"
                 "&status=1")))
      << request;
}

TEST_F(WireTest, FeedbackWithThePromptTextsIsSentAsTheyStand) {
  online::SendFeedback("邮箱", "建议");
  EXPECT_EQ(listener.OnlyRequest(),
            FormPost("/index.php?m=question&a=suggest", listener.host(),
                     "email=%E9%82%AE%E7%AE%B1&content=%E5%BB%BA%E8%AE%AE"));
}

TEST_F(WireTest, EmptyFeedbackSendsAnEmptyBody) {
  online::SendFeedback("", "");
  EXPECT_EQ(listener.OnlyRequest(),
            FormPost("/index.php?m=question&a=suggest", listener.host(), ""));
}

TEST_F(WireTest, ServerThatNeverAnswersIsGivenUpAfterTheStallTime) {
  listener.NeverAnswer();
  const auto start = Clock::now();
  const auto r = online::HttpGet(listener.host(), "/slow");
  EXPECT_FALSE(r.ok);
  EXPECT_LT(Clock::now() - start, 4s);
}

TEST_F(WireTest, TricklingServerIsGivenUpAtTheWholeRequestLimit) {
  online::HttpLimits limits = online::DefaultHttpLimits();
  limits.totalTimeoutMs = 1500;
  listener.Trickle();
  const auto start = Clock::now();
  EXPECT_FALSE(online::HttpGet(listener.host(), "/trickle", limits).ok);
  EXPECT_LT(Clock::now() - start, 3500ms);
}

TEST_F(WireTest, CloseReportGivesUpAfterAboutTwoSecondsEvenWithLongLimits) {
  online::HttpLimits patient;
  patient.connectTimeoutMs = 30000;
  patient.stallSeconds = 60;
  online::SetDefaultHttpLimits(patient);
  listener.NeverAnswer();
  const auto start = Clock::now();
  online::PostCloseStatistic();
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 1500ms);
  EXPECT_LT(took, 3500ms);
}

TEST_F(WireTest, HugeRepliesAreCutOffAndFail) {
  constexpr size_t k100MiB = size_t(100) << 20;
  listener.Stream(k100MiB, /*announceLength=*/true);
  EXPECT_FALSE(online::HttpGet(listener.host(), "/big").ok);
  listener.Stream(k100MiB, /*announceLength=*/false);
  const auto r = online::HttpGet(listener.host(), "/big");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.body.empty());
  EXPECT_LT(listener.bytesSent(), k100MiB / 2);
}

TEST_F(WireTest, GarbageInsteadOfHttpFails) {
  listener.SetReply("\x01\x02 this is not http\r\n\r\n");
  EXPECT_FALSE(online::HttpGet(listener.host(), "/").ok);
  listener.SetReply("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort");  // truncated
  EXPECT_FALSE(online::HttpGet(listener.host(), "/").ok);
}

TEST(Unreachable, RefusedConnectionsAndUnknownHostsFailQuickly) {
  UseShortTimeouts();
  int port;
  {
    RawListener gone;
    port = gone.port();
  }
  const auto start = Clock::now();
  EXPECT_FALSE(online::HttpGet("127.0.0.1:" + std::to_string(port), "/").ok);
  EXPECT_FALSE(online::HttpGet("no-such-host.invalid", "/").ok);
  EXPECT_FALSE(online::HttpPostForm("", "/", online::FormFields()).ok);
  EXPECT_LT(Clock::now() - start, 5s);
}

TEST(Urls, SplitHttpUrlTakesOnlyPlainHttp) {
  std::string host, target;
  ASSERT_TRUE(
      online::SplitHttpUrl("http://h:81/player-check_version?check_from=desktop", host, target));
  EXPECT_EQ(host, "h:81");
  EXPECT_EQ(target, "/player-check_version?check_from=desktop");
  ASSERT_TRUE(online::SplitHttpUrl("HTTP://h", host, target));
  EXPECT_EQ(target, "/");
  ASSERT_TRUE(online::SplitHttpUrl("http://h?x=1", host, target));
  EXPECT_EQ(target, "/?x=1");
  EXPECT_FALSE(online::SplitHttpUrl("https://h/", host, target));
  EXPECT_FALSE(online::SplitHttpUrl("file:///etc/passwd", host, target));
  EXPECT_FALSE(online::SplitHttpUrl("http:///x", host, target));
  EXPECT_FALSE(online::SplitHttpUrl("", host, target));
}

}  // namespace
