#include "scene/TextPictures.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QTransform>
#include <cmath>

namespace {

// Pictures of the texts lately shown; all are let go when they outgrow the budget (a long list
// scrolled through), and the texts on screen come back on their next paint.
constexpr qint64 kBudget = 4 << 20;
constexpr int kLargestPicture = 1 << 18;  // pixels; larger boxes are drawn directly

// A look at a placement: the device scale, the box, and where its corner falls within a pixel
// (in 64ths), so that glyphs land on the same fractions of a pixel as when drawn directly.
struct Key {
  TvxTextLook Look;
  qreal Scale = 1, Width = 0, Height = 0;
  int Fx = 0, Fy = 0;
  bool operator==(const Key&) const = default;
};

size_t qHash(const Key& k, size_t seed = 0) {
  return qHashMulti(seed, k.Look.Text, k.Look.Family, k.Look.Size, k.Look.Style, k.Look.Color,
                    k.Look.Horz, k.Look.Vert, k.Look.WordWrap, k.Scale, k.Width, k.Height, k.Fx,
                    k.Fy);
}

struct Store {
  QHash<Key, QImage> Pictures;
  qint64 Bytes = 0;
  bool Enabled = true;
};

Store& TheStore() {
  static Store store;
  return store;
}

// Scale and offset only, the same both ways: a picture copied pixel for pixel is exact.
bool IsPlainPlacement(const QTransform& t) {
  return t.type() <= QTransform::TxScale && t.m11() > 0 && t.m11() == t.m22();
}

}  // namespace

bool TvxTextPictures::Draw(QPainter& p, const QRectF& r, const TvxTextLook& look,
                           const std::function<void(QPainter&)>& paint) {
  Store& store = TheStore();
  if (!store.Enabled || p.compositionMode() != QPainter::CompositionMode_SourceOver) return false;
  const QTransform placed = p.deviceTransform();
  if (!IsPlainPlacement(placed)) return false;
  const QRectF device = placed.mapRect(r);
  const int x0 = int(std::floor(device.left())), y0 = int(std::floor(device.top()));
  const int w = int(std::ceil(device.right())) - x0, h = int(std::ceil(device.bottom())) - y0;
  if (w <= 0 || h <= 0 || qint64(w) * h > kLargestPicture) return false;

  p.save();
  p.resetTransform();
  const QTransform bare = p.deviceTransform();  // the device's own scale and offset
  if (!IsPlainPlacement(bare)) {
    p.restore();
    return false;
  }
  const Key full{look,
                 placed.m11(),
                 r.width(),
                 r.height(),
                 int(std::lround((device.left() - x0) * 64)),
                 int(std::lround((device.top() - y0) * 64))};
  auto found = store.Pictures.constFind(full);
  if (found == store.Pictures.constEnd()) {
    QImage picture(w, h, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
      QPainter ip(&picture);
      ip.setRenderHints(p.renderHints());
      ip.setTransform(placed * QTransform::fromTranslate(-x0, -y0));
      paint(ip);
    }
    picture.setDevicePixelRatio(bare.m11());
    if (store.Bytes + picture.sizeInBytes() > kBudget) {
      store.Pictures.clear();
      store.Bytes = 0;
    }
    store.Bytes += picture.sizeInBytes();
    found = store.Pictures.insert(full, picture);
  }
  p.drawImage(bare.inverted().map(QPointF(x0, y0)), *found);
  p.restore();
  return true;
}

int TvxTextPictures::CachedCount() {
  return int(TheStore().Pictures.size());
}

qint64 TvxTextPictures::CachedBytes() {
  return TheStore().Bytes;
}

void TvxTextPictures::Clear() {
  TheStore().Pictures.clear();
  TheStore().Bytes = 0;
}

void TvxTextPictures::SetEnabled(bool on) {
  TheStore().Enabled = on;
}
