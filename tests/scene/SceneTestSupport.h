// Shared set-up of the scene tests: an application object, a hand-driven clock and a small
// scene with one 2-D layer.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QPainter>
#include <vector>

#include "scene/Animation.h"
#include "scene/Controls.h"
#include "scene/Scene.h"
#include "scene/Styles.h"

inline double gTestNow = 1.0;

inline void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "scene-tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

// Looks of the tests' own, built from the toolkit's pieces (an application has its own table).
inline const TvxResources& TestLooks() {
  static const TvxResources* looks = [] {
    auto* r = new TvxResources();
    r->Add("testFadeButton", [](TvxControl* c) { vgDressFadingButton(c, {.HoverOpacity = 0.4f}); });
    r->Add("testColourButton", [](TvxControl* c) { vgDressColourButton(c, {}); });
    r->Add("testList",
           [](TvxControl* c) { vgDressList(c, {.Background = 0, .SmallScrollBars = true}); });
    r->Add("testBand", [](TvxControl* c) { vgDressProgress(c, {.Band = 0xB9F1D384}); });
    r->Add("testTrack", [](TvxControl* c) { vgDressTrack(c, 0x96E0E0E0, "testThumb"); });
    r->Add("testThumb", [](TvxControl* c) { vgDressThumb(c, 0xFFF4BB40, 0xFFF9DDA2, 0.1f); });
    r->Add("testTextBox", [](TvxControl* c) { vgDressTextBox(c, {.Glow = 0xFFE0E0E0}); });
    r->Add("testPopup", [](TvxControl* c) { vgDressPopup(c, {}); });
    r->Add("testCheck", [](TvxControl* c) { vgDressCheckBox(c, {}); });
    return r;
  }();
  return *looks;
}

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    TvxAniThread::SetClock([] { return gTestNow; });
    scene = new TdxScene();
    scene->SetSize(550, 330);
    scene->SetResources(&TestLooks());
    root1 = new TdxVisualObject();
    root1->SetParent(scene);
    layer = new TdxGUIObjectLayer();
    layer->Position().SetX(275);
    layer->Position().SetY(165);
    layer->SetParent(root1);
    root = new TvxVisualObject();
    root->SetBounds(0, 0, 520, 315);
    root->SetHitTest(false);
    root->SetParent(layer);
  }
  void TearDown() override { delete scene; }

  // One timer pass after `seconds` of clock time.
  void Tick(double seconds = 0.033) {
    gTestNow += seconds;
    TvxAniThread::Instance().Tick();
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }
  TvxVisualObject* AddBox(TvxObject* parent, float x, float y, float w, float h) {
    auto* v = new TvxVisualObject();
    v->SetBounds(x, y, w, h);
    v->SetParent(parent);
    return v;
  }

  TdxScene* scene = nullptr;
  TdxVisualObject* root1 = nullptr;
  TdxGUIObjectLayer* layer = nullptr;
  TvxVisualObject* root = nullptr;
};

// Keeps a picture up to date the way the window does: only invalidated areas are redrawn.
class PartialCanvas {
 public:
  explicit PartialCanvas(TdxScene* scene) : FScene(scene), FImage(scene->RenderToImage()) {
    scene->OnInvalidate = [this](const QRectF& r) {
      FDirty.push_back(r.toAlignedRect().adjusted(-1, -1, 1, 1));
    };
  }
  void Flush() {
    for (const QRect& r : FDirty) {
      QPainter p(&FImage);
      p.setClipRect(r);
      FScene->Render(p, r);
    }
    FDirty.clear();
  }
  const QImage& Image() const { return FImage; }
  const std::vector<QRect>& Pending() const { return FDirty; }

 private:
  TdxScene* FScene;
  QImage FImage;
  std::vector<QRect> FDirty;
};

inline int DifferentPixels(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) ++n;
  return n;
}
