#include "Gallery.h"

namespace {

TvxText* Label(TvxObject* parent, float x, float y, float w, float h, const QString& text,
               float size = 12, TvxTextAlign align = vgTextAlignNear) {
  auto* t = Make<TvxText>(parent, x, y, w, h);
  t->SetText(text);
  t->Fill().SetColor(0xFFE0E0E0);
  t->Font.Size = size;
  t->HorzTextAlign = align;
  t->SetHitTest(false);
  return t;
}

TvxBitmapButton* Button(TvxObject* parent, float x, float y, float w, float h, const QString& style,
                        const QString& text, const QString& glyph = QString(), float glyphSize = 0,
                        const QString& hint = QString()) {
  auto* b = Make<TvxBitmapButton>(parent, x, y, w, h);
  b->SetResource(style);
  b->SetText(text);
  if (!glyph.isEmpty()) {
    const int size = int(glyphSize > 0 ? glyphSize : std::min(w, h));
    b->BitmapSize = float(size);
    b->Bitmap().Assign(GalleryGlyph(glyph, size * 2));
  }
  if (!hint.isEmpty()) {
    b->Hint = hint;
    b->ShowHint = true;
  }
  return b;
}

void AddEasingDots(TvxObject* parent, float x, float y) {
  static const char* kNames[] = {"Linear",  "Quadratic",  "Cubic",       "Quartic",
                                 "Quintic", "Sinusoidal", "Exponential", "Circular",
                                 "Elastic", "Back",       "Bounce"};
  const TAlphaColor colours[] = {0xFFF5CD76, 0xFFF49090, 0xFF8FD3F4};
  Label(parent, x, y - 20, 260, 18, QStringLiteral("缓动 In / Out / InOut"), 12);
  for (int k = 0; k < 11; ++k) {
    const float row = y + k * 20;
    Label(parent, x, row, 80, 18, kNames[k], 10);
    auto* track = Make<TvxRectangle>(parent, x + 80, row + 8, 150, 2);
    track->Fill().SetColor(0x40FFFFFF);
    track->Stroke().SetKind(vgBrushNone);
    track->SetHitTest(false);
    for (int d = 0; d < 3; ++d) {
      auto* dot = Make<TvxRectangle>(parent, x + 80, row + 5 + d * 0.5f, 8, 8);
      dot->XRadius = dot->YRadius = 4;
      dot->Fill().SetColor(colours[d]);
      dot->Stroke().SetKind(vgBrushNone);
      dot->SetHitTest(false);
      auto* a = new TvxFloatAnimation();
      a->SetPropertyName("Position.X");
      a->SetStartValue(x + 80);
      a->SetStopValue(x + 202);
      a->SetDuration(1.6f);
      a->SetLoop(true);
      a->SetAutoReverse(true);
      a->SetInterpolation(TvxInterpolationType(k));
      a->SetAnimationType(TvxAnimationType(d));
      a->SetParent(dot);
    }
  }
}

void StartLoops(TvxObject* o) {
  for (TvxObject* c : o->Children()) {
    if (TvxAnimation* a = c->AsAnimation();
        a && a->Loop() && !a->Running() && a->Trigger().isEmpty() && a->BindingName.isEmpty())
      a->Start();
    StartLoops(c);
  }
}

}  // namespace

void Gallery::Flip(bool toBack) {
  TvxBitmapButton* own = toBack ? FlipButton : BackButton;
  own->SetEnabled(false);
  const auto alive = own->LifeToken();
  Layer->AnimateFloat("Position.Z", 300, 0.3f);
  Layer->AnimateFloatWait("RotateAngle.Y", 90, 0.3f);
  if (!IsAlive(alive)) return;
  Back->SetVisible(toBack);
  Front->SetVisible(!toBack);
  Layer->RotateAngle().SetY(270);
  Layer->AnimateFloat("Position.Z", 0, 0.3f);
  Layer->AnimateFloat("RotateAngle.Y", 360, 0.3f);
  own->SetEnabled(true);
}

