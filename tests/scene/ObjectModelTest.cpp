#include <QFile>
#include <QTemporaryDir>

#include "SceneTestSupport.h"
#include "scene/Controls.h"

TEST(ColorText, ParsesHexInEitherCaseAndNamesElseTransparent) {
  EXPECT_EQ(vgColorToStr(vgStrToColor("#FFffffff")), "#FFFFFFFF");
  EXPECT_EQ(vgStrToColor("#80ff0010"), 0x80FF0010u);
  EXPECT_EQ(vgStrToColor("red"), 0xFFFF0000u);
  EXPECT_EQ(vgStrToColor("Red"), 0xFFFF0000u);
  EXPECT_EQ(vgStrToColor("WHITE"), 0xFFFFFFFFu);
  for (const QString& bad :
       {QString(), QString(QChar(0)), QString("#FFF"), QString("#GG000000"), QString("#FF0000001"),
        QString(" #FF000000"), QString("no colour"), QString("notacolour"), QString("#ff00")})
    EXPECT_EQ(vgStrToColor(bad), 0u) << bad.toStdString();
  EXPECT_EQ(vgColorToStr(0), "#00000000");
  EXPECT_EQ(vgColorToStr(0x0A0B0C0D), "#0A0B0C0D");
}

TEST(ObjectTree, ChildrenKeepOrderAreFreedWithTheParentAndRefuseCycles) {
  auto* root = new TvxVisualObject();
  auto* a = new TvxVisualObject();
  auto* b = new TvxText();
  a->SetParent(root);
  b->SetParent(root);
  EXPECT_EQ(a->Index(), 0);
  EXPECT_EQ(b->Index(), 1);
  a->SetParent(root);  // no change
  EXPECT_EQ(root->ChildrenCount(), 2);
  auto* grand = new TvxVisualObject();
  grand->SetParent(a);
  const auto token = grand->LifeToken();
  root->AddObject(root);  // itself
  a->AddObject(root);     // an ancestor
  EXPECT_EQ(root->Parent(), nullptr);
  EXPECT_EQ(a->ChildrenCount(), 1);
  a->SetParent(nullptr);
  EXPECT_EQ(b->Index(), 0);
  a->SetParent(root);
  EXPECT_EQ(a->Index(), 1) << "re-attached objects go to the end";
  delete a;
  EXPECT_FALSE(IsAlive(token));
  EXPECT_EQ(root->ChildrenCount(), 1);
  delete root;
}

TEST(ObjectTree, FindBindingIsPreOrderDepthFirstAndIgnoresCase) {
  TvxVisualObject root;
  root.BindingName = "root";
  auto* first = new TvxLayout();
  first->SetParent(&root);
  auto* deep = new TvxText();
  deep->BindingName = "Title";
  deep->SetText("deep");
  auto* mid = new TvxLayout();
  mid->SetParent(first);
  deep->SetParent(mid);
  auto* later = new TvxText();
  later->BindingName = "title";
  later->SetText("later");
  later->SetParent(&root);

  EXPECT_EQ(root.FindBinding("TITLE"), deep);
  EXPECT_EQ(root.FindBinding("Root"), &root);
  EXPECT_EQ(root.FindBinding("missing"), nullptr);
  EXPECT_EQ(root.FindBinding(""), nullptr) << "an unnamed object is not a part";
  EXPECT_EQ(root.GetBinding("title"), "deep");
  EXPECT_EQ(root.GetBinding("missing"), "");
  root.SetBinding("TiTlE", "changed");
  EXPECT_EQ(deep->Text(), "changed");
  EXPECT_EQ(later->Text(), "later");
  root.SetBinding("missing", "x");  // nothing happens
}

TEST(Bitmaps, AssignClearLoadAndIndexedList) {
  EnsureApplication();
  TvxBitmap a(4, 3);
  a.Clear(0xFF102030);
  TvxBitmap b;
  b.Assign(a);
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.Image().pixel(1, 1), 0xFF102030u);
  b.Clear(0);
  EXPECT_EQ(qAlpha(b.Image().pixel(1, 1)), 0);
  EXPECT_EQ(a.Image().pixel(1, 1), 0xFF102030u) << "assigning copies";

  QTemporaryDir dir;
  const QString junk = dir.filePath("junk.png");
  QFile f(junk);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("not a picture");
  f.close();
  EXPECT_FALSE(b.LoadFromFile(junk));
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_FALSE(b.LoadFromFile(dir.filePath("missing.png")));
  const QString good = dir.filePath("good.png");
  ASSERT_TRUE(a.Image().save(good));
  EXPECT_TRUE(b.LoadFromFile(good));
  EXPECT_EQ(b.Height(), 3);

  TdxBitmapList list;
  list.Add("关闭", a.Image());
  list.Add("", QImage());
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Item(0)->Name, "关闭");
  EXPECT_TRUE(list.Bitmap(1)->IsEmpty());
  EXPECT_EQ(list.Item(2), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);
  EXPECT_EQ(list.Find("关闭"), list.Item(0));
}

