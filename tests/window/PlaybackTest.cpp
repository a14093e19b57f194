// Playback through the real window and engine (no-sound device) with real files: starting an
// entry, the play modes, the end of a song, a failing entry and the retry, volume, mute, seek,
// the spectrum and the settings kept across a restart.
#include <algorithm>
#include <cmath>
#include <deque>
#include "BuildPaths.h"

#include "WindowTestSupport.h"
#include "window/Pictures.h"

namespace {

std::string Fixture(const char* name) {
  return melvo::build::FixturesDir() + "/" + name;
}

TTSL Song(const std::string& title, const char* file) {
  TTSL s;
  s.s_title = title;
  s.s_singer = "歌手" + title;
  s.s_path = Fixture(file);
  s.s_ltime = 2;
  s.s_addtime = 1312081405;
  return s;
}

struct TListen {
  std::string song, singer, status;
  bool operator==(const TListen&) const = default;
};

class Playback : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    TunitMain::SetListeningSinkForTesting(
        [this](const std::string& song, const std::string& singer, const std::string& status) {
          listens.push_back({song, singer, status});
        });
  }
  void TearDown() override {
    WindowTest::TearDown();
    TunitMain::SetListeningSinkForTesting(nullptr);
    TunitMain::SetRandomForTesting(nullptr);
  }
  // A library of the given songs and a configuration with `mode`, then the window.
  TunitMain& OpenWith(const TSongList& songs, int mode = 1001, int nowPsi = 0) {
    AddSongs(songs);
    TTSC config;
    config.circle = mode;
    config.now_psi = nowPsi;
    StoreConfig(config);
    return Open();
  }
  TvxListBoxItem* Item(int i) { return window->musicListBox->ItemByIndex(i); }
  TAlphaColor Back(int i) {
    return dynamic_cast<TvxRectangle*>(Item(i)->FindBinding("backcolor"))->Fill().Color();
  }
  TvxImage* State(int i) { return dynamic_cast<TvxImage*>(Item(i)->FindBinding("playState")); }
  // A left click on entry i of the list (scrolled to the top).
  void ClickEntry(int i) {
    const QPointF list(100, 2 + 55 * i + 30);
    const QPointF p =
        window->GuiMain->LayerToScene()->map(window->musicListBox->LocalToLayer().map(list));
    window->mainBs->MouseMove(p, 0);
    window->mainBs->MouseDown(p, mbLeft, ssLeft);
    window->mainBs->MouseUp(p, mbLeft, 0);
  }
  void BackToList() {
    window->btnReturnClick(nullptr);
    PumpUntil(
        [this] { return window->RectangleList->Visible() && !window->RectanglePlay->Visible(); });
    PumpAnimation(1.0);
  }
  TAudioEngine& Engine() { return *window->Engine(); }
  // The file's own stream plays: while it is being opened the engine still reports the state of
  // the stream before it (and refuses another Play).
  bool PlayingFile(const char* file) {
    return PumpUntil([&] {
      return Engine().EngineState() == psPlaying && Engine().CurSong() == Fixture(file) &&
             !Engine().OpeningUnderWay();
    });
  }
  bool GlyphIs(TvxBitmapButton* b, int index) {
    return b->Bitmap().Image() == window->bmplist1.Bitmap(index)->Image();
  }
  int Now() const { return CurConfig->now_psi; }

  std::vector<TListen> listens;
};

}  // namespace

