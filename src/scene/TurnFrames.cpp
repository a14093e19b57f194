#include "scene/TurnFrames.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <list>
#include <vector>

namespace {

struct Entry {
  qint64 Key = 0;  // cacheKey of the picture
  int Size = 0;
  qreal Dpr = 1;
  QImage Scaled;               // the picture at size × size
  std::vector<QImage> Frames;  // one per step, made when first shown
};

// Most recently used first; only the turning picture (and the one before it) are worth keeping.
constexpr size_t kPictures = 2;
// Bytes the frames of one picture may take.
constexpr qint64 kBudget = 16 << 20;
constexpr int kFewestSteps = 60;

std::list<Entry>& Entries() {
  static std::list<Entry> entries;
  return entries;
}

Entry& EntryFor(const QImage& picture, int size, qreal dpr) {
  auto& entries = Entries();
  for (auto it = entries.begin(); it != entries.end(); ++it)
    if (it->Key == picture.cacheKey() && it->Size == size && it->Dpr == dpr) {
      entries.splice(entries.begin(), entries, it);
      return entries.front();
    }
  Entry e;
  e.Key = picture.cacheKey();
  e.Size = size;
  e.Dpr = dpr;
  e.Scaled = picture.size() == QSize(size, size)
                 ? picture
                 : picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  e.Frames.resize(size_t(TvxTurnFrames::Steps(size)));
  entries.push_front(std::move(e));
  while (entries.size() > kPictures) entries.pop_back();
  return entries.front();
}

QImage Turned(const QImage& scaled, double degrees, qreal dpr) {
  const int size = scaled.width();
  QImage frame(size, size, QImage::Format_ARGB32_Premultiplied);
  frame.fill(Qt::transparent);
  {
    QPainter p(&frame);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(size / 2.0, size / 2.0);
    p.rotate(degrees);
    p.drawImage(QPointF(-size / 2.0, -size / 2.0), scaled);
  }
  frame.setDevicePixelRatio(dpr);
  return frame;
}

// The longest run of true values, as [first, first + length).
std::pair<int, int> LongestRun(const std::vector<bool>& opaque) {
  int best = 0, bestLength = 0;
  for (int i = 0, start = 0; i <= int(opaque.size()); ++i) {
    if (i < int(opaque.size()) && opaque[size_t(i)]) continue;
    if (i - start > bestLength) best = start, bestLength = i - start;
    start = i + 1;
  }
  return {best, bestLength};
}

}  // namespace

std::pair<QRect, QRect> vgOpaqueBands(const QImage& picture) {
  if (picture.isNull()) return {};
  const int w = picture.width(), h = picture.height();
  if (!picture.hasAlphaChannel()) return {QRect(0, 0, w, h), QRect(0, 0, w, h)};
  const QImage img = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);  // shared if so
  std::vector<bool> columns(size_t(w), true), rows(size_t(h), true);
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < w; ++x)
      if (qAlpha(row[x]) != 255) columns[size_t(x)] = rows[size_t(y)] = false;
  }
  const auto [x, width] = LongestRun(columns);
  const auto [y, height] = LongestRun(rows);
  return {width ? QRect(x, 0, width, h) : QRect(), height ? QRect(0, y, w, height) : QRect()};
}

bool vgIsRoundPicture(const QImage& picture) {
  if (picture.isNull() || !picture.hasAlphaChannel()) return false;
  const QImage img = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);  // shared if so
  const double rx = img.width() / 2.0, ry = img.height() / 2.0;
  // Pixels whose centre lies more than a pixel outside the ellipse must be clear (the edge
  // itself may be smoothed).
  const double gx = (rx + 1) * (rx + 1), gy = (ry + 1) * (ry + 1);
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    const double dy = y + 0.5 - ry;
    for (int x = 0; x < img.width(); ++x) {
      const double dx = x + 0.5 - rx;
      if (dx * dx / gx + dy * dy / gy > 1 && qAlpha(row[x]) != 0) return false;
    }
  }
  return true;
}

int TvxTurnFrames::Steps(int size) {
  // The rim moves 2·π·r per turn; about 3 px of rim per step keeps frames within 1.5 px.
  const int fine = int(std::ceil(M_PI * size / 3.0));
  const qint64 frameBytes = qint64(size) * size * 4;
  const qint64 affordable = kBudget / std::max<qint64>(1, frameBytes);
  if (affordable < kFewestSteps) return 0;
  return int(std::clamp<qint64>(std::min<qint64>(fine, affordable), kFewestSteps, 360));
}

const QImage& TvxTurnFrames::Frame(const QImage& picture, int size, double degrees, qreal dpr) {
  Entry& e = EntryFor(picture, size, dpr);
  const int steps = int(e.Frames.size());
  const double perStep = 360.0 / steps;
  int step = int(std::lround(degrees / perStep)) % steps;
  if (step < 0) step += steps;
  QImage& frame = e.Frames[size_t(step)];
  if (frame.isNull()) frame = Turned(e.Scaled, step * perStep, dpr);
  return frame;
}

qint64 TvxTurnFrames::CachedBytes() {
  qint64 bytes = 0;
  for (const Entry& e : Entries()) {
    bytes += e.Scaled.sizeInBytes();
    for (const QImage& f : e.Frames) bytes += f.sizeInBytes();
  }
  return bytes;
}

void TvxTurnFrames::Clear() {
  Entries().clear();
}
