#include "ContactSheet.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "window/Pictures.h"

namespace {

const QColor kSheet(0x1A, 0x1A, 0x1A);
const QColor kTile(0x30, 0x30, 0x30);
const QColor kAccent(0xF5, 0xCD, 0x76);
const QColor kLabel(0xC8, 0xC8, 0xC8);

QFont Font(int px, bool bold = false) {
  QFont f(QStringLiteral("Noto Sans CJK SC"));
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
}

// Draws an image at its device pixels, whatever its ratio says.
void Pixels(QPainter& p, QPointF at, QImage image) {
  image.setDevicePixelRatio(1);
  p.drawImage(at, image);
}

void Title(QPainter& p, int y, const QString& text) {
  p.setPen(kAccent);
  p.setFont(Font(26, true));
  p.drawText(QPointF(40, y), text);
}

void Caption(QPainter& p, QRectF r, const QString& text, int px = 15) {
  p.setPen(kLabel);
  p.setFont(Font(px));
  p.drawText(r, Qt::AlignHCenter | Qt::AlignTop, text);
}

int Glyphs(QPainter& p, int y) {
  Title(p, y + 30, QStringLiteral("bmplist1 · 1× and 2× on the track colour, 2× on a background"));
  y += 50;
  const QImage bg = Pictures::Picture(TPicture::Background4, QSize(520, 315), 1.0);
  struct Item {
    QString Label;
    QImage One, Two;
  };
  std::vector<Item> items;
  for (int i = 0; i < Pictures::kGlyphCount; ++i)
    items.push_back(
        {QStringLiteral("%1 %2 (%3)")
             .arg(i)
             .arg(i == Pictures::kNoGlyph ? QStringLiteral("—") : Pictures::GlyphName(i))
             .arg(Pictures::GlyphSize(i)),
         Pictures::Glyph(i, 0, 1.0), Pictures::Glyph(i, 0, 2.0)});
  for (auto [which, name] :
       {std::pair{TPicture::PagePrevious, "btnOLper"}, std::pair{TPicture::PageNext, "btnOLnext"}})
    items.push_back({QString::fromLatin1(name) + " (32)", Pictures::Picture(which, {}, 1.0),
                     Pictures::Picture(which, {}, 2.0)});
  const int tw = 262, th = 190, perRow = 8;
  for (size_t k = 0; k < items.size(); ++k) {
    const int x = 40 + int(k % perRow) * (tw + 14), ty = y + int(k / perRow) * (th + 14);
    p.fillRect(QRect(x, ty, tw, th), kTile);
    p.drawImage(QRect(x + 150, ty, tw - 150, th - 34), bg, QRect(380, 200, tw - 150, th - 34));
    const Item& it = items[k];
    if (!it.One.isNull()) {
      Pixels(p, QPointF(x + 12, ty + 14), it.One);
      Pixels(p, QPointF(x + 12, ty + 70), it.Two);
      Pixels(p, QPointF(x + 160, ty + 14), it.Two);
    }
    Caption(p, QRectF(x, ty + th - 30, tw, 26), it.Label);
  }
  return y + int((items.size() + perRow - 1) / perRow) * (th + 14) + 20;
}

void SampleText(QPainter& p, QPointF at) {
  p.setPen(Qt::white);
  p.setFont(Font(23));
  p.drawText(at, QStringLiteral("歌手名字 Singer"));
  p.setFont(Font(14));
  p.drawText(at + QPointF(0, 28), QStringLiteral("清空列表   云歌库   00:00"));
}

int Backgrounds(QPainter& p, int y) {
  Title(p, y + 30,
        QStringLiteral(
            "Backgrounds 0 (default) … 8 at 1×, with white text; thumbnails 40 × 40 at 1× and 2×"));
  y += 50;
  for (int n = 0; n <= 8; ++n) {
    const int x = 40 + (n % 3) * 540, ty = y + (n / 3) * 370;
    Pixels(p, QPointF(x, ty), Pictures::Picture(Pictures::Background(n), {}, 1.0));
    SampleText(p, QPointF(x + 187, ty + 140));
    p.setPen(QColor(255, 255, 255, 200));
    p.setFont(Font(13));
    p.drawText(QPointF(x + 10, ty + 26), QStringLiteral("列表  歌曲名 - 歌手"));
    Caption(p, QRectF(x, ty + 318, 520, 26), QStringLiteral("background %1").arg(n));
  }
  const int tx = 1680;
  for (int n = 0; n <= 8; ++n) {
    Pixels(p, QPointF(tx, y + n * 100), Pictures::Picture(Pictures::Background(n), {40, 40}, 1.0));
    Pixels(p, QPointF(tx + 60, y + n * 100),
           Pictures::Picture(Pictures::Background(n), {40, 40}, 2.0));
  }
  return y + 3 * 370 + 10;
}

int Large(QPainter& p, int y) {
  Title(p, y + 30, QStringLiteral("Background 1 and the default at 2× (1040 × 630)"));
  y += 50;
  Pixels(p, QPointF(40, y), Pictures::Picture(TPicture::Background1, {}, 2.0));
  Pixels(p, QPointF(1100, y), Pictures::Picture(TPicture::Background0, {}, 2.0));
  return y + 650;
}

int Pictures_(QPainter& p, int y) {
  Title(p, y + 30, QStringLiteral("Disc, artist, invitation, message picture at 1× and 2×"));
  y += 50;
  const QImage bg2 = Pictures::Picture(TPicture::Background0, QSize(1040, 630), 1.0);
  p.drawImage(QRect(40, y, 2100, 560), bg2, QRect(0, 0, 1040, 280));
  int x = 60;
  for (TPicture w : {TPicture::Disc, TPicture::Artist}) {
    Pixels(p, QPointF(x, y + 20), Pictures::Picture(w, {}, 1.0));
    Pixels(p, QPointF(x, y + 160), Pictures::Picture(w, {}, 2.0));
    x += 260;
  }
  Pixels(p, QPointF(x, y + 20), Pictures::Picture(TPicture::Invitation, {}, 1.0));
  Pixels(p, QPointF(x + 430, y + 20), Pictures::Picture(TPicture::Invitation, {}, 2.0));
  x += 430 + 830;
  // the popup's panel colour behind the message picture
  p.fillRect(QRect(x - 20, y + 10, 260, 360), QColor(0x96, 0x96, 0x96, 0xC8));
  Pixels(p, QPointF(x, y + 20), Pictures::Picture(TPicture::Message, {}, 1.0));
  Pixels(p, QPointF(x, y + 140), Pictures::Picture(TPicture::Message, {}, 2.0));
  return y + 580;
}

int Icons(QPainter& p, int y) {
  Title(p, y + 30,
        QStringLiteral(
            "Application icon 16 … 256, thumbnail icons, \"sound on.png\" — on dark and light"));
  y += 50;
  for (int row = 0; row < 2; ++row) {
    const int ty = y + row * 300;
    p.fillRect(QRect(40, ty, 2100, 290), row ? QColor(0xEE, 0xEE, 0xEE) : QColor(0x24, 0x24, 0x24));
    int x = 60;
    for (int s : {16, 24, 32, 48, 64, 128, 256}) {
      Pixels(p, QPointF(x, ty + 270 - s), Pictures::Picture(TPicture::AppIcon, {s, s}, 1.0));
      x += s + 24;
    }
    x += 40;
    for (TPicture w :
         {TPicture::ThumbPlay, TPicture::ThumbPause, TPicture::ThumbNext, TPicture::ThumbRandom}) {
      Pixels(p, QPointF(x, ty + 254), Pictures::Picture(w, {}, 1.0));
      Pixels(p, QPointF(x + 30, ty + 238), Pictures::Picture(w, {}, 2.0));
      x += 90;
    }
    x += 40;
    Pixels(p, QPointF(x, ty + 250), Pictures::Picture(TPicture::SoundOn, {}, 1.0));
    Pixels(p, QPointF(x + 40, ty + 230), Pictures::Picture(TPicture::SoundOn, {40, 40}, 1.0));
  }
  return y + 610;
}

// Small pictures blown up without smoothing, to judge them pixel by pixel: the disc at 3×, the
// application icon at 16 and 24 px, two top-bar glyphs at 20 px, the thumbnails at 16 px.
int Details(QPainter& p, int y) {
  Title(p, y + 30,
        QStringLiteral("Details: disc rendered at 3×; icon 16/24 px, glyphs 20 px, thumbnails 16 "
                       "px enlarged ×8"));
  y += 50;
  p.fillRect(QRect(40, y, 2200, 340), kTile);
  Pixels(p, QPointF(50, y + 12), Pictures::Picture(TPicture::Disc, {}, 3.0));
  auto blown = [&](const QImage& im, int x) {
    QImage one = im;
    one.setDevicePixelRatio(1);
    p.drawImage(QRect(x, y + 12, one.width() * 8, one.height() * 8), one);
    return x + one.width() * 8 + 20;
  };
  int x = 400;
  x = blown(Pictures::Picture(TPicture::AppIcon, {16, 16}, 1.0), x);
  x = blown(Pictures::Picture(TPicture::AppIcon, {24, 24}, 1.0), x);
  x = blown(Pictures::Glyph(13, 20, 1.0), x);
  x = blown(Pictures::Glyph(20, 20, 1.0), x);
  p.fillRect(QRect(x, y, 1000, 150), QColor(0xEE, 0xEE, 0xEE));
  for (TPicture w :
       {TPicture::ThumbPlay, TPicture::ThumbPause, TPicture::ThumbNext, TPicture::ThumbRandom})
    x = blown(Pictures::Picture(w, {}, 1.0), x);
  return y + 360;
}

// A rough arrangement of the now-playing and list views at 2×, only to judge the pictures
// together; the real window is drawn by the scene.
QImage Mock(int background, bool playing) {
  const qreal dpr = 2;
  QImage m(QSize(520, 315) * 2, QImage::Format_ARGB32_Premultiplied);
  m.setDevicePixelRatio(dpr);
  QPainter p(&m);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(QPointF(0, 0), Pictures::Picture(Pictures::Background(background), {}, dpr));
  auto glyph = [&](int index, QRectF box) {
    QImage g = Pictures::Glyph(index, 0, dpr);
    const qreal s = std::min({qreal(Pictures::GlyphSize(index)), box.width(), box.height()});
    p.drawImage(QRectF(box.center() - QPointF(s / 2, s / 2), QSizeF(s, s)), g);
  };
  for (auto [i, x] : {std::pair{21, 420}, {20, 440}, {13, 460}, {18, 480}, {12, 500}})
    glyph(i, QRectF(x, 0, 20, 20));
  p.setPen(QColor(0xE0, 0xE0, 0xE0));
  p.setFont(Font(13));
  if (playing) {
    glyph(11, QRectF(3, 0, 52, 40));
    const qreal top = 44.5;
    p.save();
    p.translate(80 + 53, top + 67 + 53);
    p.rotate(25);
    p.drawImage(QRectF(-53, -53, 106, 106), Pictures::Picture(TPicture::Disc, {}, dpr));
    p.restore();
    p.drawImage(QPointF(35, top + 66), Pictures::Picture(TPicture::Artist, {}, dpr));
    p.setPen(Qt::white);
    p.setFont(Font(23));
    p.drawText(QPointF(187 + 30, top + 73 + 32), QStringLiteral("林间的风"));
    p.setFont(Font(18));
    p.drawText(QPointF(187 + 30, top + 124.5 + 30), QStringLiteral("夜航 · 第三首"));
    p.setFont(Font(12));
    p.drawText(QPointF(143 - 10, top + 237 + 14), QStringLiteral("01:24"));
    p.drawText(QPointF(283 + 6, top + 237 + 14), QStringLiteral("03:58"));
    const QRectF track(143, top + 223, 178, 14);
    p.fillRect(track, QColor(0x30, 0x30, 0x30, 0xC8));
    p.fillRect(QRectF(track.x() + 2, track.y() + 2, 70, track.height() - 4), kAccent);
    glyph(5, QRectF(338, top + 227.5, 32, 32));
    glyph(8, QRectF(373, top + 207.5, 50, 50));
    glyph(9, QRectF(425, top + 225.5, 32, 32));
    glyph(10, QRectF(466, top + 164 + 73.5, 20, 20));
  } else {
    for (auto [x, text] : {std::pair{77 + 76, QStringLiteral("清空列表")},
                           std::pair{77 + 183, QStringLiteral("云歌库")}}) {
      p.setPen(QColor(0xE0, 0xE0, 0xE0));
      p.drawText(QRectF(x, 7.5, 107, 32.5), Qt::AlignCenter, text);
    }
    p.drawImage(QPointF(122, 0), Pictures::Picture(TPicture::Invitation, {}, dpr));
  }
  return m;
}

int Mocks(QPainter& p, int y) {
  Title(
      p, y + 30,
      QStringLiteral(
          "Rough arrangement at 2× (not the real window): now playing on 1, 5; list view on 0, 3"));
  y += 50;
  Pixels(p, QPointF(40, y), Mock(1, true));
  Pixels(p, QPointF(1100, y), Mock(5, true));
  Pixels(p, QPointF(40, y + 650), Mock(0, false));
  Pixels(p, QPointF(1100, y + 650), Mock(3, false));
  return y + 1300;
}

}  // namespace

QImage DrawContactSheet(QList<QRect>* sections) {
  QImage sheet(2300, 6800, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(kSheet);
  QPainter p(&sheet);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  int y = 10;
  for (auto* section : {Glyphs, Backgrounds, Pictures_, Icons, Details, Large, Mocks}) {
    const int top = y;
    y = section(p, y);
    if (sections) sections->append(QRect(0, top, sheet.width(), y - top));
  }
  p.end();
  return sheet.copy(0, 0, sheet.width(), std::min(sheet.height(), y + 20));
}
