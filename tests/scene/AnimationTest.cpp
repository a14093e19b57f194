#include <QTimer>
#include <cmath>

#include "SceneTestSupport.h"

namespace {

const TvxInterpolationType kAllKinds[] = {
    vgInterpolationLinear,      vgInterpolationQuadratic, vgInterpolationCubic,
    vgInterpolationQuartic,     vgInterpolationQuintic,   vgInterpolationSinusoidal,
    vgInterpolationExponential, vgInterpolationCircular,  vgInterpolationElastic,
    vgInterpolationBack,        vgInterpolationBounce};

float Ease(TvxInterpolationType k, TvxAnimationType t, float u) {
  return vgInterpolate(k, t, u, 1);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Easing curves

TEST(Easing, EveryKindStartsAtZeroEndsAtOneAndHalvesInOut) {
  for (auto kind : kAllKinds) {
    for (auto type : {vgAnimationIn, vgAnimationOut, vgAnimationInOut}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << " type " << type);
      EXPECT_NEAR(Ease(kind, type, 0), 0, 1e-3);
      EXPECT_NEAR(Ease(kind, type, 1), 1, 1e-3);
    }
    EXPECT_NEAR(Ease(kind, vgAnimationInOut, 0.5f), 0.5f, 1e-5) << "kind " << kind;
  }
}

TEST(Easing, OutMirrorsInForEveryKind) {
  for (auto kind : kAllKinds)
    for (float u : {0.1f, 0.25f, 0.5f, 0.7f, 0.9f})
      EXPECT_NEAR(Ease(kind, vgAnimationOut, u), 1 - Ease(kind, vgAnimationIn, 1 - u), 1e-4)
          << "kind " << kind << " u " << u;
}

TEST(Easing, KnownValuesOfThePolynomialAndCurvedKinds) {
  EXPECT_FLOAT_EQ(Ease(vgInterpolationLinear, vgAnimationOut, 0.3f), 0.3f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationQuadratic, vgAnimationIn, 0.5f), 0.25f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationQuadratic, vgAnimationOut, 0.5f), 0.75f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationQuadratic, vgAnimationInOut, 0.25f), 0.125f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationQuadratic, vgAnimationInOut, 0.75f), 0.875f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationCubic, vgAnimationInOut, 0.75f), 0.9375f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationQuartic, vgAnimationInOut, 0.75f), 0.96875f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationQuintic, vgAnimationIn, 0.5f), 0.03125f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationQuintic, vgAnimationInOut, 0.75f), 0.984375f);
  EXPECT_NEAR(Ease(vgInterpolationSinusoidal, vgAnimationIn, 0.5f), 0.2928932f, 1e-6);
  EXPECT_NEAR(Ease(vgInterpolationCircular, vgAnimationIn, 0.5f), 0.1339746f, 1e-6);
  EXPECT_NEAR(Ease(vgInterpolationExponential, vgAnimationIn, 0.5f), 0.03125f, 1e-6);
  // The exponential kinds are pinned exactly at the ends.
  EXPECT_EQ(vgInterpolate(vgInterpolationExponential, vgAnimationIn, 0, 0.3f), 0.0f);
  EXPECT_EQ(vgInterpolate(vgInterpolationExponential, vgAnimationOut, 0.3f, 0.3f), 1.0f);
  EXPECT_EQ(vgInterpolate(vgInterpolationExponential, vgAnimationInOut, 0.3f, 0.3f), 1.0f);
}

TEST(Easing, BackOvershootsWithTheWiderInOutFactor) {
  EXPECT_NEAR(Ease(vgInterpolationBack, vgAnimationIn, 0.5f), -0.0876975f, 1e-6);
  EXPECT_GT(Ease(vgInterpolationBack, vgAnimationOut, 0.5f), 1.08f);
  EXPECT_FLOAT_EQ(Ease(vgInterpolationBack, vgAnimationOut, 1.0f), 1.0f);
  // s' = 1.525 s: at u = 0.25 the InOut curve dips to about -0.0997 (-0.0439 with plain s).
  EXPECT_NEAR(Ease(vgInterpolationBack, vgAnimationInOut, 0.25f), -0.0996818f, 1e-5);
}