// ---------------------------------------------------------------------------------------------
// Layout

class Layout : public SceneTest {};

TEST_F(Layout, AlignedChildrenShareTheParentInSideOrderKeepingTheirPadding) {
  TvxVisualObject* box = AddBox(root, 0, 0, 520, 315);
  auto* top = new TvxLayout();
  top->SetHeight(44.5f);
  top->SetAlign(vaTop);
  top->SetParent(box);
  auto* left = new TvxLayout();
  left->SetWidth(77);
  left->SetAlign(vaLeft);
  left->SetParent(top);
  auto* client = new TvxLayout();
  client->SetAlign(vaClient);
  client->SetParent(top);
  auto* right = new TvxLayout();
  right->SetWidth(107);
  right->SetAlign(vaRight);
  right->SetParent(top);
  EXPECT_FLOAT_EQ(top->Width(), 520);
  EXPECT_FLOAT_EQ(client->Position().X(), 77);
  EXPECT_FLOAT_EQ(client->Width(), 336);
  EXPECT_FLOAT_EQ(right->Position().X(), 413);
  EXPECT_FLOAT_EQ(right->Height(), 44.5f);

  auto* padded = new TvxLayout();
  padded->SetWidth(25);
  padded->Padding().Set(5, 0, 3, 0);
  padded->SetAlign(vaLeft);
  padded->SetParent(box);
  EXPECT_FLOAT_EQ(padded->Position().X(), 5);
  EXPECT_FLOAT_EQ(padded->Position().Y(), 44.5f);
  EXPECT_FLOAT_EQ(padded->Height(), 315 - 44.5f);
  auto* rest = new TvxLayout();
  rest->SetAlign(vaClient);
  rest->SetParent(box);
  EXPECT_FLOAT_EQ(rest->Position().X(), 5 + 25 + 3);

  left->SetVisible(false);
  EXPECT_FLOAT_EQ(client->Position().X(), 0) << "hidden children take no room";
  box->SetWidth(600);
  EXPECT_FLOAT_EQ(right->Position().X(), 493);
  box->Margins().Set(2, 2, 2, 2);
  EXPECT_FLOAT_EQ(top->Position().X(), 2);
  EXPECT_FLOAT_EQ(top->Width(), 596);
}

// ---------------------------------------------------------------------------------------------
// Hit testing and input

class Input : public SceneTest {
 protected:
  // Scene point of a layer point: the layer is 520 x 315 centred in 550 x 330.
  static QPointF At(float x, float y) { return QPointF(x + 15, y + 7.5); }
};

TEST_F(Input, HitTestingPassesThroughDisabledInvisibleAndNoHitObjects) {
  TvxVisualObject* under = AddBox(root, 0, 0, 100, 100);
  TvxVisualObject* over = AddBox(root, 0, 0, 100, 100);
  TvxVisualObject* inner = AddBox(over, 10, 10, 20, 20);
  EXPECT_EQ(scene->ObjectAtPoint(At(50, 50)), over);
  EXPECT_EQ(scene->ObjectAtPoint(At(15, 15)), inner);
  over->SetHitTest(false);
  EXPECT_EQ(scene->ObjectAtPoint(At(50, 50)), under);
  EXPECT_EQ(scene->ObjectAtPoint(At(15, 15)), inner) << "children of a no-hit object still hit";
  over->SetEnabled(false);
  EXPECT_EQ(scene->ObjectAtPoint(At(15, 15)), under) << "a disabled subtree takes nothing";
  over->SetEnabled(true);
  over->SetVisible(false);
  EXPECT_EQ(scene->ObjectAtPoint(At(15, 15)), under);
  EXPECT_EQ(scene->ObjectAtPoint(At(300, 300)), nullptr);

  TvxVisualObject* turned = AddBox(root, 200, 100, 100, 10);
  turned->SetRotateAngle(90);  // now a vertical bar around x 250
  EXPECT_EQ(scene->ObjectAtPoint(At(250, 140)), turned);
  EXPECT_EQ(scene->ObjectAtPoint(At(210, 105)), nullptr);
}

