#include "scene/Bars.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "scene/Animation.h"

void TvxRangeControl::SetMin(float v) {
  FMin = v;
  SetValue(FValue);
  RangeChanged();
}

void TvxRangeControl::SetMax(float v) {
  FMax = v;
  SetValue(FValue);
  RangeChanged();
}

void TvxRangeControl::SetValue(float v) {
  v = Snap(std::clamp(v, std::min(FMin, FMax), std::max(FMin, FMax)));
  if (v == FValue) return;
  FValue = v;
  ValueChanged();
}

float TvxRangeControl::Fraction() const {
  const float span = FMax - FMin;
  return span > 0 ? std::clamp((FValue - FMin) / span, 0.0f, 1.0f) : 0;
}

TvxPropKind TvxRangeControl::PropKind(const QString& name) const {
  if (SameName(name, "Value") || SameName(name, "Min") || SameName(name, "Max"))
    return TvxPropKind::Float;
  return TvxControl::PropKind(name);
}

float TvxRangeControl::GetFloatProp(const QString& name) const {
  if (SameName(name, "Value")) return FValue;
  if (SameName(name, "Min")) return FMin;
  if (SameName(name, "Max")) return FMax;
  return TvxControl::GetFloatProp(name);
}

void TvxRangeControl::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "Value"))
    SetValue(value);
  else if (SameName(name, "Min"))
    SetMin(value);
  else if (SameName(name, "Max"))
    SetMax(value);
  else
    TvxControl::SetFloatProp(name, value);
}

TvxProgressBar::TvxProgressBar() {
  SetWidth(150);
  SetHeight(14);
  SetClipChildren(true);
  ApplyStyle();
}

QRectF TvxProgressBar::IndicatorRect() const {
  const QRectF inner =
      LocalRect().adjusted(IndicatorInset, IndicatorInset, -IndicatorInset, -IndicatorInset);
  const float f = Fraction();
  if (Vertical)
    return QRectF(inner.left(), inner.bottom() - inner.height() * f, inner.width(),
                  inner.height() * f);
  return QRectF(inner.left(), inner.top(), inner.width() * f, inner.height());
}

void TvxProgressBar::Paint(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromRgba(TrackColor));
  p.drawRect(LocalRect());
  const QRectF ind = IndicatorRect();
  p.setBrush(QColor::fromRgba(IndicatorColor));
  p.drawRect(ind);
  // The moving band loops while the bar is on screen; painting is how we know it is.
  if (auto* band = StylePart(QStringLiteral("bandmove")))
    if (auto* a = band->AsAnimation(); a && !a->Running()) a->Start();
}

// The thumb takes the mouse itself (for its hover colour) and hands the drag to its bar.
class TvxThumb : public TvxControl {
 public:
  TvxThumb() {
    Locked = true;
    Stroke().SetKind(vgBrushNone);
    ApplyStyle();
  }
  void Paint(QPainter& p) override { PaintFillAndStroke(p, std::min(Width(), Height()) / 2); }
  TvxTrackBar* Bar() const { return dynamic_cast<TvxTrackBar*>(Parent()); }
  QPointF ToBar(float x, float y) const { return LocalToParent().map(QPointF(x, y)); }
  void MouseDown(TvxMouseButton b, unsigned s, float x, float y) override {
    SetIsPressed(b == mbLeft);
    if (auto* bar = Bar()) bar->MouseDown(b, s, float(ToBar(x, y).x()), float(ToBar(x, y).y()));
  }
  void MouseMove(unsigned s, float x, float y, float dx, float dy) override {
    if (auto* bar = Bar())
      bar->MouseMove(s, float(ToBar(x, y).x()), float(ToBar(x, y).y()), dx, dy);
  }
  void MouseUp(TvxMouseButton b, unsigned s, float x, float y) override {
    SetIsPressed(false);
    if (auto* bar = Bar()) bar->MouseUp(b, s, float(ToBar(x, y).x()), float(ToBar(x, y).y()));
  }

 protected:
  QString DefaultStyle() const override { return QStringLiteral("trackthumbstyle"); }
};

TvxTrackBar::TvxTrackBar() {
  SetWidth(100);
  SetHeight(14);
  ApplyStyle();
}

void TvxTrackBar::StyleApplied() {
  FThumb = nullptr;
  for (TvxObject* c : Children())
    if (auto* t = dynamic_cast<TvxThumb*>(c)) FThumb = t;
  if (!FThumb) {
    auto* t = new TvxThumb();
    t->SetParent(this);
    if (!ThumbResource.isEmpty()) t->SetResource(ThumbResource);
    FThumb = t;
  }
  PlaceThumb();
}

float TvxTrackBar::Snap(float v) const {
  return Frequency > 0 ? FMin + std::round((v - FMin) / Frequency) * Frequency : v;
}

void TvxTrackBar::ValueChanged() {
  PlaceThumb();
  Repaint();
  if (FDragging && !Tracking) {
    FPendingChange = true;
    return;
  }
  vgRaise(OnChange, this);
}

void TvxTrackBar::Realign() {
  TvxControl::Realign();
  PlaceThumb();
}

void TvxTrackBar::PlaceThumb() {
  if (!FThumb) return;
  const float f = Fraction();
  if (Vertical) {
    const float size = Width();
    FThumb->SetBounds(0, (Height() - size) * f, size, size);
  } else {
    const float size = Height();
    FThumb->SetBounds((Width() - size) * f, 0, size, size);
  }
}

float TvxTrackBar::ValueAt(float x, float y) const {
  const float span = FMax - FMin;
  const float f = Vertical ? (y - Width() / 2) / std::max(1.0f, Height() - Width())
                           : (x - Height() / 2) / std::max(1.0f, Width() - Height());
  return FMin + std::clamp(f, 0.0f, 1.0f) * span;
}

void TvxTrackBar::Paint(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromRgba(TrackColor));
  const QRectF r =
      Vertical ? QRectF(Width() / 2 - 2, 0, 4, Height()) : QRectF(0, Height() / 2 - 2, Width(), 4);
  p.drawRoundedRect(r, 2, 2);
}

void TvxTrackBar::MouseDown(TvxMouseButton button, unsigned shift, float x, float y) {
  const std::weak_ptr<void> alive = LifeToken();
  TvxControl::MouseDown(button, shift, x, y);
  if (!IsAlive(alive) || button != mbLeft) return;
  FDragging = true;
  SetValue(ValueAt(x, y));
}

void TvxTrackBar::MouseMove(unsigned shift, float x, float y, float dx, float dy) {
  const std::weak_ptr<void> alive = LifeToken();
  if (FDragging) SetValue(ValueAt(x, y));
  if (IsAlive(alive)) TvxControl::MouseMove(shift, x, y, dx, dy);
}

void TvxTrackBar::MouseUp(TvxMouseButton button, unsigned shift, float x, float y) {
  const std::weak_ptr<void> alive = LifeToken();
  const bool pending = FPendingChange;
  FDragging = false;
  FPendingChange = false;
  if (pending) vgRaise(OnChange, this);
  if (IsAlive(alive)) TvxControl::MouseUp(button, shift, x, y);
}

bool TvxTrackBar::MouseWheel(unsigned shift, int delta) {
  if (TvxControl::MouseWheel(shift, delta)) return true;
  SetValue(FValue - float(delta) / 120.0f * (FMax - FMin) / 20.0f);
  return true;
}
