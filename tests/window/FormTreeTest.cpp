// The component tree against the form's description: one row per component.
#include <QAction>
#include <QFontMetricsF>
#include <QMenu>
#include <QTimer>
#include <functional>

#include "WindowTestSupport.h"

namespace {

template <class T>
bool Is(TvxObject* o) {
  return dynamic_cast<T*>(o) != nullptr;
}

QString TextOf(TvxObject* o) {
  if (auto* b = dynamic_cast<TvxButtonBase*>(o)) return b->Text();
  if (auto* t = dynamic_cast<TvxText*>(o)) return t->Text();
  if (auto* e = dynamic_cast<TvxHudTextBox*>(o)) return e->Text();
  if (auto* l = dynamic_cast<TvxHudLabel*>(o)) return l->Text();
  if (auto* c = dynamic_cast<TvxHudCheckBox*>(o)) return c->Text();
  return QString();
}

struct Expected {
  const char* name;
  bool (*kind)(TvxObject*);
  const char* parent;
  float x, y, w, h;  // after layout; w < 0: not checked (non-visual)
  bool visible;
  const char* text;
};

constexpr bool kShown = true, kHidden = false;

// clang-format off
const Expected kTree[] = {
  {"RectangleRoot", Is<TvxRectangle>, "Root2", 0, 0, 520, 315, kShown, ""},
  {"RectangleTop", Is<TvxRectangle>, "RectangleRoot", 0, 0, 520, 44.5f, kShown, ""},
  {"LayoutTopleft", Is<TvxLayout>, "RectangleTop", 0, 0, 77, 44.5f, kShown, ""},
  {"btnReturn", Is<TvxBitmapButton>, "LayoutTopleft", 3, 0, 52, 40, kHidden, ""},
  {"LayoutTopcenterList", Is<TvxLayout>, "RectangleTop", 77, 0, 336, 44.5f, kShown, ""},
  {"btnClearlist", Is<TvxBitmapButton>, "LayoutTopcenterList", 76, 7.5f, 107, 32.5f, kShown, "清空列表"},
  {"btnSearch", Is<TvxBitmapButton>, "LayoutTopcenterList", 183, 7.5f, 107, 32.5f, kShown, "云歌库"},
  {"LayoutTopcenterSearch", Is<TvxLayout>, "RectangleTop", 77, 0, 336, 44.5f, kHidden, ""},
  {"textSearch", Is<TvxHudTextBox>, "LayoutTopcenterSearch", 10, 7, 210, 27.5f, kShown, "输入搜索歌曲名"},
  {"btnOL", Is<TvxBitmapButton>, "LayoutTopcenterSearch", 230, 5, 59, 32.5f, kShown, "搜索"},
  {"LayoutTopright", Is<TvxLayout>, "RectangleTop", 413, 0, 107, 44.5f, kShown, ""},
  {"btnSuggest", Is<TvxBitmapButton>, "LayoutTopright", 7, 0, 20, 20, kShown, ""},
  {"btnLocalSearch", Is<TvxBitmapButton>, "LayoutTopright", 27, 0, 20, 20, kShown, ""},
  {"btnSet", Is<TvxBitmapButton>, "LayoutTopright", 47, 0, 20, 20, kShown, ""},
  {"btnAdd", Is<TvxBitmapButton>, "LayoutTopright", 67, 0, 20, 20, kShown, ""},
  {"btnClose", Is<TvxBitmapButton>, "LayoutTopright", 87, 0, 20, 20, kShown, ""},
  {"hudtextSearch", Is<TvxHudTextBox>, "LayoutTopright", 107, 22.5f, 107, 22, kShown, "输入本地歌曲信息"},
  {"RectangleSearch", Is<TvxRectangle>, "LayoutTopright", -143, 44.5f, 250, 100, kHidden, ""},
  {"StringListBoxSearch", Is<TvxStringListBox>, "RectangleSearch", 0, 0, 250, 100, kShown, ""},
  {"RectangleList", Is<TvxRectangle>, "RectangleRoot", 0, 44.5f, 520, 273, kShown, ""},
  {"musicListBox", Is<TvxListBox>, "RectangleList", 0, 0, 520, 273, kShown, ""},
  {"imgTip", Is<TvxImage>, "RectangleRoot", 122, 0, 405, 264, kHidden, ""},
  {"RectanglePlay", Is<TvxRectangle>, "RectangleRoot", 0, 44.5f, 520, 273, kHidden, ""},
  {"imageArtist", Is<TvxImage>, "RectanglePlay", 65, 66, 120, 108, kShown, ""},
  {"imageDisc", Is<TvxImage>, "RectanglePlay", 42, 67, 106, 106, kHidden, ""},
  {"FloatAnimation2", Is<TvxFloatAnimation>, "imageDisc", 0, 0, -1, 0, kShown, ""},
  {"vxtxtSinger", Is<TvxText>, "RectanglePlay", 187, 73, 266, 46, kShown, ""},
  {"vxtxtSongName", Is<TvxText>, "RectanglePlay", 187, 124.5f, 259, 49.5f, kShown, ""},
  {"vxtxtTotalTime", Is<TvxText>, "RectanglePlay", 132, 237, 49, 20.5f, kShown, "00:00"},
  {"musicProgress", Is<TvxProgressBar>, "RectanglePlay", 143, 223, 178, 14, kShown, ""},
  {"vxtxtCurTime", Is<TvxText>, "RectanglePlay", 283, 237, 49, 20.5f, kShown, "00:00"},
  {"btnCircle", Is<TvxBitmapButton>, "RectanglePlay", 338, 227.5f, 32, 32, kShown, ""},
  {"FloatAnimation1", Is<TvxFloatAnimation>, "btnCircle", 0, 0, -1, 0, kShown, ""},
  {"RectangleCircle", Is<TvxRectangle>, "RectanglePlay", 341, 155, 26, 98, kHidden, ""},
  {"btnOrder", Is<TvxBitmapButton>, "RectangleCircle", -2, -3, 32, 32, kShown, ""},
  {"btnRandom", Is<TvxBitmapButton>, "RectangleCircle", -2, 22, 32, 32, kShown, ""},
  {"btnSingle", Is<TvxBitmapButton>, "RectangleCircle", -2, 47, 32, 32, kShown, ""},
  {"btnPlay", Is<TvxBitmapButton>, "RectanglePlay", 373, 207.5f, 50, 50, kShown, ""},
  {"btnNext", Is<TvxBitmapButton>, "RectanglePlay", 425, 225.5f, 32, 32, kShown, ""},
  {"bRectangleSound", Is<TvxRectangle>, "RectanglePlay", 465, 164, 23, 93.5f, kShown, ""},
  {"soundTrackBar", Is<TvxTrackBar>, "bRectangleSound", 6, 3, 10, 71.5f, kShown, ""},
  {"btnSound", Is<TvxBitmapButton>, "bRectangleSound", 1, 73.5f, 20, 20, kShown, ""},
  {"btnSoundFloatAnimation", Is<TvxFloatAnimation>, "btnSound", 0, 0, -1, 0, kShown, ""},
  {"TbFloatAnimation", Is<TvxFloatAnimation>, "RectanglePlay", 0, 0, -1, 0, kShown, ""},
  {"RectangleOL", Is<TvxRectangle>, "RectangleRoot", 0, 44.5f, 520, 270.5f, kHidden, ""},
  {"btnOLper", Is<TvxBitmapButton>, "RectangleOL", 0, 0, 55, 270.5f, kShown, ""},
  {"OLListBox", Is<TvxListBox>, "RectangleOL", 55, 0, 410, 270.5f, kShown, ""},
  {"btnOLnext", Is<TvxBitmapButton>, "RectangleOL", 465, 0, 55, 270.5f, kShown, ""},
  {"MsgPop", Is<TvxMessagePopup>, "RectangleRoot", 0, -1, 520, 210, kHidden, ""},
  {"labelDel", Is<TvxHudLabel>, "MsgPop", 188, 34, 270, 75.5f, kShown, ""},
  {"Image1", Is<TvxImage>, "MsgPop", 48, 34, 100, 100, kShown, ""},
  {"msgBtnOk", Is<TvxSpeedButton>, "MsgPop", 334, 153.5f, 62, 24.5f, kShown, "确定"},
  {"msgBtnNo", Is<TvxSpeedButton>, "MsgPop", 406, 153.5f, 62, 24.5f, kShown, "取消"},
  {"suggestPop", Is<TvxMessagePopup>, "RectangleRoot", 0, -1, 520, 210, kHidden, ""},
  {"HudTextBoxSuggest", Is<TvxHudTextBox>, "suggestPop", 141, 27, 230, 30.5f, kShown, "建议"},
  {"HudTextBoxMail", Is<TvxHudTextBox>, "suggestPop", 141, 70, 230, 29.5f, kShown, "邮箱"},
  {"btnSOK", Is<TvxBitmapButton>, "suggestPop", 125, 118, 75, 29.5f, kShown, "确定"},
  {"btnSCancer", Is<TvxBitmapButton>, "suggestPop", 305, 118, 75, 29.5f, kShown, "取消"},
  {"vxhdlblHudLabel2", Is<TvxHudLabel>, "suggestPop", 101, 158, 310, 28.5f, kShown, "适当吐槽 轻喷即可 欢迎骚扰"},
  {"RectangleSet", Is<TvxRectangle>, "Root2", 53, 30, 414, 256, kHidden, ""},
  {"checkAutoStart", Is<TvxHudCheckBox>, "RectangleSet", 52, 21, 136, 31.5f, kShown, "设置开机启动"},
  {"HudLabel1", Is<TvxHudLabel>, "RectangleSet", 54, 74, 120, 40, kShown, "设置播放器背景"},
  {"DBImage1", Is<TvxDBImage>, "RectangleSet", 200, 74, 40, 40, kShown, ""},
  {"DBImage2", Is<TvxDBImage>, "RectangleSet", 255, 74, 40, 40, kShown, ""},
  {"DBImage3", Is<TvxDBImage>, "RectangleSet", 310, 74, 40, 40, kShown, ""},
  {"DBImage4", Is<TvxDBImage>, "RectangleSet", 365, 74, 40, 40, kShown, ""},
  {"DBImage5", Is<TvxDBImage>, "RectangleSet", 200, 131, 40, 40, kShown, ""},
  {"DBImage6", Is<TvxDBImage>, "RectangleSet", 255, 131, 40, 40, kShown, ""},
  {"DBImage7", Is<TvxDBImage>, "RectangleSet", 310, 131, 40, 40, kShown, ""},
  {"DBImage8", Is<TvxDBImage>, "RectangleSet", 365, 131, 40, 40, kShown, ""},
  {"btnOK", Is<TvxBitmapButton>, "RectangleSet", 327, 196, 62, 26.5f, kShown, "完成"},
};
// clang-format on

class FormTree : public WindowTest {};

TEST_F(FormTree, EveryComponentHasItsKindParentPlacementStartStateAndText) {
  // A library with a song: an empty one shows the invitation at creation.
  TTSL song;
  song.s_title = "song";
  AddSongs({song});
  TunitMain& w = Open();
  for (const Expected& e : kTree) {
    SCOPED_TRACE(e.name);
    TvxObject* o = w.Component(e.name);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->Name, e.name);
    EXPECT_TRUE(e.kind(o));
    ASSERT_NE(o->Parent(), nullptr);
    EXPECT_EQ(o->Parent()->Name, e.parent);
    EXPECT_EQ(TextOf(o), QString::fromUtf8(e.text));
    if (e.w < 0) continue;
    TvxVisualObject* v = o->AsVisual();
    ASSERT_NE(v, nullptr);
    // The volume slider is hidden at creation; the pointer on the sound button shows it.
    EXPECT_EQ(v->Visible(), e.visible && o != w.soundTrackBar);
    EXPECT_FLOAT_EQ(v->Position().X(), e.x);
    if (e.y >= 0 || !Is<TvxMessagePopup>(o)) {
      EXPECT_FLOAT_EQ(v->Position().Y(), e.y);
    }
    EXPECT_FLOAT_EQ(v->Width(), e.w);
    EXPECT_FLOAT_EQ(v->Height(), e.h);
  }
}