TEST_F(Input, HoverPressAndClickGoToTheObjectUnderThePointerInLocalCoordinates) {
  TvxVisualObject* a = AddBox(root, 100, 50, 40, 40);
  TvxVisualObject* b = AddBox(root, 200, 50, 40, 40);
  int clicks = 0;
  QPointF down;
  a->OnClick = [&](TvxObject*) { ++clicks; };
  a->OnMouseDown = [&](TvxObject*, TvxMouseButton, unsigned, float x, float y) { down = {x, y}; };
  scene->MouseMove(At(110, 60), 0);
  EXPECT_TRUE(a->IsMouseOver());
  scene->MouseMove(At(210, 60), 0);
  EXPECT_FALSE(a->IsMouseOver());
  EXPECT_TRUE(b->IsMouseOver());
  scene->MouseDown(At(105, 70), mbLeft, 0);
  EXPECT_EQ(down, QPointF(5, 20));
  EXPECT_TRUE(a->IsPressed());
  scene->MouseUp(At(106, 71), mbLeft, 0);
  EXPECT_FALSE(a->IsPressed());
  EXPECT_EQ(clicks, 1);
  scene->MouseDown(At(105, 70), mbLeft, 0);
  scene->MouseUp(At(205, 70), mbLeft, 0);
  EXPECT_EQ(clicks, 1) << "released elsewhere: no click";
  EXPECT_TRUE(b->IsMouseOver());
  scene->MouseLeave();
  EXPECT_FALSE(b->IsMouseOver());
}

TEST_F(Input, PressOnEmptyGroundDragsTheWindowAndCursorsWalkUp) {
  int drags = 0;
  scene->OnStartWindowDrag = [&] { ++drags; };
  TvxVisualObject* list = AddBox(root, 0, 0, 100, 100);
  list->Cursor = crHandPoint;
  TvxVisualObject* item = AddBox(list, 0, 0, 100, 20);
  scene->MouseDown(At(300, 200), mbLeft, 0);
  EXPECT_EQ(drags, 1);
  scene->MouseDown(At(300, 200), mbRight, 0);
  EXPECT_EQ(drags, 1) << "only the left button drags";
  scene->AllowDrag = false;
  scene->MouseDown(At(300, 200), mbLeft, 0);
  EXPECT_EQ(drags, 1);
  EXPECT_EQ(scene->CursorAt(At(10, 10)), crHandPoint);
  item->Cursor = crArrow;
  EXPECT_EQ(scene->CursorAt(At(10, 10)), crArrow);
  EXPECT_EQ(scene->CursorAt(At(300, 200)), crDefault);
}

TEST_F(Input, FreeingTheHoveredOrPressedObjectLeavesTheSceneSafe) {
  TvxVisualObject* a = AddBox(root, 0, 0, 40, 40);
  a->OnMouseDown = [&](TvxObject* self, TvxMouseButton, unsigned, float, float) { delete self; };
  scene->MouseMove(At(10, 10), 0);
  scene->MouseDown(At(10, 10), mbLeft, 0);
  EXPECT_EQ(scene->Captured(), nullptr);
  EXPECT_EQ(scene->Hovered(), nullptr);
  scene->MouseUp(At(10, 10), mbLeft, 0);
  scene->MouseMove(At(12, 12), 0);
}

TEST_F(Input, CheckBoxHandlerSeesTheStateBeforeTheToggle) {
  auto* check = new TvxHudCheckBox();
  check->SetResource("testCheck");
  check->SetBounds(52, 21, 136, 31.5f);
  check->SetText("设置开机启动");
  check->SetParent(root);
  std::vector<bool> seen;
  check->OnClick = [&](TvxObject*) { seen.push_back(check->IsChecked()); };
  scene->MouseDown(At(60, 30), mbLeft, 0);
  scene->MouseUp(At(60, 30), mbLeft, 0);
  scene->MouseDown(At(60, 30), mbLeft, 0);
  scene->MouseUp(At(60, 30), mbLeft, 0);
  EXPECT_EQ(seen, (std::vector<bool>{false, true}));
  EXPECT_FALSE(check->IsChecked());
  EXPECT_EQ(check->GetBinding("text"), "设置开机启动");
}

TEST_F(Input, TrackBarFollowsTheThumbVerticallyWithSmallValuesAtTheTop) {
  auto* bar = new TvxTrackBar();
  bar->Vertical = true;
  bar->SetResource("testTrack");
  bar->SetBounds(6, 3, 10, 71.5f);
  bar->SetMax(100);
  bar->SetValue(100);
  bar->SetParent(root);
  std::vector<float> changes;
  bar->OnChange = [&](TvxObject*) { changes.push_back(bar->Value()); };
  scene->MouseDown(At(11, 3 + 5), mbLeft, 0);
  EXPECT_EQ(bar->Value(), 0.0f);
  scene->MouseMove(At(11, 3 + 5 + 61.5f / 2), ssLeft);
  EXPECT_NEAR(bar->Value(), 50.0f, 0.5);
  scene->MouseUp(At(11, 200), mbLeft, 0);
  EXPECT_EQ(changes.size(), 2u);
  bar->SetValue(250);
  EXPECT_EQ(bar->Value(), 100.0f);
  ASSERT_NE(bar->Thumb(), nullptr);
  EXPECT_FLOAT_EQ(bar->Thumb()->Position().Y(), 61.5f);
}
