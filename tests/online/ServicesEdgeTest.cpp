// The reference services' HTTP edges: byte ranges, the addresses they hand out, the dump's
// lines, and request bodies too long to read.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include "BuildPaths.h"

#include <fstream>
#include <sstream>

#include "Ranges.h"
#include "ServicesFixture.h"
#include "online/Hosts.h"
#include "online/Search.h"
#include "online/Version.h"
#include "online/common.h"

namespace {

using services::AnswerRange;
using Kind = services::RangeAnswer::Kind;

struct RangeCase {
  const char* header;
  Kind kind;
  uint64_t first, length;
};

TEST(ByteRanges, AnswersFollowTheRfc) {
  const RangeCase cases[] = {
      {"bytes=0-99", Kind::Part, 0, 100},
      {"bytes=100-199", Kind::Part, 100, 100},
      {"bytes=999-999", Kind::Part, 999, 1},
      {"bytes=900-", Kind::Part, 900, 100},
      {"bytes=900-5000", Kind::Part, 900, 100},  // a last byte past the end is cut
      {"bytes=900-99999999999999999999999", Kind::Part, 900, 100},
      {"bytes=-100", Kind::Part, 900, 100},
      {"bytes=-5000", Kind::Part, 0, 1000},  // a suffix longer than the file: all
      {"Bytes = 1 - 2", Kind::Part, 1, 2},
      {"bytes=1000-", Kind::Unsatisfiable, 0, 0},      // first byte at the end
      {"bytes=5000-6000", Kind::Unsatisfiable, 0, 0},  // and past it
      {"bytes=99999999999999999999-", Kind::Unsatisfiable, 0, 0},
      {"bytes=-0", Kind::Unsatisfiable, 0, 0},
      {"bytes=200-100", Kind::Whole, 0, 0},  // last before first: ignored
      {"bytes=0-1,5-6", Kind::Whole, 0, 0},  // several ranges: ignored
      {"items=0-5", Kind::Whole, 0, 0},
      {"bytes=a-b", Kind::Whole, 0, 0},
      {"bytes=-", Kind::Whole, 0, 0},
      {"bytes=5", Kind::Whole, 0, 0},
      {"bytes 0-5", Kind::Whole, 0, 0},
      {"", Kind::Whole, 0, 0},
  };
  for (const auto& c : cases) {
    const auto answer = AnswerRange(c.header, 1000);
    EXPECT_EQ(answer.kind, c.kind) << c.header;
    if (c.kind == Kind::Part) {
      EXPECT_EQ(answer.first, c.first) << c.header;
      EXPECT_EQ(answer.length, c.length) << c.header;
    }
  }
  EXPECT_EQ(AnswerRange("bytes=0-", 0).kind, Kind::Unsatisfiable);  // nothing to give
  EXPECT_EQ(AnswerRange("bytes=-5", 0).kind, Kind::Unsatisfiable);
}

class ServicesEdges : public ServicesFixture {
 protected:
  std::string FirstPlayAddress(const httplib::Headers& headers = {}) {
    httplib::Client client("127.0.0.1", running->searchPort());
    const auto reply = client.Get("/tm/search/search.html?query=song&page=0", headers);
    EXPECT_TRUE(reply);
    const auto page = online::ParseSearchReply(reply ? reply->body : "");
    EXPECT_FALSE(page.songs.empty());
    return page.songs.empty() ? std::string() : page.songs[0].mp3;
  }
};

TEST_F(ServicesEdges, RangesOfASongAreNeverABogusPart) {
  Start();
  const std::string file = melvo::build::TestMusicDir() + "/qingtian.mp3";
  std::ifstream in(file, std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string size = std::to_string(whole.size());
  ASSERT_GT(whole.size(), 1000u);
  httplib::Client client("127.0.0.1", running->searchPort());
  auto get = [&](const std::string& range) {
    return client.Get("/tm/music/0.mp3", {{"Range", range}});
  };
  for (const std::string& past : std::vector<std::string>{
           "bytes=" + size + "-", "bytes=" + size + "-" + size, "bytes=99999999-", "bytes=-0"}) {
    const auto r = get(past);
    ASSERT_TRUE(r) << past;
    EXPECT_EQ(r->status, 416) << past;
    EXPECT_EQ(r->get_header_value("Content-Range"), "bytes */" + size) << past;
  }
  for (const std::string ignored : {"bytes=200-100", "bytes=0-1,5-6", "bytes=abc"}) {
    const auto r = get(ignored);
    ASSERT_TRUE(r) << ignored;
    EXPECT_TRUE(r->status == 200 || r->status == 416) << ignored << ": " << r->status;
    if (r->status == 200) {
      EXPECT_EQ(r->body, whole) << ignored;
    }
  }
  const auto suffix = get("bytes=-99999999");
  ASSERT_TRUE(suffix);
  EXPECT_EQ(suffix->status, 206);
  EXPECT_EQ(suffix->body, whole);
  EXPECT_EQ(suffix->get_header_value("Content-Range"),
            "bytes 0-" + std::to_string(whole.size() - 1) + "/" + size);
  const auto tail = get("bytes=1000-99999999");
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->status, 206);
  EXPECT_EQ(tail->body, whole.substr(1000));
  const auto last = get("bytes=-10");
  ASSERT_TRUE(last);
  EXPECT_EQ(last->body, whole.substr(whole.size() - 10));
  const auto all = client.Get("/tm/music/0.mp3");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->status, 200);
  EXPECT_EQ(all->get_header_value("Accept-Ranges"), "bytes");
  EXPECT_EQ(all->body, whole);
}