TEST(Easing, BounceUsesTheSecondBoundOfTwoOver272) {
  // Below 0.7352941 the second arc still applies and rises above 1; just past it the third arc.
  EXPECT_NEAR(Ease(vgInterpolationBounce, vgAnimationOut, 0.73f), 1.0075539f, 1e-5);
  EXPECT_NEAR(Ease(vgInterpolationBounce, vgAnimationOut, 0.74f), 0.9837257f, 1e-5);
  EXPECT_NEAR(Ease(vgInterpolationBounce, vgAnimationOut, 0.3636f), 0.99981f, 1e-4);
  EXPECT_NEAR(Ease(vgInterpolationBounce, vgAnimationOut, 1.0f), 1.0f, 1e-5);
  EXPECT_NEAR(Ease(vgInterpolationBounce, vgAnimationIn, 0.0f), 0.0f, 1e-5);
}

TEST(Easing, ElasticOscillatesAroundTheEndAndIgnoresTheDurationScale) {
  float lo = 1, hi = 0;
  for (int i = 1; i < 100; ++i) {
    const float v = Ease(vgInterpolationElastic, vgAnimationOut, i / 100.0f);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_GT(hi, 1.0f);
  EXPECT_GT(lo, 0.0f);
  for (float u : {0.2f, 0.6f, 0.9f})
    EXPECT_NEAR(vgInterpolate(vgInterpolationElastic, vgAnimationInOut, u * 0.4f, 0.4f),
                Ease(vgInterpolationElastic, vgAnimationInOut, u), 1e-4);
  EXPECT_EQ(vgInterpolate(vgInterpolationElastic, vgAnimationIn, 0, 0.4f), 0.0f);
  EXPECT_EQ(vgInterpolate(vgInterpolationLinear, vgAnimationIn, 0.1f, 0), 0.0f);
}

// ---------------------------------------------------------------------------------------------
// Runs on the tick

class AnimationRun : public SceneTest {};

TEST_F(AnimationRun, StepsOnThirtyThreeMillisecondTicksAndLandsExactlyOnTheEnd) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  int finishes = 0;
  auto* a = new TvxFloatAnimation();
  a->SetParent(box);
  a->SetPropertyName("Position.X");
  a->SetDuration(0.3f);
  a->SetStartValue(0);
  a->SetStopValue(300);
  a->OnFinish = [&](TvxObject*) { ++finishes; };
  a->Start();
  EXPECT_EQ(box->Position().X(), 0.0f) << "the first value is applied at once";
  float last = 0;
  for (int i = 0; i < 9; ++i) {
    Tick();
    EXPECT_NEAR(box->Position().X() - last, 33.0f, 0.5f);
    last = box->Position().X();
    EXPECT_TRUE(a->Running());
  }
  EXPECT_LT(box->Position().X(), 300.0f);
  Tick();
  EXPECT_EQ(box->Position().X(), 300.0f);
  EXPECT_FALSE(a->Running());
  EXPECT_EQ(finishes, 1);
  EXPECT_FALSE(TvxAniThread::Instance().Contains(a));
  Ticks(3);
  EXPECT_EQ(finishes, 1);
  EXPECT_FALSE(TvxAniThread::Instance().TimerActive()) << "no ticking with nothing to animate";
}

TEST_F(AnimationRun, SlowTicksMakeLargerStepsNotLongerRuns) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  box->AnimateFloat("Width", 110, 0.3f);
  Tick(0.2);
  EXPECT_NEAR(box->Width(), 10 + 100 * 0.2f / 0.3f, 0.01);
  Tick(0.2);
  EXPECT_EQ(box->Width(), 110.0f);
  EXPECT_EQ(box->ChildrenCount(), 0) << "AnimateFloat frees its animation";
}

