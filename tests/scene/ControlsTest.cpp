#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QTimer>

#include "SceneTestSupport.h"
#include "scene/Controls.h"

namespace {

// An item that counts how often it is painted.
class CountingItem : public TvxListBoxItem {
 public:
  explicit CountingItem(int* paints) : FPaints(paints) {}
  void Paint(QPainter& p) override {
    ++*FPaints;
    TvxListBoxItem::Paint(p);
  }

 private:
  int* FPaints;
};

}  // namespace

class ListBoxes : public SceneTest {
 protected:
  TvxListBox* MakeList(int items, int* paints = nullptr) {
    auto* list = new TvxListBox();
    list->SetResource("testList");
    list->SetBounds(0, 44.5f, 520, 273);
    list->SetParent(root);
    for (int i = 0; i < items; ++i) {
      TvxListBoxItem* item = paints ? new CountingItem(paints) : new TvxListBoxItem();
      item->SetHeight(49);
      item->Tag = i;
      item->SetParent(list);
    }
    return list;
  }
};

TEST_F(ListBoxes, ItemsByIndexAndPointFollowScrollingAndMargins) {
  TvxListBox* list = MakeList(10000);
  EXPECT_EQ(list->Count(), 10000);
  EXPECT_EQ(list->ItemByIndex(-1), nullptr);
  EXPECT_EQ(list->ItemByIndex(10000), nullptr);
  EXPECT_EQ(list->ItemByIndex(9999)->Tag, 9999);
  EXPECT_EQ(list->ItemByIndex(9999)->Index(), 9999) << "list position is the sibling index";
  EXPECT_EQ(list->ItemByPoint(10, 2 + 49 * 2 + 10)->Tag, 2);
  EXPECT_EQ(list->ItemByPoint(10, -1), nullptr);
  EXPECT_EQ(list->ItemByPoint(10, 400), nullptr) << "below the list";
  list->ScrollTo(49 * 5000);
  EXPECT_EQ(list->ItemByPoint(10, 2 + 10)->Tag, 5000);
  list->ScrollTo(1e9);
  EXPECT_FLOAT_EQ(list->ScrollOffset(), list->ContentHeight() - list->ViewportHeight());
  EXPECT_EQ(list->ItemByPoint(10, 270)->Tag, 9999);
  list->ScrollTo(-50);
  EXPECT_EQ(list->ScrollOffset(), 0.0f);
  scene->MouseWheel(QPointF(100, 100), -120, 0);
  EXPECT_GT(list->ScrollOffset(), 0.0f);
}

TEST_F(ListBoxes, SelectionIsSingleAndClearFreesEveryItem) {
  TvxListBox* list = MakeList(5);
  TvxListBoxItem* a = list->ItemByIndex(1);
  TvxListBoxItem* b = list->ItemByIndex(3);
  a->SetIsSelected(true);
  EXPECT_EQ(list->Selected(), a);
  b->SetIsSelected(true);
  EXPECT_FALSE(a->IsSelected());
  EXPECT_EQ(list->ItemIndex(), 3);
  const auto token = b->LifeToken();
  delete b;
  EXPECT_EQ(list->Selected(), nullptr);
  EXPECT_EQ(list->Count(), 4);
  EXPECT_EQ(list->ItemByIndex(3)->Tag, 4);
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->ItemByPoint(10, 10), nullptr);
  EXPECT_FALSE(IsAlive(token));
}

