#include "SceneParts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include "window/FormStyles.h"

namespace {

QString AssetDir() {
  for (const QString& dir : {QCoreApplication::applicationDirPath() + "/assets/glyphs",
                             QStringLiteral(MELVO_SOURCE_DIR "/assets/glyphs")})
    if (QDir(dir).exists()) return dir;
  return QString();
}

}  // namespace

const TvxResources& FormLooks() {
  static const TvxResources* looks = [] {
    auto* r = new TvxResources();
    RegisterFormStyles(*r);
    return r;
  }();
  return *looks;
}

QImage GalleryGlyph(const QString& name, int size) {
  QFile f(AssetDir() + "/" + name + ".svg");
  if (!f.open(QIODevice::ReadOnly)) return QImage();
  return vgRenderSvg(f.readAll(), size, size);
}

QImage DiscPicture(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(0.5, 0.5, size - 1, size - 1);
  QRadialGradient groove(r.center(), size / 2.0);
  groove.setColorAt(0, QColor(40, 40, 40));
  groove.setColorAt(1, QColor(12, 12, 12));
  p.setPen(Qt::NoPen);
  p.setBrush(groove);
  p.drawEllipse(r);
  p.setPen(QPen(QColor(255, 255, 255, 28), 1));
  p.setBrush(Qt::NoBrush);
  for (double k = 0.45; k < 0.95; k += 0.08) p.drawEllipse(r.center(), size * k / 2, size * k / 2);
  // The label is not symmetric, so that the turning shows.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(245, 205, 118));
  p.drawEllipse(r.center(), size * 0.19, size * 0.19);
  p.setBrush(QColor(230, 120, 50));
  p.drawPie(
      QRectF(r.center().x() - size * 0.19, r.center().y() - size * 0.19, size * 0.38, size * 0.38),
      200 * 16, 70 * 16);
  p.setBrush(QColor(20, 20, 20));
  p.drawEllipse(r.center(), size * 0.03, size * 0.03);
  return img;
}

QImage GradientPicture(int w, int h, QColor a, QColor b) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  QPainter p(&img);
  QLinearGradient g(0, 0, w, h);
  g.setColorAt(0, a);
  g.setColorAt(1, b);
  p.fillRect(img.rect(), g);
  p.setBrush(QColor(255, 255, 255, 60));
  p.drawEllipse(QRectF(w * 0.2, h * 0.2, w * 0.6, h * 0.6));
  return img;
}

TvxListBoxItem* AddSongItem(TvxListBox* list, int i, const QImage& deleteGlyph, float height) {
  auto* item = new TvxListBoxItem();
  item->SetHeight(height);
  item->Tag = i;
  item->TagString = QStringLiteral("/music/%1.mp3").arg(i);
  auto* layout = new TvxLayout();
  layout->SetAlign(vaClient);
  layout->SetParent(item);
  auto* back = new TvxRectangle();
  back->BindingName = "backcolor";
  back->SetAlign(vaClient);
  back->SetHitTest(false);
  back->Fill().SetColorText(QString(QChar(0)));
  back->Stroke().SetColorText(QString(QChar(0)));
  back->SetParent(layout);
  auto* stateBox = Make<TvxLayout>(back, 0, 0, 25, 10);
  stateBox->Padding().Set(5, 0, 3, 0);
  stateBox->SetAlign(vaLeft);
  auto* state = Make<TvxImage>(stateBox, 0, 0, 10, 10);
  state->BindingName = "playState";
  state->SetAlign(vaClient);
  auto* texts = new TvxLayout();
  texts->SetAlign(vaClient);
  texts->Padding().Set(2, 0, 0, 0);
  texts->SetParent(back);
  auto* title = new TvxText();
  title->BindingName = "title";
  title->SetAlign(vaTop);
  title->SetHeight(22);
  title->Fill().SetColorText("#FFffffff");
  title->HorzTextAlign = vgTextAlignNear;
  title->WordWrap = false;
  title->Font.Size = 14;
  title->Font.Style = vgFontBold;
  title->SetHitTest(false);
  title->SetText(QStringLiteral("第 %1 首 · 晴天").arg(i + 1));
  title->SetParent(texts);
  auto* singer = new TvxText();
  singer->BindingName = "songer";
  singer->SetAlign(vaClient);
  singer->Fill().SetColorText("#FFffffff");
  singer->HorzTextAlign = vgTextAlignNear;
  singer->WordWrap = false;
  singer->Font.Size = 11;
  singer->SetHitTest(false);
  singer->SetText(i % 3 ? QStringLiteral("周杰伦") : QStringLiteral("未知歌手"));
  singer->SetParent(texts);
  auto* lou = new TvxLayout();
  lou->BindingName = "loubtn";
  lou->SetVisible(false);
  lou->SetWidth(30);
  lou->SetAlign(vaRight);
  lou->SetParent(back);
  auto* del = new TvxBitmapButton();
  del->SetResource("btnStyleBlack");
  del->SetWidth(20);
  del->SetHeight(20);
  del->Position().SetY(10);
  del->SetBitmapLayout(vgGlyphCenter);
  del->BitmapSize = 16;
  del->Bitmap().Assign(deleteGlyph);
  del->Hint = QStringLiteral("删除歌曲");
  del->ShowHint = true;
  del->SetParent(lou);
  if (list) item->SetParent(list);
  return item;
}

TvxFloatAnimation* AddDiscSpin(TvxImage* disc) {
  auto* spin = new TvxFloatAnimation();
  spin->SetPropertyName("RotateAngle");
  spin->SetStopValue(360);
  spin->SetDuration(2);
  spin->SetLoop(true);
  spin->SetParent(disc);
  return spin;
}
