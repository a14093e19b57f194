// Progress bars and track bars.
#pragma once

#include "scene/Control.h"

class TvxProgressBar : public TvxControl {
 public:
  TvxProgressBar();
  float Min() const { return FMin; }
  float Max() const { return FMax; }
  float Value() const { return FValue; }
  void SetMin(float v);
  void SetMax(float v);
  void SetValue(float v);
  bool Vertical = false;
  TAlphaColor TrackColor = 0xC8303030;
  TAlphaColor IndicatorColor = 0xFFF5CD76;
  float IndicatorInset = 2;
  QRectF IndicatorRect() const;
  void Paint(QPainter& p) override;
  TvxPropKind PropKind(const QString& name) const override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("progressbarstyle"); }

 private:
  float FMin = 0, FMax = 100, FValue = 0;
};

class TvxTrackBar : public TvxControl {
 public:
  TvxTrackBar();
  float Min() const { return FMin; }
  float Max() const { return FMax; }
  float Value() const { return FValue; }
  void SetMin(float v);
  void SetMax(float v);
  void SetValue(float v);
  bool Vertical = false;
  bool Tracking = true;  // report every change while dragging, not only at release
  float Frequency = 0;
  TAlphaColor TrackColor = 0x96E0E0E0;
  QString ThumbResource;  // style of the thumb; empty: the generic thumb
  TvxNotifyEvent OnChange;
  TvxVisualObject* Thumb() const { return FThumb; }
  void Paint(QPainter& p) override;
  void Realign() override;
  void MouseDown(TvxMouseButton button, unsigned shift, float x, float y) override;
  void MouseMove(unsigned shift, float x, float y, float dx, float dy) override;
  void MouseUp(TvxMouseButton button, unsigned shift, float x, float y) override;
  bool MouseWheel(unsigned shift, int delta) override;
  TvxPropKind PropKind(const QString& name) const override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("trackbarstyle"); }
  void StyleApplied() override;

 private:
  float ValueAt(float x, float y) const;
  void PlaceThumb();
  float FMin = 0, FMax = 100, FValue = 0;
  bool FDragging = false;
  bool FPendingChange = false;
  TvxVisualObject* FThumb = nullptr;
};
