// Rules of the playback controller and the play list that need no window: which entry plays
// next, where a deletion leaves the current index, the "nn:ss" time texts, the spectrum picture's
// peaks and bars, the seek position and the volume slider. The handlers in PlayerController.cpp
// and PlayListView.cpp call these and stay thin.
#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace PlayRules {

// Play modes (CurConfig->circle).
inline constexpr int32_t kModeList = 1001;    // the following entry; after the last, the first
inline constexpr int32_t kModeRandom = 1002;  // a random other entry (with one entry, that one)
inline constexpr int32_t kModeSingle = 1003;  // the same entry at the end of a song; Next as 1001

// A source of random numbers: returns a uniformly drawn integer in 0 … n − 1 (n ≥ 1).
using TRandom = std::function<int(int n)>;
// The process's generator, seeded from the clock once.
int ProcessRandom(int n);

// Where Next goes: the entry whose marking is cleared and the entry that plays.
struct TNextStep {
  int oldIndex = 0;
  int newIndex = 0;
};
// Next from entry `now` of a list of `count` entries in play mode `mode`. Empty when the mode is
// none of the three (nothing moves then) or the list is empty. In random mode the draw repeats
// until it differs from `now`, unless the list has a single entry. `random` may be empty: the
// process's generator is used then.
std::optional<TNextStep> NextIndex(int32_t mode, int count, int now,
                                   const TRandom& random = TRandom());

// Deleting one entry of the play list: NDeleteClick calls PlayRules::DeleteIndex and acts on the
// step it returns. Given the index of the entry deleted, the
// number of entries before the deletion, the current index and whether a song is under way (the
// progress bar is not at 0), says where the current index goes and what plays afterwards.
struct TDeleteStep {
  enum TAction {
    None,           // the list changes, the playing song goes on (or there is no entry to delete)
    StopAll,        // the only entry went: stop the engine, progress to 0, show the invitation
    PlayRemaining,  // one of two went: progress to 0, MarkPlayingItem(0, 0), PlaySelected
    PlayNext,       // the playing entry went: btnNextClick from nowPsi
  };
  TAction action = None;
  int nowPsi = 0;  // the current index after the deletion (before the Next of PlayNext)
};
TDeleteStep DeleteIndex(int deleted, int countBefore, int nowPsi, bool songUnderWay);

// A time in milliseconds as "nn:ss": rounded to whole milliseconds, then cut to whole seconds;
// minutes within the hour (a 65-minute song shows "05:00"). Negative and non-finite times show
// "00:00".
QString FormatTime(double ms);

// The spectrum picture of the playing entry: 25 × 35 pixels, six columns from FFT bins 15 … 20.
// Bars fall 3 pixels and peak lines 1 pixel per tick while the bins are lower; the state is kept
// between ticks and songs. The sixth column lies outside the picture but keeps its state.
class TSpectrum {
 public:
  static constexpr int kWidth = 25;
  static constexpr int kHeight = 35;
  static constexpr int kFirstBin = 15;
  static constexpr int kColumns = 6;

  // One tick: `bins` holds `count` FFT magnitudes (missing bins count as 0).
  void Update(const float* bins, int count);
  // The picture of the current state (grey ground, white bars and peak lines).
  QImage Picture() const;
  // Draws the picture into `image`, which must be kWidth × kHeight, 32-bit opaque-capable RGB
  // (RGB32, ARGB32 or its premultiplied form; no allocation).
  void Paint(QImage& image) const;

  const std::array<int32_t, kColumns>& Peaks() const { return FPeaks; }
  const std::array<int32_t, kColumns>& Bars() const { return FBars; }

 private:
  std::array<int32_t, kColumns> FPeaks{};
  std::array<int32_t, kColumns> FBars{};
};

// The column height of one FFT magnitude: the integer part of |v| × 500, at most 35.
int32_t SpectrumHeight(float v);

// The song position in milliseconds for a mouse release at `x` on a progress bar of `width`
// pixels whose maximum is `maxPos`: round(maxPos × x) (ties to even) / width, kept within
// 0 … maxPos. A bar without width seeks to 0.
double SeekPosition(double maxPos, double x, double width);

// The volume slider runs upside down: value 0 is full volume, 100 silence.
// The percent stored in the configuration for a slider value (nearest, ties to even).
int32_t VolumePercent(double sliderValue);
// The engine's volume 0 … 1 for a slider value.
float VolumeOfSlider(double sliderValue);
// The slider value that shows an engine volume.
double SliderOfVolume(float volume);

}  // namespace PlayRules
