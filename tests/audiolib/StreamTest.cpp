// File streams: which formats open with and without the plug-in, bad input, positions,
// seeking, play / pause / stop and the end notification on the no-sound device.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "audiolib/OutputClockReading.h"

using namespace audiolib_test;
using melvo::audiolib::OutputClock;
using melvo::audiolib::readOutputClock;
using namespace std::chrono_literals;

namespace {

struct FormatCase {
  const char* file;
  bool needsPlugin;
};

class FormatTest : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override { initDevice(); }
};

TEST_P(FormatTest, OpensOnlyWhenItsDecoderIsThere) {
  const FormatCase& c = GetParam();
  unloadPlugins();
  HSTREAM without = BASS_StreamCreateFile(FALSE, fixture(c.file).c_str(), 0, 0, 0);
  StreamGuard g1(without);
  if (c.needsPlugin) {
    EXPECT_EQ(without, 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_CODEC);
  } else {
    EXPECT_NE(without, 0u) << "error " << BASS_ErrorGetCode();
  }
  loadPlugin();
  HSTREAM with = BASS_StreamCreateFile(FALSE, fixture(c.file).c_str(), 0, 0, 0);
  StreamGuard g2(with);
  ASSERT_NE(with, 0u) << "error " << BASS_ErrorGetCode();
  QWORD len = BASS_ChannelGetLength(with, BASS_POS_BYTE);
  double seconds = BASS_ChannelBytes2Seconds(with, len);
  const bool tracker = std::string(c.file).ends_with(".mod");
  EXPECT_NEAR(seconds, tracker ? 2.56 : 2.0, 0.1);
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(with, &info));
  EXPECT_GT(info.freq, 0u);
  EXPECT_EQ(info.plugin != 0, c.needsPlugin);
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, FormatTest,
    ::testing::Values(FormatCase{"tone.mp3", false}, FormatCase{"tone.mp2", false},
                      FormatCase{"tone.wav", false}, FormatCase{"tone.ogg", false},
                      FormatCase{"tone.aif", false}, FormatCase{"tone.mod", false},
                      FormatCase{"tone.flac", true}, FormatCase{"tone.m4a", true},
                      FormatCase{"tone.opus", true}, FormatCase{"tone.wma", true},
                      FormatCase{"tone.wv", true}, FormatCase{"tone.tta", true},
                      FormatCase{"tone.ac3", true}),
    [](const auto& testCase) {
      std::string n = testCase.param.file;
      return n.substr(n.find('.') + 1);
    });

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    loadPlugin();
  }
};

TEST_F(BadInputTest, UnreadableFilesFailWithACode) {
  struct Case {
    std::string path;
    int error;
  } cases[] = {
      {fixture("missing.mp3"), BASS_ERROR_FILEOPEN},
      {fixture(""), BASS_ERROR_FILEOPEN},  // a folder
      {fixture("empty.mp3"), BASS_ERROR_FILEFORM},
      {fixture("text.mp3"), BASS_ERROR_FILEFORM},
      {fixture("picture.mp3"), BASS_ERROR_FILEFORM},  // a picture has no sound
      {fixture("truncated.flac"), BASS_ERROR_FILEFORM},
      {fixture("truncated_header.wav"), BASS_ERROR_FILEFORM},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, c.path.c_str(), 0, 0, 0), 0u) << c.path;
    EXPECT_EQ(BASS_ErrorGetCode(), c.error) << c.path;
  }
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, nullptr, 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST_F(BadInputTest, TheSoundOfAFilmPlays) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("film.mp4").c_str(), 0, 0, BASS_STREAM_DECODE);
  StreamGuard g(h);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_NEAR(double(decodeAll(h).size()), 88200.0, 2000.0);  // 2 s of mono
}

