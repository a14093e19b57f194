#include "scene/Object.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>

#include "scene/Animation.h"
#include "scene/Bitmap.h"
#include "scene/VisualObject.h"

bool SameName(const QString& a, const char* b) {
  return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

bool IsAlive(const std::weak_ptr<void>& token) {
  return !token.expired();
}

// ---------------------------------------------------------------------------------------------
// TvxPersistent: no properties by default

TvxPropKind TvxPersistent::PropKind(const QString&) const {
  return TvxPropKind::None;
}
TvxPersistent* TvxPersistent::ObjectProp(const QString&) {
  return nullptr;
}
float TvxPersistent::GetFloatProp(const QString&) const {
  return 0;
}
void TvxPersistent::SetFloatProp(const QString&, float) {}
TAlphaColor TvxPersistent::GetColorProp(const QString&) const {
  return 0;
}
void TvxPersistent::SetColorProp(const QString&, TAlphaColor) {}
std::optional<bool> TvxPersistent::GetBoolProp(const QString&) const {
  return std::nullopt;
}

void TvxOwnedPersistent::Changed(bool layout) {
  if (FOwner) FOwner->Changed(layout);
}

// ---------------------------------------------------------------------------------------------
// Position and bounds

void TvxPosition::SetX(float v) {
  if (FX == v) return;
  Changed(false);
  FX = v;
  Changed(false);
}
void TvxPosition::SetY(float v) {
  if (FY == v) return;
  Changed(false);
  FY = v;
  Changed(false);
}
void TvxPosition::SetZ(float v) {
  if (FZ == v) return;
  Changed(false);
  FZ = v;
  Changed(false);
}
void TvxPosition::SetPoint(float x, float y) {
  if (FX == x && FY == y) return;
  Changed(false);
  FX = x;
  FY = y;
  Changed(false);
}

TvxPropKind TvxPosition::PropKind(const QString& name) const {
  if (SameName(name, "X") || SameName(name, "Y") || SameName(name, "Z")) return TvxPropKind::Float;
  return TvxPropKind::None;
}
float TvxPosition::GetFloatProp(const QString& name) const {
  if (SameName(name, "X")) return FX;
  if (SameName(name, "Y")) return FY;
  if (SameName(name, "Z")) return FZ;
  return 0;
}
void TvxPosition::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "X"))
    SetX(value);
  else if (SameName(name, "Y"))
    SetY(value);
  else if (SameName(name, "Z"))
    SetZ(value);
}

void TvxBounds::Set(float l, float t, float r, float b) {
  Left = l;
  Top = t;
  Right = r;
  Bottom = b;
  Changed();
}
TvxPropKind TvxBounds::PropKind(const QString& name) const {
  for (const char* n : {"Left", "Top", "Right", "Bottom"})
    if (SameName(name, n)) return TvxPropKind::Float;
  return TvxPropKind::None;
}
float TvxBounds::GetFloatProp(const QString& name) const {
  if (SameName(name, "Left")) return Left;
  if (SameName(name, "Top")) return Top;
  if (SameName(name, "Right")) return Right;
  if (SameName(name, "Bottom")) return Bottom;
  return 0;
}
void TvxBounds::SetFloatProp(const QString& name, float value) {
  if (SameName(name, "Left"))
    Left = value;
  else if (SameName(name, "Top"))
    Top = value;
  else if (SameName(name, "Right"))
    Right = value;
  else if (SameName(name, "Bottom"))
    Bottom = value;
  else
    return;
  Changed();
}

// ---------------------------------------------------------------------------------------------
// Brushes

TvxBrush::TvxBrush(TvxObject* owner, TvxBrushKind kind, TAlphaColor color)
    : TvxOwnedPersistent(owner), FKind(kind), FColor(color) {}
TvxBrush::~TvxBrush() = default;

void TvxBrush::SetKind(TvxBrushKind kind) {
  if (FKind == kind) return;
  FKind = kind;
  Changed();
}

void TvxBrush::SetColor(TAlphaColor color) {
  if (FColor == color && FKind == vgBrushSolid) return;
  FColor = color;
  if (FKind == vgBrushNone) FKind = vgBrushSolid;
  Changed();
}

