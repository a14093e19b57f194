// The window's pictures: every one renders at its size and ratio, bmplist1 keeps its order and
// names, the cache hands back the same image, and a few pixels that the look depends on.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <cmath>
#include <limits>
#include "BuildPaths.h"

#include "scene/Bitmap.h"
#include "window/Pictures.h"

namespace {

void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "pictures-tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // the form's tests in this program need widgets
}

class PicturesTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
};

const TPicture kAll[] = {
    TPicture::Background0, TPicture::Background1,  TPicture::Background2, TPicture::Background3,
    TPicture::Background4, TPicture::Background5,  TPicture::Background6, TPicture::Background7,
    TPicture::Background8, TPicture::Disc,         TPicture::Artist,      TPicture::Invitation,
    TPicture::Message,     TPicture::PagePrevious, TPicture::PageNext,    TPicture::AppIcon,
    TPicture::SoundOn,     TPicture::ThumbPlay,    TPicture::ThumbPause,  TPicture::ThumbNext,
    TPicture::ThumbRandom,
};

bool HasInk(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 0) return true;
  return false;
}

// Relative luminance of an opaque pixel, as the contrast rules of the web define it.
double Luminance(QRgb c) {
  auto lin = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
}

TEST_F(PicturesTest, EveryPictureRendersAtItsSizeAndRatio) {
  for (TPicture which : kAll) {
    const QSize natural = Pictures::NaturalSize(which);
    ASSERT_FALSE(natural.isEmpty()) << int(which);
    for (qreal dpr : {1.0, 2.0}) {
      const QImage image = Pictures::Picture(which, {}, dpr);
      ASSERT_FALSE(image.isNull()) << int(which) << " at " << dpr;
      EXPECT_EQ(image.size(), natural * dpr) << int(which);
      EXPECT_DOUBLE_EQ(image.devicePixelRatio(), dpr);
      EXPECT_EQ(image.deviceIndependentSize().toSize(), natural);
      EXPECT_TRUE(HasInk(image)) << int(which) << " is blank at " << dpr;
    }
  }
  // an odd ratio rounds the pixel size and still says its ratio
  const QImage odd = Pictures::Picture(TPicture::Disc, {}, 1.25);
  EXPECT_EQ(odd.size(), QSize(133, 133));
  EXPECT_DOUBLE_EQ(odd.devicePixelRatio(), 1.25);
}

TEST_F(PicturesTest, BitmapListHasTwentyTwoNamedEntriesInOrder) {
  const char* names[] = {"关闭",     "最小化", "设置",    "单曲循环", "顺序播放", "列表循环",
                         "随机播放", "播放",   "暂停",    "下一首",   "音量",     "返回",
                         "m_关闭",   "m设置",  "m最小化", "喇叭X",    "删除",     "默认专辑",
                         "添加",     "",       "搜索",    "意见反馈"};
  for (qreal dpr : {1.0, 2.0}) {
    TdxBitmapList list;
    Pictures::FillBitmapList(list, dpr);
    ASSERT_EQ(list.Count(), Pictures::kGlyphCount);
    for (int i = 0; i < list.Count(); ++i) {
      const auto* entry = list.Item(i);
      EXPECT_EQ(entry->Name, QString::fromUtf8(names[i])) << i;
      EXPECT_EQ(Pictures::GlyphName(i), entry->Name);
      if (i == Pictures::kNoGlyph) {
        EXPECT_TRUE(entry->Bitmap.IsEmpty());
        continue;
      }
      const int px = int(std::lround(Pictures::GlyphSize(i) * dpr));
      EXPECT_EQ(entry->Bitmap.Width(), px) << i;
      EXPECT_EQ(entry->Bitmap.Height(), px) << i;
      EXPECT_DOUBLE_EQ(entry->Bitmap.Image().devicePixelRatio(), dpr) << i;
      EXPECT_TRUE(HasInk(entry->Bitmap.Image())) << i;
    }
    // names reach the same entries as indices; the empty name finds nothing
    EXPECT_EQ(list.Find(QStringLiteral("暂停")), list.Item(8));
    EXPECT_EQ(list.Find(QStringLiteral("意见反馈")), list.Item(21));
    EXPECT_EQ(list.Find(QString()), nullptr);
  }
  // the sizes the window's buttons ask for
  EXPECT_EQ(Pictures::GlyphSize(7), 48);
  EXPECT_EQ(Pictures::GlyphSize(8), 48);
  EXPECT_EQ(Pictures::GlyphSize(11), 36);
  EXPECT_EQ(Pictures::GlyphSize(9), 32);
}