TEST_F(BadInputTest, DamagedFilesNeverCrashWhenPlayedToTheEnd) {
  for (const char* name : {"corrupt.mp3", "truncated.mp3"}) {
    HSTREAM h = BASS_StreamCreateFile(FALSE, fixture(name).c_str(), 0, 0, BASS_STREAM_DECODE);
    StreamGuard g(h);
    if (!h) {
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << name;
      continue;
    }
    std::vector<int16_t> all = decodeAll(h);
    EXPECT_LT(all.size(), size_t(44100 * 2 * 3)) << name;
  }
}

// Cut and bit-flipped copies of every test file: each either fails to open or decodes, seeks,
// plays and frees without a fault (run under the sanitizers this catches memory errors).
TEST_F(BadInputTest, DamagedCopiesOfEveryFileAreHandledSafely) {
  std::mt19937 rng(1);
  int opened = 0;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(fixture("")))
    if (e.is_regular_file() && e.file_size() >= 100 && e.path().extension() != ".wav")
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> original((std::istreambuf_iterator<char>(in)), {});
    for (int variant = 0; variant < 6; ++variant) {
      std::vector<char> bytes = original;
      if (variant < 3) {
        bytes.resize(bytes.size() * size_t(variant + 1) / 4);
      } else {
        for (int k = 0; k < 30 * variant; ++k) bytes[rng() % bytes.size()] ^= char(rng() | 1);
      }
      const std::string path = ::testing::TempDir() + "damaged" + file.extension().string();
      std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
      HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
      if (!h) {
        EXPECT_NE(BASS_ErrorGetCode(), BASS_OK) << file;
        continue;
      }
      ++opened;
      EXPECT_NE(TAGS_Read(h, "%TITL%ARTI%ALBM"), nullptr);
      std::vector<int16_t> all = decodeAll(h);
      QWORD len = BASS_ChannelGetLength(h, BASS_POS_BYTE);
      if (len != QWORD(-1) && len > 8) BASS_ChannelSetPosition(h, len / 2 / 4 * 4, BASS_POS_BYTE);
      decodeAll(h);
      BASS_StreamFree(h);
      HSTREAM played = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
      StreamGuard g(played);
      if (played) {
        BASS_ChannelPlay(played, FALSE);
        std::this_thread::sleep_for(2ms);
      }
    }
  }
  EXPECT_GT(opened, 0);
}

TEST_F(BadInputTest, CallsOnStaleOrZeroHandlesFailCleanly) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_StreamFree(h));
  for (DWORD bad : {DWORD(0), h}) {
    EXPECT_FALSE(BASS_StreamFree(bad));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_ChannelPlay(bad, FALSE));
    EXPECT_EQ(BASS_ChannelGetPosition(bad, BASS_POS_BYTE), QWORD(-1));
    EXPECT_LT(BASS_ChannelBytes2Seconds(bad, 1000), 0.0);
    EXPECT_EQ(BASS_ChannelGetLevel(bad), 0u);
    EXPECT_EQ(TAGS_Read(bad, "%TITL"), nullptr);
    EXPECT_EQ(BASS_StreamGetFilePosition(bad, BASS_FILEPOS_END), QWORD(-1));
  }
}

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override { initDevice(); }
};

std::atomic<int> endCalls{0};

// A position reading bracketed by readings of the output's clock and of the wall clock, so that
// what a reading must be follows from what the output really took, however loaded the machine is.
struct Bracketed {
  double wallBefore, wallAfter;  // seconds since `origin`
  OutputClock::Reading before, after;
  int64_t frame;  // the stream's position
};

Bracketed readBracketed(HSTREAM h, std::chrono::steady_clock::time_point origin) {
  auto secondsSince = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
  };
  Bracketed r{};
  r.wallBefore = secondsSince();
  r.before = readOutputClock();
  r.frame = int64_t(BASS_ChannelGetPosition(h, BASS_POS_BYTE) / 2);  // mono 16-bit
  r.after = readOutputClock();
  r.wallAfter = secondsSince();
  return r;
}

