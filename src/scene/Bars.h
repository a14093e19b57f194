// Progress bars and track bars.
#pragma once

#include "scene/Control.h"

// A control holding a value between Min and Max ("Value", "Min" and "Max" can be animated).
class TvxRangeControl : public TvxControl {
 public:
  float Min() const { return FMin; }
  float Max() const { return FMax; }
  float Value() const { return FValue; }
  void SetMin(float v);
  void SetMax(float v);
  // Clamped into the range (its ends in either order).
  void SetValue(float v);
  bool Vertical = false;
  TvxPropKind PropKind(const QString& name) const override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;

 protected:
  // Where the value stands in the range, 0 … 1 (0 for an empty range).
  float Fraction() const;
  virtual float Snap(float v) const { return v; }
  virtual void ValueChanged() { Repaint(); }
  virtual void RangeChanged() { Repaint(); }
  float FMin = 0, FMax = 100, FValue = 0;
};

class TvxProgressBar : public TvxRangeControl {
 public:
  TvxProgressBar();
  TAlphaColor TrackColor = 0xC8303030;
  TAlphaColor IndicatorColor = 0xFFF5CD76;
  float IndicatorInset = 2;
  QRectF IndicatorRect() const;
  void Paint(QPainter& p) override;

 protected:
  QString DefaultStyle() const override { return QStringLiteral("progressbarstyle"); }
};

class TvxTrackBar : public TvxRangeControl {
 public:
  TvxTrackBar();
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

 protected:
  QString DefaultStyle() const override { return QStringLiteral("trackbarstyle"); }
  void StyleApplied() override;
  float Snap(float v) const override;
  void ValueChanged() override;
  void RangeChanged() override { PlaceThumb(); }

 private:
  float ValueAt(float x, float y) const;
  void PlaceThumb();
  bool FDragging = false;
  bool FPendingChange = false;
  TvxVisualObject* FThumb = nullptr;
};
