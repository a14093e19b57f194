// The controller's and the list's rules that need no window.
#include <gtest/gtest.h>
#include <deque>
#include <limits>
#include <set>

#include "window/PlayRules.h"

using namespace PlayRules;

namespace {

// A source that hands out the given numbers in turn (then 0).
TRandom Script(std::deque<int> values) {
  return [values = std::move(values)](int) mutable {
    if (values.empty()) return 0;
    const int v = values.front();
    values.pop_front();
    return v;
  };
}

void ExpectStep(const std::optional<TNextStep>& step, int oldIndex, int newIndex) {
  ASSERT_TRUE(step.has_value());
  EXPECT_EQ(step->oldIndex, oldIndex);
  EXPECT_EQ(step->newIndex, newIndex);
}

}  // namespace

TEST(PlayRulesNext, ListModeWrapsAfterTheLastEntry) {
  ExpectStep(NextIndex(kModeList, 5, 0), 0, 1);
  ExpectStep(NextIndex(kModeList, 5, 4), 4, 0);
  ExpectStep(NextIndex(kModeList, 1, 0), 0, 0);
  // A current index left beyond the list (the list shrank) starts from the first entry.
  ExpectStep(NextIndex(kModeList, 3, 7), 7, 0);
}

TEST(PlayRulesNext, SingleModeNextMovesOnAndClearsThePreviousEntry) {
  ExpectStep(NextIndex(kModeSingle, 5, 2), 2, 3);
  // From the last entry to the first: the marking to clear is the last one.
  ExpectStep(NextIndex(kModeSingle, 5, 4), 4, 0);
  ExpectStep(NextIndex(kModeSingle, 1, 0), 0, 0);
}

TEST(PlayRulesNext, RandomModeNeverRepeatsTheCurrentEntryUnlessItIsAlone) {
  // The source draws the current entry twice; the rule draws again until it differs.
  int draws = 0;
  auto counting = [&draws, inner = Script({2, 2, 4})](int n) mutable {
    ++draws;
    return inner(n);
  };
  ExpectStep(NextIndex(kModeRandom, 5, 2, counting), 2, 4);
  EXPECT_EQ(draws, 3);
  // One entry: that entry, after a single draw.
  draws = 0;
  ExpectStep(NextIndex(kModeRandom, 1, 0, counting), 0, 0);
  EXPECT_EQ(draws, 1);
  // The process's generator covers every other entry and never the current one.
  std::set<int> seen;
  for (int i = 0; i < 400; ++i) seen.insert(NextIndex(kModeRandom, 4, 1)->newIndex);
  EXPECT_EQ(seen, (std::set<int>{0, 2, 3}));
}

TEST(PlayRulesNext, RandomSourceOutOfRangeOrStuckStaysInTheList) {
  ExpectStep(NextIndex(kModeRandom, 3, 1, [](int) { return 17; }), 1, 0);
  // A source that only ever returns the current entry does not hang the player.
  ExpectStep(NextIndex(kModeRandom, 3, 1, [](int) { return 1; }), 1, 2);
}

TEST(PlayRulesNext, OtherModesAndEmptyListsMoveNothing) {
  EXPECT_FALSE(NextIndex(1000, 5, 1));
  EXPECT_FALSE(NextIndex(0, 5, 1));
  for (int mode : {kModeList, kModeRandom, kModeSingle}) EXPECT_FALSE(NextIndex(mode, 0, 0));
}

// Five entries, entry 3 current, unless said otherwise.
TEST(PlayRulesDelete, FiveEntriesWithTheCurrentOnePlaying) {
  auto before = DeleteIndex(1, 5, 3, true);
  EXPECT_EQ(before.action, TDeleteStep::None);
  EXPECT_EQ(before.nowPsi, 2);  // the same song, one place up
  auto itself = DeleteIndex(3, 5, 3, true);
  EXPECT_EQ(itself.action, TDeleteStep::PlayNext);
  EXPECT_EQ(itself.nowPsi, 2);
  auto after = DeleteIndex(4, 5, 3, true);
  EXPECT_EQ(after.action, TDeleteStep::None);
  EXPECT_EQ(after.nowPsi, 3);
  // The last entry current: the index goes to 2 before Next picks.
  auto last = DeleteIndex(4, 5, 4, true);
  EXPECT_EQ(last.action, TDeleteStep::PlayNext);
  EXPECT_EQ(last.nowPsi, 2);
  // The first entry current: the index goes to the new last entry.
  auto first = DeleteIndex(0, 5, 0, true);
  EXPECT_EQ(first.action, TDeleteStep::PlayNext);
  EXPECT_EQ(first.nowPsi, 3);
  // Next in list order from those indexes plays the entry after the deleted one (or the first).
  EXPECT_EQ(NextIndex(kModeList, 4, itself.nowPsi)->newIndex, 3);
  EXPECT_EQ(NextIndex(kModeList, 4, first.nowPsi)->newIndex, 0);
}