// The output takes audio a period at a time, well ahead of the loudspeaker; the position must
// still move with what is heard, in small steps between the output's periods, never backwards and
// never ahead of what was heard.
TEST_F(PlaybackTest, PositionMovesSmoothlyWithTheClockBetweenOutputPeriods) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("long180.mp3").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  ASSERT_TRUE(waitFor([&] { return BASS_ChannelGetPosition(h, BASS_POS_BYTE) > 0; }, 5s));
  const double rate = 44100;  // the stream's and the output's
  const auto origin = std::chrono::steady_clock::now();
  std::vector<Bracketed> readings{readBracketed(h, origin)};
  int betweenPeriods = 0;  // pairs of readings with no output period between them
  while (betweenPeriods < 30 && readings.back().wallAfter < 10.0) {
    std::this_thread::sleep_for(3ms);
    readings.push_back(readBracketed(h, origin));
    const Bracketed& a = readings[readings.size() - 2];
    const Bracketed& b = readings.back();
    if (a.after.passes == b.before.passes && a.after.queued > 0 && b.before.queued > 0) {
      ++betweenPeriods;
      // Between two periods the output's clock runs with the wall clock.
      const double heard = double(b.before.heard - a.after.heard);
      EXPECT_GE(heard, (b.wallBefore - a.wallAfter) * rate - 2);
      EXPECT_LE(heard, (b.wallAfter - a.wallBefore) * rate + 2);
    }
  }
  EXPECT_EQ(betweenPeriods, 30);
  const Bracketed& first = readings.front();
  for (size_t i = 1; i < readings.size(); ++i) {
    const Bracketed& r = readings[i];
    EXPECT_GE(r.frame, readings[i - 1].frame) << "reading " << i;
    // The position is what the output has played: neither ahead nor behind it.
    EXPECT_GE(r.frame - first.frame, r.before.heard - first.after.heard - 2) << "reading " << i;
    EXPECT_LE(r.frame - first.frame, r.after.heard - first.before.heard + 2) << "reading " << i;
  }

  // Right after a seek the position starts at the target and moves on from there, never faster
  // than the clock.
  const QWORD target = BASS_ChannelSeconds2Bytes(h, 100.0);
  const auto seekAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelSetPosition(h, target, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), target);
  ASSERT_TRUE(waitFor(
      [&] {
        const QWORD pos = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
        const double since =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - seekAt).count();
        EXPECT_GE(pos, target);
        EXPECT_LE(double(pos - target) / 2, since * rate + 2);
        return pos > target + 2 * 2205;  // 50 ms on
      },
      5s));
}

std::atomic<DWORD> endChannel{0};
std::atomic<bool> endOnOutputThread{false};
void countEnd(HSYNC, DWORD channel, DWORD, void*) {
  endChannel = channel;
  ++endCalls;
}

TEST_F(PlaybackTest, PositionAdvancesInRealTimeAndTheEndFiresOnce) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.mp3").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  endCalls = 0;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr), 0u);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(500ms);
  double pos = BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
  EXPECT_GT(pos, 0.3);
  EXPECT_LT(pos, 0.8);
  ASSERT_TRUE(waitFor([] { return endCalls.load() > 0; }, 5s));
  double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(took, 1.8);  // the no-sound device takes audio at the real-time rate
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(endCalls.load(), 1);
  EXPECT_EQ(endChannel.load(), h);
  EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE)), 2.0, 0.05);
}

TEST_F(PlaybackTest, AnEndedStreamPlaysAgainFromTheStart) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  endCalls = 0;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr), 0u);
  for (int round = 1; round <= 3; ++round) {
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_LT(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 44100u);
    ASSERT_TRUE(waitFor([&] { return endCalls.load() == round; }, 3s)) << "round " << round;
  }
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(endCalls.load(), 3);
}

std::atomic<bool> freedInSync{false};
void freeOwnStream(HSYNC, DWORD channel, DWORD, void*) {
  freedInSync = BASS_StreamFree(channel) != FALSE;
}