TEST_F(Playback, ClickingAnEntryPlaysItMarksItAndShowsItsTexts) {
  TunitMain& w = OpenWith({Song("一", "long180.mp3"), Song("二", "tone.mp3")});
  EXPECT_TRUE(GlyphIs(w.btnPlay, 7));
  ClickEntry(1);
  ASSERT_TRUE(PlayingFile("tone.mp3"));
  EXPECT_EQ(Now(), 1);
  EXPECT_TRUE(Reported("click", "musicListBox"));
  EXPECT_EQ(listens, (std::vector<TListen>{{"二", "歌手二", "1"}}));
  EXPECT_EQ(w.vxtxtSongName->Text(), "二");
  EXPECT_EQ(w.vxtxtSinger->Text(), "歌手二");
  EXPECT_EQ(Back(1), 0xFF808080u);
  EXPECT_EQ(Back(0), 0u);
  EXPECT_TRUE(GlyphIs(w.btnPlay, 8));
  EXPECT_EQ(w.PSTATUS, 2);
  EXPECT_TRUE(w.FloatAnimation2->Running());
  // The progress ticks fill the bar, the times and the entry's spectrum picture.
  ASSERT_TRUE(PumpUntil([&] { return w.musicProgress->Value() > 100; }));
  EXPECT_NEAR(w.musicProgress->Max(), 2000, 60);
  EXPECT_EQ(w.vxtxtTotalTime->Text(), "00:02");
  EXPECT_EQ(State(1)->Bitmap().Image().size(), QSize(25, 35));

  // The entry that plays, chosen again while under way, goes on: no restart, no report.
  BackToList();
  ClickEntry(1);
  EXPECT_EQ(State(1)->Tag, 1);
  EXPECT_EQ(listens.size(), 1u);
  EXPECT_EQ(Engine().EngineState(), psPlaying);

  // Pause and resume; the disc stops where it is and turns again.
  w.btnPlayClick(nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Engine().EngineState() == psPaused; }));
  EXPECT_TRUE(GlyphIs(w.btnPlay, 7));
  EXPECT_FALSE(w.FloatAnimation2->Running());
  w.btnPlayClick(nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Engine().EngineState() == psPlaying; }));
  EXPECT_TRUE(w.FloatAnimation2->Running());

  // Another entry: the previous one is reported as left on the next tick.
  BackToList();
  ClickEntry(0);
  ASSERT_TRUE(PlayingFile("long180.mp3"));
  ASSERT_TRUE(PumpUntil([&] { return listens.size() >= 3; }));
  // (The view's fade lets a tick in before the new entry starts, so either may come first.)
  auto has = [this](const TListen& l) {
    return std::find(listens.begin() + 1, listens.end(), l) != listens.end();
  };
  EXPECT_TRUE(has({"一", "歌手一", "1"}));
  EXPECT_TRUE(has({"二", "歌手二", "2"}));
  EXPECT_EQ(Back(1), 0u);
  EXPECT_EQ(State(1)->Tag, 0);
}

TEST_F(Playback, NextFollowsThePlayModeAtTheListEnds) {
  TunitMain& w =
      OpenWith({Song("a", "long180.mp3"), Song("b", "tone.mp3"), Song("c", "tone.wav")}, 1001, 2);
  w.btnNextClick(nullptr);  // list order from the last entry: the first
  ASSERT_TRUE(PlayingFile("long180.mp3"));
  EXPECT_EQ(Now(), 0);
  EXPECT_EQ(Back(0), 0xFF808080u);
  EXPECT_EQ(Back(2), 0u);
  EXPECT_EQ(listens.back(), (TListen{"a", "歌手a", "1"}));

  w.btnRandomClick(nullptr);
  EXPECT_EQ(CurConfig->circle, 1002);
  EXPECT_EQ(w.btnCircle->Hint, "随机播放");
  EXPECT_TRUE(GlyphIs(w.btnCircle, 6));
  std::deque<int> draws{0, 0, 2};  // the current entry is drawn again, then 2
  TunitMain::SetRandomForTesting([&draws](int) {
    if (draws.empty()) return 1;
    const int v = draws.front();
    draws.pop_front();
    return v;
  });
  w.btnNextClick(nullptr);
  ASSERT_TRUE(PlayingFile("tone.wav"));
  EXPECT_EQ(Now(), 2);
  EXPECT_TRUE(draws.empty());

  w.btnSingleClick(nullptr);  // single repeat: Next still moves on, wrapping
  EXPECT_EQ(w.btnCircle->Hint, "单曲循环");
  // (A short song may have ended meanwhile and moved on: Next goes on from wherever it is.)
  const int from = Now();
  const char* files[] = {"long180.mp3", "tone.mp3", "tone.wav"};
  w.btnNextClick(nullptr);
  EXPECT_EQ(Now(), (from + 1) % 3);
  EXPECT_EQ(Back((from + 1) % 3), 0xFF808080u);
  ASSERT_TRUE(PlayingFile(files[(from + 1) % 3]));
  EXPECT_EQ(Back(from), 0u);
  EXPECT_FALSE(w.RectangleCircle->Visible());
}

