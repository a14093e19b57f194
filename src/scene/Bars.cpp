#include "scene/Bars.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "scene/Animation.h"

TvxProgressBar::TvxProgressBar() {
  SetWidth(150);
  SetHeight(14);
  SetClipChildren(true);
  ApplyStyle();
}

void TvxProgressBar::SetMin(float v) {
  FMin = v;
  SetValue(FValue);
  Repaint();
}
void TvxProgressBar::SetMax(float v) {
  FMax = v;
  SetValue(FValue);
  Repaint();
}
void TvxProgressBar::SetValue(float v) {
  v = std::clamp(v, std::min(FMin, FMax), std::max(FMin, FMax));
  if (v == FValue) return;
  FValue = v;
  Repaint();
}

QRectF TvxProgressBar::IndicatorRect() const {
  const QRectF inner =
      LocalRect().adjusted(IndicatorInset, IndicatorInset, -IndicatorInset, -IndicatorInset);
  const float span = FMax - FMin;
  const float f = span > 0 ? std::clamp((FValue - FMin) / span, 0.0f, 1.0f) : 0;
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

TvxPropKind TvxProgressBar::PropKind(const QString& name) const {
  if (SameName(name, "Value") || SameName(name, "Min") || SameName(name, "Max"))
    return TvxPropKind::Float;
  return TvxControl::PropKind(name);
}
float TvxProgressBar::GetFloatProp(const QString& name) const {
  if (SameName(name, "Value")) return FValue;
  if (SameName(name, "Min")) return FMin;
  if (SameName(name, "Max")) return FMax;
  return TvxControl::GetFloatProp(name);
}
void TvxProgressBar::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "Value"))
    SetValue(value);
  else if (SameName(name, "Min"))
    SetMin(value);
  else if (SameName(name, "Max"))
    SetMax(value);
  else
    TvxControl::SetFloatProp(name, value);
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

void TvxTrackBar::SetMin(float v) {
  FMin = v;
  SetValue(FValue);
  PlaceThumb();
}
void TvxTrackBar::SetMax(float v) {
  FMax = v;
  SetValue(FValue);
  PlaceThumb();
}

void TvxTrackBar::SetValue(float v) {
  v = std::clamp(v, std::min(FMin, FMax), std::max(FMin, FMax));
  if (Frequency > 0) v = FMin + std::round((v - FMin) / Frequency) * Frequency;
  if (v == FValue) return;
  FValue = v;
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
  const float span = FMax - FMin;
  const float f = span > 0 ? (FValue - FMin) / span : 0;
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

TvxPropKind TvxTrackBar::PropKind(const QString& name) const {
  if (SameName(name, "Value")) return TvxPropKind::Float;
  return TvxControl::PropKind(name);
}
float TvxTrackBar::GetFloatProp(const QString& name) const {
  return SameName(name, "Value") ? FValue : TvxControl::GetFloatProp(name);
}
void TvxTrackBar::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "Value"))
    SetValue(value);
  else
    TvxControl::SetFloatProp(name, value);
}