TEST_F(PlaybackTest, AnEndSyncMayFreeItsOwnStream) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  freedInSync = false;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END | BASS_SYNC_ONETIME, 0, freeOwnStream, nullptr),
            0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  ASSERT_TRUE(waitFor([] { return freedInSync.load(); }, 4s));
  EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(PlaybackTest, FreeingTheDeviceInvalidatesStreamsAndAMissingDeviceFails) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  ASSERT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  EXPECT_FALSE(BASS_Free());

  // No no-sound request and a sound system that does not exist: the device cannot open.
  std::string ours = getenv("MELVO_AUDIO_DEVICE") ? getenv("MELVO_AUDIO_DEVICE") : "";
  std::string sdl = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
  unsetenv("MELVO_AUDIO_DEVICE");
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
  setenv("MELVO_AUDIO_DEVICE", ours.empty() ? "nosound" : ours.c_str(), 1);
  if (sdl.empty())
    unsetenv("SDL_AUDIODRIVER");
  else
    setenv("SDL_AUDIODRIVER", sdl.c_str(), 1);
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
}

// SDL's "disk" driver stands in for a sound card: it takes audio in real time through the same
// SDL callback and writes the final mix (32-bit float stereo) to a file.
TEST_F(PlaybackTest, SdlOutputCarriesTheMixAtTheMasterVolume) {
  const std::string raw = ::testing::TempDir() + "melvo_sdl_out.raw";
  std::remove(raw.c_str());
  ASSERT_TRUE(BASS_Free());
  std::string ours = getenv("MELVO_AUDIO_DEVICE") ? getenv("MELVO_AUDIO_DEVICE") : "";
  unsetenv("MELVO_AUDIO_DEVICE");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "10", 1);
  bool opened = BASS_Init(-1, 44100, 0, nullptr, nullptr);
  if (opened) {
    ASSERT_TRUE(BASS_SetVolume(0.5f));
    HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
    endCalls = 0;
    BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_TRUE(waitFor([] { return endCalls.load() == 1; }, 5s));
    ASSERT_TRUE(BASS_SetVolume(1.0f));
    ASSERT_TRUE(BASS_Free());
  }
  setenv("MELVO_AUDIO_DEVICE", ours.empty() ? "nosound" : ours.c_str(), 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  if (!opened) GTEST_SKIP() << "SDL has no disk driver here";

  std::ifstream in(raw, std::ios::binary);
  std::vector<float> samples(size_t(std::filesystem::file_size(raw)) / sizeof(float));
  in.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size() * sizeof(float)));
  ASSERT_GT(samples.size(), 44100u * 2);
  float peak = 0;
  for (float v : samples) peak = std::max(peak, std::fabs(v));
  EXPECT_NEAR(peak, 0.5f, 0.01f);  // a full-scale tone at master volume 1/2
}

// SDL's output threads of this process (SDL names them "SDLAudio...").
int sdlAudioThreads() {
  int n = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    if (name.rfind("SDLAudio", 0) == 0) ++n;
  }
  return n;
}

TEST_F(PlaybackTest, SdlOutputRestsWhileNothingPlays) {
  const std::string raw = ::testing::TempDir() + "melvo_sdl_idle.raw";
  ASSERT_TRUE(BASS_Free());
  std::string ours = getenv("MELVO_AUDIO_DEVICE") ? getenv("MELVO_AUDIO_DEVICE") : "";
  unsetenv("MELVO_AUDIO_DEVICE");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "10", 1);  // faster than real time
  bool opened = BASS_Init(-1, 44100, 0, nullptr, nullptr);
  bool restedAtStart = false, playedAgain = false, restedAfterEnd = false, ended = false;
  if (opened) {
    restedAtStart = waitFor([] { return sdlAudioThreads() == 0; }, 5s);
    HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
    endCalls = 0;
    BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr);
    BASS_ChannelPlay(h, FALSE);
    playedAgain = waitFor([] { return sdlAudioThreads() >= 1; }, 2s);
    ended = waitFor([] { return endCalls.load() == 1; }, 5s);
    restedAfterEnd = waitFor([] { return sdlAudioThreads() == 0; }, 5s);
    BASS_StreamFree(h);
    ASSERT_TRUE(BASS_Free());
  }
  setenv("MELVO_AUDIO_DEVICE", ours.empty() ? "nosound" : ours.c_str(), 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::remove(raw.c_str());
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  if (!opened) GTEST_SKIP() << "SDL has no disk driver here";
  EXPECT_TRUE(restedAtStart);
  EXPECT_TRUE(playedAgain);
  EXPECT_TRUE(ended);  // the stream was heard to its end through the reopened device
  EXPECT_TRUE(restedAfterEnd);
}

