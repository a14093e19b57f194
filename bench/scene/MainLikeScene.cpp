#include "MainLikeScene.h"

#include <QLinearGradient>

#include <QPainter>
#include "window/FormStyles.h"

namespace {

// The player's looks, as the main window registers them.
const TvxResources& FormLooks() {
  static const TvxResources* looks = [] {
    auto* r = new TvxResources();
    RegisterFormStyles(*r);
    return r;
  }();
  return *looks;
}

template <typename T>
T* Make(TvxObject* parent, float x, float y, float w, float h) {
  auto* o = new T();
  o->SetBounds(x, y, w, h);
  o->SetParent(parent);
  return o;
}

QImage Picture(int w, int h, QColor a, QColor b) {
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

void AddSong(TvxListBox* list, int i, const QImage& glyph) {
  auto* item = new TvxListBoxItem();
  item->SetHeight(49);
  item->Tag = i;
  auto* layout = Make<TvxLayout>(item, 0, 0, 10, 10);
  layout->SetAlign(vaClient);
  auto* back = Make<TvxRectangle>(layout, 0, 0, 10, 10);
  back->BindingName = "backcolor";
  back->SetAlign(vaClient);
  back->SetHitTest(false);
  back->Fill().SetColorText(QString(QChar(0)));
  back->Stroke().SetColorText(QString(QChar(0)));
  auto* stateBox = Make<TvxLayout>(back, 0, 0, 25, 10);
  stateBox->Padding().Set(5, 0, 3, 0);
  stateBox->SetAlign(vaLeft);
  auto* state = Make<TvxImage>(stateBox, 0, 0, 10, 10);
  state->BindingName = "playState";
  state->SetAlign(vaClient);
  auto* middle = Make<TvxLayout>(back, 0, 0, 10, 10);
  middle->SetAlign(vaClient);
  auto* texts = Make<TvxLayout>(middle, 0, 0, 356, 10);
  texts->SetAlign(vaLeft);
  auto* title = Make<TvxText>(texts, 0, 0, 10, 30);
  title->BindingName = "title";
  title->SetAlign(vaTop);
  title->Fill().SetColorText("#FFffffff");
  title->HorzTextAlign = vgTextAlignNear;
  title->WordWrap = false;
  title->Font.Size = 15;
  title->Font.Style = vgFontBold;
  title->SetText(QStringLiteral("晴天 %1").arg(i));
  auto* singer = Make<TvxText>(texts, 0, 0, 10, 10);
  singer->BindingName = "songer";
  singer->SetAlign(vaClient);
  singer->Fill().SetColorText("#FFffffff");
  singer->HorzTextAlign = vgTextAlignNear;
  singer->WordWrap = false;
  singer->SetText(QStringLiteral("周杰伦"));
  auto* lou = Make<TvxLayout>(middle, 0, 0, 30, 10);
  lou->BindingName = "loubtn";
  lou->SetVisible(i == 1);
  lou->SetAlign(vaClient);
  auto* del = Make<TvxBitmapButton>(lou, 0, 0, 20, 20);
  del->SetAlign(vaRight);
  del->SetResource("btnStyleBlack");
  del->SetBitmapLayout(vgGlyphCenter);
  del->Bitmap().Assign(glyph);
  item->SetParent(list);
}

}  // namespace

MainLikeScene BuildMainLikeScene(int items, bool discView) {
  MainLikeScene m;
  m.Scene = new TdxScene();
  m.Scene->SetResources(&FormLooks());
  m.Scene->SetSize(550, 330);
  auto* root1 = new TdxVisualObject();
  root1->SetParent(m.Scene);
  auto* layer = new TdxGUIObjectLayer();
  layer->Position().SetX(275);
  layer->Position().SetY(165);
  layer->SetParent(root1);
  auto* root2 = Make<TvxLayout>(layer, 0, 0, 520, 315);
  auto* face = Make<TvxRectangle>(root2, 0, 0, 520, 315);
  face->SetHitTest(false);
  face->Stroke().SetKind(vgBrushNone);
  face->Fill().Bitmap().Assign(
      Picture(520, 315, QColor(0x2B, 0x3A, 0x55), QColor(0x55, 0x3A, 0x2B)));
  auto* top = Make<TvxRectangle>(face, 0, 0, 520, 44.5f);
  top->SetAlign(vaTop);
  top->SetHitTest(false);
  top->Fill().SetColor(0);
  top->Stroke().SetKind(vgBrushNone);
  const QImage glyph = Picture(32, 32, QColor(255, 255, 255), QColor(200, 200, 200));
  for (int i = 0; i < 5; ++i) {
    auto* b = Make<TvxBitmapButton>(top, 420 + 20 * i, 0, 20, 20);
    b->SetResource("btnStyleBlack");
    b->Bitmap().Assign(glyph);
  }
  auto* clear = Make<TvxBitmapButton>(top, 153, 7.5f, 107, 32.5f);
  clear->SetResource("btnStyleWhite");
  clear->SetText(QStringLiteral("清空列表"));
  auto* search = Make<TvxBitmapButton>(top, 260, 7.5f, 107, 32.5f);
  search->SetResource("btnStyleWhite");
  search->SetText(QStringLiteral("云歌库"));

  auto* listView = Make<TvxRectangle>(face, 0, 44.5f, 520, 273);
  listView->Fill().SetColor(0);
  listView->Stroke().SetKind(vgBrushNone);
  listView->SetClipChildren(true);
  listView->SetVisible(!discView);
  m.List = Make<TvxListBox>(listView, 0, 0, 520, 273);
  m.List->SetAlign(vaClient);
  m.List->SetResource("musicListBoxStyle1");
  for (int i = 0; i < items; ++i) AddSong(m.List, i, glyph);
  m.List->ItemByIndex(std::min(items - 1, 2))->SetIsSelected(true);

  auto* play = Make<TvxRectangle>(face, 0, 44.5f, 520, 273);
  play->Fill().SetColor(0);
  play->Stroke().SetKind(vgBrushNone);
  play->SetVisible(discView);
  m.Disc = Make<TvxImage>(play, 80, 67, 106, 106);
  m.Disc->Bitmap().Assign(Picture(106, 106, QColor(20, 20, 20), QColor(240, 200, 120)));
  m.Spin = new TvxFloatAnimation();
  m.Spin->SetPropertyName("RotateAngle");
  m.Spin->SetStopValue(360);
  m.Spin->SetDuration(2);
  m.Spin->SetLoop(true);
  m.Spin->SetParent(m.Disc);
  auto* progress = Make<TvxProgressBar>(play, 143, 223, 178, 14);
  progress->SetResource("musicProgressStyle1");
  progress->SetValue(40);
  m.Progress = progress;
  return m;
}