TEST_F(AnimationRun, NewAnimationsLastAFifthOfASecond) {
  TvxFloatAnimation probe;
  EXPECT_FLOAT_EQ(probe.Duration(), 0.2f);
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  box->AnimateFloat("Opacity", 0);  // default duration
  Ticks(6);                         // 0.198 s
  EXPECT_GT(box->Opacity(), 0.0f);
  Tick();
  EXPECT_EQ(box->Opacity(), 0.0f);
}

TEST_F(AnimationRun, NearZeroDurationFinishesInsideStart) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  int finishes = 0;
  auto* a = new TvxFloatAnimation();
  a->SetParent(box);
  a->SetPropertyName("Opacity");
  a->SetStartValue(1);
  a->SetStopValue(0.25f);
  a->SetDuration(0.0005f);
  a->OnFinish = [&](TvxObject*) { ++finishes; };
  a->Start();
  EXPECT_EQ(box->Opacity(), 0.25f);
  EXPECT_EQ(finishes, 1);
  EXPECT_FALSE(a->Running());
  EXPECT_FALSE(TvxAniThread::Instance().Contains(a));
  // Inverse: jumps to the start value.
  a->SetInverse(true);
  a->Start();
  EXPECT_EQ(box->Opacity(), 1.0f);
  EXPECT_EQ(finishes, 2);
}

TEST_F(AnimationRun, OutsideAnySceneAnimationsCompleteAtOnce) {
  TvxVisualObject loose;
  loose.AnimateFloat("Position.Y", 42, 1.0f);
  EXPECT_EQ(loose.Position().Y(), 42.0f);
  EXPECT_EQ(loose.ChildrenCount(), 0);
}

TEST_F(AnimationRun, DelayHoldsTheStartValueThenRuns) {
  TvxVisualObject* box = AddBox(root, 5, 0, 10, 10);
  auto* a = new TvxFloatAnimation();
  a->SetParent(box);
  a->SetPropertyName("Position.X");
  a->SetStartValue(0);
  a->SetStopValue(100);
  a->SetDuration(0.1f);
  a->SetDelay(0.05f);
  a->Start();
  EXPECT_EQ(box->Position().X(), 5.0f) << "nothing applied before the delay";
  Tick();  // 0.033 of the delay
  EXPECT_EQ(box->Position().X(), 5.0f);
  Tick();  // delay over: restarted, first step on the next tick
  EXPECT_EQ(box->Position().X(), 5.0f);
  Tick();
  EXPECT_NEAR(box->Position().X(), 33.0f, 0.5f);
  Ticks(3);
  EXPECT_EQ(box->Position().X(), 100.0f);
  EXPECT_FALSE(a->Running());
}

TEST_F(AnimationRun, StopJumpsToTheEndAndStopAtCurrentFreezes) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  auto* a = new TvxFloatAnimation();
  a->SetParent(box);
  a->SetPropertyName("RotateAngle");
  a->SetStopValue(360);
  a->SetDuration(2);
  a->SetLoop(true);
  int finishes = 0;
  a->OnFinish = [&](TvxObject*) { ++finishes; };
  a->Start();
  Ticks(3);
  const float frozen = box->RotateAngle();
  EXPECT_GT(frozen, 0.0f);
  a->StopAtCurrent();
  EXPECT_EQ(box->RotateAngle(), frozen);
  EXPECT_EQ(finishes, 1);
  EXPECT_FALSE(a->Enabled());
  Ticks(3);
  EXPECT_EQ(box->RotateAngle(), frozen);

  a->Start();
  Ticks(2);
  a->Stop();
  EXPECT_EQ(box->RotateAngle(), 360.0f);
  EXPECT_EQ(finishes, 2);
  a->Stop();  // not running: nothing
  EXPECT_EQ(finishes, 2);

  a->SetInverse(true);
  a->Start();
  Ticks(2);
  a->Stop();
  EXPECT_EQ(box->RotateAngle(), 0.0f) << "an inverse run stops at its start value";
}