TEST_F(ServicesEdges, AddressesComeFromTheConfigurationNeverFromTheHostHeader) {
  Start();
  const std::string own = "http://127.0.0.1:" + std::to_string(running->searchPort()) + "/";
  EXPECT_EQ(FirstPlayAddress({{"Host", "evil.example:80"}}).rfind(own, 0), 0u);
  EXPECT_EQ(FirstPlayAddress().rfind(own, 0), 0u);
  httplib::Client web("127.0.0.1", running->webPort());
  const auto check =
      web.Get("/player-check_version?check_from=desktop", {{"Host", "evil.example"}});
  ASSERT_TRUE(check);
  EXPECT_EQ(check->body.find("evil"), std::string::npos) << check->body;
}

TEST_F(ServicesEdges, ConfiguredPublicAddressesAreHandedOut) {
  config.searchPublic = "music.example:8000";
  config.webPublic = "www.example";
  Start();
  EXPECT_EQ(
      FirstPlayAddress({{"Host", "evil.example"}}).rfind("http://music.example:8000/tm/music/", 0),
      0u);
  httplib::Client web("127.0.0.1", running->webPort());
  const auto check = web.Get("/player-check_version?check_from=desktop");
  ASSERT_TRUE(check);
  EXPECT_NE(check->body.find("\"http://www.example/download/melvo-5.0.4.227.tar.gz\""),
            std::string::npos)
      << check->body;
}

TEST_F(ServicesEdges, DumpEscapesWhatWouldForgeLinesOrFields) {
  Start();
  online::SendFeedback("x\n2\t2000-01-01T00:00:00Z\tstat\treport",
                       "a\r\nb\x1b[2J\\n\xc2\x85\xe2\x80\xa8 晴天");
  std::ostringstream dump;
  services::DumpReceived(config.databasePath, dump);
  const std::string text = dump.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_NE(text.find("\temail=x\\n2\\t2000-01-01T00:00:00Z\\tstat\\treport\t"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\tcontent=a\\r\\nb\\x1B[2J\\\\n\\u0085\\u2028 晴天\n"), std::string::npos)
      << text;
  EXPECT_EQ(services::EscapeForDump("ok 晴天 \x7f\xff\xe6\x99"), "ok 晴天 \\x7F\\xFF\\xE6\\x99");
}

// Sends a request head by hand and returns the head of what the server answers before the
// body is sent.
std::string AnswerToHead(int port, const std::string& head) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      send(fd, head.data(), head.size(), MSG_NOSIGNAL) == ssize_t(head.size())) {
    // The server's own read time-out is 5 s: an answer within 2.5 s did not wait for the body.
    timeval wait{2, 500000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buf[4096];
    ssize_t n;
    while (answer.find("\r\n\r\n") == std::string::npos && (n = recv(fd, buf, sizeof buf, 0)) > 0)
      answer.append(buf, size_t(n));
  }
  close(fd);
  return answer;
}

TEST_F(ServicesEdges, AbsurdBodyLengthsAreRefusedBeforeReading) {
  Start();
  auto head = [](const std::string& length) {
    return "POST /interface.php?m=Index&a=tjOper HTTP/1.1\r\nHost: x\r\nContent-Type: "
           "application/x-www-form-urlencoded\r\nContent-Length: " +
           length + "\r\n\r\noper=click";
  };
  for (int port : {running->statPort(), running->webPort(), running->searchPort()}) {
    for (const std::string length : {"1000000000000000", "99999999999999999999999", "1048577"}) {
      const std::string answer = AnswerToHead(port, head(length));
      EXPECT_EQ(answer.rfind("HTTP/1.1 413 ", 0), 0u) << length << ": " << answer;
      EXPECT_NE(answer.find("\r\nConnection: close\r\n"), std::string::npos) << answer;
    }
    EXPECT_EQ(AnswerToHead(port, head("12abc")).rfind("HTTP/1.1 400 ", 0), 0u);
  }
  EXPECT_TRUE(Received().empty());
  online::FormFields form;  // a body within the cap is read as ever
  form.Set("oper", "click");
  form.Set("btnName", std::string(8000, 'b'));
  const auto posted =
      online::HttpPostForm(online::StatHost(), "/interface.php?m=Index&a=tjOper", form);
  EXPECT_TRUE(posted.ok) << posted.status;
  ASSERT_EQ(Received().size(), 1u);
}

}  // namespace
