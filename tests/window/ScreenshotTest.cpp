// Pictures of the four views and of the flip half-way, rendered offscreen and saved beside the
// build (window-shots/) for a look; a few pixels are checked here.
#include <QDir>
#include "BuildPaths.h"

#include "WindowTestSupport.h"

namespace {

class Screenshots : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    QDir().mkpath(QString::fromStdString(melvo::build::ShotsDir()));
  }
  QImage Shot(const char* name, qreal dpr = 1.0) {
    QImage image = window->mainBs->RenderToImage(dpr);
    EXPECT_TRUE(image.save(QString::fromStdString(melvo::build::ShotsDir() + "/%1.png").arg(name)));
    return image;
  }
  static int Alpha(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)); }
};

TEST_F(Screenshots, ListView) {
  TunitMain& w = Open();
  w.imgTip->SetVisible(true);
  const QImage image = Shot("list");
  ASSERT_EQ(image.size(), QSize(550, 330));
  // The layer leaves a see-through margin around the face; the face itself is opaque.
  EXPECT_EQ(Alpha(image, 2, 165), 0);
  EXPECT_EQ(Alpha(image, 275, 2), 0);
  EXPECT_EQ(Alpha(image, 30, 300), 255);
  EXPECT_EQ(Alpha(image, 520, 160), 255);
  // The add button's small glyph is drawn crisp (a resampled larger one fades to grey).
  const QPointF add = ScenePoint(w.btnAdd, QPointF(0, 0));
  int white = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const QColor c = QColor::fromRgb(image.pixel(int(add.x()) + x, int(add.y()) + y));
      white += c.red() > 235 && c.green() > 235 && c.blue() > 235 ? 1 : 0;
    }
  EXPECT_GE(white, 9);
  Shot("list@2x", 2.0);
}

TEST_F(Screenshots, NowPlayingView) {
  TunitMain& w = Open();
  w.vxtxtSinger->SetText(QStringLiteral("林间小路乐队"));
  w.vxtxtSongName->SetText(QStringLiteral("清晨的第一缕光"));
  w.ShowPlayView(fvList);
  w.ShowDisc();
  w.musicProgress->SetMax(215000);
  w.musicProgress->SetValue(86000);
  w.vxtxtTotalTime->SetText("03:35");
  w.vxtxtCurTime->SetText("01:26");
  PumpAnimation(0.3);
  const QImage image = Shot("playing");
  // The disc peeks out right of the artist picture: at the layer's (181, 164) it is drawn.
  const QPointF disc = ScenePoint(w.imageDisc, QPointF(w.imageDisc->Width() - 8, 53));
  EXPECT_EQ(Alpha(image, int(disc.x()), int(disc.y())), 255);
  // The progress indicator shows its accent at the start of the bar.
  const QPointF bar = ScenePoint(w.musicProgress, QPointF(10, 7));
  const QColor accent = QColor::fromRgb(image.pixel(int(bar.x()), int(bar.y())));
  EXPECT_GT(accent.red(), 180);
  EXPECT_GT(accent.green(), 140);
  EXPECT_LT(accent.blue(), accent.green());
  Shot("playing@2x", 2.0);
}

TEST_F(Screenshots, OnlineView) {
  TunitMain& w = Open();
  w.btnSearchClick(nullptr);
  PumpAnimation(0.3);
  Shot("online");
}

TEST_F(Screenshots, SettingsFaceAndTheFlipHalfWay) {
  TunitMain& w = Open();
  // Half-way out: the layer far back and turned, narrower than the window.
  w.GuiMain->Position().SetZ(200);
  w.GuiMain->RotateAngle().SetY(60);
  QImage half = Shot("flip-half");
  EXPECT_EQ(Alpha(half, 60, 165), 0);
  EXPECT_EQ(Alpha(half, 275, 165), 255);
  w.GuiMain->Position().SetZ(0);
  w.GuiMain->RotateAngle().SetY(0);

  w.btnSetClick(nullptr);
  PumpAnimation(0.45);
  const QImage set = Shot("settings");
  // The settings face is smaller than the main one: its surroundings are see-through.
  EXPECT_EQ(Alpha(set, 40, 165), 0);
  EXPECT_EQ(Alpha(set, 275, 165), 255);
  Shot("settings@2x", 2.0);
}

}  // namespace