TEST_F(Playback, OneEntryReplaysInEveryModeAndAnEmptyListDoesNothing) {
  {
    TunitMain& w = Open();
    w.btnPlayClick(nullptr);
    w.btnNextClick(nullptr);
    Pump(100);
    EXPECT_EQ(Engine().EngineState(), psStopped);
    EXPECT_TRUE(listens.empty());
    window.reset();
  }
  TunitMain& w = OpenWith({Song("solo", "tone.mp3")}, 1002);
  TunitMain::SetRandomForTesting([](int n) { return n - 1; });
  for (auto mode :
       {&TunitMain::btnRandomClick, &TunitMain::btnOrderClick, &TunitMain::btnSingleClick}) {
    (w.*mode)(nullptr);
    const std::size_t before = listens.size();
    w.btnNextClick(nullptr);
    ASSERT_TRUE(PlayingFile("tone.mp3"));
    EXPECT_EQ(Now(), 0);
    EXPECT_EQ(listens.size(), before + 1);
    EXPECT_EQ(Back(0), 0xFF808080u);
  }
}

TEST_F(Playback, TheEndOfASongRepeatsInSingleModeAndMovesOnOtherwise) {
  TunitMain& w = OpenWith({Song("short", "sine1k.wav"), Song("next", "tone.wav")}, 1003);
  ClickEntry(0);
  ASSERT_TRUE(PlayingFile("sine1k.wav"));
  const std::size_t listenedBefore = listens.size();
  // The same entry starts again: its position goes back to the start, nothing else changes.
  // (Seen as the position going back, however late the loop gets to look.)
  float last = 0;
  ASSERT_TRUE(PumpUntil([&] {
    const float pos = Engine().GetSongPos();
    const bool back = last > 500 && pos < last - 300;
    last = std::max(last, pos);
    return back;
  }));
  EXPECT_EQ(Now(), 0);
  EXPECT_EQ(Engine().CurSong(), Fixture("sine1k.wav"));
  EXPECT_EQ(listens.size(), listenedBefore);
  EXPECT_EQ(w.vxtxtSongName->Text(), "short");

  w.btnOrderClick(nullptr);
  ASSERT_TRUE(PlayingFile("tone.wav"));
  EXPECT_EQ(Now(), 1);
  // (A tick may already have reported the entry left.)
  EXPECT_NE(std::find(listens.begin() + long(listenedBefore), listens.end(),
                      TListen{"next", "歌手next", "1"}),
            listens.end());
}

TEST_F(Playback, AFailingEntryStopsMarksTheNextAndRetriesTwoSecondsLater) {
  TunitMain& w =
      OpenWith({Song("bad", "text.mp3"), Song("refused", "tone.mp3"), Song("after", "tone.wav")});
  QElapsedTimer clock;
  clock.start();
  ClickEntry(0);
  // The failed opening moves to the next entry, whose play is refused: stopped, play glyph.
  ASSERT_TRUE(PumpUntil([&] { return PlayAgainPending.load(); }));
  ASSERT_TRUE(PumpUntil([&] { return Now() == 1 && Engine().EngineState() == psStopped; }));
  EXPECT_EQ(Back(1), 0xFF808080u);
  EXPECT_EQ(w.vxtxtSongName->Text(), "refused");
  EXPECT_TRUE(GlyphIs(w.btnPlay, 7));
  EXPECT_EQ(listens.back(), (TListen{"refused", "歌手refused", "1"}));
  // Failures while the retry waits change nothing.
  w.AudioFailed(psOpenFailed, -3);
  // Two seconds later Next plays the entry after the one marked.
  ASSERT_TRUE(PumpUntil([&] { return Engine().EngineState() == psPlaying; }));
  EXPECT_GE(clock.elapsed(), 1900);
  EXPECT_EQ(Now(), 2);
  EXPECT_EQ(Engine().CurSong(), Fixture("tone.wav"));
  EXPECT_FALSE(PlayAgainPending.load());
}

TEST_F(Playback, VolumeSliderAndMute) {
  TunitMain& w = OpenWith({Song("v", "long180.mp3")});
  EXPECT_FALSE(w.soundTrackBar->Visible());
  w.soundTrackBar->SetValue(30);
  EXPECT_EQ(CurConfig->con_volv, 70);
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.7f);
  w.btnSoundClick(nullptr);  // mute: the percent stays
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.0f);
  EXPECT_EQ(CurConfig->con_volv, 70);
  EXPECT_TRUE(GlyphIs(w.btnSound, 15));
  w.btnSoundClick(nullptr);
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.7f);
  EXPECT_FALSE(GlyphIs(w.btnSound, 15));
  // The slider moved while muted sets the volume at once; unmuting restores that percent.
  w.btnSoundClick(nullptr);
  w.soundTrackBar->SetValue(55);
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.45f);
  EXPECT_TRUE(GlyphIs(w.btnSound, 15));
  // The sound is on again, so the button mutes, and the next click restores the new percent.
  w.btnSoundClick(nullptr);
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.0f);
  w.btnSoundClick(nullptr);
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.45f);
  EXPECT_EQ(CurConfig->con_volv, 45);
}

TEST_F(Playback, AReleaseOnTheProgressBarSeeks) {
  TunitMain& w = OpenWith({Song("long", "long180.mp3")});
  ClickEntry(0);
  ASSERT_TRUE(PlayingFile("long180.mp3"));
  ASSERT_TRUE(PumpUntil([&] { return w.musicProgress->Max() > 170000; }));
  const QPointF p = ScenePoint(w.musicProgress, QPointF(89, 7));
  w.mainBs->MouseMove(p, 0);
  w.mainBs->MouseDown(p, mbLeft, ssLeft);
  w.mainBs->MouseUp(p, mbLeft, 0);
  EXPECT_TRUE(Reported("click", "musicProgress"));
  EXPECT_NEAR(Engine().GetSongPos(), w.musicProgress->Max() / 2, 500);
  ASSERT_TRUE(PumpUntil([&] { return w.vxtxtCurTime->Text() == "01:30"; }));
}

TEST_F(Playback, TheSpectrumFallsWhilePausedAndStaysAfterStop) {
  TunitMain& w = OpenWith({Song("s", "long180.mp3")});
  ClickEntry(0);
  ASSERT_TRUE(PlayingFile("long180.mp3"));
  TFFTData loud{};
  for (int i = 15; i <= 20; ++i) loud[i] = 1.0f;
  w.DrawSpectrum(loud);
  EXPECT_EQ(TunitMain::SpectrumPeaks()[0], 35);
  const QImage full = State(0)->Bitmap().Image();
  EXPECT_EQ(full.pixel(0, 0), qRgb(255, 255, 255));
  w.btnPlayClick(nullptr);  // paused: the ticks bring silence, 1 pixel per tick for peaks
  ASSERT_TRUE(PumpUntil([&] { return TunitMain::SpectrumPeaks()[0] == 0; }));
  EXPECT_EQ(TunitMain::SpectrumBars(), (std::array<int32_t, 6>{}));
  EXPECT_EQ(State(0)->Bitmap().Image().pixel(0, 34), qRgb(128, 128, 128));
  w.DrawSpectrum(loud);
  Engine().Stop();  // no ticks after a stop: the picture stays
  Pump(200);
  EXPECT_EQ(TunitMain::SpectrumPeaks()[0], 35);
  EXPECT_EQ(State(0)->Bitmap().Image().pixel(0, 0), qRgb(255, 255, 255));
}

TEST_F(Playback, ModeVolumeAndCurrentEntryAreKeptAcrossARestart) {
  AddSongs({Song("a", "tone.mp3"), Song("b", "tone.wav"), Song("c", "long180.mp3")});
  TTSC config;
  config.circle = 1002;
  config.con_volv = 40;
  config.now_psi = 2;
  config.skin_name = "x";
  StoreConfig(config);
  TunitMain& w = Open();
  EXPECT_EQ(w.btnCircle->Hint, "随机播放");
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.4f);
  EXPECT_NEAR(w.soundTrackBar->Value(), 60, 0.01);
  EXPECT_EQ(Now(), 2);
  w.btnSingleClick(nullptr);
  w.soundTrackBar->SetValue(10);
  ClickEntry(1);
  ASSERT_TRUE(PlayingFile("tone.wav"));
  w.close();
  window.reset();
  CurConfig.reset();

  TunitMain& again = Open();
  EXPECT_EQ(CurConfig->circle, 1003);
  EXPECT_EQ(again.btnCircle->Hint, "单曲循环");
  EXPECT_EQ(CurConfig->con_volv, 90);
  EXPECT_FLOAT_EQ(Engine().Volume(), 0.9f);
  EXPECT_EQ(Now(), 1);
  window.reset();

  // A stored entry beyond the list starts at the first one.
  config.now_psi = 7;
  StoreConfig(config);
  Open();
  EXPECT_EQ(Now(), 0);
}
