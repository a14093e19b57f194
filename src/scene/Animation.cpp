#include "scene/Animation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "scene/VisualObject.h"

namespace {

std::function<double()>& ClockFunction() {
  static std::function<double()> clock;
  return clock;
}

double MonotonicSeconds() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return double(timer.nsecsElapsed()) / 1e9;
}

TvxAniThread*& InstancePointer() {
  static TvxAniThread* instance = nullptr;
  return instance;
}

bool ValueNameMatches(bool value, const QString& text) {
  return text.trimmed().compare(value ? QLatin1String("true") : QLatin1String("false"),
                                Qt::CaseInsensitive) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TvxAnimation

TvxAnimation::TvxAnimation() = default;

TvxAnimation::~TvxAnimation() {
  if (TvxAniThread::Exists()) TvxAniThread::Instance().Remove(this);
}

// Only the parent's own Visible counts, not its ancestors': hiding a whole face (the flip hides
// `RectangleRoot`) leaves the animations inside it running, as the disc's turning must.
bool TvxAnimation::ParentHidden() const {
  TvxObject* parent = Parent();
  TvxVisualObject* visual = parent ? parent->AsVisual() : nullptr;
  return visual && !visual->Visible();
}

float TvxAnimation::NormalizedTime() const {
  if (FDuration <= 0 || FDelayTime > 0) return 0;
  return vgInterpolate(FInterpolation, FAnimationType, FTime, FDuration);
}

void TvxAnimation::RaiseFinish() {
  if (!OnFinish) return;
  // The handler may free this animation, and with it the handler itself.
  TvxNotifyEvent handler = OnFinish;
  handler(this);
}

void TvxAnimation::Start() {
  StartRun();
}

void TvxAnimation::StartRun() {
  if (ParentHidden()) return;
  if (std::fabs(FDuration) < 0.001f || !Scene()) {
    FDelayTime = 0;
    FTime = FInverse ? 0 : 1;
    FDuration = 1;
    FRunning = true;
    ProcessAnimation();
    FRunning = false;
    FTime = 0;
    FDuration = 0.00001f;
    FEnabled = false;
    RaiseFinish();
    return;
  }
  FDelayTime = FDelay;
  FRunning = true;
  FTime = FInverse ? FDuration : 0;
  if (FDelay == 0) ProcessAnimation();
  TvxAniThread::Instance().Add(this);
  FEnabled = true;
}

void TvxAnimation::Stop() {
  if (!FRunning) return;
  TvxAniThread::Instance().Remove(this);
  FTime = FInverse ? 0 : FDuration;
  ProcessAnimation();
  FRunning = false;
  FEnabled = false;
  ForgetTarget();
  RaiseFinish();
}

void TvxAnimation::StopAtCurrent() {
  if (!FRunning) return;
  TvxAniThread::Instance().Remove(this);
  FTime = FInverse ? 0 : FDuration;
  FRunning = false;
  FEnabled = false;
  ForgetTarget();
  RaiseFinish();
}

void TvxAnimation::SetEnabled(bool v) {
  if (v && !Scene()) {
    // Not in a scene yet: it starts when the scene is loaded (TdxScene::Loaded).
    FEnabled = true;
    return;
  }
  if (v) {
    if (!FRunning) Start();
  } else if (FRunning) {
    Stop();
  }
  FEnabled = v && FRunning;
}

void TvxAnimation::StartIfEnabled() {
  if (FEnabled && !FRunning) Start();
}

void TvxAnimation::ProcessTick(float /*time*/, float deltaTime) {
  const std::weak_ptr<void> alive = LifeToken();
  if (ParentHidden()) {
    Stop();
    if (!IsAlive(alive)) return;
  }
  if (!FRunning || FPause) return;

  if (FDelay > 0 && FDelayTime != 0) {
    if (FDelayTime > 0) {
      FDelayTime -= deltaTime;
      if (FDelayTime <= 0) {
        Start();
        if (!IsAlive(alive)) return;
        FDelayTime = 0;
      }
    }
    return;
  }

  FTime += FInverse ? -deltaTime : deltaTime;
  bool ended = false;
  if (FTime >= FDuration) {
    FTime = FDuration;
    if (!FLoop)
      ended = true;
    else if (FAutoReverse)
      FInverse = true;
    else
      FTime = 0;
  } else if (FTime <= 0) {
    FTime = 0;
    if (!FLoop)
      ended = true;
    else if (FAutoReverse)
      FInverse = false;
    else
      FTime = FDuration;
  }
  if (ended) FRunning = false;

  ProcessAnimation();
  if (OnProcess) {
    TvxNotifyEvent handler = OnProcess;
    handler(this);
    if (!IsAlive(alive)) return;
  }
  if (ended && Scene()) {
    TvxAniThread::Instance().Remove(this);
    RaiseFinish();
  }
}

bool TvxAnimation::ConditionsHold(const QString& conditions, TvxObject* instance) const {
  bool compared = false, lastMatched = false;
  for (const QString& condition : conditions.split(u';', Qt::SkipEmptyParts)) {
    const int eq = condition.indexOf(u'=');
    if (eq < 0) continue;
    const QString name = condition.left(eq).trimmed();
    const std::optional<bool> value = instance->GetBoolProp(name);
    if (!value) continue;
    compared = true;
    lastMatched = ValueNameMatches(*value, condition.mid(eq + 1));
    if (!lastMatched) break;
  }
  return compared && lastMatched;
}

void TvxAnimation::StartTrigger(TvxObject* instance, const QString& trigger) {
  if (!instance) return;
  const QString wanted = trigger.toLower();
  if (!FTriggerInverse.isEmpty() && FTriggerInverse.toLower().contains(wanted) &&
      ConditionsHold(FTriggerInverse, instance)) {
    FInverse = true;
    Start();
    return;
  }
  if (!FTrigger.isEmpty() && FTrigger.toLower().contains(wanted) &&
      ConditionsHold(FTrigger, instance)) {
    if (!FTriggerInverse.isEmpty()) FInverse = false;
    Start();
  }
}

// ---------------------------------------------------------------------------------------------
// Float and colour kinds

void TvxPathAnimation::FindTarget() {
  FInstance = Parent();
  FPath = FPropertyName;
  while (FPath.contains(u'.')) {
    const int dot = FPath.indexOf(u'.');
    const QString head = FPath.left(dot);
    FPath = FPath.mid(dot + 1);
    if (FInstance && FInstance->PropKind(head) == TvxPropKind::Object) {
      if (TvxPersistent* inner = FInstance->ObjectProp(head)) FInstance = inner;
    }
  }
  if (FStartFromCurrent && FInstance) ReadStartValue();
}

void TvxPathAnimation::Start() {
  if (!FInstance) FindTarget();
  StartRun();
}

void TvxFloatAnimation::ReadStartValue() {
  if (FInstance->PropKind(FPath) == TvxPropKind::Float)
    FStartFloat = FInstance->GetFloatProp(FPath);
}

void TvxFloatAnimation::ProcessAnimation() {
  if (!FInstance || FInstance->PropKind(FPath) != TvxPropKind::Float) return;
  const float value = FStartFloat + (FStopFloat - FStartFloat) * NormalizedTime();
  FInstance->SetFloatProp(FPath, value);
}

void TvxColorAnimation::ReadStartValue() {
  if (FInstance->PropKind(FPath) == TvxPropKind::Color)
    FStartColor = FInstance->GetColorProp(FPath);
}

void TvxColorAnimation::ProcessAnimation() {
  if (!FInstance || FInstance->PropKind(FPath) != TvxPropKind::Color) return;
  const float n = NormalizedTime();
  TAlphaColor result = 0;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const int from = int((FStartColor >> shift) & 0xFF);
    const int to = int((FStopColor >> shift) & 0xFF);
    const int step = from + int(std::trunc(n * float(to - from)));
    result |= TAlphaColor(uint8_t(step & 0xFF)) << shift;
  }
  FInstance->SetColorProp(FPath, result);
}

