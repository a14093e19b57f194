// The version check: version numbers, the updater's arguments, and when the updater starts.
#include <gtest/gtest.h>

#include <QByteArray>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "OnlineTestSupport.h"
#include "RawListener.h"
#include "online/Version.h"
#include "online/Workers.h"

namespace {

namespace fs = std::filesystem;

TEST(VersionNumber, FourPartsPackIntoOneNumber) {
  EXPECT_EQ(online::VersionToNumber("5.0.4.226"), 83887330u);
  EXPECT_EQ(online::VersionToNumber("0.0.0.0"), 0u);
  EXPECT_EQ(online::VersionToNumber("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(online::VersionToNumber("5.0.4.226."), 83887330u);   // trailing dot: still four
  EXPECT_EQ(online::VersionToNumber("5.0.4.226\n"), 83887330u);  // so is a trailing line break
  EXPECT_EQ(online::VersionToNumber("5\r\n0\r4\n226"), 83887330u);
  // Parts above 255 spill into the next byte, with 32-bit wrap-around.
  EXPECT_GT(online::VersionToNumber("0.0.300.0"), online::VersionToNumber("0.1.0.0"));
  EXPECT_EQ(online::VersionToNumber("256.0.0.0"), 0u);
  EXPECT_EQ(online::VersionToNumber("-1.0.0.0"), 0xFF000000u);
}

TEST(VersionNumber, AnythingButFourIntegersReadsAs1000) {
  for (const char* bad : {"", "5.0.4", "5.0.4.226.1", "5.0.4.226 ", "5..4.226", "5.0.4.226..",
                          "a.b.c.d", "5.0.4.0x10", "5.0.4.99999999999", "....", "5.0.4.226.\n"})
    EXPECT_EQ(online::VersionToNumber(bad), 16777216u) << bad;
}

TEST(UpdaterArguments, Base64OfAddressAndFileNameInQuotes) {
  for (size_t n = 0; n <= 10; ++n)
    EXPECT_EQ(online::EncodeBase64(std::string(n, 'h')).size(), 4 * ((n + 2) / 3)) << n;
  EXPECT_EQ(online::EncodeBase64("http://例子.cn/a b"), "aHR0cDovL+S+i+WtkC5jbi9hIGI=");
  const auto args = online::UpdaterArguments("http://h/d.zip", "melvo");
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(args[0])).toStdString(),
            "http://h/d.zip");
  EXPECT_EQ(online::UpdaterCommandLine(args), "\"" + args[0] + "\" \"bWVsdm8=\"");
  EXPECT_EQ(online::UpdaterCommandLine(online::UpdaterArguments("", "")), "\"\" \"\"");
  EXPECT_EQ(online::UpdaterPath("/opt/melvo"), "/opt/melvo/Update");
}

struct Launch {
  std::string path;
  std::vector<std::string> args;
};

class VersionCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    UseShortTimeouts();
    char pattern[] = "/tmp/melvo-version-XXXXXX";
    dir = mkdtemp(pattern);
    SetProgramVersion("5.0.4.226");
  }
  void TearDown() override { fs::remove_all(dir); }

  void SetProgramVersion(const std::string& version) {
    std::ofstream(dir / "melvo", std::ios::binary)
        << "\x7f"
           "ELF...."
        << (version.empty() ? "" : VersionRecord(version)) << "....";
  }
  void Serve(const std::string& json) { listener.SetReply(RawListener::Ok(json)); }
  void ServeVersion(const std::string& version) {
    Serve(R"({"data":{"version":")" + version + R"(","d_url":"http://dl/melvo.tgz"}})");
  }
  // Runs one check and returns whether the updater was started.
  bool Check() {
    launches.clear();
    const bool started = online::CheckVersion(
        "http://" + listener.host() + "/player-check_version?check_from=desktop",
        (dir / "melvo").string(), [this](auto& path, auto& args) {
          launches.push_back({path, args});
        });
    EXPECT_EQ(started, launches.size() == 1);
    return started;
  }

  RawListener listener;
  fs::path dir;
  std::vector<Launch> launches;
};

