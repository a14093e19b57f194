#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include "SceneTestSupport.h"
#include "scene/Controls.h"
#include "scene/SceneHost.h"

namespace {

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void SendMouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButton button) {
  QMouseEvent e(type, at, w->mapToGlobal(at), button,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

}  // namespace

class Host : public SceneTest {};

TEST_F(Host, AWindowForwardsInputAndRepaintsOnlyWhatChanged) {
  auto* button = new TvxBitmapButton();
  button->SetResource("testFadeButton");
  button->SetText("搜索");
  button->SetBounds(230, 5, 59, 32.5f);
  button->SetParent(root);
  int clicks = 0;
  button->OnClick = [&](TvxObject*) { ++clicks; };
  TdxSceneHost host(scene);
  EXPECT_TRUE(host.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(host.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_EQ(host.size(), QSize(550, 330));
  host.show();
  Pump(100);
  ASSERT_GT(host.PaintEvents(), 0);

  const int settled = host.PaintEvents();
  Pump(150);
  EXPECT_EQ(host.PaintEvents(), settled) << "an idle window does not repaint";
  EXPECT_FALSE(TvxAniThread::Instance().TimerActive()) << "nor tick";

  const QPointF on(15 + 250, 7.5 + 20);
  SendMouse(&host, QEvent::MouseMove, on, Qt::NoButton);
  EXPECT_TRUE(button->IsMouseOver());
  SendMouse(&host, QEvent::MouseButtonPress, on, Qt::LeftButton);
  SendMouse(&host, QEvent::MouseButtonRelease, on, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);

  const qint64 before = host.PaintedPixels();
  const int paints = host.PaintEvents();
  button->Hint = "tip";
  button->SetOpacity(0.5f);
  Pump(60);
  EXPECT_GT(host.PaintEvents(), paints);
  EXPECT_LT(host.PaintedPixels() - before, 550 * 330 / 4) << "only around the button";
}

TEST_F(Host, KeysReachTheFocusedTextBoxAsVirtualKeys) {
  auto* box = new TvxHudTextBox();
  box->SetBounds(10, 7, 210, 27.5f);
  box->SetParent(root);
  std::vector<int> ups;
  box->OnKeyUp = [&](TvxObject*, int& key, QString&, unsigned) { ups.push_back(key); };
  TdxSceneHost host(scene);
  host.show();
  box->SetFocus();
  QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QCoreApplication::sendEvent(&host, &a);
  QKeyEvent enterDown(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QCoreApplication::sendEvent(&host, &enterDown);
  QKeyEvent enterUp(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
  QCoreApplication::sendEvent(&host, &enterUp);
  EXPECT_EQ(box->Text(), "a");
  EXPECT_EQ(ups, (std::vector<int>{13}));
  EXPECT_EQ(vgVirtualKey(Qt::Key_Enter), 13);
  EXPECT_EQ(vgVirtualKey(Qt::Key_Left), 37);
  EXPECT_EQ(vgVirtualKey(Qt::Key_Z), 'Z');
  EXPECT_EQ(vgVirtualKey(Qt::Key_F1), 112);
  EXPECT_EQ(vgCursorShape(crHandPoint), Qt::PointingHandCursor);
  EXPECT_EQ(vgCursorShape(crDefault), Qt::ArrowCursor);
}

TEST_F(Host, HintsComeFromTheObjectUnderThePointerOrItsParents) {
  TvxVisualObject* button = AddBox(root, 87, 0, 20, 20);
  button->Hint = "最小化至托盘";
  button->ShowHint = true;
  TvxVisualObject* glyph = AddBox(button, 2, 2, 16, 16);
  (void)glyph;
  TvxVisualObject* quiet = AddBox(root, 200, 0, 20, 20);
  quiet->Hint = "hidden";
  EXPECT_EQ(scene->HintAt(QPointF(15 + 95, 7.5 + 10)), "最小化至托盘");
  EXPECT_EQ(scene->HintAt(QPointF(15 + 210, 7.5 + 10)), "") << "ShowHint is off";
  EXPECT_EQ(scene->HintAt(QPointF(400, 300)), "");
}

TEST_F(Host, WithoutACompositorTheSeeThroughPartsGetAnOpaqueBackdrop) {
  auto* face = new TvxRectangle();
  face->SetAlign(vaClient);
  face->Fill().SetColorText("#FF336699");
  face->SetParent(root);
  TdxSceneHost host(scene);
  host.show();
  Pump(50);
  EXPECT_TRUE(vgDesktopComposites()) << "the offscreen platform composes";
  EXPECT_FALSE(host.OpaqueBackdrop());
  const QPoint border(4, 3), inside(275, 165);
  EXPECT_EQ(qAlpha(host.grab().toImage().pixel(border)), 0);

  host.ForceCompositing(false);  // a bare X11 desktop
  EXPECT_TRUE(host.OpaqueBackdrop());
  QImage shot = host.grab().toImage();
  EXPECT_EQ(shot.pixel(border), scene->AmbientColor) << "ambient, not black";
  EXPECT_EQ(shot.pixel(inside), 0xFF336699u);
  layer->RotateAngle().SetY(90);  // edge-on, half-way through the flip
  shot = host.grab().toImage();
  EXPECT_EQ(shot.pixel(inside), scene->AmbientColor);

  host.ForceCompositing(std::nullopt);
  EXPECT_FALSE(host.OpaqueBackdrop());
  EXPECT_EQ(qAlpha(host.grab().toImage().pixel(inside)), 0);
}

// Small repaints go in bands of 64 device rows (where rows fall on whole logical rows), large ones
// at once; a repaint in bands looks exactly like the scene drawn whole.
TEST_F(Host, SmallRepaintsArePaintedInBandsThatLookLikeOnePaint) {
  EXPECT_EQ(TdxSceneHost::BandRows(QRect(0, 0, 100, 90), 1.0), 0);
  EXPECT_EQ(TdxSceneHost::BandRows(QRect(0, 0, 100, 112), 1.0), 64);
  EXPECT_EQ(TdxSceneHost::BandRows(QRect(0, 0, 100, 112), 2.0), 32);
  EXPECT_EQ(TdxSceneHost::BandRows(QRect(0, 0, 100, 112), 1.5), 0);
  EXPECT_EQ(TdxSceneHost::BandRows(QRect(0, 0, 550, 330), 1.0), 0);

  auto* ground = AddBox(root, 0, 0, 520, 315);
  ground->Fill().SetColor(0xFF203050);
  auto* veil = AddBox(root, 40, 30, 300, 200);
  veil->Fill().SetColor(0x80FFA040);
  auto* glass = AddBox(root, 120, 80, 160, 170);
  glass->Fill().SetColor(0x4000C0FF);
  glass->SetRotateAngle(7);
  auto* text = new TvxText();
  text->SetBounds(130, 100, 200, 40);
  text->SetText(QStringLiteral("未知歌手 pb_steady"));
  text->Fill().SetColor(0xFFFFFFFF);
  text->SetParent(root);
  TdxSceneHost host(scene);
  const QRect piece(100, 60, 260, 190);  // banded: 190 rows
  ASSERT_NE(TdxSceneHost::BandRows(piece, host.devicePixelRatioF()), 0);
  const QImage banded = host.grab(piece).toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage whole = scene->RenderToImage().copy(piece).convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(banded.size(), whole.size());
  EXPECT_EQ(DifferentPixels(banded, whole), 0);
}