// ---------------------------------------------------------------------------------------------
// Tick source

TvxAniThread& TvxAniThread::Instance() {
  TvxAniThread*& instance = InstancePointer();
  if (!instance) instance = new TvxAniThread();  // lives until the process ends
  return *instance;
}

bool TvxAniThread::Exists() {
  return InstancePointer() != nullptr;
}

void TvxAniThread::SetClock(std::function<double()> clock) {
  ClockFunction() = std::move(clock);
}

double TvxAniThread::Now() {
  const auto& clock = ClockFunction();
  return clock ? clock() : MonotonicSeconds();
}

TvxAniThread::TvxAniThread() : FStartTime(Now()) {}

bool TvxAniThread::Contains(const TvxAnimation* a) const {
  return std::find(FAniList.begin(), FAniList.end(), a) != FAniList.end();
}

bool TvxAniThread::TimerActive() const {
  return FTimer && FTimer->isActive();
}

void TvxAniThread::Add(TvxAnimation* a) {
  if (Contains(a)) return;
  if (FAniList.empty()) {
    // Waking from idle: measure the first step from now, not from the last tick long ago.
    FTime = float(Now() - FStartTime);
  }
  FAniList.push_back(a);
  EnsureTimer();
}

void TvxAniThread::Remove(TvxAnimation* a) {
  auto it = std::find(FAniList.begin(), FAniList.end(), a);
  if (it != FAniList.end()) FAniList.erase(it);
  if (FAniList.empty() && FTimer) FTimer->stop();
}