TEST_F(ListBoxes, ClickSelectsAndPartsOfItemsTakeTheirOwnClicks) {
  TvxListBox* list = MakeList(3);
  auto* button = new TvxBitmapButton();
  button->SetResource("testFadeButton");
  button->SetBounds(480, 10, 20, 20);
  button->SetParent(list->ItemByIndex(1));
  int deletes = 0;
  button->OnClick = [&](TvxObject*) { ++deletes; };
  std::vector<float> ups;
  list->OnMouseUp = [&](TvxObject*, TvxMouseButton, unsigned, float, float y) { ups.push_back(y); };
  // Layer point = list point + (0, 44.5); scene point adds (15, 7.5).
  scene->MouseDown(QPointF(15 + 100, 7.5 + 44.5 + 2 + 49 + 20), mbLeft, 0);
  scene->MouseUp(QPointF(15 + 100, 7.5 + 44.5 + 2 + 49 + 20), mbLeft, 0);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(ups, (std::vector<float>{2 + 49 + 20}));
  const QPointF onButton(15 + 2 + 480 + 5, 7.5 + 44.5 + 2 + 49 + 10 + 5);
  scene->MouseDown(onButton, mbLeft, 0);
  scene->MouseUp(onButton, mbLeft, 0);
  EXPECT_EQ(deletes, 1);
}

TEST_F(ListBoxes, OnlyItemsInViewArePainted) {
  int paints = 0;
  TvxListBox* list = MakeList(10000, &paints);
  scene->RenderToImage();
  EXPECT_GT(paints, 0);
  EXPECT_LE(paints, 7) << "273 px of 49 px items";
  paints = 0;
  list->ScrollTo(49 * 7000 + 20);
  scene->RenderToImage();
  EXPECT_LE(paints, 7);
}

TEST_F(ListBoxes, StringListKeepsItsTexts) {
  auto* list = new TvxStringListBox();
  list->SetBounds(0, 0, 250, 100);
  list->SetParent(root);
  list->Items().Add("甲");
  list->Items().Add("乙");
  EXPECT_EQ(list->Items().Count(), 2);
  EXPECT_EQ(list->Items()[1], "乙");
  EXPECT_EQ(list->Items()[2], "");
  EXPECT_EQ(list->ItemByPoint(5, 2 + 19 + 3)->Text(), "乙");
  list->Items().Clear();
  EXPECT_EQ(list->Count(), 0);
}

// ---------------------------------------------------------------------------------------------
// Text box

class TextBoxes : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    box = new TvxHudTextBox();
    box->SetResource("testTextBox");
    box->SetBounds(10, 7, 210, 27.5f);
    box->SetText("输入搜索歌曲名");
    box->SetParent(root);
  }
  void Key(int key, const QString& ch = QString(), unsigned shift = 0) {
    scene->KeyDown(key, ch, shift);
  }
  TvxHudTextBox* box = nullptr;
};

TEST_F(TextBoxes, ClickFocusesAndTypingReplacesASelectAll) {
  scene->MouseDown(QPointF(15 + 100, 7.5 + 20), mbLeft, 0);
  scene->MouseUp(QPointF(15 + 100, 7.5 + 20), mbLeft, 0);
  EXPECT_TRUE(box->IsFocused());
  box->SelectAll();
  EXPECT_EQ(box->SelText(), "输入搜索歌曲名");
  Key('A', "a");
  Key('B', "b");
  EXPECT_EQ(box->Text(), "ab");
  Key(37);
  Key('X', "x");
  EXPECT_EQ(box->Text(), "axb");
  Key(36, QString(), ssShift);
  EXPECT_EQ(box->SelText(), "ax");
  Key(46);
  EXPECT_EQ(box->Text(), "b");
  Key(8);  // nothing before the caret
  EXPECT_EQ(box->Text(), "b");
  Key(35);
  Key(8);
  EXPECT_EQ(box->Text(), "");
  Key(13, "\r");
  EXPECT_EQ(box->Text(), "") << "Enter types nothing";
}