TEST_F(AnimationRun, AHiddenParentNeitherStartsNorKeepsItsAnimationRunning) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  box->SetVisible(false);
  int finishes = 0;
  auto* a = new TvxFloatAnimation();
  a->SetParent(box);
  a->SetPropertyName("Opacity");
  a->SetStopValue(0);
  a->SetDuration(0.0001f);
  a->OnFinish = [&](TvxObject*) { ++finishes; };
  a->Start();
  EXPECT_EQ(box->Opacity(), 1.0f);
  EXPECT_EQ(finishes, 0) << "not even the at-once completion runs";

  box->AnimateFloatWait("Position.X", 80, 0.3f);
  EXPECT_EQ(box->Position().X(), 0.0f);
  EXPECT_EQ(box->ChildrenCount(), 1) << "the waiting animation was freed";

  box->SetVisible(true);
  a->SetDuration(1);
  a->Start();
  Tick();
  box->SetVisible(false);
  Tick();
  EXPECT_FALSE(a->Running());
  EXPECT_EQ(box->Opacity(), 0.0f) << "stopped at the end value";
  EXPECT_EQ(finishes, 1);
}

// The flip hides the whole main face; the disc inside it keeps turning, and objects inside a
// hidden container still animate. Only the parent's own Visible counts.
TEST_F(AnimationRun, AHiddenAncestorLeavesAnimationsRunning) {
  TvxVisualObject* face = AddBox(root, 0, 0, 520, 315);  // RectangleRoot
  TvxVisualObject* view = AddBox(face, 0, 44.5f, 520, 273);
  TvxVisualObject* disc = AddBox(view, 80, 67, 106, 106);
  auto* spin = new TvxFloatAnimation();
  spin->SetParent(disc);
  spin->SetPropertyName("RotateAngle");
  spin->SetStopValue(360);
  spin->SetDuration(2);
  spin->SetLoop(true);
  spin->Start();
  Tick(0.5);
  EXPECT_NEAR(disc->RotateAngle(), 90, 0.01);
  face->SetVisible(false);  // the flip's face swap
  Tick(0.5);
  EXPECT_TRUE(spin->Running());
  EXPECT_NEAR(disc->RotateAngle(), 180, 0.01);
  face->SetVisible(true);
  Tick(0.5);
  EXPECT_NEAR(disc->RotateAngle(), 270, 0.01) << "no jump, no restart";

  face->SetVisible(false);
  spin->StopAtCurrent();
  spin->Start();
  EXPECT_TRUE(spin->Running()) << "a start behind a hidden ancestor runs";
  TvxVisualObject* box = AddBox(view, 0, 0, 10, 10);
  TvxAniThread::SetClock([] { return gTestNow += 0.05; });  // the wait runs on real ticks
  box->AnimateFloatWait("Position.X", 80, 0.1f);
  TvxAniThread::SetClock([] { return gTestNow; });
  EXPECT_EQ(box->Position().X(), 80.0f);

  disc->SetVisible(false);
  Tick();
  EXPECT_FALSE(spin->Running()) << "its own parent hidden: it stops";
}

// The settings flip as the window runs it: the disc on the main face turns all the way through.
TEST_F(AnimationRun, TheFlipToTheBackFaceKeepsTheDiscTurning) {
  TvxVisualObject* front = AddBox(root, 0, 0, 520, 315);   // RectangleRoot
  TvxVisualObject* back = AddBox(root, 53, 30, 414, 256);  // RectangleSet
  back->SetVisible(false);
  TvxVisualObject* disc = AddBox(front, 122, 111, 106, 106);
  auto* spin = new TvxFloatAnimation();
  spin->SetParent(disc);
  spin->SetPropertyName("RotateAngle");
  spin->SetStopValue(360);
  spin->SetDuration(2);
  spin->SetLoop(true);
  spin->Start();
  TvxAniThread::SetClock([] { return gTestNow += 0.05; });
  layer->AnimateFloat("Position.Z", 300, 0.3f);
  layer->AnimateFloatWait("RotateAngle.Y", 90, 0.3f);
  back->SetVisible(true);
  front->SetVisible(false);
  layer->RotateAngle().SetY(270);
  layer->AnimateFloat("Position.Z", 0, 0.3f);
  layer->AnimateFloatWait("RotateAngle.Y", 360, 0.3f);
  const float during = disc->RotateAngle();
  TvxAniThread::SetClock([] { return gTestNow; });
  EXPECT_FLOAT_EQ(layer->RotateAngle().Y(), 360);
  EXPECT_TRUE(spin->Running());
  EXPECT_GT(during, 40.0f) << "0.6 s of turning at 180 degrees a second";
  Tick(0.1);
  EXPECT_NE(disc->RotateAngle(), during) << "still turning behind the back face";
}