TEST_F(PlaybackTest, PauseHoldsThePositionAndStopResumesWhereItWas) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(BASS_ChannelPause(h));
  EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PAUSED));
  QWORD paused = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), paused);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(BASS_ChannelStop(h));
  QWORD stopped = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
  EXPECT_GT(stopped, paused);
  EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  EXPECT_GE(BASS_ChannelGetPosition(h, BASS_POS_BYTE), stopped);
  ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));  // restart
  EXPECT_LT(BASS_ChannelGetPosition(h, BASS_POS_BYTE), stopped);
}

TEST_F(PlaybackTest, SeekingWhilePlayingMovesThePositionAtOnce) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("long180.mp3").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  const QWORD target = BASS_ChannelSeconds2Bytes(h, 120.0);
  const auto seekAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelSetPosition(h, target, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), target);
  // It plays on from the target: past it soon, and never further than the time since the seek.
  ASSERT_TRUE(
      waitFor([&] { return BASS_ChannelGetPosition(h, BASS_POS_BYTE) > target + 2 * 2205; }, 5s));
  const double now = BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
  const double since =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - seekAt).count();
  EXPECT_GT(now, 120.05);
  EXPECT_LE(now, 120.0 + since + 0.001);
  EXPECT_FALSE(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, 500.0), BASS_POS_BYTE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
}

TEST_F(PlaybackTest, SeveralStreamsPlayAtOnce) {
  HSTREAM a = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  HSTREAM b = BASS_StreamCreateFile(FALSE, fixture("tone.ogg").c_str(), 0, 0, 0);
  StreamGuard ga(a), gb(b);
  ASSERT_TRUE(BASS_ChannelPlay(a, FALSE));
  ASSERT_TRUE(BASS_ChannelPlay(b, FALSE));
  std::this_thread::sleep_for(300ms);
  EXPECT_GT(BASS_ChannelGetPosition(a, BASS_POS_BYTE), 0u);
  EXPECT_GT(BASS_ChannelGetPosition(b, BASS_POS_BYTE), 0u);
}

TEST_F(PlaybackTest, LengthsPositionsAndSizesUseTheDecodedFormat) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("long180.mp3").c_str(), 0, 0, BASS_UNICODE);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(info.chans, 1u);
  EXPECT_EQ(info.ctype, DWORD(BASS_CTYPE_STREAM_MP3));
  QWORD len = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  EXPECT_EQ(len, 180u * 44100 * 2);  // exact: the encoder's delay and padding are not counted
  EXPECT_EQ(float(BASS_ChannelBytes2Seconds(h, len)) / 86400.0f, 180.0f / 86400.0f);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1.0), 88200u);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0.5), 44100u);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, -1.0), QWORD(-1));
  EXPECT_LT(BASS_ChannelBytes2Seconds(h, QWORD(-1)), 0.0);
  EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END),
            std::filesystem::file_size(fixture("long180.mp3")));
}

TEST_F(PlaybackTest, ChineseFileNamesOpen) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("中文歌曲.mp3").c_str(), 0, 0, 0);
  StreamGuard g(h);
  EXPECT_NE(h, 0u);
}

