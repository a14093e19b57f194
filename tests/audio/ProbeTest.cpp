// The tag and duration probe, and what playback and the probe make of broken files.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace enginetest;

namespace {

constexpr double kSecond = 1.0 / 86400.0;  // one second in days

void ExpectEmpty(const TTags& t) {
  EXPECT_EQ(t.Title, "");
  EXPECT_EQ(t.Artist, "");
  EXPECT_EQ(t.Album, "");
}

}  // namespace

TEST(Probe, LengthOfAnUntaggedFileInDaysAndNothingForAMissingFile) {
  auto engine = MakeEngine();
  TTags t = engine->GetSongLength(Fixture("long180.mp3"));
  ExpectEmpty(t);
  EXPECT_NEAR(t.Longtime, 180 * kSecond, 0.1 * kSecond);
  EXPECT_EQ(t.Longtime, static_cast<double>(static_cast<float>(t.Longtime)))
      << "held in 32-bit precision";

  TTags missing = engine->GetSongLength(Fixture("no-such-file.mp3"));
  ExpectEmpty(missing);
  EXPECT_EQ(missing.Longtime, 0.0);
}

TEST(Probe, ReadsTagsOfEveryKindAsUtf8) {
  auto engine = MakeEngine();
  for (const char* name : {"tagged.flac", "tagged.ogg", "tagged.m4a", "tagged_utf16.mp3"}) {
    TTags t = engine->GetSongLength(Fixture(name));
    EXPECT_EQ(t.Title, "晴天") << name;
    EXPECT_EQ(t.Artist, "周杰伦") << name;
    EXPECT_EQ(t.Album, "叶惠美") << name;
    EXPECT_NEAR(t.Longtime, 2 * kSecond, 0.1 * kSecond) << name;
  }
  for (const char* name : {"legacy_id3v1.mp3", "legacy_id3v2.mp3"}) {
    TTags t = engine->GetSongLength(Fixture(name));
    EXPECT_EQ(t.Title, "青花瓷") << name;
    EXPECT_EQ(t.Artist, "周杰伦") << name;
    EXPECT_EQ(t.Album, "我很忙") << name;
  }
}

TEST(Probe, AChineseFileNameIsProbedAndPlayed) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  TTags t = engine->GetSongLength(Fixture("中文歌曲.mp3"));
  EXPECT_EQ(t.Title, "晴天");
  EXPECT_GT(t.Longtime, 1.5 * kSecond);
  engine->Play(Fixture("中文歌曲.mp3"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  EXPECT_FALSE(log.Has('s', psConnecting));
}

TEST(Probe, LeavesTheCurrentStreamItsStateAndEventsAlone) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  engine->Play(Fixture("tone.wav"));
  ASSERT_TRUE(log.WaitFor('s', psPlaying));
  uint32_t channel = engine->CurrentChannel();
  size_t events = log.events.size();

  TTags t = engine->GetSongLength(Fixture("tagged.flac"));
  EXPECT_EQ(t.Title, "晴天");
  Drain(60);
  EXPECT_EQ(engine->CurrentChannel(), channel);
  EXPECT_EQ(engine->EngineState(), psPlaying);
  EXPECT_EQ(engine->CurSong(), Fixture("tone.wav"));
  EXPECT_EQ(log.events.size(), events);
  EXPECT_GT(engine->GetSongPos(), 0.0f);
}

// Broken files: the probe gives a safe result and playback ends in a clear outcome.
class BrokenFile : public ::testing::TestWithParam<const char*> {};

TEST_P(BrokenFile, ProbeGivesASafeResultAndPlaybackEndsCleanly) {
  auto engine = MakeEngine();
  EventLog log(*engine);
  TTags t = engine->GetSongLength(Fixture(GetParam()));
  EXPECT_TRUE(std::isfinite(t.Longtime));
  EXPECT_GE(t.Longtime, 0.0);
  EXPECT_LT(t.Longtime, 10 * kSecond);

  engine->Play(Fixture(GetParam()));
  // Either the opening fails (through the URL attempt), or what is there plays to its end.
  ASSERT_TRUE(WaitUntil([&] { return log.Has('x', psOpenFailed) || log.Has('f', psEnded); }, 8000));
  if (log.Has('x', psOpenFailed)) {
    EXPECT_TRUE(log.Has('s', psConnecting));
    EXPECT_GT(log.events.back().code, 0);
    EXPECT_EQ(t.Longtime, 0.0);
    ExpectEmpty(t);
  }
  EXPECT_GE(engine->GetSongPos(), 0.0f);
  EXPECT_FALSE(engine->OpeningUnderWay());
}

INSTANTIATE_TEST_SUITE_P(Engine, BrokenFile,
                         ::testing::Values("empty.mp3", "text.mp3", "corrupt.mp3", "truncated.mp3",
                                           "truncated.flac", "truncated_header.wav"),
                         [](const auto& testCase) {
                           std::string n = testCase.param;
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });
