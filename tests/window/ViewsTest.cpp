// The views and the transitions between them, driven through the real window.
#include <QTimer>
#include <functional>

#include "WindowTestSupport.h"
#include "window/Pictures.h"

namespace {

class Views : public WindowTest {
 protected:
  // The list view as the window opens it.
  void ExpectListView() {
    TunitMain& w = *window;
    EXPECT_TRUE(w.RectangleList->Visible());
    EXPECT_FALSE(w.RectanglePlay->Visible());
    EXPECT_FALSE(w.RectangleOL->Visible());
    EXPECT_TRUE(w.LayoutTopcenterList->Visible());
    EXPECT_FALSE(w.LayoutTopcenterSearch->Visible());
    EXPECT_FALSE(w.btnReturn->Visible());
    EXPECT_TRUE(w.RectangleRoot->Visible());
    EXPECT_FALSE(w.RectangleSet->Visible());
  }
  void ToPlayView() {
    window->ShowPlayView(fvList);
    window->ShowDisc();
  }
};

TEST_F(Views, StartsWithTheListViewOnTheMainFace) {
  Open();
  ExpectListView();
}

TEST_F(Views, ShowPlayViewFromTheListFadesOverAndShowsReturn) {
  TunitMain& w = Open();
  w.ShowPlayView(fvList);
  EXPECT_FALSE(w.LayoutTopcenterList->Visible());
  EXPECT_FALSE(w.RectangleList->Visible());
  EXPECT_FLOAT_EQ(w.RectangleList->Opacity(), 0);
  EXPECT_TRUE(w.RectanglePlay->Visible());
  EXPECT_TRUE(w.RectanglePlay->Enabled());
  EXPECT_FLOAT_EQ(w.RectanglePlay->Opacity(), 1);
  EXPECT_FLOAT_EQ(w.RectanglePlay->Position().X(), 0);
  EXPECT_TRUE(w.btnReturn->Visible());
  PumpAnimation(0.3);
  EXPECT_FLOAT_EQ(w.btnReturn->Opacity(), 1);
}

TEST_F(Views, ShowPlayViewFromTheOnlineViewKeepsTheReturnButtonAsItIs) {
  TunitMain& w = Open();
  w.btnSearchClick(nullptr);
  PumpAnimation(0.3);
  w.ShowPlayView(fvOnline);
  EXPECT_FALSE(w.LayoutTopcenterSearch->Visible());
  EXPECT_FALSE(w.RectangleOL->Visible());
  EXPECT_TRUE(w.RectanglePlay->Visible());
  EXPECT_TRUE(w.btnReturn->Visible());
}

TEST_F(Views, ShowDiscSlidesTheDiscOutBesideTheArtistAndHideDiscPutsItBack) {
  TunitMain& w = Open();
  w.ShowPlayView(fvList);
  const double took = AnimationSeconds([&] { w.ShowDisc(); });
  EXPECT_GE(took, 0.7 - 0.01);
  EXPECT_FLOAT_EQ(w.imageArtist->Position().X(), 35);
  EXPECT_TRUE(w.imageDisc->Visible());
  EXPECT_FLOAT_EQ(w.imageDisc->Position().X(), 80);
  // Nothing plays: the disc does not turn.
  EXPECT_FALSE(w.FloatAnimation2->Running());
  w.HideDisc();
  EXPECT_FALSE(w.imageDisc->Visible());
  EXPECT_FLOAT_EQ(w.imageDisc->Position().X(), 42);
  EXPECT_FLOAT_EQ(w.imageArtist->Position().X(), 65);
}

TEST_F(Views, ReturnFromThePlayViewWaitsForTheDiscThenSlidesTheListIn) {
  // A list with a song: an empty one shows the invitation from the start.
  TTSL song;
  song.s_title = "song";
  AddSongs({song});
  TunitMain& w = Open();
  ToPlayView();
  reports.clear();
  // When the list comes back it first waits beside the view, 520 to the right.
  bool listWaitedOffRight = false, seen = false;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (seen || !w.RectangleList->Visible()) return;
    seen = true;
    listWaitedOffRight = w.RectangleList->Position().X() == 520;
  });
  probe.start(1);
  const double took = AnimationSeconds([&] { w.btnReturnClick(nullptr); });
  EXPECT_GE(took, 0.7 + 0.2 - 0.01);  // HideDisc, then the fade of the return button
  EXPECT_TRUE(listWaitedOffRight);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.front(), std::make_pair(std::string("click"), std::string("btnReturn")));
  EXPECT_FALSE(w.RectanglePlay->Visible());
  EXPECT_FALSE(w.RectanglePlay->Enabled());
  EXPECT_FALSE(w.btnReturn->Visible());
  EXPECT_FALSE(w.imgTip->Visible());  // only the way back from the online view shows it
  PumpAnimation(0.65);
  EXPECT_FLOAT_EQ(w.RectangleList->Position().X(), 0);
  EXPECT_FLOAT_EQ(w.RectangleList->Opacity(), 1);
  ExpectListView();
}

TEST_F(Views, ReturnSpendsTheDiscTimeEvenWhenTheDiscIsHidden) {
  TunitMain& w = Open();
  w.btnSearchClick(nullptr);
  PumpAnimation(0.3);
  double hideDisc = 0;
  // The return button's fade starts once HideDisc is over: measure up to there.
  const double start = TvxAniThread::Now();
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (hideDisc == 0 && w.RectangleList->Visible()) hideDisc = TvxAniThread::Now() - start;
  });
  probe.start(1);
  w.btnReturnClick(nullptr);
  EXPECT_GE(hideDisc, 0.7 - 0.01);
  EXPECT_FALSE(w.imageDisc->Visible());
  EXPECT_FLOAT_EQ(w.imageDisc->Position().X(), 42);
}

TEST_F(Views, ReturnFromTheOnlineViewWithAnEmptyListShowsTheInvitation) {
  TunitMain& w = Open();
  w.btnSearchClick(nullptr);
  PumpAnimation(0.3);
  w.btnReturnClick(nullptr);
  EXPECT_TRUE(w.imgTip->Visible());
  EXPECT_FALSE(w.RectangleOL->Visible());
  EXPECT_FALSE(w.RectangleOL->Enabled());
  EXPECT_FALSE(w.LayoutTopcenterSearch->Visible());
  PumpAnimation(0.65);
  ExpectListView();
}

TEST_F(Views, SearchButtonOpensTheOnlineView) {
  TunitMain& w = Open();
  w.imgTip->SetVisible(true);
  Click(w.btnSearch);
  EXPECT_EQ(reports.back(), std::make_pair(std::string("click"), std::string("btnSearch")));
  EXPECT_FALSE(w.imgTip->Visible());
  EXPECT_FALSE(w.RectangleList->Visible());
  EXPECT_TRUE(w.RectangleOL->Visible());
  EXPECT_TRUE(w.RectangleOL->Enabled());
  EXPECT_FLOAT_EQ(w.RectangleOL->Opacity(), 1);
  EXPECT_FLOAT_EQ(w.RectangleOL->Position().X(), 0);
  EXPECT_TRUE(w.btnReturn->Visible());
  EXPECT_FALSE(w.LayoutTopcenterList->Visible());
  EXPECT_TRUE(w.LayoutTopcenterSearch->Visible());
}

TEST_F(Views, ClicksDuringATransitionAreHandledInsideIt) {
  TunitMain& w = Open();
  QTimer::singleShot(int(0.1 / kSpeed * 1000), [&] { Click(w.btnLocalSearch); });
  w.btnSearchClick(nullptr);
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports[reports.size() - 2].second, "btnSearch");
  EXPECT_EQ(reports.back().second, "btnLocalSearch");
}

TEST_F(Views, FlipTurnsToTheSettingsFaceAndBackEndingAtFullTurn) {
  TunitMain& w = Open();
  bool disabledMeanwhile = false;
  QTimer::singleShot(int(0.1 / kSpeed * 1000), [&] { disabledMeanwhile = !w.btnSet->Enabled(); });
  Click(w.btnSet);
  EXPECT_TRUE(disabledMeanwhile);
  EXPECT_TRUE(w.btnSet->Enabled());
  EXPECT_TRUE(Reported("click", "btnSet"));
  EXPECT_TRUE(w.RectangleSet->Visible());
  EXPECT_FALSE(w.RectangleRoot->Visible());
  PumpAnimation(0.45);
  EXPECT_FLOAT_EQ(w.GuiMain->RotateAngle().Y(), 360);
  EXPECT_FLOAT_EQ(w.GuiMain->Position().Z(), 0);

  reports.clear();
  Click(w.btnOK);
  EXPECT_TRUE(reports.empty());  // the way back sends nothing
  EXPECT_FALSE(w.RectangleSet->Visible());
  EXPECT_TRUE(w.RectangleRoot->Visible());
  EXPECT_TRUE(w.btnOK->Enabled());
  PumpAnimation(0.45);
  EXPECT_FLOAT_EQ(w.GuiMain->RotateAngle().Y(), 360);
  // The main face kept its view.
  ExpectListView();
}

TEST_F(Views, BackgroundPictureSetsTheSkinFillsBothFacesAndFlipsBack) {
  CurConfig = std::make_unique<TTSC>();
  TunitMain& w = Open();
  Click(w.btnSet);
  PumpAnimation(0.45);
  reports.clear();
  Click(w.DBImage6);
  EXPECT_EQ(reports.front(), std::make_pair(std::string("click"), std::string("backImage")));
  EXPECT_EQ(CurConfig->skin_name, "6");
  // Both faces get the full picture, not the settings face's thumbnail.
  const QImage six = Pictures::Picture(TPicture::Background6, QSize(), w.devicePixelRatioF());
  EXPECT_EQ(six.size(), (QSize(520, 315) * w.devicePixelRatioF()));
  EXPECT_EQ(w.RectangleRoot->Fill().Kind(), vgBrushBitmap);
  EXPECT_EQ(w.RectangleRoot->Fill().Bitmap().Image(), six);
  EXPECT_EQ(w.RectangleRoot->Fill().WrapMode(), vgWrapStretch);
  EXPECT_EQ(w.RectangleSet->Fill().Bitmap().Image(), six);
  EXPECT_EQ(w.RectangleSet->Fill().WrapMode(), vgWrapTile);
  EXPECT_TRUE(w.RectangleRoot->Visible());
  EXPECT_FALSE(w.RectangleSet->Visible());
  PumpAnimation(0.45);
  EXPECT_FLOAT_EQ(w.GuiMain->RotateAngle().Y(), 360);
}

TEST_F(Views, EveryBackgroundPictureNamesItsOwnNumber) {
  CurConfig = std::make_unique<TTSC>();
  TunitMain& w = Open();
  // Lambdas rather than an array of member pointers: GCC's bounds check misreads indexing such an
  // array and reports an index far out of range.
  const std::function<void()> clicks[] = {
      [&] { w.DBImage1Click(nullptr); }, [&] { w.DBImage2Click(nullptr); },
      [&] { w.DBImage3Click(nullptr); }, [&] { w.DBImage4Click(nullptr); },
      [&] { w.DBImage5Click(nullptr); }, [&] { w.DBImage6Click(nullptr); },
      [&] { w.DBImage7Click(nullptr); }, [&] { w.DBImage8Click(nullptr); }};
  for (int n = 1; n <= 8; ++n) {
    clicks[n - 1]();
    EXPECT_EQ(CurConfig->skin_name, std::to_string(n));
    EXPECT_EQ(w.RectangleRoot->Fill().Bitmap().Image(),
              Pictures::Picture(Pictures::Background(n), QSize(), w.devicePixelRatioF()))
        << n;
    // The thumbnails are made at the size they are shown.
    EXPECT_EQ(w.DBImage(n)->Bitmap().Image(),
              Pictures::Picture(Pictures::Background(n), QSize(40, 40), w.devicePixelRatioF()))
        << n;
  }
}

TEST_F(Views, BackgroundClickWithoutConfigurationStillFlipsBack) {
  TunitMain& w = Open();
  CurConfig.reset();
  w.btnSetClick(nullptr);
  w.DBImage2Click(nullptr);
  EXPECT_TRUE(w.RectangleRoot->Visible());
  EXPECT_FALSE(w.RectangleSet->Visible());
}

