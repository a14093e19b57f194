// Property animations: one shared 33 ms tick on the main thread advances every running animation.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "scene/Easing.h"
#include "scene/Object.h"

class QTimer;

class TvxAnimation : public TvxObject {
 public:
  TvxAnimation();
  ~TvxAnimation() override;
  TvxAnimation* AsAnimation() override { return this; }

  virtual void Start();
  virtual void Stop();
  virtual void StopAtCurrent();
  virtual void StartTrigger(TvxObject* instance, const QString& trigger);
  void ProcessTick(float time, float deltaTime);
  float NormalizedTime() const;

  float Duration() const { return FDuration; }
  void SetDuration(float d) { FDuration = d; }
  float Delay() const { return FDelay; }
  void SetDelay(float d) { FDelay = d; }
  float CurrentTime() const { return FTime; }
  bool Inverse() const { return FInverse; }
  void SetInverse(bool v) { FInverse = v; }
  QString Trigger() const { return FTrigger; }
  void SetTrigger(const QString& t) { FTrigger = t; }
  QString TriggerInverse() const { return FTriggerInverse; }
  void SetTriggerInverse(const QString& t) { FTriggerInverse = t; }
  bool Loop() const { return FLoop; }
  void SetLoop(bool v) { FLoop = v; }
  bool Pause() const { return FPause; }
  void SetPause(bool v) { FPause = v; }
  bool Running() const { return FRunning; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);  // true starts, false stops
  // Starts an animation that was enabled before it belonged to a scene.
  void StartIfEnabled();
  bool AutoReverse() const { return FAutoReverse; }
  void SetAutoReverse(bool v) { FAutoReverse = v; }
  TvxInterpolationType Interpolation() const { return FInterpolation; }
  void SetInterpolation(TvxInterpolationType i) { FInterpolation = i; }
  TvxAnimationType AnimationType() const { return FAnimationType; }
  void SetAnimationType(TvxAnimationType t) { FAnimationType = t; }
  bool HideOnFinish = false;

  TvxNotifyEvent OnFinish;
  TvxNotifyEvent OnProcess;

 protected:
  virtual void ProcessAnimation() {}
  // Called when a run ends by Stop or StopAtCurrent, before the finish event.
  virtual void ForgetTarget() {}
  void StartRun();  // the common steps of Start
  void RaiseFinish();

  float FDuration = 0.2f;
  float FDelay = 0;
  float FDelayTime = 0;
  float FTime = 0;
  bool FInverse = false;
  QString FTrigger;
  QString FTriggerInverse;
  bool FLoop = false;
  bool FPause = false;
  bool FRunning = false;
  TvxInterpolationType FInterpolation = vgInterpolationLinear;
  TvxAnimationType FAnimationType = vgAnimationIn;
  bool FEnabled = false;
  bool FAutoReverse = false;

 private:
  bool ParentHidden() const;
  bool ConditionsHold(const QString& conditions, TvxObject* instance) const;
};

// Shared by the float and colour kinds: the target found by a dot path.
class TvxPathAnimation : public TvxAnimation {
 public:
  QString PropertyName() const { return FPropertyName; }
  void SetPropertyName(const QString& p) { FPropertyName = p; }
  bool StartFromCurrent() const { return FStartFromCurrent; }
  void SetStartFromCurrent(bool v) { FStartFromCurrent = v; }
  TvxPersistent* Instance() const { return FInstance; }
  QString Path() const { return FPath; }

  void Start() override;

 protected:
  void ForgetTarget() override { FInstance = nullptr; }
  void FindTarget();
  virtual void ReadStartValue() = 0;

  QString FPath;
  QString FPropertyName;
  TvxPersistent* FInstance = nullptr;
  bool FStartFromCurrent = false;
};

class TvxFloatAnimation : public TvxPathAnimation {
 public:
  float StartValue() const { return FStartFloat; }
  void SetStartValue(float v) { FStartFloat = v; }
  float StopValue() const { return FStopFloat; }
  void SetStopValue(float v) { FStopFloat = v; }

 protected:
  void ProcessAnimation() override;
  void ReadStartValue() override;

 private:
  float FStartFloat = 0;
  float FStopFloat = 0;
};

class TvxColorAnimation : public TvxPathAnimation {
 public:
  TAlphaColor StartValue() const { return FStartColor; }
  void SetStartValue(TAlphaColor v) { FStartColor = v; }
  void SetStartValue(const QString& v) { FStartColor = vgStrToColor(v); }
  TAlphaColor StopValue() const { return FStopColor; }
  void SetStopValue(TAlphaColor v) { FStopColor = v; }
  void SetStopValue(const QString& v) { FStopColor = vgStrToColor(v); }

 protected:
  void ProcessAnimation() override;
  void ReadStartValue() override;

 private:
  TAlphaColor FStartColor = 0;
  TAlphaColor FStopColor = 0;
};

// The one tick source of the process. It only runs its timer while animations are listed, so
// an idle window does not wake up.
class TvxAniThread {
 public:
  static TvxAniThread& Instance();
  static bool Exists();
  // Seconds of a monotonic clock; tests put in their own.
  static void SetClock(std::function<double()> clock);
  static double Now();

  void Add(TvxAnimation* a);
  void Remove(TvxAnimation* a);
  bool Contains(const TvxAnimation* a) const;
  int Count() const { return int(FAniList.size()); }
  bool TimerActive() const;
  void Tick();  // one timer pass
  // Called after every pass, until removed (a window joins its repaints to the frames).
  void AddAfterTick(const void* owner, std::function<void()> f);
  void RemoveAfterTick(const void* owner);
  float Time() const { return FTime; }
  float DeltaTime() const { return FDeltaTime; }
  static constexpr int kInterval = 33;

 private:
  TvxAniThread();
  void EnsureTimer();
  std::vector<TvxAnimation*> FAniList;
  double FStartTime;
  float FTime = 0;
  float FDeltaTime = 0;
  QTimer* FTimer = nullptr;
  std::vector<std::pair<const void*, std::function<void()>>> FAfterTick;
};
