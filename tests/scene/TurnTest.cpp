// A turning round picture: drawn from frames made once per step, repainting only its box, and
// looking the same as a picture turned directly.
#include <QPainter>
#include <cmath>

#include "SceneTestSupport.h"
#include "scene/TurnFrames.h"

namespace {

// A record: dark disc, a light label with a notch so that the turn shows; clear corners.
QImage Record(int size, bool clearCorners = true) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(clearCorners ? Qt::transparent : Qt::darkGreen);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 30, 30));
  p.drawEllipse(QRectF(0, 0, size, size));
  p.setBrush(QColor(245, 205, 118));
  p.drawEllipse(QRectF(size * 0.3, size * 0.3, size * 0.4, size * 0.4));
  p.setBrush(QColor(230, 60, 40));
  p.drawRect(QRectF(size * 0.5, size * 0.45, size * 0.45, size * 0.1));
  return img;
}

int MaxChannelDifference(const QImage& a, const QImage& b, const QRect& area) {
  int worst = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                        std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
    }
  return worst;
}

}  // namespace

TEST(TurnFrames, RoundPicturesAreClearOutsideTheirEllipse) {
  EXPECT_TRUE(vgIsRoundPicture(Record(106)));
  EXPECT_FALSE(vgIsRoundPicture(Record(106, false)));
  QImage speck = Record(106);
  speck.setPixel(2, 2, qRgba(255, 255, 255, 255));
  EXPECT_FALSE(vgIsRoundPicture(speck)) << "one pixel in a corner";
  EXPECT_FALSE(vgIsRoundPicture(Record(106).convertToFormat(QImage::Format_RGB32)));
  EXPECT_FALSE(vgIsRoundPicture(QImage()));
  EXPECT_GE(TvxTurnFrames::Steps(106), 60);
  EXPECT_EQ(TvxTurnFrames::Steps(4000), 0) << "too large to keep: turned directly";
}

class Turning : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    TvxTurnFrames::Clear();
    view = AddBox(root, 0, 44.5f, 520, 273);
    view->Fill().SetColorText("#FF2B3A55");
    disc = new TvxImage();
    disc->SetBounds(80, 67, 106, 106);
    disc->Bitmap().Assign(Record(106));
    disc->SetParent(view);
  }
  TvxVisualObject* view = nullptr;
  TvxImage* disc = nullptr;
};

TEST_F(Turning, ATurnRepaintsOnlyTheBoxOfARoundPicture) {
  PartialCanvas canvas(scene);
  disc->SetRotateAngle(30);
  ASSERT_FALSE(canvas.Pending().empty());
  for (const QRect& r : canvas.Pending()) {
    EXPECT_LE(r.width(), 106 + 6);
    EXPECT_LE(r.height(), 106 + 6);
  }
  canvas.Flush();
  // A square picture turned by 45 degrees reaches well beyond its box.
  disc->Bitmap().Assign(Record(106, false));
  canvas.Flush();
  disc->SetRotateAngle(45);
  int widest = 0;
  for (const QRect& r : canvas.Pending()) widest = std::max(widest, r.width());
  EXPECT_GT(widest, 145);
  canvas.Flush();
  EXPECT_EQ(DifferentPixels(canvas.Image(), scene->RenderToImage()), 0);

  disc->Bitmap().Assign(Record(106));  // round again while turned: the corners must go
  canvas.Flush();
  EXPECT_EQ(DifferentPixels(canvas.Image(), scene->RenderToImage()), 0);
}

TEST_F(Turning, TickByTickTheWindowsPictureEqualsAFullRepaint) {
  auto* spin = new TvxFloatAnimation();
  spin->SetParent(disc);
  spin->SetPropertyName("RotateAngle");
  spin->SetStopValue(360);
  spin->SetDuration(2);
  spin->SetLoop(true);
  PartialCanvas canvas(scene);
  spin->Start();
  for (int i = 0; i < 40; ++i) {
    Tick();
    canvas.Flush();
  }
  EXPECT_EQ(DifferentPixels(canvas.Image(), scene->RenderToImage()), 0);
}