TEST_F(Views, LocalSearchBoxSlidesInFromRestAndOutFromAnywhereElse) {
  TunitMain& w = Open();
  // The slide does not wait: ticks by hand on a clock of our own.
  static double now;
  now = TvxAniThread::Now();
  TvxAniThread::SetClock([] { return now; });
  auto run = [&](double seconds) {
    for (double t = 0; t < seconds; t += 0.033) {
      now += 0.033;
      TvxAniThread::Instance().Tick();
    }
  };
  auto x = [&] { return w.hudtextSearch->Position().X(); };
  w.btnLocalSearchClick(nullptr);
  EXPECT_TRUE(Reported("click", "btnLocalSearch"));
  run(0.25);
  EXPECT_GT(x(), 0);
  EXPECT_LT(x(), 107);
  // Half-way in, the next click sends it back out.
  w.btnLocalSearchClick(nullptr);
  run(0.6);
  EXPECT_FLOAT_EQ(x(), 107);
  w.btnLocalSearchClick(nullptr);
  run(0.6);
  EXPECT_FLOAT_EQ(x(), 0);
  w.btnLocalSearchClick(nullptr);
  run(0.6);
  EXPECT_FLOAT_EQ(x(), 107);
}

TEST_F(Views, ArtistPictureOpensTheProductSiteInTheBrowser) {
  qputenv("MELVO_WEB_HOST", "www.example.test:8080");
  qunsetenv("MELVO_SITE_URL");
  QStringList opened;
  TunitMain::SetUrlOpener([&](const QString& url) {
    opened << url;
    return true;
  });
  TunitMain& w = Open();
  w.ShowPlayView(fvList);
  Click(w.imageArtist);
  qunsetenv("MELVO_WEB_HOST");
  EXPECT_TRUE(Reported("click", "imageArtist"));
  EXPECT_EQ(opened, QStringList{"http://www.example.test:8080/"});
}

TEST_F(Views, HoverOpensTheVolumeBarAndTheModeChooserAndTheBackgroundClosesThem) {
  TunitMain& w = Open();
  w.ShowPlayView(fvList);
  ASSERT_FALSE(w.soundTrackBar->Visible() && w.RectangleCircle->Visible());
  w.soundTrackBar->SetVisible(false);

  auto fill = [](TvxVisualObject* v) { return v->Fill().ColorText(); };
  Hover(w.btnSound);
  EXPECT_TRUE(PumpUntil([&] { return w.soundTrackBar->Visible(); }));
  EXPECT_TRUE(PumpUntil([&] { return fill(w.bRectangleSound) == "#64000000"; }));

  Hover(w.btnCircle);
  EXPECT_TRUE(PumpUntil([&] { return w.RectangleCircle->Visible(); }));
  EXPECT_TRUE(PumpUntil([&] { return fill(w.RectangleCircle) == "#64000000"; }));

  // Back onto the view's own ground.
  w.mainBs->MouseMove(ScenePoint(w.RectanglePlay, QPointF(20, 20)), 0);
  EXPECT_TRUE(PumpUntil([&] { return !w.soundTrackBar->Visible(); }));
  EXPECT_FALSE(w.RectangleCircle->Visible());
  EXPECT_TRUE(PumpUntil([&] { return fill(w.bRectangleSound) == "#00000000"; }));
}

// With nothing playing and no animation running, the window costs nothing: no tick, no repaint,
// also after a visit to the now-playing view (its disc and progress band stop once hidden).
TEST_F(Views, AnIdleWindowNeitherTicksNorRepaints) {
  TunitMain& w = Open();
  auto settle = [&] {
    PumpAnimation(1.0);
    Pump(100);
    const int paints = w.PaintEvents();
    Pump(300);
    EXPECT_FALSE(TvxAniThread::Instance().TimerActive());
    EXPECT_EQ(w.PaintEvents(), paints);
  };
  settle();
  w.ShowPlayView(fvList);
  w.ShowDisc();
  PumpAnimation(0.3);
  EXPECT_TRUE(TvxAniThread::Instance().TimerActive());  // the band moves while the view shows
  w.btnReturnClick(nullptr);
  ExpectListView();
  settle();
}

}  // namespace