void TvxBrush::SetLinearGradient(std::vector<TvxGradientStop> stops, QPointF from, QPointF to) {
  FStops = std::move(stops);
  FRadial = false;
  FFrom = from;
  FTo = to;
  FKind = vgBrushGradient;
  Changed();
}

void TvxBrush::SetRadialGradient(std::vector<TvxGradientStop> stops) {
  FStops = std::move(stops);
  FRadial = true;
  FKind = vgBrushGradient;
  Changed();
}

TvxBitmap& TvxBrush::Bitmap() {
  if (!FBitmap) {
    FBitmap = std::make_unique<TvxBitmap>();
    FBitmap->OnChange = [this] {
      FKind = vgBrushBitmap;
      Changed();
    };
  }
  return *FBitmap;
}

void TvxBrush::SetWrapMode(TvxWrapMode mode) {
  FWrap = mode;
  Changed();
}

bool TvxBrush::IsVisibleBrush() const {
  switch (FKind) {
    case vgBrushNone:
      return false;
    case vgBrushSolid:
      return ColorAlpha(FColor) != 0;
    case vgBrushGradient:
      return !FStops.empty();
    case vgBrushBitmap:
      return FBitmap && !FBitmap->IsEmpty();
  }
  return false;
}

void TvxBrush::Assign(const TvxBrush& other) {
  FKind = other.FKind;
  FColor = other.FColor;
  FStops = other.FStops;
  FRadial = other.FRadial;
  FFrom = other.FFrom;
  FTo = other.FTo;
  FWrap = other.FWrap;
  if (other.FBitmap) Bitmap().Image() = other.FBitmap->Image();
  Changed();
}

void TvxBrush::ApplyTo(QPainter& p, const QRectF& r, bool stroke, float thickness) const {
  QBrush brush(Qt::NoBrush);
  switch (FKind) {
    case vgBrushNone:
      break;
    case vgBrushSolid:
      brush = QBrush(QColor::fromRgba(FColor));
      break;
    case vgBrushGradient: {
      QGradientStops qstops;
      for (const auto& s : FStops) qstops.append({s.Offset, QColor::fromRgba(s.Color)});
      if (FRadial) {
        QRadialGradient g(r.center(), std::max(r.width(), r.height()) / 2);
        g.setStops(qstops);
        brush = QBrush(g);
      } else {
        QLinearGradient g(r.left() + FFrom.x() * r.width(), r.top() + FFrom.y() * r.height(),
                          r.left() + FTo.x() * r.width(), r.top() + FTo.y() * r.height());
        g.setStops(qstops);
        brush = QBrush(g);
      }
      break;
    }
    case vgBrushBitmap:
      if (FBitmap && !FBitmap->IsEmpty()) {
        if (FWrap == vgWrapStretch) {
          // Scaled once per size, so that painting is a plain copy of pixels.
          const QSize size(std::max(1, qRound(r.width())), std::max(1, qRound(r.height())));
          const QImage& source = FBitmap->Image();
          if (size == source.size()) {
            brush = QBrush(source);
          } else {
            if (FScaled.size() != size || FScaledKey != source.cacheKey()) {
              FScaled = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
              FScaledKey = source.cacheKey();
            }
            brush = QBrush(FScaled);
          }
          brush.setTransform(QTransform::fromTranslate(r.left(), r.top()));
        } else {
          brush = QBrush(FBitmap->Image());
        }
      }
      break;
  }
  if (stroke) {
    p.setBrush(Qt::NoBrush);
    p.setPen(brush.style() == Qt::NoBrush ? QPen(Qt::NoPen) : QPen(brush, thickness));
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
  }
}

TvxPropKind TvxBrush::PropKind(const QString& name) const {
  return SameName(name, "Color") ? TvxPropKind::Color : TvxPropKind::None;
}
TAlphaColor TvxBrush::GetColorProp(const QString& name) const {
  return SameName(name, "Color") ? FColor : 0;
}
void TvxBrush::SetColorProp(const QString& name, TAlphaColor value) {
  if (SameName(name, "Color")) SetColor(value);
}

// ---------------------------------------------------------------------------------------------
// TvxObject

TvxObject::TvxObject() = default;

TvxObject::~TvxObject() {
  DeleteChildren();
  if (FParent) FParent->RemoveObject(this);
}