TEST_F(TextBoxes, InputMethodTextAndClipboard) {
  box->SetFocus();
  box->SetText("");
  QStringList committed;  // the text as each commit left it
  box->OnInputMethodCommit = [&](TvxObject*) { committed << box->Text(); };
  scene->InputMethod(QString(), "ni");
  EXPECT_EQ(box->Text(), "");
  EXPECT_EQ(box->PreeditText(), "ni");
  scene->InputMethod("你好", QString());
  EXPECT_EQ(box->Text(), "你好");
  EXPECT_EQ(box->PreeditText(), "");
  EXPECT_EQ(committed, QStringList{"你好"});
  Key('A', "a", ssCtrl);
  Key('C', "", ssCtrl);
  ASSERT_NE(QGuiApplication::clipboard(), nullptr);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "你好");
  Key(35);
  Key('V', "", ssCtrl);
  EXPECT_EQ(box->Text(), "你好你好");
  box->MaxLength = 5;
  Key('V', "", ssCtrl);
  EXPECT_EQ(box->Text(), "你好你好你");
  int keyUps = 0;
  box->OnKeyUp = [&](TvxObject*, int& key, QString&, unsigned) { keyUps += key == 13; };
  scene->KeyUp(13, "\r", 0);
  EXPECT_EQ(keyUps, 1);
}

TEST_F(TextBoxes, FocusStartsTheCaretBlinkAndLeavingStopsIt) {
  box->SetFocus();
  TvxObject* caret = box->FindStyleResource("caretpart");
  ASSERT_NE(caret, nullptr);
  TvxObject* blink = caret->FindBinding("caret");
  ASSERT_NE(blink, nullptr);
  EXPECT_TRUE(blink->AsAnimation()->Running());
  scene->MouseDown(QPointF(400, 300), mbLeft, 0);  // empty ground
  EXPECT_FALSE(box->IsFocused());
  EXPECT_FALSE(blink->AsAnimation()->Running());
}

// ---------------------------------------------------------------------------------------------
// Popup

class Popups : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    TvxAniThread::SetClock([] { return gTestNow += 0.05; });
    top = AddBox(root, 0, 0, 520, 44.5f);
    pop = new TvxMessagePopup();
    pop->SetResource("testPopup");
    pop->SetBounds(0, 0, 520, 210);
    pop->PlacementTarget = top;
    pop->VerticalOffset = 8;
    pop->SetParent(root);
    ok = new TvxSpeedButton();
    ok->SetText("确定");
    ok->ModalResult = mrYes;
    ok->SetResource("testColourButton");
    ok->SetBounds(334, 153.5f, 62, 24.5f);
    ok->SetParent(pop);
  }
  void TearDown() override {
    TvxAniThread::SetClock([] { return gTestNow; });
    SceneTest::TearDown();
  }
  TvxVisualObject* top = nullptr;
  TvxMessagePopup* pop = nullptr;
  TvxSpeedButton* ok = nullptr;
};

TEST_F(Popups, ModalLoopReturnsTheButtonsResultAndCloses) {
  float yWhenClicked = 0;
  QTimer::singleShot(600, [&] {
    yWhenClicked = pop->Position().Y();
    const QPointF p(15 + 334 + 10, 7.5 + pop->Position().Y() + 153.5 + 10);
    scene->MouseDown(p, mbLeft, 0);
    scene->MouseUp(p, mbLeft, 0);
  });
  EXPECT_EQ(pop->PopupModal(), mrYes);
  EXPECT_FLOAT_EQ(yWhenClicked, 44.5f + 8) << "slid down against the top bar";
  EXPECT_FALSE(pop->Visible());
  EXPECT_FALSE(pop->IsOpen());
}

TEST_F(Popups, FreeingThePopupEndsTheWait) {
  QTimer::singleShot(50, [&] { delete pop; });
  EXPECT_EQ(pop->PopupModal(), mrCancel);
}

TEST_F(Popups, EndingTheApplicationGivesTwo) {
  QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
  EXPECT_EQ(pop->PopupModal(), mrCancel);
  EXPECT_EQ(mrCancel, 2);
  // A short main loop clears the "quitting" state for the tests that follow in this process.
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
}

// ---------------------------------------------------------------------------------------------
// Painting

class Rendering : public SceneTest {};