TEST_F(AnimationRun, LoopsRestartAndAutoReverseTurnsBack) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  auto* a = new TvxFloatAnimation();
  a->SetParent(box);
  a->SetPropertyName("Position.X");
  a->SetStopValue(100);
  a->SetDuration(0.1f);
  a->SetLoop(true);
  a->Start();
  Tick(0.06);
  Tick(0.06);  // passes the end: time goes back to 0
  EXPECT_EQ(box->Position().X(), 0.0f);
  Tick(0.05);
  EXPECT_NEAR(box->Position().X(), 50.0f, 0.01);
  EXPECT_TRUE(a->Running());

  a->StopAtCurrent();
  a->SetAutoReverse(true);
  a->Start();
  Tick(0.06);
  Tick(0.06);  // clamps at the end and turns round
  EXPECT_EQ(box->Position().X(), 100.0f);
  EXPECT_TRUE(a->Inverse());
  Tick(0.03);
  EXPECT_NEAR(box->Position().X(), 70.0f, 0.01);
  Tick(0.08);  // back at the start: forwards again
  EXPECT_EQ(box->Position().X(), 0.0f);
  EXPECT_FALSE(a->Inverse());
  EXPECT_TRUE(a->Running());
}

TEST_F(AnimationRun, ColourStepsEveryByteTowardZeroAndWrapsOvershoot) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  box->Fill().SetColorText("#FF000000");
  box->AnimateColor("fill.color", "#00FF4181", 1.0f);
  Tick(0.5);
  EXPECT_EQ(box->Fill().ColorText(), "#807F2040");
  Tick(0.6);
  EXPECT_EQ(box->Fill().ColorText(), "#00FF4181");

  box->Fill().SetColorText("#FF000000");
  box->AnimateColor("Fill.Color", "#FFFF0000", 1.0f, vgAnimationOut, vgInterpolationBack);
  Tick(0.5);  // eased 1.0877: 277 wraps to 21
  EXPECT_EQ(box->Fill().ColorText(), "#FF150000");
}

TEST_F(AnimationRun, PathsMatchWithoutCaseAndUnknownPathsChangeNothing) {
  TvxVisualObject* box = AddBox(root, 1, 2, 10, 10);
  box->AnimateFloat("position.x", 30, 0.0001f);
  box->AnimateFloat("POSITION.Y", 40, 0.0001f);
  EXPECT_EQ(box->Position().X(), 30.0f);
  EXPECT_EQ(box->Position().Y(), 40.0f);
  box->AnimateFloat("Nothing.Here", 5, 0.1f);
  box->AnimateColor("Position.X", "#FF00FF00", 0.1f);  // not a colour property
  Ticks(5);
  EXPECT_EQ(box->Position().X(), 30.0f);
  EXPECT_EQ(box->ChildrenCount(), 0);
}

TEST_F(AnimationRun, LayerTakesThreeDimensionalPaths) {
  layer->AnimateFloat("Position.Z", 300, 0.3f);
  layer->AnimateFloat("RotateAngle.Y", 90, 0.3f);
  Ticks(10);
  EXPECT_EQ(layer->Position().Z(), 300.0f);
  EXPECT_EQ(layer->RotateAngle().Y(), 90.0f);
}

// ---------------------------------------------------------------------------------------------
// Triggers

