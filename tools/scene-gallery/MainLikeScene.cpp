#include "MainLikeScene.h"

MainLikeScene BuildMainLikeScene(int items, bool discView) {
  MainLikeScene m;
  m.Scene = new TdxScene();
  m.Scene->SetSize(550, 330);
  m.Scene->SetResources(&FormLooks());
  auto* root1 = new TdxVisualObject();
  root1->SetParent(m.Scene);
  m.Layer = new TdxGUIObjectLayer();
  m.Layer->Position().SetX(275);
  m.Layer->Position().SetY(165);
  m.Layer->SetParent(root1);
  auto* root2 = Make<TvxLayout>(m.Layer, 0, 0, 520, 315);
  m.Face = Make<TvxRectangle>(root2, 0, 0, 520, 315);
  m.Face->SetHitTest(false);
  m.Face->Stroke().SetKind(vgBrushNone);
  m.Face->Fill().Bitmap().Assign(
      GradientPicture(520, 315, QColor(0x2B, 0x3A, 0x55), QColor(0x55, 0x3A, 0x2B)));
  auto* top = Make<TvxRectangle>(m.Face, 0, 0, 520, 44.5f);
  top->SetAlign(vaTop);
  top->SetHitTest(false);
  top->Fill().SetColor(0);
  top->Stroke().SetKind(vgBrushNone);
  const QImage glyph = GradientPicture(32, 32, QColor(255, 255, 255), QColor(200, 200, 200));
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

  auto* listView = Make<TvxRectangle>(m.Face, 0, 44.5f, 520, 273);
  listView->Fill().SetColor(0);
  listView->Stroke().SetKind(vgBrushNone);
  listView->SetClipChildren(true);
  listView->SetVisible(!discView);
  m.List = Make<TvxListBox>(listView, 0, 0, 520, 273);
  m.List->SetAlign(vaClient);
  m.List->SetResource("musicListBoxStyle1");
  for (int i = 0; i < items; ++i) AddSongItem(m.List, i, glyph, kSongHeight);
  if (TvxListBoxItem* second = m.List->ItemByIndex(1))
    second->FindBinding("loubtn")->AsVisual()->SetVisible(true);
  if (TvxListBoxItem* selected = m.List->ItemByIndex(std::min(items - 1, 2)))
    selected->SetIsSelected(true);

  auto* play = Make<TvxRectangle>(m.Face, 0, 44.5f, 520, 273);
  play->Fill().SetColor(0);
  play->Stroke().SetKind(vgBrushNone);
  play->SetVisible(discView);
  auto* artist = Make<TvxImage>(play, 35, 66, 120, 108);
  artist->Bitmap().Assign(GradientPicture(120, 108, QColor(90, 90, 120), QColor(30, 30, 40)));
  m.Disc = Make<TvxImage>(play, 80, 67, 106, 106);
  m.Disc->Bitmap().Assign(DiscPicture(106));
  m.Spin = AddDiscSpin(m.Disc);
  m.Progress = Make<TvxProgressBar>(play, 143, 223, 178, 14);
  m.Progress->SetResource("musicProgressStyle1");
  m.Progress->SetValue(40);
  return m;
}
