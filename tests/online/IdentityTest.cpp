// The client's identity values and the registration exchange with the statistics server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "OnlineTestSupport.h"
#include "RawListener.h"
#include "online/Workers.h"
#include "online/common.h"

namespace {

namespace fs = std::filesystem;

fs::path MakeTempDir() {
  char pattern[] = "/tmp/melvo-online-XXXXXX";
  return fs::path(mkdtemp(pattern));
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(SignCode, KnownInputsGiveKnownDigests) {
  // Reference values computed independently (Python hashlib).
  EXPECT_EQ(online::MD5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(online::MakeSignCode("abc", "001A2B3C4D5E", "5.0.4.226", "1001"),
            "9CD8A5A5C097236C94A63E36184315E0");
  // The token's CR LF is part of the digest input.
  EXPECT_EQ(online::MakeSignCode("abc\r\n", "001A2B3C4D5E", "5.0.4.226", "1001"),
            "DB2D7B7FF2C835976B4E10336022020E");
  // No adapter address and no client id: the empty texts take their places.
  EXPECT_EQ(online::MakeSignCode("tok", "", "5.0.4.226", ""), "7B1C2EAF3CE6F59DE1B44343628A51D6");
  // Every non-ASCII character counts as one "?", whatever its UTF-8 length.
  EXPECT_EQ(online::MakeSignCode("tok\xC3\xA9", "001A2B3C4D5E", "0.0.0.0", "中\xF0\x9F\x8E\xB5"),
            "926C7FA1ECCEA7D185B3EA59E2ECA100");
}

TEST(SignForm, FieldsInOrderLessEmptyOnesWithTheCodeOverWhatIsSent) {
  const auto full = online::MakeSignForm("abc", "001A2B3C4D5E", "1001", "5.0.4.226");
  EXPECT_EQ(full.Encode(),
            "mac=001A2B3C4D5E&uid=1001&c=1&v=5.0.4.226&code=9CD8A5A5C097236C94A63E36184315E0");
  const auto bare = online::MakeSignForm("tok", "", "", "5.0.4.226");
  EXPECT_EQ(bare.Encode(), "c=1&v=5.0.4.226&code=7B1C2EAF3CE6F59DE1B44343628A51D6");
}

TEST(ClientId, FileTextIsReadAsItsRegistryType) {
  EXPECT_EQ(online::ClientIdFromFileText("sz:abc-123\n"), "abc-123");
  EXPECT_EQ(online::ClientIdFromFileText("expand_sz:%HOME%"), "%HOME%");
  EXPECT_EQ(online::ClientIdFromFileText(std::string("sz:ab\0cd", 8)), "ab");
  EXPECT_EQ(online::ClientIdFromFileText("dword:1001"), "dword:000003E9");
  EXPECT_EQ(online::ClientIdFromFileText("dword:0xFFFFFFFF\r\n"), "dword:FFFFFFFF");
  EXPECT_EQ(online::ClientIdFromFileText("dword:4294967296"), "");  // does not fit
  EXPECT_EQ(online::ClientIdFromFileText("hex:01,ab,FF"), "hex:01,AB,FF");
  EXPECT_EQ(online::ClientIdFromFileText("hex(7):61,00"), "hex:61,00");
  EXPECT_EQ(online::ClientIdFromFileText("hex:"), "");
  EXPECT_EQ(online::ClientIdFromFileText("hex:zz"), "");
  EXPECT_EQ(online::ClientIdFromFileText("plain-uid\n"), "plain-uid");
  EXPECT_EQ(online::ClientIdFromFileText("http://x"), "http://x");  // unknown type: as it stands
  EXPECT_EQ(online::ClientIdFromFileText(""), "");
  EXPECT_EQ(online::ClientIdFromFileText("\n"), "");
}

TEST(ClientId, MissingFolderGives1001AndMissingFileGivesEmpty) {
  const fs::path config = MakeTempDir();
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(online::ReadClientId(), "1001");
  fs::create_directory(config / "melvo");
  EXPECT_EQ(online::ReadClientId(), "");
  WriteFile(config / "melvo" / "AppUID", "dword:1001\n");
  EXPECT_EQ(online::ReadClientId(), "dword:000003E9");
  WriteFile(config / "melvo" / "AppUID", "sz:" + std::string(1 << 20, 'u'));
  EXPECT_EQ(online::ReadClientId().size(), 64u * 1024 - 3);  // a runaway file is cut short
  fs::remove(config / "melvo" / "AppUID");
  fs::create_directory(config / "melvo" / "AppUID");
  EXPECT_EQ(online::ReadClientId(), "");
  fs::remove_all(config);
}

TEST(FileVersion, ProgramFileCarriesItsVersionRecord) {
  EXPECT_EQ(online::GetFileVersionText(online::CurrentProgramPath()), "5.0.4.227");
  EXPECT_EQ(fs::path(online::CurrentProgramPath()).parent_path().string(),
            online::CurrentProgramFolder());
}

TEST(FileVersion, FilesWithoutAWellFormedRecordRead0000) {
  const fs::path dir = MakeTempDir();
  EXPECT_EQ(online::GetFileVersionText((dir / "missing").string()), "0.0.0.0");
  EXPECT_EQ(online::GetFileVersionText(dir.string()), "0.0.0.0");  // a folder
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(online::GetFileVersionText((dir / "fifo").string()), "0.0.0.0");  // never blocks
  WriteFile(dir / "empty", "");
  EXPECT_EQ(online::GetFileVersionText((dir / "empty").string()), "0.0.0.0");
  const std::string bad[] = {VersionRecord(""),
                             VersionRecord("1.2.3"),
                             VersionMarker() + "1.2.3.4",  // no NUL
                             VersionRecord("1.2.3.70000"),
                             VersionRecord("1.2.3.4x"),
                             VersionRecord("1..2.3.4"),
                             VersionRecord("-1.2.3.4")};
  for (const auto& bytes : bad) {
    WriteFile(dir / "bad", "junk" + bytes + "junk");
    EXPECT_EQ(online::GetFileVersionText((dir / "bad").string()), "0.0.0.0") << bytes;
  }
  fs::remove_all(dir);
}

TEST(FileVersion, RecordIsFoundAnywhereIncludingAcrossReadChunks) {
  const fs::path dir = MakeTempDir();
  const std::string record = VersionRecord("") + " " + VersionRecord("5.0.4.226");
  for (size_t offset : {size_t(0), (size_t(1) << 20) - 25, (size_t(3) << 20) + 7}) {
    std::string bytes(offset, 'z');
    bytes += record;
    bytes += std::string(100, 'z');
    WriteFile(dir / "prog", bytes);
    EXPECT_EQ(online::GetFileVersionText((dir / "prog").string()), "5.0.4.226") << offset;
  }
  fs::remove_all(dir);
}

TEST(NetworkIdentity, AddressTextsHaveTheirFormOrAreEmpty) {
  const std::string mac = online::GetMacAddress(0);
  EXPECT_TRUE(mac.empty() || std::regex_match(mac, std::regex("[0-9A-F]{12}"))) << mac;
  EXPECT_EQ(online::GetMacAddress(1000), "");
  EXPECT_EQ(online::GetMacAddress(-1), "");
  const std::string ip = online::GetLocalIP();
  EXPECT_TRUE(ip.empty() || std::regex_match(ip, std::regex("([0-9]{1,3}\\.){3}[0-9]{1,3}"))) << ip;
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    UseShortTimeouts();
    PointServicesAt(listener.host(), listener.host(), listener.host());
    config = MakeTempDir();
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(config); }

  // The sign request's body, or "" when there was none.
  std::string SignBody() {
    const auto requests = listener.Requests();
    if (requests.size() != 2) return {};
    const std::string& sign = requests[1];
    EXPECT_EQ(sign.rfind("POST /interface.php?s=/Count/sign.html HTTP/1.0\r\n", 0), 0u) << sign;
    return sign.substr(sign.find("\r\n\r\n") + 4);
  }

  RawListener listener;
  fs::path config;
};

TEST_F(Registration, TokenEndingInCrLfEntersTheDigestAsReceived) {
  listener.SetReply(RawListener::Ok("tk\r\n"));
  online::TSendTJMessage().wait();
  const auto requests = listener.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].rfind("GET /interface.php?s=/Count/getToken.html HTTP/1.1\r\n", 0), 0u);
  const std::string mac = online::GetMacAddress(0);
  const std::string macField = mac.empty() ? "" : "mac=" + mac + "&";
  EXPECT_EQ(SignBody(), macField + "uid=1001&c=1&v=5.0.4.227&code=" +
                            online::MakeSignCode("tk\r\n", mac, "5.0.4.227", "1001"));
  EXPECT_NE(online::MakeSignCode("tk\r\n", mac, "5.0.4.227", "1001"),
            online::MakeSignCode("tk", mac, "5.0.4.227", "1001"));
}

TEST_F(Registration, ClientIdFileDecidesTheUidField) {
  fs::create_directory(config / "melvo");
  online::RegisterClient();  // folder without the file: no uid field
  WriteFile(config / "melvo" / "AppUID", "dword:1001");
  online::RegisterClient();
  const auto requests = listener.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[1].find("uid="), std::string::npos) << requests[1];
  EXPECT_NE(requests[3].find("&uid=dword:000003E9&c=1&"), std::string::npos) << requests[3];
}

TEST_F(Registration, FailedTokenRequestSendsNoSignRequest) {
  for (const char* status : {"404 Not Found", "302 Found", "500 Internal Server Error"}) {
    listener.SetReply(RawListener::Ok("token", status));
    EXPECT_FALSE(online::RegisterClient()) << status;
  }
  EXPECT_EQ(listener.Requests().size(), 3u);
  listener.NeverAnswer();
  EXPECT_FALSE(online::RegisterClient());
  EXPECT_EQ(listener.Requests().size(), 4u);
}

}  // namespace