TEST_F(VersionCheck, OnlyANewerServerVersionStartsTheUpdater) {
  ServeVersion("5.0.4.227");
  ASSERT_TRUE(Check());
  EXPECT_EQ(launches[0].path, (dir / "Update").string());
  EXPECT_EQ(launches[0].args, online::UpdaterArguments("http://dl/melvo.tgz", "melvo"));
  for (const char* same_or_older :
       {"5.0.4.226", "5.0.4.225", "5.0.4", "5.0.4.226.1", "5.0.4.226.", "5.0.4.227 ", ""}) {
    ServeVersion(same_or_older);
    EXPECT_FALSE(Check()) << same_or_older;
  }
  EXPECT_EQ(
      listener.Requests()[0].rfind("GET /player-check_version?check_from=desktop HTTP/1.1\r\n", 0),
      0u);
}

TEST_F(VersionCheck, ProgramWithoutVersionRecordIsOlderThanAnyValidVersion) {
  SetProgramVersion("");
  ServeVersion("0.0.0.1");
  EXPECT_TRUE(Check());
  ServeVersion("5.0.4");  // malformed reads as 1.0.0.0, still newer than 0.0.0.0
  EXPECT_TRUE(Check());
}

TEST_F(VersionCheck, ByteSpillMakesSmallLookingVersionsNewer) {
  SetProgramVersion("0.1.0.0");
  ServeVersion("0.0.300.0");
  EXPECT_TRUE(Check());
}

TEST_F(VersionCheck, MissingAddressGivesAnEmptyArgument) {
  Serve(R"({"data":{"version":"9.0.0.0"}})");
  ASSERT_TRUE(Check());
  EXPECT_EQ(launches[0].args[0], "");
  EXPECT_EQ(launches[0].args[1], "bWVsdm8=");
}

TEST_F(VersionCheck, BadRepliesStartNothing) {
  for (const std::string body : {"", "not json", "[]", "{}", R"({"data":"9.0.0.0"})",
                                 R"({"data":null})", R"({"version":"9.0.0.0"})",
                                 R"({"data":{"version":9}})", R"({"data":{"version":"9.0.0.0")"}) {
    Serve(body);
    EXPECT_FALSE(Check()) << body;
  }
  listener.SetReply(RawListener::Ok(R"({"data":{"version":"9.0.0.0"}})", "404 Not Found"));
  EXPECT_FALSE(Check());
  listener.NeverAnswer();
  EXPECT_FALSE(Check());
  launches.clear();
  EXPECT_FALSE(
      online::CheckVersion("https://x/", (dir / "melvo").string(), [this](auto& p, auto& a) {
        launches.push_back({p, a});
      }));
}

TEST_F(VersionCheck, UpdaterIsStartedFromTheProgramFolderWithTwoArguments) {
  const fs::path out = dir / "args.txt";
  {
    std::ofstream script(dir / "Update");
    script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" << out.string() << ".tmp\"\nmv \""
           << out.string() << ".tmp\" \"" << out.string() << "\"\n";
  }
  fs::permissions(dir / "Update", fs::perms::owner_all);
  ServeVersion("5.0.4.227");
  ASSERT_TRUE(online::CheckVersion("http://" + listener.host() + "/v", (dir / "melvo").string(),
                                   online::LaunchDetached));
  for (int i = 0; i < 250 && !fs::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::ifstream in(out);
  std::string count, url, name;
  std::getline(in, count);
  std::getline(in, url);
  std::getline(in, name);
  EXPECT_EQ(count, "2");
  EXPECT_EQ(url, online::EncodeBase64("http://dl/melvo.tgz"));
  EXPECT_EQ(name, "bWVsdm8=");
}

TEST_F(VersionCheck, WorkerEndsOnItsOwnWhenTheServerIsSilent) {
  listener.NeverAnswer();
  const auto done = online::TCheckVersion("http://" + listener.host() + "/v");
  EXPECT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

}  // namespace
