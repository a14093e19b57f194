#include "window/Pictures.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <cmath>

#include "scene/Bitmap.h"

// Resources of a static library are only linked in when something names them.
static void InitPictureResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(pictures);
    return true;
  }();
  (void)done;
}

namespace Pictures {
namespace {

struct TSource {
  const char* File;  // below :/melvo/
  QSize Natural;
};

const TSource& SourceOf(TPicture which) {
  static const TSource kSources[] = {
      {"pictures/background-0.svg", {520, 315}}, {"pictures/background-1.svg", {520, 315}},
      {"pictures/background-2.svg", {520, 315}}, {"pictures/background-3.svg", {520, 315}},
      {"pictures/background-4.svg", {520, 315}}, {"pictures/background-5.svg", {520, 315}},
      {"pictures/background-6.svg", {520, 315}}, {"pictures/background-7.svg", {520, 315}},
      {"pictures/background-8.svg", {520, 315}}, {"pictures/disc.svg", {106, 106}},
      {"pictures/artist.svg", {120, 108}},       {"pictures/invitation.svg", {405, 264}},
      {"pictures/message.svg", {100, 100}},      {"glyphs/page-previous.svg", {32, 32}},
      {"glyphs/page-next.svg", {32, 32}},        {"icons/melvo.svg", {256, 256}},
      {"glyphs/volume.svg", {20, 20}},           {"icons/thumb-play.svg", {16, 16}},
      {"icons/thumb-pause.svg", {16, 16}},       {"icons/thumb-next.svg", {16, 16}},
      {"icons/thumb-random.svg", {16, 16}},
  };
  static_assert(std::size(kSources) == size_t(TPicture::ThumbRandom) + 1);
  return kSources[size_t(which)];
}

struct TGlyph {
  const char* Name;
  const char* File;  // nullptr: no picture
  int Size;
};

// bmplist1 in index order. The "m" entries are the compact top-bar forms of close, settings
// and minimise.
const TGlyph kGlyphs[kGlyphCount] = {
    {"关闭", "glyphs/close.svg", 20},
    {"最小化", "glyphs/minimize.svg", 20},
    {"设置", "glyphs/settings.svg", 20},
    {"单曲循环", "glyphs/single.svg", 32},
    {"顺序播放", "glyphs/order.svg", 32},
    {"列表循环", "glyphs/loop.svg", 32},
    {"随机播放", "glyphs/random.svg", 32},
    {"播放", "glyphs/play.svg", 48},
    {"暂停", "glyphs/pause.svg", 48},
    {"下一首", "glyphs/next.svg", 32},
    {"音量", "glyphs/volume.svg", 20},
    {"返回", "glyphs/back.svg", 36},
    {"m_关闭", "glyphs/close-small.svg", 20},
    {"m设置", "glyphs/settings-small.svg", 20},
    {"m最小化", "glyphs/minimize-small.svg", 20},
    {"喇叭X", "glyphs/mute.svg", 20},
    {"删除", "glyphs/delete.svg", 20},
    {"默认专辑", "glyphs/album.svg", 48},
    {"添加", "glyphs/add.svg", 8},  // btnAdd draws it at 8
    {"", nullptr, 0},
    {"搜索", "glyphs/search.svg", 20},
    {"意见反馈", "glyphs/feedback.svg", 20},
};

QString ResourcePath(const char* file) {
  return QStringLiteral(":/melvo/") + QLatin1String(file);
}

QByteArray ReadSource(const char* file) {
  InitPictureResources();
  QFile f(ResourcePath(file));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One cache for every picture, keyed by source, pixel size and ratio. The pictures are few and
// small, so nothing is ever evicted.
QHash<QString, QImage>& Cache() {
  static QHash<QString, QImage> cache;
  return cache;
}

QImage Rendered(const char* file, QSize logical, qreal dpr) {
  if (!file || logical.isEmpty() || !(dpr > 0) || !std::isfinite(dpr)) return QImage();
  const QSize px(std::max(1, int(std::lround(logical.width() * dpr))),
                 std::max(1, int(std::lround(logical.height() * dpr))));
  const QString key = QStringLiteral("%1|%2x%3|%4")
                          .arg(QLatin1String(file))
                          .arg(px.width())
                          .arg(px.height())
                          .arg(dpr, 0, 'g', 6);
  auto& cache = Cache();
  if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;

  QImage image;
  QSvgRenderer renderer(ReadSource(file));
  if (renderer.isValid()) {
    image = QImage(px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&p, QRectF(0, 0, px.width(), px.height()));
    p.end();
    image.setDevicePixelRatio(dpr);
  }
  cache.insert(key, image);
  return image;
}

QIcon IconAt(const char* file, std::initializer_list<int> sizes) {
  QIcon icon;
  for (int s : sizes) icon.addPixmap(QPixmap::fromImage(Rendered(file, QSize(s, s), 1.0)));
  return icon;
}

bool IsThumb(TPicture which) {
  return which >= TPicture::ThumbPlay && which <= TPicture::ThumbRandom;
}

}  // namespace

QSize NaturalSize(TPicture which) {
  return SourceOf(which).Natural;
}

QImage Picture(TPicture which, QSize logical, qreal dpr) {
  const TSource& s = SourceOf(which);
  return Rendered(s.File, logical.isEmpty() ? s.Natural : logical, dpr);
}

TPicture Background(int n) {
  return n >= 1 && n <= 8 ? TPicture(int(TPicture::Background0) + n) : TPicture::Background0;
}

QString GlyphName(int index) {
  if (index < 0 || index >= kGlyphCount) return QString();
  return QString::fromUtf8(kGlyphs[index].Name);
}

int GlyphSize(int index) {
  return index < 0 || index >= kGlyphCount ? 0 : kGlyphs[index].Size;
}

QImage Glyph(int index, int logicalSize, qreal dpr) {
  if (index < 0 || index >= kGlyphCount || !kGlyphs[index].File) return QImage();
  const int size = logicalSize > 0 ? logicalSize : kGlyphs[index].Size;
  return Rendered(kGlyphs[index].File, QSize(size, size), dpr);
}

void FillBitmapList(TdxBitmapList& list, qreal dpr) {
  for (int i = 0; i < kGlyphCount; ++i) list.Add(GlyphName(i), Glyph(i, 0, dpr));
}

QIcon AppIcon() {
  return IconAt(SourceOf(TPicture::AppIcon).File, {16, 24, 32, 48, 64, 128, 256});
}

QIcon ThumbIcon(TPicture which) {
  if (!IsThumb(which)) return QIcon();
  return IconAt(SourceOf(which).File, {16, 32});
}

QByteArray Source(TPicture which) {
  return ReadSource(SourceOf(which).File);
}

int CachedCount() {
  return int(Cache().size());
}

void ClearCache() {
  Cache().clear();
}

}  // namespace Pictures
