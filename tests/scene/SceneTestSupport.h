// Shared set-up of the scene tests: an application object, a hand-driven clock and a small
// scene with one 2-D layer.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>

#include "scene/Animation.h"
#include "scene/Scene.h"

inline double gTestNow = 1.0;

inline void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "scene-tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    TvxAniThread::SetClock([] { return gTestNow; });
    scene = new TdxScene();
    scene->SetSize(550, 330);
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
