// Hostile files: headers that state absurd formats, and files of garbage far larger than any
// opening should read. Each is refused or played without the library reading or buffering all of
// it (a 400 MB file is made sparse, so the test costs no disk).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "audiolib/Input.h"
#include "audiolib/OnDemandFfmpeg.h"
#include "audiolib/ReadGuard.h"

using namespace audiolib_test;
namespace fs = std::filesystem;

namespace {

// The process's peak address-space size in kB (VmPeak), which every reserved block raises whether
// or not its pages are ever touched.
long peakKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmPeak:", 0) == 0) return std::stol(line.substr(7));
  return -1;
}

class LimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    dir_ = fs::temp_directory_path() / ("melvo-limits-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    wav_ = readFile(fixture("tone.wav"));
    ASSERT_EQ(wav_.substr(12, 4), "fmt ");  // the format chunk the cases below edit
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return p.string();
  }
  // tone.wav with a little-endian field of the format chunk replaced.
  std::string wavWith(size_t offset, uint32_t value, int bytes) {
    std::string w = wav_;
    for (int i = 0; i < bytes; ++i) w[offset + size_t(i)] = char((value >> (8 * i)) & 0xFF);
    return w;
  }

  fs::path dir_;
  std::string wav_;
};

TEST_F(LimitsTest, AbsurdFormatsInAHeaderAreRefusedAsNotAudio) {
  struct Case {
    const char* name;
    size_t offset;
    uint32_t value;
    int bytes;
  };
  for (const Case& c : {Case{"rate536mhz.wav", 24, 536000000, 4}, Case{"rate1hz.wav", 24, 1, 4},
                        Case{"rate999hz.wav", 24, 999, 4}, Case{"rate800khz.wav", 24, 800000, 4},
                        Case{"channels33.wav", 22, 33, 2}, Case{"channels1000.wav", 22, 1000, 2}}) {
    const std::string path = write(c.name, wavWith(c.offset, c.value, c.bytes));
    for (DWORD flags : {0u, DWORD(BASS_STREAM_DECODE)}) {
      HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
      StreamGuard g(h);
      EXPECT_EQ(h, 0u) << c.name;
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << c.name;
    }
  }
  // The edges of what is allowed still open.
  for (uint32_t rate : {1000u, 768000u}) {
    std::string w = wavWith(24, rate, 4);
    const uint32_t byteRate = rate * 4;
    for (int i = 0; i < 4; ++i) w[28 + size_t(i)] = char((byteRate >> (8 * i)) & 0xFF);
    const std::string path = write("rate" + std::to_string(rate) + ".wav", w);
    HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    StreamGuard g(h);
    ASSERT_NE(h, 0u) << rate << ": error " << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
    EXPECT_EQ(info.freq, rate);
  }
}

TEST_F(LimitsTest, HundredsOfMegabytesOfZerosAreNeitherReadNorBufferedWhole) {
  const std::string zeros = (dir_ / "zeros.mp3").string();
  std::ofstream(zeros).close();
  fs::resize_file(zeros, 400ull << 20);
  HSTREAM h = BASS_StreamCreateFile(FALSE, zeros.c_str(), 0, 0, 0);
  StreamGuard g(h);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);

  // Real audio followed by zeros: it opens, plays what there is and ends, without reading on to
  // the end of the file in search of the next frame.
  const std::string mp3 = readFile(fixture("tone.mp3"));
  const std::string tail = write("tailzeros.mp3", mp3);
  fs::resize_file(tail, 400ull << 20);
  HSTREAM d = BASS_StreamCreateFile(FALSE, tail.c_str(), 0, 0, BASS_STREAM_DECODE);
  StreamGuard gd(d);
  ASSERT_NE(d, 0u) << BASS_ErrorGetCode();
  const std::vector<int16_t> pcm = decodeAll(d);
  EXPECT_NEAR(double(pcm.size()) / 2 / 44100, 2.0, 0.1);
}

TEST_F(LimitsTest, AFileOfGarbageAfterAValidStartEndsPlaybackAndFreesPromptly) {
  const std::string mp3 = readFile(fixture("tone.mp3"));
  std::string garbage = mp3.substr(0, 4000);
  garbage.resize(24u << 20, '\0');
  const std::string path = write("garbage.mp3", garbage);
  HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  EXPECT_TRUE(waitFor([&] { return BASS_ChannelIsActive(h) == BASS_ACTIVE_STOPPED; },
                      std::chrono::seconds(10)));
}

}  // namespace

// A header that declares a chunk of 1.3 GB in a file of 32 bytes (a fuzzer's find): the demuxer
// would reserve the whole declared size before reading it. Measured in a child process, whose
// peak starts at its size at the fork, so what the rest of the suite did does not count.
TEST_F(LimitsTest, AChunkDeclaringGigabytesReservesNoGigabytes) {
  const std::string header(
      "FORM\0\0\0\x20"
      "AIFF"
      "NAME\x4f\x67\x67\x53",
      16);
  const std::string path = write("claims.aif", header + "abcdefgh");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const long before = peakKb();
    melvo::audiolib::ReadGuard guard;
    int error = 0;
    int64_t size = 0;
    AVFormatContext* fmt = melvo::audiolib::openFileContainer(path, &guard, &error, &size);
    if (fmt) melvo::audiolib::avformat_close_input(&fmt);
    _exit(before > 0 && peakKb() - before < 256 * 1024 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "opening reserved 256 MB or more";
  // The player itself refuses the file as not audio.
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0), 0u);
  EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
}