TEST_F(Rendering, FillsShowWhereDrawnAndTheRestStaysTransparent) {
  auto* rect = new TvxRectangle();
  rect->SetBounds(100, 100, 50, 40);
  rect->Fill().SetColorText("#FF9D9D9D");
  rect->Stroke().SetKind(vgBrushNone);
  rect->SetParent(root);
  const QImage img = scene->RenderToImage();
  EXPECT_EQ(img.pixel(15 + 120, 7 + 120), 0xFF9D9D9Du);
  EXPECT_EQ(qAlpha(img.pixel(5, 5)), 0);
  EXPECT_EQ(qAlpha(img.pixel(15 + 300, 7 + 200)), 0);
  rect->SetOpacity(0.5f);
  EXPECT_NEAR(qAlpha(scene->RenderToImage().pixel(15 + 120, 7 + 120)), 128, 2);
  const QImage hidpi = scene->RenderToImage(2.0);
  EXPECT_EQ(hidpi.width(), 1100);
}

namespace {
int OpaqueWidth(const QImage& img, int row) {
  int first = -1, last = -1;
  for (int x = 0; x < img.width(); ++x)
    if (qAlpha(img.pixel(x, row)) > 128) {
      if (first < 0) first = x;
      last = x;
    }
  return first < 0 ? 0 : last - first + 1;
}
}  // namespace

TEST_F(Rendering, TheLayerTurnsInPerspectiveAndVanishesEdgeOn) {
  auto* face = new TvxRectangle();
  face->SetAlign(vaClient);
  face->Fill().SetColorText("#FF336699");
  face->SetParent(root);
  EXPECT_NEAR(OpaqueWidth(scene->RenderToImage(), 165), 520, 1);
  layer->RotateAngle().SetY(60);
  const int turned = OpaqueWidth(scene->RenderToImage(), 165);
  EXPECT_GT(turned, 230);
  EXPECT_LT(turned, 290);
  layer->RotateAngle().SetY(90);
  EXPECT_EQ(OpaqueWidth(scene->RenderToImage(), 165), 0);
  layer->RotateAngle().SetY(180);
  EXPECT_NEAR(OpaqueWidth(scene->RenderToImage(), 165), 520, 1) << "two-sided";
  layer->RotateAngle().SetY(0);
  layer->Position().SetZ(300);
  EXPECT_NEAR(OpaqueWidth(scene->RenderToImage(), 165), 520 * 1000 / 1300.0, 2);
  // Input follows the projection: the centre still hits, the old edge does not.
  EXPECT_EQ(scene->ObjectAtPoint(QPointF(275, 165)), face);
  EXPECT_EQ(scene->ObjectAtPoint(QPointF(20, 165)), nullptr);
}

TEST_F(Rendering, ChangesInvalidateOnlyAroundTheChangedObject) {
  TvxVisualObject* a = AddBox(root, 100, 100, 20, 20);
  std::vector<QRectF> dirty;
  scene->OnInvalidate = [&](const QRectF& r) { dirty.push_back(r); };
  a->SetOpacity(0.3f);
  ASSERT_EQ(dirty.size(), 1u);
  EXPECT_TRUE(dirty[0].contains(QRectF(115, 107.5, 20, 20)));
  EXPECT_LT(dirty[0].width(), 30);
  dirty.clear();
  a->SetOpacity(0.3f);
  EXPECT_TRUE(dirty.empty()) << "no change, no repaint";
  a->Position().SetX(200);
  ASSERT_EQ(dirty.size(), 2u) << "old and new place";
  TvxVisualObject* hidden = AddBox(root, 0, 0, 10, 10);
  hidden->SetVisible(false);
  dirty.clear();
  hidden->SetOpacity(0.1f);
  EXPECT_TRUE(dirty.empty());
}

TEST_F(Rendering, StylesPaintTheirHoverLooks) {
  auto* button = new TvxBitmapButton();
  button->SetResource("testFadeButton");
  button->SetBounds(76, 7.5f, 107, 32.5f);
  button->SetText("清空列表");
  button->SetParent(root);
  TvxObject* bg = button->FindStyleResource("background");
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->AsVisual()->Opacity(), 0.0f);
  scene->MouseMove(QPointF(15 + 80, 7.5 + 10), 0);
  Ticks(7);
  EXPECT_FLOAT_EQ(bg->AsVisual()->Opacity(), 0.4f);
  EXPECT_EQ(button->GetBinding("text"), "清空列表");
  const QImage img = scene->RenderToImage();
  EXPECT_GT(qAlpha(img.pixel(15 + 78, 7 + 10)), 80);
  scene->MouseMove(QPointF(400, 300), 0);
  Ticks(7);
  EXPECT_FLOAT_EQ(bg->AsVisual()->Opacity(), 0.0f);
}

