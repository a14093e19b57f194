// An output with a sound system's latency (the no-sound device told to hear everything 300 ms
// after it took it): positions, spectra and the end notification follow what is heard, not what
// was mixed; pausing, seeking and stopping drop what is queued.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "TestSupport.h"
#include "audiolib/OutputClockReading.h"

using namespace audiolib_test;
using namespace std::chrono_literals;

namespace {

constexpr double kLatency = 0.3;
// After a pause, seek or stop the no-sound device starts again from a fresh period: what it
// reports heard may lead the wall clock by up to one period (40 ms) on a busy machine.
constexpr double kOnePeriod = 0.045;

double secondsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

double positionSeconds(HSTREAM h) {
  return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE));
}

class LatencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    ASSERT_TRUE(BASS_Free());
    setenv("MELVO_NOSOUND_LATENCY_MS", "300", 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  }
  void TearDown() override {
    BASS_Free();
    unsetenv("MELVO_NOSOUND_LATENCY_MS");
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
  }
};

std::atomic<int> ends{0};
void countEnd(HSYNC, DWORD, DWORD, void*) {
  ++ends;
}

TEST_F(LatencyTest, PositionLevelAndEndFollowWhatIsHeard) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  ends = 0;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr), 0u);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  double lastPos = 0, endAt = 0;
  bool heardSomething = false;
  while (secondsSince(start) < 10) {  // the tone lasts about a second
    const double pos = positionSeconds(h);
    const DWORD level = BASS_ChannelGetLevel(h);
    const double since = secondsSince(start);
    if (ends.load() > 0) {
      endAt = since;
      break;
    }
    // Nothing of the tone can be heard before the latency has passed, and the position never
    // runs ahead of the time that was heard.
    EXPECT_LE(pos, std::max(0.0, since - kLatency) + 0.005) << since;
    if (since < kLatency - 0.05) {
      EXPECT_EQ(level, 0u) << since;
    }
    if (pos > 0.1 && pos < 0.9) {
      EXPECT_GT(level & 0xFFFF, 16000u) << since;  // the full-scale tone, at the heard position
      heardSomething = true;
    }
    EXPECT_GE(pos, lastPos);
    lastPos = pos;
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(heardSomething);
  ASSERT_EQ(ends.load(), 1);
  // The end counts once the last sample has been heard, not when it was mixed.
  EXPECT_GE(endAt, 1.0 + kLatency - 0.02);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), BASS_ChannelGetLength(h, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
}

TEST_F(LatencyTest, PauseSeekAndStopDropWhatIsQueued) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("long180.mp3").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  ASSERT_TRUE(waitFor([&] { return positionSeconds(h) > 0.2; }, 5s));
  // Paused: the position is where the loudspeaker stopped, and it stays there.
  ASSERT_TRUE(BASS_ChannelPause(h));
  const double paused = positionSeconds(h);
  EXPECT_LE(paused, secondsSince(start) - kLatency + kOnePeriod);
  EXPECT_GT(paused, 0.2);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(positionSeconds(h), paused);
  // The mixed rest is dropped, not played out.
  EXPECT_TRUE(waitFor([] { return melvo::audiolib::readOutputClock().queued == 0; }, 2s));

  // Played on: from exactly there, what was mixed before the pause is not skipped.
  const auto resumed = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  EXPECT_EQ(positionSeconds(h), paused);
  ASSERT_TRUE(waitFor([&] { return positionSeconds(h) > paused + 0.05; }, 5s));
  EXPECT_LE(positionSeconds(h), paused + secondsSince(resumed) - kLatency + kOnePeriod);

  // Seeking: at the target at once, then on from there as it is heard.
  const QWORD target = BASS_ChannelSeconds2Bytes(h, 100.0);
  const auto seekAt = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelSetPosition(h, target, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), target);
  ASSERT_TRUE(waitFor([&] { return positionSeconds(h) > 100.05; }, 5s));
  EXPECT_LE(positionSeconds(h), 100.0 + secondsSince(seekAt) - kLatency + kOnePeriod);

  // Stopped and played on: the same.
  ASSERT_TRUE(BASS_ChannelStop(h));
  const double stopped = positionSeconds(h);
  EXPECT_GT(stopped, 100.05);
  EXPECT_LE(stopped, 100.0 + secondsSince(seekAt) - kLatency + kOnePeriod);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  EXPECT_EQ(positionSeconds(h), stopped);
}

}  // namespace
