// Texts drawn from pictures made once look the same as texts drawn directly, wherever they are
// placed, and a picture is made once per text and placement.
#include <QPainter>
#include <cmath>

#include "SceneTestSupport.h"
#include "scene/Control.h"
#include "scene/TextPictures.h"

namespace {

struct Placement {
  qreal Dpr;
  QPointF Offset;  // world translation, with fractions of a pixel
  qreal Opacity;
};

// A row of texts (one line elided, one wrapped, Chinese, right aligned) on a patterned ground.
QImage DrawTexts(const Placement& at, bool pictures) {
  EnsureApplication();
  TvxTextPictures::SetEnabled(pictures);
  QImage img(int(240 * at.Dpr), int(120 * at.Dpr), QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(at.Dpr);
  img.fill(QColor(20, 60, 120));
  QPainter p(&img);
  p.fillRect(QRectF(0, 0, 120, 60), QColor(200, 90, 40, 180));
  p.translate(at.Offset);
  p.setOpacity(at.Opacity);
  TvxFont font;
  font.Size = 14;
  vgDrawText(p, QRectF(3.3, 2.6, 90, 20), QStringLiteral("A title far too long for its box"), font,
             0xFFFFFFFF, vgTextAlignNear, vgTextAlignCenter, false);
  vgDrawText(p, QRectF(10.5, 30.25, 100, 50), QStringLiteral("wrapped over two lines here"), font,
             0xC0FFEE80, vgTextAlignCenter, vgTextAlignNear, true);
  font.Style = vgFontBold;
  vgDrawText(p, QRectF(120.7, 70.1, 110, 24), QStringLiteral("未知歌手"), font, 0xFF202020,
             vgTextAlignFar, vgTextAlignFar, false);
  p.end();
  TvxTextPictures::SetEnabled(true);
  return img;
}

struct Difference {
  int Most = 0;
  double Mean = 0;  // per channel and pixel
};
Difference Compare(const QImage& a, const QImage& b) {
  Difference d;
  qint64 sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      for (int c : {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                    std::abs(qBlue(p) - qBlue(q))}) {
        d.Most = std::max(d.Most, c);
        sum += c;
      }
    }
  d.Mean = double(sum) / (3.0 * a.width() * a.height());
  return d;
}

}  // namespace

TEST(TextPictures, LookTheSameAsTextsDrawnDirectly) {
  for (const Placement& at : {Placement{1, {0, 0}, 1}, Placement{1, {0.4, 0.7}, 0.5},
                              Placement{2, {0.25, 0.6}, 1}, Placement{1.5, {3.3, 1.1}, 0.8}}) {
    SCOPED_TRACE(testing::Message() << "dpr " << at.Dpr << " offset " << at.Offset.x() << ","
                                    << at.Offset.y() << " opacity " << at.Opacity);
    TvxTextPictures::Clear();
    const QImage direct = DrawTexts(at, false);
    EXPECT_EQ(TvxTextPictures::CachedCount(), 0);
    const QImage first = DrawTexts(at, true);
    const QImage again = DrawTexts(at, true);
    EXPECT_EQ(TvxTextPictures::CachedCount(), 3);  // made once, copied the second time
    // Drawn straight onto an opaque ground at full opacity, Qt blends glyph edges with a gamma
    // a picture cannot know of: edge pixels may differ a little, the texts do not.
    const Difference d = Compare(direct, first);
    EXPECT_LE(d.Most, 48);
    EXPECT_LT(d.Mean, 0.5);
    EXPECT_EQ(Compare(first, again).Most, 0);
    EXPECT_GT(Compare(direct, DrawTexts({at.Dpr, at.Offset, 0.0}, false)).Mean, 2.0)
        << "the texts were drawn at all";
  }
}

TEST(TextPictures, ANewTextColourOrPlacementMakesANewPicture) {
  EnsureApplication();
  TvxTextPictures::Clear();
  QImage img(200, 60, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  TvxFont font;
  const QRectF box(0, 0, 120, 20);
  auto draw = [&](const QString& text, TAlphaColor color) {
    vgDrawText(p, box, text, font, color, vgTextAlignNear, vgTextAlignCenter, false);
  };
  draw("03:00", 0xFFFFFFFF);
  draw("03:00", 0xFFFFFFFF);
  EXPECT_EQ(TvxTextPictures::CachedCount(), 1);
  draw("03:01", 0xFFFFFFFF);
  draw("03:01", 0xFF00FF00);
  EXPECT_EQ(TvxTextPictures::CachedCount(), 3);
  p.translate(0.5, 0);
  draw("03:01", 0xFF00FF00);
  p.translate(0.5, 0);  // a whole pixel on: the same picture, copied further right
  draw("03:01", 0xFF00FF00);
  EXPECT_EQ(TvxTextPictures::CachedCount(), 4);
}

// The flip turns the settings face about an axis: such texts are drawn directly, never from a
// picture that would be resampled.
TEST(TextPictures, ATurnedPainterDrawsDirectly) {
  EnsureApplication();
  TvxTextPictures::Clear();
  QImage img(200, 100, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::black);
  QPainter p(&img);
  p.translate(100, 50);
  p.rotate(20);
  TvxFont font;
  vgDrawText(p, QRectF(-60, -10, 120, 20), QStringLiteral("设置"), font, 0xFFFFFFFF,
             vgTextAlignCenter, vgTextAlignCenter, false);
  p.end();
  EXPECT_EQ(TvxTextPictures::CachedCount(), 0);
  int lit = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) lit += qRed(img.pixel(x, y)) > 128;
  EXPECT_GT(lit, 20);
}

TEST(TextPictures, StayWithinTheirBudget) {
  EnsureApplication();
  TvxTextPictures::Clear();
  QImage img(400, 40, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  TvxFont font;
  for (int i = 0; i < 2000; ++i)  // a long list scrolled through
    vgDrawText(p, QRectF(0, 0, 400, 40), QString("song %1").arg(i), font, 0xFFFFFFFF,
               vgTextAlignNear, vgTextAlignCenter, false);
  EXPECT_LE(TvxTextPictures::CachedBytes(), 4 << 20);
  EXPECT_GT(TvxTextPictures::CachedCount(), 0);
}
