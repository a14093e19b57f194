#include "scene/VisualObject.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "scene/Scene.h"

namespace {
const TvxPaintContext* gPaintContext = nullptr;
}

const TvxPaintContext* TvxPaintContext::Current() {
  return gPaintContext;
}
void TvxPaintContext::SetCurrent(const TvxPaintContext* ctx) {
  gPaintContext = ctx;
}

TvxVisualObject::TvxVisualObject()
    : FFill(this, vgBrushSolid, 0xFFFFFFFF), FStroke(this, vgBrushSolid, 0xFF000000) {}

TvxVisualObject::~TvxVisualObject() {
  // Dropping out of the tree: the scene must forget pointers to us first.
  if (TdxScene* scene = Scene()) scene->ObjectGone(this);
  // Leave the parent while still a visual object, so that it can realign and repaint.
  if (Parent()) Parent()->RemoveObject(this);
}

TvxVisualObject* TvxVisualObject::ParentVisual() const {
  return Parent() ? Parent()->AsVisual() : nullptr;
}

void TvxVisualObject::SetVisible(bool v) {
  if (FVisible == v) return;
  if (!v) Repaint();
  FVisible = v;
  if (v) Repaint();
  if (!v)
    if (TdxScene* scene = Scene()) scene->ObjectHidden(this);
  if (TvxVisualObject* p = ParentVisual(); p && FAlign != vaNone) p->Realign();
  StartTriggerAnimation(this, QStringLiteral("IsVisible"));
}

void TvxVisualObject::SetEnabled(bool v) {
  if (FEnabled == v) return;
  FEnabled = v;
  if (!v)
    if (TdxScene* scene = Scene()) scene->ObjectHidden(this);
  Repaint();
}

void TvxVisualObject::SetOpacity(float v) {
  v = std::clamp(v, 0.0f, 1.0f);
  if (FOpacity == v) return;
  FOpacity = v;
  Repaint();
}

void TvxVisualObject::SetWidth(float w) {
  if (FWidth == w) return;
  Repaint();
  FWidth = w;
  Changed(true);
}

void TvxVisualObject::SetHeight(float h) {
  if (FHeight == h) return;
  Repaint();
  FHeight = h;
  Changed(true);
}

void TvxVisualObject::SetBounds(float x, float y, float w, float h) {
  FPosition.SetPoint(x, y);
  if (FWidth == w && FHeight == h) return;
  Repaint();
  FWidth = w;
  FHeight = h;
  Changed(true);
}

void TvxVisualObject::SetRotateAngle(float degrees) {
  if (FRotateAngle == degrees) return;
  Repaint();
  FRotateAngle = degrees;
  Repaint();
}

void TvxVisualObject::SetAlign(TvxAlign a) {
  if (FAlign == a) return;
  FAlign = a;
  if (TvxVisualObject* p = ParentVisual()) p->Realign();
}

void TvxVisualObject::SetStrokeThickness(float t) {
  FStrokeThickness = t;
  Repaint();
}

void TvxVisualObject::SetClipChildren(bool c) {
  FClipChildren = c;
  Repaint();
}

void TvxVisualObject::SetIsMouseOver(bool v) {
  if (FIsMouseOver == v) return;
  FIsMouseOver = v;
  StartTriggerAnimation(this, QStringLiteral("IsMouseOver"));
}

void TvxVisualObject::SetIsPressed(bool v) {
  if (FIsPressed == v) return;
  FIsPressed = v;
  StartTriggerAnimation(this, QStringLiteral("IsPressed"));
}

void TvxVisualObject::SetIsFocused(bool v) {
  if (FIsFocused == v) return;
  FIsFocused = v;
  if (v)
    EnterFocus();
  else
    KillFocus();
  StartTriggerAnimation(this, QStringLiteral("IsFocused"));
  Repaint();
}

void TvxVisualObject::SetFocus() {
  if (TdxScene* scene = Scene()) scene->SetFocused(this);
}

int TvxVisualObject::EffectiveCursor() const {
  for (const TvxVisualObject* v = this; v; v = v->ParentVisual())
    if (v->Cursor != crDefault) return v->Cursor;
  return crDefault;
}