TEST_F(Turning, FramesLookLikeTheTurnedPictureAndAreMadeOncePerStep) {
  const double step = 360.0 / TvxTurnFrames::Steps(106);
  disc->SetRotateAngle(float(7 * step));
  const QImage fromFrames = scene->RenderToImage();
  const qint64 held = TvxTurnFrames::CachedBytes();
  EXPECT_GT(held, 0);
  scene->RenderToImage();
  EXPECT_EQ(TvxTurnFrames::CachedBytes(), held) << "the same step is not made again";

  // The same picture turned directly: a child makes the image leave the frame path.
  auto* child = new TvxVisualObject();
  child->SetBounds(0, 0, 1, 1);
  child->SetOpacity(0);
  child->SetParent(disc);
  const QImage direct = scene->RenderToImage();
  EXPECT_EQ(TvxTurnFrames::CachedBytes(), held);
  const QRect box(15 + 80, int(7.5 + 44.5 + 67), 106, 106);
  EXPECT_LE(MaxChannelDifference(fromFrames, direct, box), 40) << "resampling only";
  EXPECT_LE(DifferentPixels(fromFrames.copy(box), direct.copy(box)), 106 * 106 / 3);

  // Half a step off: the nearest frame, still close.
  delete child;
  disc->SetRotateAngle(float(7.4 * step));
  const QImage near = scene->RenderToImage();
  EXPECT_EQ(DifferentPixels(near, fromFrames), 0) << "rounded to the same step";

  // At twice the pixel ratio the frames are made at 212 px.
  const QImage sharp = scene->RenderToImage(2.0);
  EXPECT_GT(TvxTurnFrames::CachedBytes(), held + 4 * 106 * 106 * 4);
  EXPECT_EQ(qAlpha(sharp.pixel(2 * (15 + 80 + 53), 2 * (7 + 44 + 67 + 53))), 255);
}

TEST_F(Turning, ThroughAFlipThePictureIsTurnedDirectly) {
  disc->SetRotateAngle(20);
  layer->Position().SetZ(300);  // the layer moves away: scaled
  scene->RenderToImage();
  layer->RotateAngle().SetY(60);  // perspective
  scene->RenderToImage();
  EXPECT_EQ(TvxTurnFrames::CachedBytes(), 0);
}

namespace {

// An album sleeve: opaque with rounded corners, or wholly translucent.
QImage Sleeve(int alpha = 255) {
  QImage img(120, 108, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(70, 60, 50, alpha));
  p.drawRoundedRect(QRectF(0, 0, 120, 108), 5.5, 5.5);
  return img;
}

int WidestPending(const PartialCanvas& canvas) {
  int widest = 0;
  for (const QRect& r : canvas.Pending()) widest = std::max(widest, r.width());
  return widest;
}

}  // namespace

TEST(TurnFrames, OpaqueBandsAreTheRunsOfWhollyOpaqueColumnsAndRows) {
  const auto [columns, rows] = vgOpaqueBands(Sleeve());
  EXPECT_EQ(columns.top(), 0);
  EXPECT_EQ(columns.height(), 108);
  EXPECT_GE(columns.left(), 2);  // the rounded corners are not opaque
  EXPECT_LE(columns.right(), 117);
  EXPECT_GT(columns.width(), 100);
  EXPECT_EQ(rows.width(), 120);
  EXPECT_GT(rows.height(), 90);
  EXPECT_EQ(vgOpaqueBands(Sleeve(200)), std::pair(QRect(), QRect()));
  const QImage plain = Sleeve().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(vgOpaqueBands(plain).first, QRect(0, 0, 120, 108)) << "no alpha channel: all opaque";
  EXPECT_EQ(vgOpaqueBands(QImage()), std::pair(QRect(), QRect()));
}

// The disc turns half behind the artist's sleeve: only the strip beside the sleeve can change.
TEST_F(Turning, BehindAnOpaqueSleeveATurnRepaintsOnlyTheStripThatShows) {
  auto* sleeve = new TvxImage();
  sleeve->SetBounds(35, 66, 120, 108);
  sleeve->Bitmap().Assign(Sleeve());
  sleeve->SetParent(view);
  PartialCanvas canvas(scene);
  auto turnAndCompare = [&](float angle) {
    disc->SetRotateAngle(angle);
    const int widest = WidestPending(canvas);
    canvas.Flush();
    EXPECT_EQ(DifferentPixels(canvas.Image(), scene->RenderToImage()), 0) << "at " << angle;
    return widest;
  };
  EXPECT_LE(turnAndCompare(30), 186 - 148 + 6);

  sleeve->SetOpacity(0.5f);  // the disc shows through
  canvas.Flush();
  EXPECT_GT(turnAndCompare(60), 106);
  sleeve->SetOpacity(1);
  sleeve->Bitmap().Assign(Sleeve(200));
  canvas.Flush();
  EXPECT_GT(turnAndCompare(90), 106);

  sleeve->Bitmap().Assign(Sleeve());
  sleeve->Position().SetX(0);  // slid half away: more of the disc shows, and is repainted
  canvas.Flush();
  EXPECT_GT(turnAndCompare(120), 186 - 148 + 6);
  EXPECT_LT(turnAndCompare(150), 106);
  sleeve->SetBounds(60, 40, 140, 160);  // over the whole disc: nothing to repaint
  canvas.Flush();
  disc->SetRotateAngle(180);
  EXPECT_TRUE(canvas.Pending().empty());
  view->SetOpacity(0.9f);  // a translucent view: the sleeve no longer hides the disc
  canvas.Flush();
  EXPECT_GT(turnAndCompare(210), 100);
}
