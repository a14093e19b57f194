// Pictures held by the scene: bitmaps and the indexed bitmap list.
#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <vector>

class TvxBitmap {
 public:
  TvxBitmap() = default;
  TvxBitmap(int width, int height);
  void Assign(const TvxBitmap& other);
  void Assign(const QImage& image);
  void Clear(unsigned color = 0);
  bool LoadFromFile(const QString& path);  // false (and empty) when the file is not a picture
  void SetSize(int width, int height);
  int Width() const { return FImage.width(); }
  int Height() const { return FImage.height(); }
  bool IsEmpty() const { return FImage.isNull(); }
  const QImage& Image() const { return FImage; }
  QImage& Image() { return FImage; }
  std::function<void()> OnChange;

 private:
  void Changed();
  QImage FImage;
};

// Indexed list of named bitmaps; entries may be nameless and empty.
class TdxBitmapList {
 public:
  struct Entry {
    QString Name;
    TvxBitmap Bitmap;
  };
  int Count() const { return int(FEntries.size()); }
  int Add(const QString& name, const QImage& image);
  Entry* Item(int index);  // nullptr outside 0 .. count - 1
  Entry* Find(const QString& name);
  TvxBitmap* Bitmap(int index);

 private:
  std::vector<Entry> FEntries;
};