Gallery BuildGallery(float width, float height, int listItems) {
  Gallery g;
  g.Scene = new TdxScene();
  g.Scene->SetResources(&FormLooks());
  g.Scene->SetSize(width, height);
  auto* root1 = new TdxVisualObject();
  root1->SetParent(g.Scene);
  g.Layer = new TdxGUIObjectLayer();
  g.Layer->Width = width - 30;
  g.Layer->Height = height - 15;
  g.Layer->Position().SetX(width / 2);
  g.Layer->Position().SetY(height / 2);
  g.Layer->SetParent(root1);
  auto* root2 = Make<TvxLayout>(g.Layer, 0, 0, g.Layer->Width, g.Layer->Height);

  g.Front = Make<TvxRectangle>(root2, 0, 0, root2->Width(), root2->Height());
  g.Front->SetAlign(vaTop);
  g.Front->SetHitTest(false);
  g.Front->XRadius = g.Front->YRadius = 6;
  g.Front->Fill().SetLinearGradient({{0, 0xFF2B3A55}, {1, 0xFF1A1F2B}});
  g.Front->Stroke().SetKind(vgBrushNone);
  TvxRectangle* f = g.Front;

  // Top bar, as the player's.
  auto* top = Make<TvxRectangle>(f, 0, 0, f->Width(), 44.5f);
  top->SetAlign(vaTop);
  top->SetHitTest(false);
  top->Fill().SetColor(0x30000000);
  top->Stroke().SetKind(vgBrushNone);
  Label(top, 14, 0, 200, 44, QStringLiteral("Melvo5 控件一览"), 18);
  auto* right = Make<TvxLayout>(top, 0, 0, 107, 44.5f);
  right->SetAlign(vaRight);
  const char* tops[] = {"feedback", "search", "settings", "add", "close"};
  const char* hints[] = {"意见反馈", "本地歌曲搜索", "设置", "添加歌曲", "最小化至托盘"};
  for (int i = 0; i < 5; ++i)
    Button(right, 7 + 20 * i, 0, 20, 20, "btnStyleBlack", "", tops[i], 14, hints[i]);
  Button(top, 240, 7.5f, 107, 32.5f, "btnStyleWhite", QStringLiteral("清空列表"));
  Button(top, 347, 7.5f, 107, 32.5f, "btnStyleWhite", QStringLiteral("云歌库"));
  g.Search = Make<TvxHudTextBox>(top, 470, 8, 210, 27.5f);
  g.Search->SetResource("HudTextBox1Style1");
  g.Search->SetText(QStringLiteral("输入搜索歌曲名"));

  // Column 1: buttons, texts, bars.
  const float c1 = 12, y0 = 56;
  Label(f, c1, y0, 200, 18, "btnStyleEffect", 11);
  Button(f, c1, y0 + 20, 50, 50, "btnStyleEffect", "", "play", 48, QStringLiteral("播放/暂停"));
  Button(f, c1 + 54, y0 + 29, 32, 32, "btnStyleEffect", "", "next", 32, QStringLiteral("下一首"));
  Button(f, c1 + 90, y0 + 29, 32, 32, "btnStyleEffect", "", "loop", 32, QStringLiteral("循环模式"));
  Button(f, c1 + 126, y0 + 29, 32, 32, "btnStyleEffect", "", "random", 32);
  g.BackButton = nullptr;
  Button(f, c1 + 162, y0 + 20, 52, 40, "btnStyleEffect", "", "back", 36,
         QStringLiteral("返回列表界面"));

  Label(f, c1, y0 + 78, 220, 18, "msgButtonStyle / 默认 / btnStyleWhite", 11);
  auto* ok = Make<TvxSpeedButton>(f, c1, y0 + 98, 62, 24.5f);
  ok->SetResource("msgButtonStyle");
  ok->SetText(QStringLiteral("确定"));
  auto* no = Make<TvxSpeedButton>(f, c1 + 72, y0 + 98, 62, 24.5f);
  no->SetResource("msgButtonStyle");
  no->SetText(QStringLiteral("取消"));
  Button(f, c1 + 144, y0 + 98, 75, 24.5f, "", QStringLiteral("默认按钮"));
  Button(f, c1, y0 + 128, 55, 40, "btnStyleWhite", "", "back", 24);
  Button(f, c1 + 60, y0 + 128, 100, 40, "btnStyleWhite", QStringLiteral("带图标"), "album", 18);

  auto* check = Make<TvxHudCheckBox>(f, c1, y0 + 174, 136, 31.5f);
  check->SetResource("checkAutoStartStyle1");
  check->SetText(QStringLiteral("设置开机启动"));
  check->SetIsChecked(true);
  auto* check2 = Make<TvxHudCheckBox>(f, c1 + 140, y0 + 174, 90, 31.5f);
  check2->SetText(QStringLiteral("未勾选"));

  auto* hud = Make<TvxHudLabel>(f, c1, y0 + 206, 230, 22);
  hud->SetText(QStringLiteral("适当吐槽 轻喷即可 欢迎骚扰"));
  auto* big = Label(f, c1, y0 + 228, 230, 30, QStringLiteral("周杰伦"), 23);
  big->Fill().SetColorText("#FFffffff");
  auto* bold = Label(f, c1, y0 + 258, 230, 24, QStringLiteral("晴天 (粗体 15)"), 15);
  bold->Font.Style = vgFontBold;
  auto* wrap = Label(f, c1, y0 + 282, 230, 36,
                     QStringLiteral("自动换行的文字：故事的小黄花，从出生那年就飘着。"), 11);
  wrap->WordWrap = true;
  Label(f, c1, y0 + 318, 230, 18, QStringLiteral("右对齐 Far"), 11, vgTextAlignFar);

  auto* times = Label(f, c1, y0 + 340, 49, 20.5f, "01:23", 11);
  (void)times;
  auto* progress = Make<TvxProgressBar>(f, c1 + 50, y0 + 343, 178, 14);
  progress->SetResource("musicProgressStyle1");
  progress->SetValue(62);
  progress->Cursor = crHandPoint;
  auto* plain = Make<TvxProgressBar>(f, c1 + 50, y0 + 362, 178, 8);
  plain->SetValue(30);
  auto* htrack = Make<TvxTrackBar>(f, c1 + 50, y0 + 376, 178, 14);
  htrack->SetValue(40);

  auto* sound = Make<TvxRectangle>(f, c1 + 238, y0 + 276, 23, 93.5f);
  sound->Fill().SetColorText("#64000000");
  sound->Stroke().SetKind(vgBrushNone);
  sound->XRadius = sound->YRadius = 3;
  auto* vol = Make<TvxTrackBar>(sound, 6, 3, 10, 71.5f);
  vol->Vertical = true;
  vol->SetResource("musicTrack_vs");
  vol->SetValue(30);
  Button(sound, 1, 73.5f, 20, 20, "btnStyleEffect", "", "volume", 18, QStringLiteral("静音"));

  // The turning disc beside an artist picture, as in the now-playing view.
  auto* artist = Make<TvxImage>(f, c1 + 262, y0 + 2, 80, 72);
  artist->Bitmap().Assign(GalleryGlyph("album", 160));
  g.Disc = Make<TvxImage>(f, c1 + 250, y0 + 86, 106, 106);
  const QImage disc = GalleryGlyph("disc", 212);
  g.Disc->Bitmap().Assign(disc.isNull() ? DiscPicture(212) : disc);
  AddDiscSpin(g.Disc);

  // Column 2: the long list and a string list.
  const float c2 = 372;
  Label(f, c2, y0, 260, 18, QStringLiteral("musicListBoxStyle1 · %1 首").arg(listItems), 11);
  auto* listBack = Make<TvxRectangle>(f, c2, y0 + 20, 250, 260);
  listBack->Fill().SetColor(0x28000000);
  listBack->Stroke().SetKind(vgBrushNone);
  listBack->SetClipChildren(true);
  g.Songs = Make<TvxListBox>(listBack, 0, 0, 250, 260);
  g.Songs->SetAlign(vaClient);
  g.Songs->SetResource("musicListBoxStyle1");
  g.Songs->Cursor = crHandPoint;
  const QImage del = GalleryGlyph("delete", 32);
  for (int i = 0; i < listItems; ++i) AddSongItem(g.Songs, i, del, 40);
  TvxListBox* songs = g.Songs;
  g.Songs->OnMouseMove = [songs](TvxObject*, unsigned, float x, float y, float, float) {
    TvxListBoxItem* item = songs->ItemByPoint(x, y);
    if (!item) return;
    item->SetIsSelected(true);
    for (int i = 0; i < songs->Count(); ++i) {
      TvxObject* lou = songs->ItemByIndex(i)->FindBinding("loubtn");
      if (lou && lou->AsVisual()->Visible()) {
        lou->AsVisual()->SetVisible(false);
        break;
      }
    }
    if (TvxObject* lou = item->FindBinding("loubtn")) lou->AsVisual()->SetVisible(true);
  };
  if (TvxListBoxItem* second = g.Songs->ItemByIndex(1))
    second->FindBinding("backcolor")->AsVisual()->Fill().SetColorText("#FF808080");

  auto* strings = Make<TvxStringListBox>(f, c2, y0 + 290, 250, 100);
  strings->SetResource("musicListBoxStyle1");
  strings->Fill().SetColor(0xFF9D9D9D);
  for (const char* s : {"晴天 - 周杰伦", "七里香 - 周杰伦", "后来 - 刘若英", "平凡之路 - 朴树",
                        "夜空中最亮的星 - 逃跑计划", "成都 - 赵雷"})
    strings->Items().Add(QString::fromUtf8(s));
  strings->MouseTracking = true;

  // Column 3: easing dots, popup and flip buttons.
  const float c3 = 636;
  AddEasingDots(f, c3, y0 + 20);
  g.PopupButton = Button(f, c3, y0 + 250, 107, 32.5f, "btnStyleWhite", QStringLiteral("弹出提示"));
  g.FlipButton = Button(f, c3 + 115, y0 + 250, 107, 32.5f, "btnStyleWhite",
                        QStringLiteral("设置(翻转)"), "settings", 18);
  g.Status = Make<TvxHudLabel>(f, c3, y0 + 290, 220, 40);
  g.Status->SetText(QStringLiteral("悬停、点击、滚动都可以试试"));
  auto* images = Make<TvxLayout>(f, c3, y0 + 334, 220, 44);
  const char* glyphs[] = {"play", "pause", "next", "single", "order", "random", "mute", "search"};
  for (int i = 0; i < 8; ++i) {
    auto* im = Make<TvxImage>(images, i * 27.0f, 0, 24, 24);
    im->Bitmap().Assign(GalleryGlyph(glyphs[i], 48));
  }

  // The popup slides down against the top bar.
  g.Popup = Make<TvxMessagePopup>(f, 0, 0, 520, 210);
  g.Popup->Position().SetX((f->Width() - 520) / 2);
  g.Popup->SetResource("MsgPopStyle1");
  g.Popup->PlacementTarget = top;
  g.Popup->VerticalOffset = 8;
  auto* msgImage = Make<TvxImage>(g.Popup, 48, 34, 100, 100);
  msgImage->Bitmap().Assign(GalleryGlyph("delete", 200));
  auto* msg = Make<TvxHudLabel>(g.Popup, 188, 34, 270, 75.5f);
  msg->Font.Size = 18;
  msg->HorzTextAlign = vgTextAlignCenter;
  msg->SetText(QStringLiteral("确定要清空播放列表吗？"));
  auto* yes = Make<TvxSpeedButton>(g.Popup, 334, 153.5f, 62, 24.5f);
  yes->SetResource("msgButtonStyle");
  yes->SetText(QStringLiteral("确定"));
  yes->ModalResult = mrYes;
  auto* cancel = Make<TvxSpeedButton>(g.Popup, 406, 153.5f, 62, 24.5f);
  cancel->SetResource("msgButtonStyle");
  cancel->SetText(QStringLiteral("取消"));
  cancel->ModalResult = mrNo;
  Gallery* self = nullptr;
  (void)self;
  TvxMessagePopup* popup = g.Popup;
  TvxHudLabel* status = g.Status;
  g.PopupButton->OnClick = [popup, status](TvxObject*) {
    const int r = popup->PopupModal();
    status->SetText(QStringLiteral("弹出窗口返回 %1").arg(r));
  };

  // The back face, reached by the flip.
  g.Back = Make<TvxRectangle>(root2, 53, 30, 414, 256);
  g.Back->Position().SetPoint((root2->Width() - 414) / 2, (root2->Height() - 256) / 2);
  g.Back->SetVisible(false);
  g.Back->SetHitTest(false);
  g.Back->XRadius = g.Back->YRadius = 6;
  g.Back->Fill().SetLinearGradient({{0, 0xFF3A2B55}, {1, 0xFF1F1A2B}});
  g.Back->Stroke().SetKind(vgBrushNone);
  auto* auto1 = Make<TvxHudCheckBox>(g.Back, 52, 21, 136, 31.5f);
  auto1->SetResource("checkAutoStartStyle1");
  auto1->SetText(QStringLiteral("设置开机启动"));
  auto* bgLabel = Make<TvxHudLabel>(g.Back, 54, 74, 120, 40);
  bgLabel->SetText(QStringLiteral("设置播放器背景"));
  const TAlphaColor tiles[] = {0xFF2B3A55, 0xFF553A2B, 0xFF2B5540, 0xFF552B4A,
                               0xFF40402B, 0xFF2B4F55, 0xFF4A2B55, 0xFF555555};
  for (int i = 0; i < 8; ++i) {
    auto* tile = Make<TvxDBImage>(g.Back, 200 + 55 * (i % 4), i < 4 ? 74 : 131, 40, 40);
    tile->Bitmap().SetSize(40, 40);
    tile->Bitmap().Clear(tiles[i]);
    tile->Cursor = crHandPoint;
    TvxRectangle* front = g.Front;
    const TAlphaColor c = tiles[i];
    tile->OnClick = [front, c](TvxObject*) {
      front->Fill().SetLinearGradient({{0, c}, {1, 0xFF1A1F2B}});
    };
  }
  g.BackButton = Button(g.Back, 327, 196, 62, 26.5f, "btnStyleWhite", QStringLiteral("完成"));

  StartLoops(g.Scene);
  return g;
}
