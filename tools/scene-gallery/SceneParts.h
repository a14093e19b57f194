// Pieces shared by the gallery and the scene benchmarks: the player's looks, pictures, a play-list
// entry shaped like the player's and the turning disc.
#pragma once

#include <QImage>
#include <QString>

#include "scene/Controls.h"

// The player's styles, as the main window registers them.
const TvxResources& FormLooks();

// A glyph of assets/glyphs rendered at size × size; empty when there is no such file.
QImage GalleryGlyph(const QString& name, int size);
// A round record picture of size × size, transparent outside the disc.
QImage DiscPicture(int size);
// A w × h picture: a gradient from a to b with a light ring.
QImage GradientPicture(int w, int h, QColor a, QColor b);

template <typename T>
T* Make(TvxObject* parent, float x, float y, float w, float h) {
  auto* o = new T();
  o->SetBounds(x, y, w, h);
  o->SetParent(parent);
  return o;
}

// One play-list entry of `height` built like the player's ("backcolor", "playState", "title",
// "songer", "loubtn" with a delete button, shown while hovered), made outside the list and
// then attached to it.
TvxListBoxItem* AddSongItem(TvxListBox* list, int index, const QImage& deleteGlyph,
                            float height = 49);

// The loop that turns a picture once every 2 s, not started.
TvxFloatAnimation* AddDiscSpin(TvxImage* disc);