TEST(PlayRulesDelete, TheCurrentEntryWithNothingUnderWayIsJustRemoved) {
  auto step = DeleteIndex(3, 5, 3, false);
  EXPECT_EQ(step.action, TDeleteStep::None);
  EXPECT_EQ(step.nowPsi, 3);
}

TEST(PlayRulesDelete, OneAndTwoEntries) {
  auto only = DeleteIndex(0, 1, 0, true);
  EXPECT_EQ(only.action, TDeleteStep::StopAll);
  for (int deleted : {0, 1}) {
    for (int now : {0, 1}) {
      auto step = DeleteIndex(deleted, 2, now, deleted == now);
      EXPECT_EQ(step.action, TDeleteStep::PlayRemaining);
      EXPECT_EQ(step.nowPsi, 0);
    }
  }
}

TEST(PlayRulesDelete, NoEntryToDeleteChangesNothing) {
  for (int deleted : {-1, 5, 9}) {
    auto step = DeleteIndex(deleted, 5, 3, true);
    EXPECT_EQ(step.action, TDeleteStep::None);
    EXPECT_EQ(step.nowPsi, 3);
  }
  EXPECT_EQ(DeleteIndex(0, 0, 0, false).action, TDeleteStep::None);
}

TEST(PlayRulesTime, MinutesWithinTheHourAndWholeSeconds) {
  EXPECT_EQ(FormatTime(0), "00:00");
  EXPECT_EQ(FormatTime(999.4), "00:00");
  EXPECT_EQ(FormatTime(999.5), "00:01");    // rounds to 1000 ms first
  EXPECT_EQ(FormatTime(59999.6), "01:00");  // 59.9996 s
  EXPECT_EQ(FormatTime(59999.4), "00:59");
  EXPECT_EQ(FormatTime(3599999), "59:59");
  EXPECT_EQ(FormatTime(65 * 60000.0), "05:00");  // hours are dropped
  EXPECT_EQ(FormatTime(25 * 3600000.0 + 61000), "01:01");
}

TEST(PlayRulesTime, NonsenseTimesShowZero) {
  EXPECT_EQ(FormatTime(-5000), "00:00");
  EXPECT_EQ(FormatTime(std::numeric_limits<double>::quiet_NaN()), "00:00");
  EXPECT_EQ(FormatTime(std::numeric_limits<double>::infinity()), "00:00");
  EXPECT_EQ(FormatTime(1e300).size(), 5);
}

namespace {

// FFT data whose bins 15 … 20 give the heights h (height / 500 each).
std::array<float, 513> Bins(std::array<int, 6> h) {
  std::array<float, 513> fft{};
  for (int k = 0; k < 6; ++k) fft[15 + k] = (h[k] + 0.5f) / 500;
  fft[14] = fft[21] = 1.0f;  // neighbours are never read
  return fft;
}

// Height of white from the bottom of column k, and the row of its peak line (−1: none).
int BarPixels(const QImage& img, int k) {
  int n = 0;
  for (int y = TSpectrum::kHeight - 1; y >= 0 && img.pixel(5 * k, y) == qRgb(255, 255, 255); --y)
    ++n;
  return n;
}

}  // namespace