// ---------------------------------------------------------------------------------------------
// Geometry

QTransform TvxVisualObject::LocalToParent() const {
  if (FRotateAngle == 0) return PlacementToParent();
  QTransform t;
  t.translate(FWidth / 2, FHeight / 2);
  t.rotate(FRotateAngle);
  t.translate(-FWidth / 2, -FHeight / 2);
  return t * PlacementToParent();
}

QTransform TvxVisualObject::PlacementToParent() const {
  const QTransform t = QTransform::fromTranslate(FPosition.X(), FPosition.Y());
  if (TvxVisualObject* p = ParentVisual()) return t * p->ContentTransform();
  return t;
}

QTransform TvxVisualObject::LocalToLayer() const {
  QTransform t;
  for (const TvxVisualObject* v = this; v; v = v->ParentVisual()) t = t * v->LocalToParent();
  return t;
}

QPointF TvxVisualObject::LayerToLocal(QPointF p) const {
  return LocalToLayer().inverted().map(p);
}

bool TvxVisualObject::ContainsLocalPoint(QPointF local) const {
  return local.x() >= 0 && local.y() >= 0 && local.x() < FWidth && local.y() < FHeight;
}

TvxVisualObject* TvxVisualObject::ObjectAtPoint(QPointF local) {
  if (!FVisible || !FEnabled) return nullptr;
  if (!FClipChildren || ContainsLocalPoint(local)) {
    const auto& kids = Children();
    for (int i = int(kids.size()) - 1; i >= 0; --i) {
      TvxVisualObject* child = kids[size_t(i)]->AsVisual();
      if (!child || !child->Visible()) continue;
      const QPointF childLocal = child->LocalToParent().inverted().map(local);
      if (TvxVisualObject* hit = child->ObjectAtPoint(childLocal)) return hit;
    }
  }
  if (FHitTest && ContainsLocalPoint(local)) return this;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Painting

// Style parts (glows, shadows) may paint beyond the control; repaints must cover them.
float TvxVisualObject::PaintOutset() const {
  // Parts of an object that clips its children show only inside its box (the progress bar's band
  // travels far beyond it), so they never widen its repaints.
  if (FClipChildren) return FStrokeThickness;
  return OutsetOfParts(Children());
}

float TvxVisualObject::OutsetOfParts(const std::vector<TvxObject*>& parts) const {
  return OutsetOfParts(parts, FStrokeThickness);
}

float TvxVisualObject::OutsetOfParts(const std::vector<TvxObject*>& parts, float own) const {
  float out = own;
  for (TvxObject* c : parts) {
    if (!c->Locked) continue;
    const TvxVisualObject* v = const_cast<TvxObject*>(c)->AsVisual();
    if (!v || !v->FVisible) continue;
    const float x = v->FPosition.X(), y = v->FPosition.Y();
    const float beyond = std::max({0.0f, -x, -y, x + v->FWidth - FWidth, y + v->FHeight - FHeight});
    out = std::max(out, v->PaintOutset() + beyond);
  }
  return out;
}

void TvxVisualObject::PaintTree(QPainter& p, float parentOpacity) {
  if (!FVisible) return;
  const float opacity = parentOpacity * FOpacity;
  if (opacity <= 0.002f) return;
  const QTransform saved = p.worldTransform();
  const QTransform placed = LocalToParent() * saved;
  const TvxPaintContext* ctx = TvxPaintContext::Current();
  const float out = PaintOutset();
  const QRectF mine = placed.mapRect(LocalRect().adjusted(-out, -out, out, out));
  const bool touched = !ctx || ctx->Dirty.intersects(mine);
  // Outside the repaint and with nothing (or only clipped children) beneath: the painter is not
  // even moved (a repaint visits every object of the tree).
  if (!touched && (FClipChildren || Children().empty())) return;
  p.setWorldTransform(placed);
  p.setOpacity(opacity);
  if (touched) Paint(p);
  if (FClipChildren) {
    p.save();
    p.setClipRect(LocalRect(), Qt::IntersectClip);
    PaintChildren(p, opacity);
    p.restore();
  } else {
    PaintChildren(p, opacity);
  }
  p.setWorldTransform(saved);
}

void TvxVisualObject::PaintChildren(QPainter& p, float opacity) {
  for (TvxObject* child : Children())
    if (TvxVisualObject* v = child->AsVisual()) v->PaintTree(p, opacity);
}

void TvxVisualObject::Paint(QPainter&) {}

void TvxVisualObject::PaintFillAndStroke(QPainter& p, float radius) {
  const QRectF r = LocalRect();
  if (FFill.IsVisibleBrush()) {
    FFill.ApplyTo(p, r, false, 0);
    if (radius > 0)
      p.drawRoundedRect(r, radius, radius);
    else
      p.drawRect(r);
  }
  if (FStroke.IsVisibleBrush() && FStrokeThickness > 0) {
    const float h = FStrokeThickness / 2;
    const QRectF s = r.adjusted(h, h, -h, -h);
    FStroke.ApplyTo(p, s, true, FStrokeThickness);
    if (radius > 0)
      p.drawRoundedRect(s, radius, radius);
    else
      p.drawRect(s);
  }
}

void TvxVisualObject::Repaint() {
  if (!IsVisibleInTree()) return;
  const float outset = PaintOutset(), out = outset + 1;
  // Turning about its centre, a round picture stays inside its unturned box.
  const bool turnsWithinBox = TurnsWithinItsBox();
  const bool withinBox = FRotateAngle != 0 && turnsWithinBox;
  const QTransform toParent = withinBox ? PlacementToParent() : LocalToParent();
  // A pixel more on every side takes in the smoothed edges of fractional positions.
  QRectF rect = toParent.mapRect(LocalRect().adjusted(-out, -out, out, out));
  // A turning picture repaints every frame: worth leaving out what later siblings hide (not for
  // every change: the items of a long list are siblings too).
  if (turnsWithinBox) {
    const QRectF painted = toParent.mapRect(LocalRect().adjusted(-outset, -outset, outset, outset));
    if (const QRectF shown = UncoveredByLaterSiblings(painted); shown != painted) {
      if (shown.isEmpty()) return;
      rect &= shown.adjusted(-1, -1, 1, 1);
    }
  }
  const TvxVisualObject* v = this;
  for (;;) {
    if (v != this) rect = v->LocalToParent().mapRect(rect);
    TvxVisualObject* p = v->ParentVisual();
    if (!p) break;
    if (p->FClipChildren) rect = rect.intersected(p->LocalRect());
    if (rect.isEmpty()) return;
    v = p;
  }
  if (TvxObject* holder = v->Parent()) holder->InvalidateRect(rect);
}

namespace {

// The interval [first, last] loses what [coverFirst, coverLast] covers from one of its ends.
void CutEnd(qreal& first, qreal& last, qreal coverFirst, qreal coverLast) {
  if (coverFirst <= first && coverLast > first)
    first = std::min(coverLast, last);
  else if (coverLast >= last && coverFirst < last)
    last = std::max(coverFirst, first);
}

// `area` loses what `cover` hides of it where the cover spans it across.
void CutAway(QRectF& area, const QRectF& cover) {
  if (cover.isEmpty()) return;
  qreal left = area.left(), right = area.right(), top = area.top(), bottom = area.bottom();
  if (cover.top() <= top && cover.bottom() >= bottom)
    CutEnd(left, right, cover.left(), cover.right());
  if (cover.left() <= left && cover.right() >= right)
    CutEnd(top, bottom, cover.top(), cover.bottom());
  area.setCoords(left, top, right, bottom);
}

}  // namespace

// A sibling painted later and opaque across the whole height (or width) of `area` hides that part
// of it: a change of this object there cannot be seen (a disc turning behind the artist picture
// repaints only the strip that shows). A sibling that changes repaints its own area, so the
// hidden part is repainted whenever it could come into view. `area` is in parent coordinates.
QRectF TvxVisualObject::UncoveredByLaterSiblings(QRectF area) const {
  const TvxVisualObject* parent = ParentVisual();
  if (!parent) return area;
  for (const TvxVisualObject* a = parent; a; a = a->ParentVisual())
    if (a->FOpacity < 1) return area;  // what lies above lets this object show through
  const auto& siblings = parent->Children();
  auto it = std::find(siblings.begin(), siblings.end(), this);
  if (it == siblings.end()) return area;
  for (++it; it != siblings.end() && !area.isEmpty(); ++it) {
    const TvxVisualObject* s = (*it)->AsVisual();
    if (!s || !s->FVisible || s->FOpacity < 1) continue;
    const QTransform t = s->LocalToParent();
    if (t.type() > QTransform::TxScale) continue;
    const TvxOpaqueBands bands = s->OpaqueBands();
    // A pixel short on every side: edges at fractional positions are smoothed, not opaque.
    const auto placed = [&t](const QRectF& band) {
      return band.isEmpty() ? QRectF() : t.mapRect(band).adjusted(1, 1, -1, -1);
    };
    CutAway(area, placed(bands.Columns));
    CutAway(area, placed(bands.Rows));
  }
  return area;
}

void TvxVisualObject::Changed(bool layout) {
  Repaint();
  if (!layout) return;
  Realign();
  if (TvxVisualObject* p = ParentVisual(); p && FAlign != vaNone && !p->FRealigning) p->Realign();
}

// ---------------------------------------------------------------------------------------------
// Layout: top, bottom, left and right children take their sides in child order, client ones
// fill what is left; each keeps its Padding free around itself.

void TvxVisualObject::Realign() {
  if (FRealigning) return;
  bool any = false;
  for (TvxObject* c : Children())
    if (TvxVisualObject* v = c->AsVisual(); v && v->FAlign != vaNone) any = true;
  if (!any) return;
  FRealigning = true;
  float left = FMargins.Left, top = FMargins.Top;
  float right = FWidth - FMargins.Right, bottom = FHeight - FMargins.Bottom;
  auto place = [](TvxVisualObject* v, float x, float y, float w, float h) {
    v->SetBounds(x, y, std::max(0.0f, w), std::max(0.0f, h));
  };
  for (TvxAlign pass : {vaTop, vaBottom, vaLeft, vaRight, vaClient}) {
    for (TvxObject* c : Children()) {
      TvxVisualObject* v = c->AsVisual();
      if (!v || v->FAlign != pass || !v->FVisible) continue;
      const TvxBounds& pad = v->FPadding;
      switch (pass) {
        case vaTop:
          place(v, left + pad.Left, top + pad.Top, right - left - pad.Left - pad.Right, v->FHeight);
          top += pad.Top + v->FHeight + pad.Bottom;
          break;
        case vaBottom:
          place(v, left + pad.Left, bottom - pad.Bottom - v->FHeight,
                right - left - pad.Left - pad.Right, v->FHeight);
          bottom -= pad.Top + v->FHeight + pad.Bottom;
          break;
        case vaLeft:
          place(v, left + pad.Left, top + pad.Top, v->FWidth, bottom - top - pad.Top - pad.Bottom);
          left += pad.Left + v->FWidth + pad.Right;
          break;
        case vaRight:
          place(v, right - pad.Right - v->FWidth, top + pad.Top, v->FWidth,
                bottom - top - pad.Top - pad.Bottom);
          right -= pad.Left + v->FWidth + pad.Right;
          break;
        case vaClient:
          place(v, left + pad.Left, top + pad.Top, right - left - pad.Left - pad.Right,
                bottom - top - pad.Top - pad.Bottom);
          break;
        case vaNone:
          break;
      }
    }
  }
  FRealigning = false;
}

void TvxVisualObject::ChildAdded(TvxObject* child) {
  if (TvxVisualObject* v = child->AsVisual()) {
    if (v->FAlign != vaNone) Realign();
    v->Repaint();
  }
}

void TvxVisualObject::ChildRemoved(TvxObject* child) {
  if (TvxVisualObject* v = child->AsVisual()) {
    if (TdxScene* scene = Scene()) scene->ObjectHidden(v);
    if (v->FAlign != vaNone) Realign();
    Repaint();
  }
}

// ---------------------------------------------------------------------------------------------
// Input

void TvxVisualObject::MouseDown(TvxMouseButton button, unsigned shift, float x, float y) {
  const std::weak_ptr<void> alive = LifeToken();
  if (CanFocus) SetFocus();
  if (button == mbLeft && IsAlive(alive)) SetIsPressed(true);
  if (IsAlive(alive)) vgRaise(OnMouseDown, this, button, shift, x, y);
}

void TvxVisualObject::MouseMove(unsigned shift, float x, float y, float dx, float dy) {
  vgRaise(OnMouseMove, this, shift, x, y, dx, dy);
}

void TvxVisualObject::MouseUp(TvxMouseButton button, unsigned shift, float x, float y) {
  const std::weak_ptr<void> alive = LifeToken();
  if (button == mbLeft) SetIsPressed(false);
  if (IsAlive(alive)) vgRaise(OnMouseUp, this, button, shift, x, y);
}

void TvxVisualObject::Click() {
  vgRaise(OnClick, this);
}

bool TvxVisualObject::MouseWheel(unsigned shift, int delta) {
  bool handled = false;
  vgRaise(OnMouseWheel, this, shift, delta, handled);
  return handled;
}

void TvxVisualObject::MouseEnter() {
  const std::weak_ptr<void> alive = LifeToken();
  SetIsMouseOver(true);
  if (IsAlive(alive)) vgRaise(OnMouseEnter, this);
}

void TvxVisualObject::MouseLeave() {
  const std::weak_ptr<void> alive = LifeToken();
  SetIsMouseOver(false);
  if (IsAlive(alive)) vgRaise(OnMouseLeave, this);
}

void TvxVisualObject::KeyDown(int& key, QString& keyChar, unsigned shift) {
  vgRaise(OnKeyDown, this, key, keyChar, shift);
}

void TvxVisualObject::KeyUp(int& key, QString& keyChar, unsigned shift) {
  vgRaise(OnKeyUp, this, key, keyChar, shift);
}

void TvxVisualObject::InputMethodText(const QString&, const QString&) {}

// ---------------------------------------------------------------------------------------------
// Named properties

TvxPropKind TvxVisualObject::PropKind(const QString& name) const {
  for (const char* n : {"Opacity", "Width", "Height", "RotateAngle"})
    if (SameName(name, n)) return TvxPropKind::Float;
  for (const char* n : {"Position", "Fill", "Stroke", "Padding", "Margins"})
    if (SameName(name, n)) return TvxPropKind::Object;
  if (GetBoolProp(name)) return TvxPropKind::Bool;
  return TvxPropKind::None;
}

TvxPersistent* TvxVisualObject::ObjectProp(const QString& name) {
  if (SameName(name, "Position")) return &FPosition;
  if (SameName(name, "Fill")) return &FFill;
  if (SameName(name, "Stroke")) return &FStroke;
  if (SameName(name, "Padding")) return &FPadding;
  if (SameName(name, "Margins")) return &FMargins;
  return nullptr;
}

float TvxVisualObject::GetFloatProp(const QString& name) const {
  if (SameName(name, "Opacity")) return FOpacity;
  if (SameName(name, "Width")) return FWidth;
  if (SameName(name, "Height")) return FHeight;
  if (SameName(name, "RotateAngle")) return FRotateAngle;
  return 0;
}

void TvxVisualObject::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "Opacity"))
    SetOpacity(value);
  else if (SameName(name, "Width"))
    SetWidth(value);
  else if (SameName(name, "Height"))
    SetHeight(value);
  else if (SameName(name, "RotateAngle"))
    SetRotateAngle(value);
}

std::optional<bool> TvxVisualObject::GetBoolProp(const QString& name) const {
  if (SameName(name, "Visible") || SameName(name, "IsVisible")) return FVisible;
  if (SameName(name, "Enabled")) return FEnabled;
  if (SameName(name, "HitTest")) return FHitTest;
  if (SameName(name, "IsMouseOver")) return FIsMouseOver;
  if (SameName(name, "IsPressed")) return FIsPressed;
  if (SameName(name, "IsFocused")) return FIsFocused;
  if (SameName(name, "ClipChildren")) return FClipChildren;
  return std::nullopt;
}