TEST_F(Rendering, ProgressBandLoopsOnlyWhileTheBarIsShown) {
  TvxVisualObject* view = AddBox(root, 0, 0, 520, 273);
  auto* bar = new TvxProgressBar();
  bar->SetResource("testBand");
  bar->SetBounds(143, 223, 178, 14);
  bar->SetValue(50);
  bar->SetParent(view);
  TvxObject* move = bar->FindStyleResource("bandmove");
  ASSERT_NE(move, nullptr);
  scene->RenderToImage();
  EXPECT_TRUE(move->AsAnimation()->Running());
  view->SetVisible(false);
  Tick();
  EXPECT_FALSE(move->AsAnimation()->Running());
  EXPECT_EQ(TvxAniThread::Instance().Count(), 0);
}

// The band travels from 50 px before the bar to 800 px past it but shows only inside it: neither
// its moves nor the bar's value widen a repaint beyond the bar (a whole-window repaint 20 times
// a second while a song played).
TEST_F(Rendering, AClippingBarsBandNeverWidensItsRepaints) {
  auto* bar = new TvxProgressBar();
  bar->SetResource("testBand");
  bar->SetBounds(143, 223, 178, 14);
  bar->SetParent(root);
  scene->RenderToImage();  // starts the band
  std::vector<QRectF> dirty;
  scene->OnInvalidate = [&](const QRectF& r) { dirty.push_back(r); };
  for (int i = 0; i < 130; ++i) {  // the band's whole 4 s run
    Tick();
    bar->SetValue(i % 100);
  }
  ASSERT_GT(dirty.size(), 100u);
  const QRectF around = QRectF(15 + 143, 7.5 + 223, 178, 14).adjusted(-3, -3, 3, 3);
  for (const QRectF& r : dirty)
    EXPECT_TRUE(around.contains(r))
        << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

TEST_F(Rendering, PartialRepaintsEndAsAFullRepaint) {
  auto* face = new TvxRectangle();
  face->SetAlign(vaClient);
  face->Fill().SetColorText("#FF2B3A55");
  face->SetParent(root);
  auto* top = AddBox(face, 0, 0, 520, 44.5f);
  top->Fill().SetColor(0x30000000);
  auto* pop = new TvxMessagePopup();
  pop->SetResource("testPopup");
  pop->SetBounds(0, 0, 520, 210);
  pop->PlacementTarget = top;
  pop->VerticalOffset = 8;
  pop->SetParent(face);
  auto* button = new TvxBitmapButton();
  button->SetResource("testFadeButton");
  button->SetText("云歌库");
  button->SetBounds(183, 7.5f, 107, 32.5f);
  button->SetParent(top);
  PartialCanvas canvas(scene);
  pop->Popup();
  scene->MouseMove(QPointF(15 + 200, 7.5 + 20), 0);
  for (int i = 0; i < 20; ++i) {
    Tick();
    canvas.Flush();
  }
  EXPECT_EQ(DifferentPixels(canvas.Image(), scene->RenderToImage()), 0);
}

TEST_F(Popups, OpeningTwiceOrNestingDoesNotStackLoops) {
  pop->Popup();
  pop->Popup();
  EXPECT_TRUE(pop->IsOpen());
  int nested = -1;
  QTimer::singleShot(50, [&] {
    nested = pop->PopupModal();  // already waiting: refused
    pop->SetModalResult(mrNo);
  });
  EXPECT_EQ(pop->PopupModal(), mrNo);
  EXPECT_EQ(nested, mrCancel);
}

TEST_F(ListBoxes, ArrowKeysMoveTheSelectionAndKeepItInView) {
  TvxListBox* list = MakeList(100);
  list->SetFocus();
  list->SetItemIndex(4);
  scene->KeyDown(40, QString(), 0);
  EXPECT_EQ(list->ItemIndex(), 5);
  EXPECT_GT(list->ScrollOffset(), 0.0f) << "item 5 ends below 273 px";
  scene->KeyDown(38, QString(), 0);
  scene->KeyDown(38, QString(), 0);
  EXPECT_EQ(list->ItemIndex(), 3);
  list->SetItemIndex(0);
  scene->KeyDown(38, QString(), 0);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->ScrollOffset(), 0.0f);
}