TEST_F(PicturesTest, OutOfRangeRequestsGiveNullImagesNotCrashes) {
  EXPECT_TRUE(Pictures::Glyph(-1).isNull());
  EXPECT_TRUE(Pictures::Glyph(Pictures::kGlyphCount).isNull());
  EXPECT_TRUE(Pictures::Glyph(Pictures::kNoGlyph, 32, 2).isNull());
  EXPECT_TRUE(Pictures::GlyphName(-1).isEmpty());
  EXPECT_TRUE(Pictures::GlyphName(99).isEmpty());
  EXPECT_EQ(Pictures::GlyphSize(99), 0);
  EXPECT_TRUE(Pictures::Picture(TPicture::Disc, {}, 0).isNull());
  EXPECT_TRUE(Pictures::Picture(TPicture::Disc, {}, -2).isNull());
  EXPECT_TRUE(
      Pictures::Picture(TPicture::Disc, {}, std::numeric_limits<qreal>::quiet_NaN()).isNull());
  EXPECT_TRUE(
      Pictures::Picture(TPicture::Disc, {}, std::numeric_limits<qreal>::infinity()).isNull());
  // a negative or zero size means the natural size
  EXPECT_EQ(Pictures::Picture(TPicture::Disc, {-5, 10}).size(), QSize(106, 106));
}

TEST_F(PicturesTest, BackgroundNumbersMapToTheirPictures) {
  EXPECT_EQ(Pictures::Background(1), TPicture::Background1);
  EXPECT_EQ(Pictures::Background(8), TPicture::Background8);
  for (int n : {0, -1, 9, 100}) EXPECT_EQ(Pictures::Background(n), TPicture::Background0) << n;
  // each is its own picture, not a copy of another
  QSet<QRgb> middles;
  for (int n = 0; n <= 8; ++n)
    middles.insert(Pictures::Picture(Pictures::Background(n), {40, 40}).pixel(20, 20));
  EXPECT_EQ(middles.size(), 9);
}

TEST_F(PicturesTest, CacheRendersOncePerSizeAndRatio) {
  const QImage a = Pictures::Picture(TPicture::Artist, {}, 2.0);
  const int held = Pictures::CachedCount();
  const QImage b = Pictures::Picture(TPicture::Artist, {}, 2.0);
  EXPECT_EQ(a.cacheKey(), b.cacheKey());  // shares the pixels, nothing rendered again
  EXPECT_EQ(Pictures::CachedCount(), held);
  // the natural size asked for explicitly is the same request
  EXPECT_EQ(Pictures::Picture(TPicture::Artist, {120, 108}, 2.0).cacheKey(), a.cacheKey());
  // a ratio no other test of this program asks for, so the cache cannot hold it yet
  const QImage c = Pictures::Picture(TPicture::Artist, {}, 1.75);
  EXPECT_NE(c.cacheKey(), a.cacheKey());
  EXPECT_EQ(Pictures::CachedCount(), held + 1);
  // the list's glyphs come from the same cache
  EXPECT_EQ(Pictures::Glyph(7, 0, 2.0).cacheKey(), Pictures::Glyph(7, 48, 2.0).cacheKey());
  // forgetting the cache leaves handed-out images intact; the next request renders the same
  Pictures::ClearCache();
  EXPECT_EQ(Pictures::CachedCount(), 0);
  EXPECT_FALSE(a.isNull());
  const QImage again = Pictures::Picture(TPicture::Artist, {}, 2.0);
  EXPECT_NE(again.cacheKey(), a.cacheKey());
  EXPECT_EQ(again, a);
}