void TvxAniThread::EnsureTimer() {
  if (!QCoreApplication::instance()) return;  // ticks only by hand
  if (!FTimer) {
    FTimer = new QTimer();
    FTimer->setTimerType(Qt::PreciseTimer);
    FTimer->setInterval(kInterval);
    QObject::connect(FTimer, &QTimer::timeout, [this] { Tick(); });
  }
  if (!FTimer->isActive()) FTimer->start();
}

void TvxAniThread::Tick() {
  const float t = float(Now() - FStartTime);
  if (!(t > FTime)) return;
  FDeltaTime = t - FTime;
  FTime = t;
  for (int i = int(FAniList.size()) - 1; i >= 0; --i) {
    if (i >= int(FAniList.size())) i = int(FAniList.size()) - 1;
    if (i < 0) break;
    TvxAnimation* a = FAniList[size_t(i)];
    if (!a->Running()) continue;
    if (a->BindingName.compare(QLatin1String("caret"), Qt::CaseInsensitive) == 0) {
      ++a->Tag;
      if (a->Tag % 3 != 0) continue;
    }
    a->ProcessTick(FTime, FDeltaTime);
  }
  if (FAniList.empty() && FTimer) FTimer->stop();
  const auto after = FAfterTick;  // a listener may remove itself
  for (const auto& [owner, f] : after) f();
}

void TvxAniThread::AddAfterTick(const void* owner, std::function<void()> f) {
  FAfterTick.emplace_back(owner, std::move(f));
}

void TvxAniThread::RemoveAfterTick(const void* owner) {
  std::erase_if(FAfterTick, [owner](const auto& entry) { return entry.first == owner; });
}

// ---------------------------------------------------------------------------------------------
// Animation operations of every object

namespace {

// A run of `propertyName` from its current value to `stopValue`, owned by `owner`, not started.
template <class TAnimation, class TValue>
TAnimation* NewRunToValue(TvxObject* owner, const QString& propertyName, const TValue& stopValue,
                          float duration, TvxAnimationType type,
                          TvxInterpolationType interpolation) {
  auto* a = new TAnimation();
  a->SetParent(owner);
  a->SetAnimationType(type);
  a->SetInterpolation(interpolation);
  a->SetDuration(duration);
  a->SetPropertyName(propertyName);
  a->SetStartFromCurrent(true);
  a->SetStopValue(stopValue);
  return a;
}

}  // namespace

void TvxObject::AnimateFloat(const QString& propertyName, float newValue, float duration,
                             TvxAnimationType type, TvxInterpolationType interpolation) {
  auto* a =
      NewRunToValue<TvxFloatAnimation>(this, propertyName, newValue, duration, type, interpolation);
  a->OnFinish = [](TvxObject* sender) { delete sender; };
  a->Start();
}

void TvxObject::AnimateColor(const QString& propertyName, const QString& newValue, float duration,
                             TvxAnimationType type, TvxInterpolationType interpolation) {
  auto* a =
      NewRunToValue<TvxColorAnimation>(this, propertyName, newValue, duration, type, interpolation);
  a->OnFinish = [](TvxObject* sender) { delete sender; };
  a->Start();
}

void TvxObject::AnimateFloatWait(const QString& propertyName, float newValue, float duration,
                                 TvxAnimationType type, TvxInterpolationType interpolation) {
  auto* a =
      NewRunToValue<TvxFloatAnimation>(this, propertyName, newValue, duration, type, interpolation);
  a->Start();
  const std::weak_ptr<void> alive = a->LifeToken();
  // Sleeps in the event loop between ticks instead of spinning; input keeps being handled.
  while (IsAlive(alive) && a->Running()) {
    if (!QCoreApplication::instance() || !TvxAniThread::Instance().TimerActive()) {
      TvxAniThread::Instance().Tick();
      if (IsAlive(alive) && a->Running()) a->Stop();
      break;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  if (IsAlive(alive)) delete a;
}