class Triggers : public SceneTest {
 protected:
  // A style part of `button` whose opacity goes to 0.4 on `trigger` and back when the pointer
  // leaves.
  TvxFloatAnimation* AddGlowPart(TvxVisualObject* button, const char* trigger) {
    part = AddBox(button, 0, 0, 10, 10);
    part->Locked = true;
    part->SetHitTest(false);
    part->SetOpacity(0);
    auto* glow = new TvxFloatAnimation();
    glow->SetParent(part);
    glow->SetPropertyName("Opacity");
    glow->SetStartValue(0);
    glow->SetStopValue(0.4f);
    glow->SetTrigger(trigger);
    glow->SetTriggerInverse("IsMouseOver=false");
    return glow;
  }
  TvxVisualObject* part = nullptr;
};

TEST_F(Triggers, HoverRunFinishesOncePerEntryLateWhenStayingAtOnceWhenLeaving) {
  TvxVisualObject* button = AddBox(root, 0, 0, 10, 10);
  auto* hover = new TvxFloatAnimation();
  hover->SetParent(button);
  hover->SetTrigger("IsMouseOver=true");
  hover->SetDuration(0.2f);
  int finishes = 0;
  hover->OnFinish = [&](TvxObject*) { ++finishes; };

  button->SetIsMouseOver(true);
  EXPECT_TRUE(hover->Running());
  Ticks(6);
  EXPECT_EQ(finishes, 0);
  Tick();
  EXPECT_EQ(finishes, 1) << "after the full duration while the pointer stays";
  button->SetIsMouseOver(false);
  Ticks(10);
  EXPECT_EQ(finishes, 1) << "leaving after the run starts nothing";

  button->SetIsMouseOver(true);
  Ticks(2);
  button->SetIsMouseOver(false);
  EXPECT_EQ(finishes, 2) << "leaving early ends the run at once";
  Ticks(10);
  EXPECT_EQ(finishes, 2);
}

TEST_F(Triggers, InverseTriggerRunsBackwardsAndConditionsMustAllHold) {
  TvxVisualObject* button = AddBox(root, 0, 0, 10, 10);
  TvxFloatAnimation* glow = AddGlowPart(button, "IsMouseOver=true;IsPressed=false");

  button->SetIsPressed(true);
  button->SetIsMouseOver(true);
  EXPECT_FALSE(glow->Running()) << "pressed: the second condition fails";
  button->SetIsPressed(false);
  EXPECT_TRUE(glow->Running()) << "the trigger names IsPressed too, and now both hold";
  EXPECT_FALSE(glow->Inverse());
  Ticks(7);
  EXPECT_FLOAT_EQ(part->Opacity(), 0.4f);
  button->SetIsMouseOver(false);
  EXPECT_TRUE(glow->Running());
  EXPECT_TRUE(glow->Inverse());
  Tick();
  EXPECT_LT(part->Opacity(), 0.4f);
}

TEST_F(Triggers, StyleAnimationsInLockedPartsFollowTheControl) {
  TvxVisualObject* button = AddBox(root, 0, 0, 10, 10);
  TvxFloatAnimation* glow = AddGlowPart(button, "IsMouseOver=true");
  auto* free = AddBox(button, 0, 0, 10, 10);  // not a style part: untouched
  auto* other = new TvxFloatAnimation();
  other->SetParent(free);
  other->SetTrigger("IsMouseOver=true");

  button->SetIsMouseOver(true);
  EXPECT_TRUE(glow->Running());
  EXPECT_FALSE(other->Running());
  Ticks(7);
  EXPECT_FLOAT_EQ(part->Opacity(), 0.4f);
  button->SetIsMouseOver(false);
  EXPECT_TRUE(glow->Inverse());
  Ticks(7);
  EXPECT_FLOAT_EQ(part->Opacity(), 0.0f);
}

TEST_F(Triggers, NamesOfNonBooleanPropertiesAreSkippedAndEmptyListsStartNothing) {
  TvxVisualObject* button = AddBox(root, 0, 0, 10, 10);
  auto* a = new TvxFloatAnimation();
  a->SetParent(button);
  a->SetTrigger("Width=10;IsMouseOver=true");
  button->SetIsMouseOver(true);
  EXPECT_TRUE(a->Running());
  a->Stop();
  a->SetTrigger("Width=10");
  a->StartTrigger(button, "Width");
  EXPECT_FALSE(a->Running());
  a->StartTrigger(nullptr, "IsMouseOver");
  EXPECT_FALSE(a->Running());
}