TEST_F(PicturesTest, GlyphsAreWhiteStrokesOnTransparent) {
  // close: the crossing point is white and opaque, the corners are empty
  const QImage close = Pictures::Glyph(0, 24, 1.0);
  EXPECT_EQ(close.pixel(12, 12), qRgba(255, 255, 255, 255));
  EXPECT_EQ(qAlpha(close.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(close.pixel(23, 23)), 0);
  // play: filled triangle inside a ring, with empty space between them
  const QImage play = Pictures::Glyph(7, 48, 1.0);
  EXPECT_EQ(play.pixel(26, 24), qRgba(255, 255, 255, 255));
  EXPECT_EQ(qAlpha(play.pixel(14, 24)), 0);
  EXPECT_EQ(qAlpha(play.pixel(24, 4)), 255);  // the ring at the top
  // every glyph is pure white wherever it is drawn (the styles colour hover and press)
  for (int i = 0; i < Pictures::kGlyphCount; ++i) {
    const QImage g = Pictures::Glyph(i, 0, 2.0);
    for (int y = 0; y < g.height(); ++y)
      for (int x = 0; x < g.width(); ++x) {
        const QRgb c = g.pixel(x, y);
        if (qAlpha(c) == 255) {
          ASSERT_EQ(c, qRgb(255, 255, 255)) << "glyph " << i << " at " << x << "," << y;
        }
      }
  }
}

TEST_F(PicturesTest, BackgroundsAreOpaqueAndDarkEnoughForWhiteText) {
  // places where the window writes white text: the top bar, the singer and song lines, the times,
  // and the play list, whose entries may stand anywhere below the bar
  const QRect textAreas[] = {
      {0, 0, 520, 44}, {187, 117, 266, 100}, {132, 281, 200, 21}, {0, 44, 520, 271}};
  for (int n = 0; n <= 8; ++n) {
    const QImage bg = Pictures::Picture(Pictures::Background(n), {}, 1.0);
    EXPECT_EQ(qAlpha(bg.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(bg.pixel(519, 314)), 255);
    for (const QRect& r : textAreas) {
      double brightest = 0;
      for (int y = r.top(); y <= r.bottom(); y += 3)
        for (int x = r.left(); x <= r.right(); x += 3)
          brightest = std::max(brightest, Luminance(bg.pixel(x, y)));
      const double contrast = 1.05 / (brightest + 0.05);
      EXPECT_GE(contrast, 4.5) << "background " << n << " in " << r.x() << "," << r.y();
    }
  }
}

TEST_F(PicturesTest, DiscHasAHoleAGoldLabelAndRoundEdges) {
  const QImage disc = Pictures::Picture(TPicture::Disc, {}, 2.0);
  const int c = disc.width() / 2;
  EXPECT_EQ(qAlpha(disc.pixel(0, 0)), 0);        // round: the corners are empty
  EXPECT_LT(Luminance(disc.pixel(c, c)), 0.02);  // the spindle hole
  const QColor label = QColor::fromRgba(disc.pixel(c - 24, c + 10));
  EXPECT_NEAR(label.hsvHue(), QColor(0xF5, 0xCD, 0x76).hsvHue(), 12);
  EXPECT_GT(label.saturation(), 80);
  EXPECT_LT(Luminance(disc.pixel(c + 80, c)), 0.05);  // black vinyl in the grooves
}

TEST_F(PicturesTest, AppIconStaysReadableAtSixteenPixels) {
  const QImage small = Pictures::Picture(TPicture::AppIcon, {16, 16}, 1.0);
  EXPECT_LT(qAlpha(small.pixel(0, 0)), 128);  // rounded plate
  int gold = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const QColor px = QColor::fromRgba(small.pixel(x, y));
      if (px.alpha() == 255 && px.saturation() > 100 && px.value() > 180) ++gold;
    }
  EXPECT_GE(gold, 20);  // the mark is a solid patch, not a few stray pixels
  const QIcon icon = Pictures::AppIcon();
  for (int s : {16, 24, 32, 48, 64, 128, 256})
    EXPECT_EQ(icon.pixmap(QSize(s, s)).size(), QSize(s, s)) << s;
  EXPECT_TRUE(Pictures::Source(TPicture::AppIcon).contains("<svg"));
}

TEST_F(PicturesTest, ThumbIconsOnlyForTheFourThumbnails) {
  for (TPicture w :
       {TPicture::ThumbPlay, TPicture::ThumbPause, TPicture::ThumbNext, TPicture::ThumbRandom})
    EXPECT_FALSE(Pictures::ThumbIcon(w).isNull()) << int(w);
  EXPECT_TRUE(Pictures::ThumbIcon(TPicture::Disc).isNull());
  EXPECT_TRUE(Pictures::ThumbIcon(TPicture::AppIcon).isNull());
}

TEST_F(PicturesTest, BuildPutsSoundOnPictureBesideTheProgram) {
  const QString path = QString::fromStdString(melvo::build::BinDir() + "/sound on.png");
  QImageReader reader(path);
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(40, 40));
  EXPECT_TRUE(QFileInfo::exists(
      QString::fromStdString(melvo::build::BinDir() + "/icons/hicolor/16x16/apps/melvo.png")));
  EXPECT_TRUE(QFileInfo::exists(
      QString::fromStdString(melvo::build::BinDir() + "/icons/hicolor/scalable/apps/melvo.svg")));
}

}  // namespace
