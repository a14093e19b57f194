// Frames of a round picture turning about its centre. A turning disc redrawn 30 times a second
// would resample the whole picture every frame; instead each step of the turn is rendered once,
// at the device size it is shown at, and later frames are plain copies of pixels.
#pragma once

#include <QImage>
#include <QRect>
#include <utility>

// True when the picture is transparent outside the ellipse inscribed in it, so that turning it
// about its centre never paints outside its box.
bool vgIsRoundPicture(const QImage& picture);

// The widest run of columns, and the tallest run of rows, whose pixels are all opaque (the whole
// picture for one without an alpha channel; empty rectangles where there is none).
std::pair<QRect, QRect> vgOpaqueBands(const QImage& picture);

class TvxTurnFrames {
 public:
  // The frame of `picture` stretched to size × size device pixels and turned by about `degrees`
  // (the nearest step). The frame carries the device pixel ratio dpr. Only for sizes with
  // Steps(size) > 0.
  static const QImage& Frame(const QImage& picture, int size, double degrees, qreal dpr);
  // Bytes held by the frames made so far (a few pictures at most are kept).
  static qint64 CachedBytes();
  static void Clear();
  // Steps of a whole turn for a picture of `size` device pixels: fine enough that the rim moves
  // about 3 px from one to the next, as far as the memory budget allows, and never fewer than 60
  // (6 degrees, one tick of a disc turning every 2 s). 0: too large to keep, turn it directly.
  static int Steps(int size);
};