TEST(PlayRulesSpectrum, HeightsAreCutAt35AndSignIsIgnored) {
  EXPECT_EQ(SpectrumHeight(0), 0);
  EXPECT_EQ(SpectrumHeight(0.0419f), 20);
  EXPECT_EQ(SpectrumHeight(-0.0419f), 20);
  EXPECT_EQ(SpectrumHeight(0.07f), 35);
  EXPECT_EQ(SpectrumHeight(5e30f), 35);
  EXPECT_EQ(SpectrumHeight(std::numeric_limits<float>::infinity()), 35);
  EXPECT_EQ(SpectrumHeight(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(PlayRulesSpectrum, BarsFallThreeAndPeaksOnePixelPerQuietTick) {
  TSpectrum s;
  auto loud = Bins({35, 20, 10, 4, 1, 30});
  s.Update(loud.data(), int(loud.size()));
  EXPECT_EQ(s.Bars(), (std::array<int32_t, 6>{35, 20, 10, 4, 1, 30}));
  EXPECT_EQ(s.Peaks(), s.Bars());
  const std::array<float, 513> quiet{};
  s.Update(quiet.data(), int(quiet.size()));
  EXPECT_EQ(s.Bars(), (std::array<int32_t, 6>{32, 17, 7, 1, 0, 27}));
  EXPECT_EQ(s.Peaks(), (std::array<int32_t, 6>{34, 19, 9, 3, 0, 29}));
  // A full peak takes 35 quiet ticks to reach the ground; the bar 12.
  int ticks = 1;
  while (s.Peaks()[0] > 0) {
    s.Update(quiet.data(), int(quiet.size()));
    ++ticks;
    if (ticks == 12) {
      EXPECT_EQ(s.Bars()[0], 0);
    }
  }
  EXPECT_EQ(ticks, 35);
  EXPECT_EQ(s.Bars(), (std::array<int32_t, 6>{}));
  // A rise lifts both at once, also above a falling peak.
  auto mid = Bins({5, 0, 0, 0, 0, 0});
  s.Update(mid.data(), int(mid.size()));
  EXPECT_EQ(s.Peaks()[0], 5);
  EXPECT_EQ(s.Bars()[0], 5);
}

TEST(PlayRulesSpectrum, ShortDataCountsAsSilence) {
  TSpectrum s;
  auto loud = Bins({9, 9, 9, 9, 9, 9});
  s.Update(loud.data(), 18);  // only bins 15 … 17 delivered
  EXPECT_EQ(s.Bars(), (std::array<int32_t, 6>{9, 9, 9, 0, 0, 0}));
  s.Update(nullptr, 0);
  EXPECT_EQ(s.Bars(), (std::array<int32_t, 6>{6, 6, 6, 0, 0, 0}));
}

TEST(PlayRulesSpectrum, PictureShowsFiveColumnsOfBarsAndPeakLines) {
  TSpectrum s;
  auto loud = Bins({35, 20, 10, 0, 6, 30});
  s.Update(loud.data(), int(loud.size()));
  const std::array<float, 513> quiet{};
  s.Update(quiet.data(), int(quiet.size()));  // bars 32 17 7 0 3, peaks 34 19 9 0 5
  const QImage img = s.Picture();
  ASSERT_EQ(img.size(), QSize(25, 35));
  const QRgb white = qRgb(255, 255, 255), grey = qRgb(128, 128, 128);
  const std::array<int, 5> bars{32, 17, 7, 0, 3}, peaks{34, 19, 9, 0, 5};
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(BarPixels(img, k), bars[k]);
    // The peak line sits 2 pixels above a bar that fell 3 while its peak fell 1.
    if (peaks[k] > 0) {
      for (int x = 5 * k; x < 5 * k + 4; ++x) EXPECT_EQ(img.pixel(x, 35 - peaks[k]), white);
      EXPECT_EQ(img.pixel(5 * k, 35 - peaks[k] + 1), grey);
    }
    // Every fifth column of pixels is the gap between columns.
    for (int y = 0; y < 35; ++y) EXPECT_EQ(img.pixel(5 * k + 4, y), grey);
  }
  // A column with nothing is all grey: no line at the bottom edge.
  for (int y = 0; y < 35; ++y) EXPECT_EQ(img.pixel(15, y), grey);
}

TEST(PlayRulesSeek, PositionFromTheMouse) {
  EXPECT_DOUBLE_EQ(SeekPosition(100, 89, 178), 50);
  EXPECT_DOUBLE_EQ(SeekPosition(240000, 89, 178), 120000);
  // The product is rounded, ties to even, before the division.
  EXPECT_DOUBLE_EQ(SeekPosition(5, 0.5, 1), 2);                 // 2.5 -> 2
  EXPECT_DOUBLE_EQ(SeekPosition(5, 0.7, 1), 4);                 // 3.5 -> 4
  EXPECT_DOUBLE_EQ(SeekPosition(10, 25.05, 178), 250 / 178.0);  // 250.5 -> 250
  // A release dragged off the bar stays within the song.
  EXPECT_DOUBLE_EQ(SeekPosition(100, -20, 178), 0);
  EXPECT_DOUBLE_EQ(SeekPosition(100, 400, 178), 100);
  EXPECT_DOUBLE_EQ(SeekPosition(100, 89, 0), 0);
  EXPECT_DOUBLE_EQ(SeekPosition(std::numeric_limits<double>::quiet_NaN(), 89, 178), 0);
}

TEST(PlayRulesVolume, SliderRunsUpsideDown) {
  EXPECT_EQ(VolumePercent(30), 70);
  EXPECT_FLOAT_EQ(VolumeOfSlider(30), 0.7f);
  EXPECT_EQ(VolumePercent(0), 100);
  EXPECT_EQ(VolumePercent(100), 0);
  EXPECT_FLOAT_EQ(VolumeOfSlider(100), 0.0f);
  // Nearest percent, ties to even.
  EXPECT_EQ(VolumePercent(29.5), 70);
  EXPECT_EQ(VolumePercent(30.5), 70);
  EXPECT_EQ(VolumePercent(30.6), 69);
  // The start value shows the stored volume, and reads back as it.
  for (int percent : {0, 1, 35, 70, 99, 100})
    EXPECT_EQ(VolumePercent(SliderOfVolume(float(percent) / 100)), percent);
  EXPECT_EQ(VolumePercent(-40), 100);
  EXPECT_EQ(VolumePercent(250), 0);
}