TEST_F(Rendering, GlyphsSitAboveTheTextOrInTheMiddle) {
  auto* button = new TvxBitmapButton();
  button->SetResource("testFadeButton");
  button->SetBounds(0, 0, 55, 60);
  button->BitmapSize = 32;
  QImage glyph(64, 64, QImage::Format_ARGB32_Premultiplied);
  glyph.fill(Qt::white);
  button->Bitmap().Assign(glyph);
  button->SetParent(root);
  auto* image = button->FindStyleResource("image")->AsVisual();
  auto* text = button->FindStyleResource("text")->AsVisual();
  EXPECT_TRUE(image->Visible());
  EXPECT_FALSE(text->Visible());
  EXPECT_FLOAT_EQ(image->Position().Y(), 14) << "alone: centred";
  button->SetText("上一页");
  EXPECT_TRUE(text->Visible());
  EXPECT_LT(image->Position().Y() + image->Height(), text->Position().Y() + 1);
  button->SetBitmapLayout(vgGlyphCenter);
  EXPECT_FLOAT_EQ(image->Position().X(), (55 - 32) / 2.0f);
}

TEST_F(ListBoxes, AClickMayFreeTheItemHoldingItsButton) {
  TvxListBox* list = MakeList(3);
  auto* button = new TvxBitmapButton();
  button->SetResource("testFadeButton");
  button->SetBounds(480, 10, 20, 20);
  button->SetParent(list->ItemByIndex(1));
  button->OnClick = [list](TvxObject*) { delete list->ItemByIndex(1); };
  bool left = false;
  button->OnMouseLeave = [&](TvxObject*) { left = true; };
  const QPointF onButton(15 + 2 + 480 + 5, 7.5 + 44.5 + 2 + 49 + 10 + 5);
  scene->MouseMove(onButton, 0);
  scene->MouseDown(onButton, mbLeft, 0);
  scene->MouseUp(onButton, mbLeft, 0);
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(list->ItemByIndex(1)->Tag, 2);
  EXPECT_FALSE(left);
  scene->MouseMove(onButton + QPointF(0, 1), 0);
}

class HandlerSafety : public SceneTest {};

TEST_F(HandlerSafety, HandlersMayFreeTheirObjectWhileItIsBeingHandled) {
  TvxVisualObject* a = AddBox(root, 0, 0, 40, 40);
  a->OnMouseEnter = [](TvxObject* self) { delete self; };
  scene->MouseMove(QPointF(15 + 10, 7.5 + 10), 0);
  EXPECT_EQ(root->ChildrenCount(), 0);
  auto* box = new TvxHudTextBox();
  box->SetBounds(0, 0, 100, 20);
  box->SetParent(root);
  box->SetFocus();
  box->OnKeyDown = [](TvxObject* self, int&, QString&, unsigned) { delete self; };
  scene->KeyDown('A', "a", 0);
  EXPECT_EQ(scene->Focused(), nullptr);
  auto* bar = new TvxTrackBar();
  bar->SetBounds(0, 0, 100, 14);
  bar->SetParent(root);
  bar->OnChange = [](TvxObject* self) { delete self; };
  scene->MouseDown(QPointF(15 + 50, 7.5 + 7), mbLeft, 0);
  scene->MouseUp(QPointF(15 + 50, 7.5 + 7), mbLeft, 0);
  EXPECT_EQ(root->ChildrenCount(), 0);
}