TEST_F(FormTree, TheSceneHoldsOneCentredLayerWithTheMainFace) {
  TunitMain& w = Open();
  EXPECT_EQ(w.windowTitle(), "Melvo5");
  EXPECT_EQ(w.size(), QSize(550, 330));
  EXPECT_FLOAT_EQ(w.GuiMain->Position().X(), 275);
  EXPECT_FLOAT_EQ(w.GuiMain->Position().Y(), 165);
  EXPECT_FLOAT_EQ(w.GuiMain->Position().Z(), 0);
  EXPECT_FLOAT_EQ(w.GuiMain->Width, 520);
  EXPECT_FLOAT_EQ(w.GuiMain->Height, 315);
  EXPECT_EQ(w.GuiMain->Parent(), w.Root1);
  EXPECT_EQ(w.Root1->Parent(), w.mainBs);
  EXPECT_EQ(w.mainBs->Fill().ColorText(), "#00000000");
  EXPECT_EQ(vgColorToStr(w.mainBs->AmbientColor), "#FF202020");
  EXPECT_TRUE(w.mainBs->AllowDrag);
}

TEST_F(FormTree, StylesHintsCursorsAndSettingsFollowTheForm) {
  TunitMain& w = Open();
  EXPECT_EQ(w.btnReturn->Resource(), "btnStyleEffect");
  EXPECT_EQ(w.btnReturn->Hint, "返回列表界面");
  EXPECT_FLOAT_EQ(w.btnReturn->BitmapSize, 36);
  EXPECT_EQ(w.btnClose->Hint, "最小化至托盘");
  EXPECT_EQ(w.btnClose->Resource(), "btnStyleBlack");
  EXPECT_EQ(w.btnClearlist->Resource(), "btnStyleWhite");
  EXPECT_EQ(w.hudtextSearch->Tag, 8);
  EXPECT_EQ(w.hudtextSearch->Resource(), "HudTextBox1Style1");
  EXPECT_EQ(w.RectangleSearch->Fill().ColorText(), "#FF9D9D9D");
  EXPECT_FLOAT_EQ(w.StringListBoxSearch->ItemHeight, 19);
  EXPECT_FALSE(w.StringListBoxSearch->HitTest());
  EXPECT_EQ(w.musicListBox->Cursor, crHandPoint);
  EXPECT_TRUE(w.musicListBox->MouseTracking);
  EXPECT_TRUE(w.RectangleList->ClipChildren());
  EXPECT_FALSE(w.RectangleRoot->HitTest());
  EXPECT_FALSE(w.RectangleSet->HitTest());
  EXPECT_EQ(w.imageArtist->Cursor, crHandPoint);
  EXPECT_FLOAT_EQ(w.vxtxtSinger->Font.Size, 23);
  EXPECT_FALSE(w.vxtxtSinger->WordWrap);
  EXPECT_EQ(w.vxtxtSinger->HorzTextAlign, vgTextAlignNear);
  EXPECT_FLOAT_EQ(w.vxtxtSongName->Font.Size, 20);
  EXPECT_FLOAT_EQ(w.musicProgress->Max(), 100);
  EXPECT_TRUE(w.soundTrackBar->Vertical);
  EXPECT_FLOAT_EQ(w.soundTrackBar->Max(), 100);
  EXPECT_FLOAT_EQ(w.btnPlay->BitmapSize, 48);
  EXPECT_EQ(w.msgBtnOk->ModalResult, 6);
  EXPECT_EQ(w.msgBtnNo->ModalResult, 7);
  EXPECT_EQ(w.btnSOK->ModalResult, 6);
  EXPECT_EQ(w.btnSCancer->ModalResult, 7);
  EXPECT_EQ(w.MsgPop->PlacementTarget, w.RectangleTop);
  EXPECT_FLOAT_EQ(w.MsgPop->VerticalOffset, 8);
  EXPECT_EQ(w.suggestPop->PlacementTarget, w.RectangleTop);
  EXPECT_EQ(w.FloatAnimation2->PropertyName(), "RotateAngle");
  EXPECT_FLOAT_EQ(w.FloatAnimation2->StopValue(), 360);
  EXPECT_FLOAT_EQ(w.FloatAnimation2->Duration(), 2);
  EXPECT_TRUE(w.FloatAnimation2->Loop());
  EXPECT_EQ(w.FloatAnimation1->Trigger(), "IsMouseOver=true");
  EXPECT_FLOAT_EQ(w.btnSoundFloatAnimation->Duration(), 0.1f);
  EXPECT_FLOAT_EQ(w.TbFloatAnimation->Duration(), 0.01f);
}