TEST_F(PlaybackTest, VolumeIsKeptPerChannelAndMasterVolumeIsChecked) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  float v = 0;
  ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &v));
  EXPECT_EQ(v, 1.0f);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.25f));
  ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &v));
  EXPECT_EQ(v, 0.25f);
  EXPECT_FALSE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, -1.0f));
  EXPECT_FALSE(BASS_ChannelSetAttribute(h, 99, 1.0f));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
  ASSERT_TRUE(BASS_SetVolume(0.5f));
  EXPECT_EQ(BASS_GetVolume(), 0.5f);
  EXPECT_FALSE(BASS_SetVolume(2.0f));
  ASSERT_TRUE(BASS_SetVolume(1.0f));
}

// A decoding channel gives the samples directly, so seeking can be checked sample by sample.
void expectSampleExactSeeks(const char* file) {
  HSTREAM ref = BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, BASS_STREAM_DECODE);
  StreamGuard g1(ref);
  ASSERT_NE(ref, 0u);
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(ref, &info));
  const QWORD chans = info.chans;
  std::vector<int16_t> all = decodeAll(ref);
  ASSERT_GT(all.size(), size_t(44100 * 2 * chans));
  for (QWORD frame : {QWORD(0), QWORD(1), QWORD(12345), QWORD(44100), QWORD(100001)}) {
    HSTREAM h = BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, BASS_STREAM_DECODE);
    StreamGuard g2(h);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, frame * 2 * chans, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), frame * 2 * chans);
    int16_t buf[512];
    ASSERT_EQ(BASS_ChannelGetData(h, buf, sizeof(buf)), sizeof(buf));
    for (QWORD i = 0; i < 512; ++i)
      ASSERT_EQ(buf[i], all[frame * chans + i]) << file << " frame " << frame << " sample " << i;
  }
}

TEST_F(PlaybackTest, SeeksAreSampleExact) {
  loadPlugin();
  expectSampleExactSeeks("ramp.wav");
  expectSampleExactSeeks("ramp.flac");
  expectSampleExactSeeks("long180.mp3");  // MP3 needs decoder pre-roll before the target
}

// Where the container states the length (Xing / Info frames, FLAC's STREAMINFO, WAV and AIFF
// sizes) it is taken from there without analysing the stream; it must still be the number of
// samples a full decode gives.
TEST_F(PlaybackTest, LengthsTakenFromHeadersAreTheDecodedLengths) {
  loadPlugin();
  for (const char* file :
       {"tone.mp3", "vbr.mp3", "long180.mp3", "tagged_utf16.mp3", "中文歌曲.mp3", "tone.flac",
        "ramp.flac", "tagged.flac", "tone.wav", "ramp.wav", "twotone.wav", "tone.aif"}) {
    HSTREAM played = BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, BASS_UNICODE);
    StreamGuard g1(played);
    ASSERT_NE(played, 0u) << file;
    const QWORD stated = BASS_ChannelGetLength(played, BASS_POS_BYTE);
    HSTREAM decoded = BASS_StreamCreateFile(FALSE, fixture(file).c_str(), 0, 0, BASS_STREAM_DECODE);
    StreamGuard g2(decoded);
    ASSERT_NE(decoded, 0u) << file;
    EXPECT_EQ(stated, QWORD(decodeAll(decoded).size()) * 2) << file;
  }
}

TEST_F(PlaybackTest, DecodingChannelsAreNotPlayable) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, BASS_STREAM_DECODE);
  StreamGuard g(h);
  EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
  std::vector<int16_t> all = decodeAll(h);
  EXPECT_EQ(all.size(), size_t(88200 * 2));
  // The length an MP3 reports is the number of samples it decodes to.
  HSTREAM mp3 = BASS_StreamCreateFile(FALSE, fixture("tone.mp3").c_str(), 0, 0, BASS_STREAM_DECODE);
  StreamGuard g2(mp3);
  QWORD len = BASS_ChannelGetLength(mp3, BASS_POS_BYTE);
  EXPECT_EQ(decodeAll(mp3).size() * 2, len);
}

}  // namespace
