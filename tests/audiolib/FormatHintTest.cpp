// Recognising the container behind a leading ID3v2 tag without FFmpeg reading the whole tag:
// the header arithmetic, and files whose tag hides the audio from a short look at their start.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "audiolib/FormatHint.h"

extern "C" {
#include <libavformat/avformat.h>
}

using namespace audiolib_test;
using namespace melvo::audiolib;
namespace fs = std::filesystem;

namespace {

// An ID3v2.3 header declaring `body` bytes, with the footer flag when asked.
std::string id3Header(uint32_t body, bool footer = false) {
  std::string h = "ID3";
  h += char(3);
  h += char(0);
  h += char(footer ? 0x10 : 0);
  for (int shift : {21, 14, 7, 0}) h += char((body >> shift) & 0x7F);
  return h;
}

TEST(Id3v2TagLengthTest, CountsHeaderBodyAndFooterAndRejectsMalformedHeaders) {
  auto length = [](const std::string& head) {
    return id3v2TagLength(reinterpret_cast<const unsigned char*>(head.data()), head.size());
  };
  EXPECT_EQ(length(id3Header(0)), 10);
  EXPECT_EQ(length(id3Header(1000)), 1010);
  EXPECT_EQ(length(id3Header(0x0FFFFFFF)), 10 + 0x0FFFFFFF);  // the largest size a tag can state
  EXPECT_EQ(length(id3Header(1000, true)), 1020);
  std::string h = id3Header(1000);
  EXPECT_EQ(length(h.substr(0, 9)), 0);  // too short to tell
  std::string bad = h;
  bad[8] = char(0x80);  // a size byte that is not sync-safe
  EXPECT_EQ(length(bad), 0);
  bad = h;
  bad[3] = char(0xFF);
  EXPECT_EQ(length(bad), 0);
  bad = h;
  bad[1] = 'X';
  EXPECT_EQ(length(bad), 0);
}

class FormatHintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    loadPlugin();  // FLAC
    dir_ = fs::temp_directory_path() / ("melvo-hint-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return p.string();
  }
  static std::string formatName(const std::string& path) {
    const AVInputFormat* f = formatPastId3v2(path);
    return f ? f->name : "";
  }
  static QWORD length(const std::string& path) {
    HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_UNICODE);
    StreamGuard g(h);
    return h ? BASS_ChannelGetLength(h, BASS_POS_BYTE) : 0;
  }
  fs::path dir_;
};

// A large tag of padding (as a cover picture would make it) in front of MP3 and FLAC audio: the
// format is found from what follows the tag, and the stream has the length of the untagged file.
TEST_F(FormatHintTest, AudioBehindALargeTagIsRecognisedAndKeepsItsLength) {
  const std::string padding(300000, '\0');
  for (const char* file : {"tone.mp3", "vbr.mp3", "tone.flac"}) {
    const std::string audio = readFile(fixture(file));
    const std::string tagged =
        write(std::string("big_") + file, id3Header(300000) + padding + audio);
    EXPECT_EQ(formatName(tagged),
              std::string(file).find("flac") != std::string::npos ? "flac" : "mp3")
        << file;
    const QWORD plain = length(fixture(file));
    ASSERT_GT(plain, 0u) << file;
    EXPECT_EQ(length(tagged), plain) << file;
  }
}

TEST_F(FormatHintTest, FilesWithoutATagOrWithNothingToGoByAreLeftToFfmpeg) {
  const std::string mp3 = readFile(fixture("tone.mp3"));
  EXPECT_EQ(formatName(fixture("tone.mp3")), "");      // no tag: FFmpeg's own look is short
  EXPECT_EQ(formatName(dir_.string() + "/none"), "");  // missing
  // A tag that claims more than the file holds, with or without audio inside its claim.
  const std::string longTag = write("long.mp3", id3Header(50000000) + mp3);
  EXPECT_EQ(formatName(longTag), "");
  EXPECT_EQ(formatName(write("empty_tag.mp3", id3Header(100))), "");
  // Noise after the tag does not look like anything.
  std::string noise(20000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) % 251);
  const std::string noisy = write("noise.mp3", id3Header(10) + std::string(10, '\0') + noise);
  EXPECT_EQ(formatName(noisy), "");
  // Whatever is decided, opening such files fails cleanly or plays.
  for (const std::string& p : {longTag, noisy}) {
    HSTREAM h = BASS_StreamCreateFile(FALSE, p.c_str(), 0, 0, BASS_UNICODE);
    StreamGuard g(h);
    if (h) {
      EXPECT_NE(BASS_ChannelGetLength(h, BASS_POS_BYTE), QWORD(-1)) << p;
    }
  }
}

}  // namespace
