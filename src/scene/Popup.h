// The message popup.
#pragma once

#include "scene/Control.h"

// A panel that slides in over its parent; PopupModal waits in a nested event loop until one of
// its buttons gives a modal result.
class TvxMessagePopup : public TvxControl {
 public:
  TvxMessagePopup();
  ~TvxMessagePopup() override;
  TvxVisualObject* PlacementTarget = nullptr;
  float VerticalOffset = 0;
  bool IsOpen() const { return FOpen; }
  void Popup();
  void ClosePopup();
  int PopupModal();
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int r);
  float OpenDuration = 0.4f, CloseDuration = 0.3f;
  TvxInterpolationType OpenInterpolation = vgInterpolationQuartic;
  TvxInterpolationType CloseInterpolation = vgInterpolationQuintic;
  float HiddenY = -200;
  std::optional<bool> GetBoolProp(const QString& name) const override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("popupstyle"); }

 private:
  float PlacedY() const;
  bool FOpen = false;
  int FModalResult = mrNone;
  bool FModal = false;
  std::function<void()> FQuitLoop;
};
