#include "scene/Bitmap.h"

#include <QImageReader>

TvxBitmap::TvxBitmap(int width, int height) {
  SetSize(width, height);
}

void TvxBitmap::Changed() {
  if (OnChange) OnChange();
}

void TvxBitmap::Assign(const TvxBitmap& other) {
  FImage = other.FImage;
  Changed();
}

void TvxBitmap::Assign(const QImage& image) {
  FImage = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  Changed();
}

void TvxBitmap::Clear(unsigned color) {
  if (!FImage.isNull()) FImage.fill(QColor::fromRgba(color));
  Changed();
}

void TvxBitmap::SetSize(int width, int height) {
  if (width <= 0 || height <= 0) {
    FImage = QImage();
  } else {
    FImage = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    FImage.fill(Qt::transparent);
  }
  Changed();
}

bool TvxBitmap::LoadFromFile(const QString& path) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  QImage image = reader.read();
  Assign(image);
  return !image.isNull();
}

int TdxBitmapList::Add(const QString& name, const QImage& image) {
  Entry entry;
  entry.Name = name;
  entry.Bitmap.Assign(image);
  FEntries.push_back(std::move(entry));
  return Count() - 1;
}

TdxBitmapList::Entry* TdxBitmapList::Item(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return &FEntries[size_t(index)];
}

TdxBitmapList::Entry* TdxBitmapList::Find(const QString& name) {
  for (Entry& e : FEntries)
    if (!name.isEmpty() && e.Name == name) return &e;
  return nullptr;
}

TvxBitmap* TdxBitmapList::Bitmap(int index) {
  Entry* e = Item(index);
  return e ? &e->Bitmap : nullptr;
}