// ---------------------------------------------------------------------------------------------
// The tick source

class TickSource : public SceneTest {};

TEST_F(TickSource, VisitsLastToFirstAndAdvancesTheCaretEveryThirdTick) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  std::vector<int> order;
  std::vector<TvxFloatAnimation*> anims;
  for (int i = 0; i < 3; ++i) {
    auto* a = new TvxFloatAnimation();
    a->SetParent(box);
    a->SetLoop(true);
    a->SetDuration(1);
    a->OnProcess = [&order, i](TvxObject*) { order.push_back(i); };
    anims.push_back(a);
  }
  anims[1]->BindingName = "caret";
  for (auto* a : anims) a->Start();
  Tick();
  EXPECT_EQ(order, (std::vector<int>{2, 0}));
  order.clear();
  Ticks(2);
  EXPECT_EQ(order, (std::vector<int>{2, 0, 2, 1, 0}));
}

TEST_F(TickSource, FinishHandlersMayFreeOtherAnimationsDuringAPass) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  auto* low = new TvxFloatAnimation();
  low->SetParent(box);
  low->SetDuration(1);
  auto* mid = new TvxFloatAnimation();
  mid->SetParent(box);
  mid->SetDuration(1);
  auto* high = new TvxFloatAnimation();
  high->SetParent(box);
  high->SetDuration(0.02f);
  high->OnFinish = [&](TvxObject* self) {
    delete low;
    delete mid;
    delete self;
  };
  low->Start();
  mid->Start();
  high->Start();
  Tick();
  EXPECT_EQ(TvxAniThread::Instance().Count(), 0);
  EXPECT_EQ(box->ChildrenCount(), 0);
}

TEST_F(TickSource, WakingFromIdleMeasuresTheFirstStepFromNow) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  Tick(50);  // a long idle time
  box->AnimateFloat("Width", 110, 1.0f);
  Tick();
  EXPECT_NEAR(box->Width(), 13.3f, 0.1);
}

TEST_F(TickSource, WaitingKeepsHandlingEventsAndReturnsAfterTheRun) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  TvxAniThread::SetClock([] { return gTestNow += 0.05; });
  bool handled = false;
  QTimer::singleShot(0, [&] { handled = true; });
  box->AnimateFloatWait("Position.X", 35, 0.3f);
  TvxAniThread::SetClock([] { return gTestNow; });
  EXPECT_TRUE(handled);
  EXPECT_EQ(box->Position().X(), 35.0f);
  EXPECT_EQ(box->ChildrenCount(), 0);
}

TEST_F(TickSource, FreeingTheObjectWhileWaitingEndsTheWait) {
  TvxVisualObject* box = AddBox(root, 0, 0, 10, 10);
  TvxAniThread::SetClock([] { return gTestNow += 0.01; });
  QTimer::singleShot(40, [&] { delete box; });
  box->AnimateFloatWait("Position.X", 35, 5.0f);
  TvxAniThread::SetClock([] { return gTestNow; });
  EXPECT_EQ(root->ChildrenCount(), 0);
}

TEST_F(AnimationRun, EnabledBeforeJoiningASceneRunsFromLoad) {
  TvxVisualObject* disc = AddBox(root, 42, 67, 106, 106);
  auto* spin = new TvxFloatAnimation();
  spin->SetPropertyName("RotateAngle");
  spin->SetStopValue(360);
  spin->SetDuration(2);
  spin->SetLoop(true);
  spin->SetEnabled(true);  // still without a parent: it must not complete at once
  EXPECT_FALSE(spin->Running());
  spin->SetParent(disc);
  scene->Loaded();
  EXPECT_TRUE(spin->Running());
  Ticks(3);
  EXPECT_GT(disc->RotateAngle(), 0.0f);
  EXPECT_LT(disc->RotateAngle(), 360.0f);
  spin->SetEnabled(false);
  EXPECT_EQ(disc->RotateAngle(), 360.0f);
}
