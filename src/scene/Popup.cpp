#include "scene/Popup.h"

#include <QCoreApplication>
#include <QEventLoop>

TvxMessagePopup::TvxMessagePopup() {
  SetWidth(300);
  SetHeight(200);
  SetVisible(false);
  ApplyStyle();
}

TvxMessagePopup::~TvxMessagePopup() {
  if (FQuitLoop) FQuitLoop();  // a modal wait ends when its popup goes
}

float TvxMessagePopup::PlacedY() const {
  if (PlacementTarget)
    return PlacementTarget->Position().Y() + PlacementTarget->Height() + VerticalOffset;
  return VerticalOffset;
}

void TvxMessagePopup::Popup() {
  if (FOpen) return;
  FOpen = true;
  Position().SetY(HiddenY);
  SetVisible(true);
  StartTriggerAnimation(this, QStringLiteral("IsOpen"));
  AnimateFloat(QStringLiteral("Position.Y"), PlacedY(), OpenDuration, vgAnimationOut,
               OpenInterpolation);
}

void TvxMessagePopup::ClosePopup() {
  if (!FOpen) return;
  FOpen = false;
  const std::weak_ptr<void> alive = LifeToken();
  AnimateFloatWait(QStringLiteral("Position.Y"), HiddenY, CloseDuration, vgAnimationIn,
                   CloseInterpolation);
  if (IsAlive(alive)) SetVisible(false);
}

void TvxMessagePopup::SetModalResult(int r) {
  FModalResult = r;
  if (r != mrNone && FQuitLoop) FQuitLoop();
}

int TvxMessagePopup::PopupModal() {
  if (FModal || !QCoreApplication::instance()) return mrCancel;
  FModalResult = mrNone;
  FModal = true;
  Popup();
  const std::weak_ptr<void> alive = LifeToken();
  {
    QEventLoop loop;
    FQuitLoop = [&loop] { loop.exit(0); };
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop,
                     &QEventLoop::quit);
    if (FModalResult == mrNone) loop.exec();
  }
  if (!IsAlive(alive)) return mrCancel;  // freed meanwhile
  FQuitLoop = nullptr;
  FModal = false;
  const int result = FModalResult == mrNone ? mrCancel : FModalResult;
  ClosePopup();
  return result;
}

std::optional<bool> TvxMessagePopup::GetBoolProp(const QString& name) const {
  if (SameName(name, "IsOpen")) return FOpen;
  return TvxControl::GetBoolProp(name);
}