void TvxObject::DeleteChildren() {
  while (!FChildren.empty()) delete FChildren.back();
}

void TvxObject::SetParent(TvxObject* parent) {
  if (parent == FParent) return;
  if (FParent) FParent->RemoveObject(this);
  if (parent) parent->AddObject(this);
}

void TvxObject::AddObject(TvxObject* child) {
  InsertObject(ChildrenCount(), child);
}

void TvxObject::InsertObject(int index, TvxObject* child) {
  if (!child || child == this) return;
  for (TvxObject* p = this; p; p = p->FParent)
    if (p == child) return;  // would make a cycle
  if (child->FParent) child->FParent->RemoveObject(child);
  index = std::clamp(index, 0, ChildrenCount());
  FChildren.insert(FChildren.begin() + index, child);
  child->FParent = this;
  ChildAdded(child);
  if (child->FParent == this)
    if (TdxScene* scene = Scene()) child->SceneJoined(scene);
}

void TvxObject::SceneJoined(TdxScene* scene) {
  const std::weak_ptr<void> alive = LifeToken();
  for (size_t i = 0; i < FChildren.size(); ++i) {
    FChildren[i]->SceneJoined(scene);
    if (!IsAlive(alive)) return;
  }
}

void TvxObject::RemoveObject(TvxObject* child) {
  // From the back: freeing children goes last to first, so this stays cheap for long lists.
  auto it = std::find(FChildren.rbegin(), FChildren.rend(), child);
  if (it == FChildren.rend()) return;
  FChildren.erase(std::next(it).base());
  child->FParent = nullptr;
  ChildRemoved(child);
}

int TvxObject::Index() const {
  if (!FParent) return -1;
  const auto& c = FParent->FChildren;
  return int(std::find(c.begin(), c.end(), this) - c.begin());
}

TvxObject* TvxObject::FindBinding(const QString& binding) {
  EnsureChildren();
  if (BindingName.compare(binding, Qt::CaseInsensitive) == 0 && !BindingName.isEmpty()) return this;
  for (TvxObject* child : FChildren)
    if (TvxObject* found = child->FindBinding(binding)) return found;
  return nullptr;
}

QString TvxObject::GetBinding(const QString& binding) {
  TvxObject* part = FindBinding(binding);
  return part ? part->BindingData() : QString();
}

void TvxObject::SetBinding(const QString& binding, const QString& value) {
  if (TvxObject* part = FindBinding(binding)) part->SetBindingData(value);
}

TdxScene* TvxObject::Scene() const {
  for (const TvxObject* p = this; p; p = p->FParent)
    if (TdxScene* s = const_cast<TvxObject*>(p)->AsScene()) return s;
  return nullptr;
}

bool TvxObject::IsVisibleInTree() const {
  for (const TvxObject* p = this; p; p = p->FParent) {
    auto* v = const_cast<TvxObject*>(p)->AsVisual();
    if (v && !v->Visible()) return false;
  }
  return true;
}

void TvxObject::Changed(bool) {}

void TvxObject::InvalidateRect(const QRectF&) {}

static bool TakesNoMouse(TvxObject* o) {
  TvxVisualObject* v = o->AsVisual();
  return v && o->Locked && !v->HitTest();
}

void TvxObject::StopTriggerAnimation(TvxObject* instance) {
  const std::weak_ptr<void> alive = LifeToken();
  for (size_t i = 0; i < FChildren.size(); ++i) {
    TvxObject* child = FChildren[i];
    if (TvxAnimation* a = child->AsAnimation()) {
      if (!a->Trigger().isEmpty() && a->Running()) a->Stop();
    } else if (TakesNoMouse(child)) {
      child->StopTriggerAnimation(instance);
    }
    if (!IsAlive(alive)) return;
  }
}

void TvxObject::StartTriggerAnimation(TvxObject* instance, const QString& trigger) {
  const std::weak_ptr<void> alive = LifeToken();
  StopTriggerAnimation(instance);
  for (size_t i = 0; IsAlive(alive) && i < FChildren.size(); ++i) {
    TvxObject* child = FChildren[i];
    if (TvxAnimation* a = child->AsAnimation())
      a->StartTrigger(instance, trigger);
    else if (TakesNoMouse(child))
      child->StartTriggerAnimation(instance, trigger);
  }
}