TEST_F(FormTree, GlyphListHasItsTwentyTwoNamedEntries) {
  TunitMain& w = Open();
  ASSERT_EQ(w.bmplist1.Count(), 22);
  EXPECT_EQ(w.bmplist1.Item(0)->Name, "关闭");
  EXPECT_EQ(w.bmplist1.Item(7)->Name, "播放");
  EXPECT_EQ(w.bmplist1.Item(12)->Name, "m_关闭");
  EXPECT_EQ(w.bmplist1.Item(16)->Name, "删除");
  EXPECT_EQ(w.bmplist1.Item(19)->Name, "");
  EXPECT_TRUE(w.bmplist1.Item(19)->Bitmap.IsEmpty());
  EXPECT_EQ(w.bmplist1.Item(21)->Name, "意见反馈");
  for (int i = 0; i < 22; ++i)
    if (i != 19) {
      EXPECT_FALSE(w.bmplist1.Item(i)->Bitmap.IsEmpty()) << i;
    }
  // The page buttons have arrows of their own.
  EXPECT_FALSE(w.btnOLper->Bitmap().IsEmpty());
  EXPECT_FALSE(w.btnOLnext->Bitmap().IsEmpty());
}

TEST_F(FormTree, NonVisualComponentsAreThere) {
  TunitMain& w = Open();
  EXPECT_EQ(w.TrayIcon1->toolTip(), "Melvo 5");
  EXPECT_EQ(w.TrayIcon1->contextMenu(), w.pm1.get());
  EXPECT_EQ(w.N4->text(), "退出");
  EXPECT_EQ(w.Timer1->interval(), 300000);
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_TRUE(w.dlgOpen1.MultiSelect);
  EXPECT_TRUE(w.dlgOpen1.FileMustExist);
  EXPECT_EQ(w.dlgOpen2.Filter, "所有图片|*.bmp;*.png;*.jpg");
  EXPECT_EQ(w.NAdd->text(), "添加歌曲");
  EXPECT_EQ(w.NTimeSort->text(), "按添加时间排序");
  EXPECT_EQ(w.NSingerSort->text(), "按歌手名字排序");
  EXPECT_EQ(w.N3->text(), "单曲循环");
}

