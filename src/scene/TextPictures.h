// Texts drawn from pictures made once. Laying a text out and shaping it costs far more than
// copying its pixels, and a scene repaints the same texts again and again (a turning disc repaints
// what lies beside it 30 times a second), so each text is drawn once into a picture at the device
// size and position it is shown at, and later paints copy that picture.
#pragma once

#include <QRectF>
#include <QString>
#include <QtGlobal>
#include <functional>

class QPainter;

// What a text looks like, but for where it is placed.
struct TvxTextLook {
  QString Text;
  QString Family;
  float Size = 0;
  int Style = 0;
  quint32 Color = 0;
  int Horz = 0, Vert = 0;
  bool WordWrap = false;
  bool operator==(const TvxTextLook&) const = default;
};

class TvxTextPictures {
 public:
  // Draws `paint` (which draws the text at `r` with whatever painter it is given) through the
  // picture kept for `look` and the painter's placement, making it first when needed. Returns
  // false, having drawn nothing, where a picture would not look the same as drawing directly
  // (a turned or sheared painter, a composition other than source-over, a huge box): the caller
  // draws directly then.
  static bool Draw(QPainter& p, const QRectF& r, const TvxTextLook& look,
                   const std::function<void(QPainter&)>& paint);
  static int CachedCount();
  static qint64 CachedBytes();
  static void Clear();
  // Off: Draw always returns false (to compare with direct drawing).
  static void SetEnabled(bool on);
};