TEST(OpenDialogFilter, BecomesQtNameFilters) {
  EXPECT_EQ(QtNameFilters("所有图片|*.bmp;*.png;*.jpg"),
            QStringList{"所有图片 (*.bmp *.png *.jpg)"});
  EXPECT_EQ(QtNameFilters("A|*.a|B|*.b;*.c"), (QStringList{"A (*.a)", "B (*.b *.c)"}));
  EXPECT_TRUE(QtNameFilters("").isEmpty());
  EXPECT_TRUE(QtNameFilters("odd").isEmpty());
}

}  // namespace

namespace {

class FormLook : public WindowTest {};

TEST_F(FormLook, ChineseTextUsesAnInstalledCjkFaceAndFitsItsBox) {
  TunitMain& w = Open();
  TvxFont font;
  const QFont qfont = font.ToQFont();
  // Every character of the form's texts has a glyph in the face chosen for "微软雅黑".
  const QFontMetricsF probe(qfont);
  for (const QChar c : QStringLiteral("清空列表云歌库搜索设置开机启动播放器背景完成确定取消"))
    EXPECT_TRUE(probe.inFont(c)) << QString(c).toStdString();
  struct Box {
    TvxVisualObject* v;
    QString text;
    float size;
  };
  const Box boxes[] = {
      {w.btnClearlist, w.btnClearlist->Text(), 13},
      {w.btnSearch, w.btnSearch->Text(), 13},
      {w.btnOL, w.btnOL->Text(), 13},
      {w.btnOK, w.btnOK->Text(), 13},
      {w.msgBtnOk, w.msgBtnOk->Text(), 13},
      {w.checkAutoStart, "设置开机启动", 13},
      {w.HudLabel1, w.HudLabel1->Text(), w.HudLabel1->Font.Size},
      {w.vxhdlblHudLabel2, w.vxhdlblHudLabel2->Text(), w.vxhdlblHudLabel2->Font.Size},
      {w.vxtxtTotalTime, "00:00", w.vxtxtTotalTime->Font.Size},
      {w.textSearch, w.textSearch->Text(), w.textSearch->Font.Size},
      {w.hudtextSearch, w.hudtextSearch->Text(), w.hudtextSearch->Font.Size}};
  for (const Box& b : boxes) {
    TvxFont f;
    f.Size = b.size;
    const QFontMetricsF m(f.ToQFont());
    SCOPED_TRACE(b.text.toStdString());
    // The check box's text starts right of its 13-pixel box.
    const float room = b.v == w.checkAutoStart ? b.v->Width() - 20 : b.v->Width() - 4;
    EXPECT_LE(m.horizontalAdvance(b.text), room);
    EXPECT_LE(m.height(), b.v->Height());
  }
}

TEST_F(FormLook, TopBarButtonsKeepTheirClicksOverTheInvitation) {
  TunitMain& w = Open();
  w.imgTip->SetVisible(true);
  EXPECT_EQ(w.mainBs->ObjectAtPoint(ScenePoint(w.btnClose)), w.btnClose);
  EXPECT_EQ(w.mainBs->ObjectAtPoint(ScenePoint(w.btnSearch)), w.btnSearch);
  Click(w.btnClose);
  EXPECT_FALSE(w.isVisible());  // hidden to the tray, no add dialog
  // Below the bar the invitation takes the click.
  w.show();
  EXPECT_EQ(w.mainBs->ObjectAtPoint(ScenePoint(w.imgTip)), w.imgTip);
}

TEST_F(FormLook, EmptyGroundLetsTheWindowBeDragged) {
  TunitMain& w = Open();
  int drags = 0;
  w.mainBs->OnStartWindowDrag = [&] { ++drags; };
  // The top bar between its buttons and the see-through margin are empty ground.
  w.mainBs->MouseDown(QPointF(60, 30), mbLeft, ssLeft);
  w.mainBs->MouseUp(QPointF(60, 30), mbLeft, 0);
  w.mainBs->MouseDown(QPointF(3, 160), mbLeft, ssLeft);
  w.mainBs->MouseUp(QPointF(3, 160), mbLeft, 0);
  EXPECT_EQ(drags, 2);
  // A button is not.
  Click(w.btnSearch);
  EXPECT_EQ(drags, 2);
}

}  // namespace
