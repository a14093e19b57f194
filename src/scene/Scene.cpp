#include "scene/Scene.h"

#include "scene/Animation.h"

#include <QPainter>
#include <QPolygonF>
#include <cmath>

namespace {

struct Vec3 {
  double x, y, z;
};

Vec3 Rotate(Vec3 v, double ax, double ay, double az) {
  const double rx = ax * M_PI / 180, ry = ay * M_PI / 180, rz = az * M_PI / 180;
  Vec3 a{v.x, v.y * std::cos(rx) - v.z * std::sin(rx), v.y * std::sin(rx) + v.z * std::cos(rx)};
  Vec3 b{a.x * std::cos(ry) + a.z * std::sin(ry), a.y, -a.x * std::sin(ry) + a.z * std::cos(ry)};
  return {b.x * std::cos(rz) - b.y * std::sin(rz), b.x * std::sin(rz) + b.y * std::cos(rz), b.z};
}

double PolygonArea(const QPolygonF& q) {
  double a = 0;
  for (int i = 0; i < q.size(); ++i) {
    const QPointF& p = q[i];
    const QPointF& n = q[(i + 1) % q.size()];
    a += p.x() * n.y() - n.x() * p.y();
  }
  return std::fabs(a) / 2;
}

bool IsInside(const TvxObject* o, const TvxObject* ancestor) {
  for (; o; o = o->Parent())
    if (o == ancestor) return true;
  return false;
}

}  // namespace

TdxGUIObjectLayer* LayerOf(const TvxObject* o) {
  for (; o; o = o->Parent())
    if (auto* l = dynamic_cast<const TdxGUIObjectLayer*>(o))
      return const_cast<TdxGUIObjectLayer*>(l);
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// 3-D objects

TdxObject::TdxObject() = default;

void TdxObject::SetVisible(bool v) {
  FVisible = v;
  Changed(false);
}

TvxPropKind TdxObject::PropKind(const QString& name) const {
  if (SameName(name, "Position") || SameName(name, "RotateAngle")) return TvxPropKind::Object;
  if (SameName(name, "Visible")) return TvxPropKind::Bool;
  return TvxPropKind::None;
}

TvxPersistent* TdxObject::ObjectProp(const QString& name) {
  if (SameName(name, "Position")) return &FPosition;
  if (SameName(name, "RotateAngle")) return &FRotateAngle;
  return nullptr;
}

std::optional<bool> TdxObject::GetBoolProp(const QString& name) const {
  if (SameName(name, "Visible")) return FVisible;
  return std::nullopt;
}

void TdxObject::Changed(bool) {
  if (TdxScene* s = Scene()) s->InvalidateAll();
}

TdxGUIObjectLayer::TdxGUIObjectLayer() {
  Width = 520;
  Height = 315;
  Depth = 8;
}

std::optional<QTransform> TdxGUIObjectLayer::LayerToScene() const {
  TdxScene* scene = Scene();
  const double sw = scene ? scene->Width() : Width, sh = scene ? scene->Height() : Height;
  const double f = kFocalLength;
  auto project = [&](double u, double v) -> std::optional<QPointF> {
    Vec3 p = Rotate({u - Width / 2.0, v - Height / 2.0, 0},
                    const_cast<TdxGUIObjectLayer*>(this)->RotateAngle().X(),
                    const_cast<TdxGUIObjectLayer*>(this)->RotateAngle().Y(),
                    const_cast<TdxGUIObjectLayer*>(this)->RotateAngle().Z());
    auto& pos = const_cast<TdxGUIObjectLayer*>(this)->Position();
    const double x = pos.X() + p.x, y = pos.Y() + p.y, z = pos.Z() + p.z;
    const double depth = f + z;
    if (depth < 1) return std::nullopt;
    const double s = f / depth;
    return QPointF(sw / 2 + (x - sw / 2) * s, sh / 2 + (y - sh / 2) * s);
  };
  QPolygonF to;
  for (auto [u, v] : {std::pair{0.0, 0.0},
                      {double(Width), 0.0},
                      {double(Width), double(Height)},
                      {0.0, double(Height)}}) {
    auto q = project(u, v);
    if (!q) return std::nullopt;
    to << *q;
  }
  if (PolygonArea(to) < 0.5) return std::nullopt;  // edge-on
  QPolygonF from;
  from << QPointF(0, 0) << QPointF(Width, 0) << QPointF(Width, Height) << QPointF(0, Height);
  QTransform t;
  if (!QTransform::quadToQuad(from, to, t)) return std::nullopt;
  return t;
}

void TdxGUIObjectLayer::InvalidateRect(const QRectF& rect) {
  TdxScene* scene = Scene();
  if (!scene || !Visible()) return;
  if (auto t = LayerToScene()) scene->Invalidate(t->mapRect(rect));
}

void TdxGUIObjectLayer::Changed(bool layout) {
  TdxObject::Changed(layout);
}

void TdxGUIObjectLayer::ChildAdded(TvxObject* child) {
  if (TvxVisualObject* v = child->AsVisual()) v->Repaint();
}

void TdxGUIObjectLayer::Paint(QPainter& p) {
  if (!Visible()) return;
  auto t = LayerToScene();
  if (!t) return;
  const QTransform base = p.worldTransform();
  p.setWorldTransform(*t * base);
  for (TvxObject* child : Children())
    if (TvxVisualObject* v = child->AsVisual()) v->PaintTree(p, Opacity);
  p.setWorldTransform(base);
}

TvxVisualObject* TdxGUIObjectLayer::ObjectAtLayerPoint(QPointF p) {
  const auto& kids = Children();
  for (int i = int(kids.size()) - 1; i >= 0; --i) {
    TvxVisualObject* v = kids[size_t(i)]->AsVisual();
    if (!v) continue;
    if (TvxVisualObject* hit = v->ObjectAtPoint(v->LocalToParent().inverted().map(p))) return hit;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Scene

TdxScene::TdxScene() = default;

TdxScene::~TdxScene() {
  FHover = FCapture = FFocus = nullptr;
  OnInvalidate = nullptr;
  DeleteChildren();
}

void TdxScene::SetResources(const TvxResources* resources) {
  if (resources == FResources) return;
  FResources = resources;
  SceneJoined(this);
}

void TdxScene::SetSize(float w, float h) {
  FWidth = w;
  FHeight = h;
  InvalidateAll();
}

void TdxScene::Invalidate(const QRectF& rect) {
  if (OnInvalidate && !rect.isEmpty())
    OnInvalidate(rect.intersected(QRectF(0, 0, FWidth, FHeight)));
}

void TdxScene::InvalidateAll() {
  Invalidate(QRectF(0, 0, FWidth, FHeight));
}

template <typename F>
static void ForEachLayer(TvxObject* o, F&& f) {
  for (TvxObject* c : o->Children()) {
    auto* d = dynamic_cast<TdxObject*>(c);
    if (!d || !d->Visible()) continue;
    if (auto* layer = dynamic_cast<TdxGUIObjectLayer*>(d))
      f(layer);
    else
      ForEachLayer(d, f);
  }
}

void TdxScene::Render(QPainter& p, const QRectF& dirty, bool opaqueGround) {
  ++FPaintCount;
  TvxPaintContext ctx{p.worldTransform().mapRect(dirty)};
  const TvxPaintContext* previous = TvxPaintContext::Current();
  TvxPaintContext::SetCurrent(&ctx);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  const bool see = Transparency && !opaqueGround;
  p.fillRect(dirty, QColor::fromRgba(see ? FFill.Color() : AmbientColor));
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  ForEachLayer(this, [&](TdxGUIObjectLayer* layer) { layer->Paint(p); });
  TvxPaintContext::SetCurrent(previous);
}

QImage TdxScene::RenderToImage(qreal dpr) {
  QImage image(QSize(int(std::ceil(FWidth * dpr)), int(std::ceil(FHeight * dpr))),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  QPainter p(&image);
  Render(p, QRectF(0, 0, FWidth, FHeight));
  p.end();
  return image;
}

TvxVisualObject* TdxScene::ObjectAtPoint(QPointF scenePoint, QPointF* local) {
  TvxVisualObject* found = nullptr;
  std::vector<TdxGUIObjectLayer*> layers;
  ForEachLayer(this, [&](TdxGUIObjectLayer* l) { layers.push_back(l); });
  for (auto it = layers.rbegin(); it != layers.rend() && !found; ++it) {
    auto t = (*it)->LayerToScene();
    if (!t) continue;
    bool ok = false;
    const QTransform inv = t->inverted(&ok);
    if (!ok) continue;
    const QPointF lp = inv.map(scenePoint);
    if (lp.x() < 0 || lp.y() < 0 || lp.x() >= (*it)->Width || lp.y() >= (*it)->Height) continue;
    found = (*it)->ObjectAtLayerPoint(lp);
  }
  if (found && local) *local = ToLocal(found, scenePoint);
  return found;
}

QPointF TdxScene::ToLocal(TvxVisualObject* v, QPointF scenePoint) const {
  TdxGUIObjectLayer* layer = LayerOf(v);
  if (!layer) return scenePoint;
  auto t = layer->LayerToScene();
  if (!t) return {-1e9, -1e9};
  return v->LayerToLocal(t->inverted().map(scenePoint));
}

void TdxScene::UpdateHover(TvxVisualObject* target) {
  if (target == FHover) return;
  TvxVisualObject* old = FHover;
  FHover = target;
  if (old) {
    const auto alive = old->LifeToken();
    old->MouseLeave();
    (void)alive;
  }
  if (FHover == target && target) target->MouseEnter();
  if (OnCursorChange) OnCursorChange(FHover ? FHover->EffectiveCursor() : crDefault);
}

void TdxScene::MouseMove(QPointF p, unsigned shift) {
  const QPointF delta = p - FLastMouse;
  FLastMouse = p;
  if (FCapture) {
    const QPointF l = ToLocal(FCapture, p);
    FCapture->MouseMove(shift, float(l.x()), float(l.y()), float(delta.x()), float(delta.y()));
    return;
  }
  QPointF local;
  TvxVisualObject* target = ObjectAtPoint(p, &local);
  UpdateHover(target);
  if (target && target == FHover) {
    target->MouseMove(shift, float(local.x()), float(local.y()), float(delta.x()),
                      float(delta.y()));
    if (OnCursorChange && FHover) OnCursorChange(FHover->EffectiveCursor());
  }
}

void TdxScene::MouseDown(QPointF p, TvxMouseButton button, unsigned shift) {
  FLastMouse = p;
  QPointF local;
  TvxVisualObject* target = ObjectAtPoint(p, &local);
  UpdateHover(target);
  if (!target) {
    SetFocused(nullptr);
    if (button == mbLeft && AllowDrag && OnStartWindowDrag) OnStartWindowDrag();
    return;
  }
  if (!target->CanFocus) SetFocused(nullptr);
  FCapture = target;
  target->MouseDown(button, shift, float(local.x()), float(local.y()));
}

void TdxScene::MouseUp(QPointF p, TvxMouseButton button, unsigned shift) {
  FLastMouse = p;
  TvxVisualObject* target = FCapture;
  FCapture = nullptr;
  if (!target) return;
  const auto alive = target->LifeToken();
  const QPointF l = ToLocal(target, p);
  const bool over = target->ContainsLocalPoint(l);
  target->MouseUp(button, shift, float(l.x()), float(l.y()));
  if (IsAlive(alive) && over && button == mbLeft && target->Enabled() && target->IsVisibleInTree())
    target->Click();
  MouseMove(p, shift);  // the pointer may now be over something else
}

void TdxScene::MouseWheel(QPointF p, int delta, unsigned shift) {
  for (TvxVisualObject* v = ObjectAtPoint(p); v; v = v->ParentVisual())
    if (v->MouseWheel(shift, delta)) return;
}

void TdxScene::MouseLeave() {
  if (!FCapture) UpdateHover(nullptr);
}

void TdxScene::KeyDown(int key, const QString& keyChar, unsigned shift) {
  if (!FFocus) return;
  QString ch = keyChar;
  FFocus->KeyDown(key, ch, shift);
}

void TdxScene::KeyUp(int key, const QString& keyChar, unsigned shift) {
  if (!FFocus) return;
  QString ch = keyChar;
  FFocus->KeyUp(key, ch, shift);
}

void TdxScene::InputMethod(const QString& commit, const QString& preedit) {
  if (FFocus) FFocus->InputMethodText(commit, preedit);
}

void TdxScene::SetFocused(TvxVisualObject* v) {
  if (v == FFocus) return;
  TvxVisualObject* old = FFocus;
  FFocus = v;
  if (old) old->SetIsFocused(false);
  if (v && FFocus == v) v->SetIsFocused(true);
}

QString TdxScene::HintAt(QPointF scenePoint) {
  for (TvxVisualObject* v = ObjectAtPoint(scenePoint); v; v = v->ParentVisual())
    if (v->ShowHint && !v->Hint.isEmpty()) return v->Hint;
  return QString();
}

int TdxScene::CursorAt(QPointF scenePoint) {
  TvxVisualObject* v = ObjectAtPoint(scenePoint);
  return v ? v->EffectiveCursor() : crDefault;
}

QRectF TdxScene::CaretRect() const {
  if (!FFocus) return QRectF();
  TdxGUIObjectLayer* layer = LayerOf(FFocus);
  if (!layer) return QRectF();
  auto t = layer->LayerToScene();
  if (!t) return QRectF();
  return t->mapRect(FFocus->LocalToLayer().mapRect(FFocus->LocalRect()));
}

void TdxScene::ObjectGone(TvxVisualObject* v) {
  if (IsInside(FHover, v)) FHover = nullptr;
  if (IsInside(FCapture, v)) FCapture = nullptr;
  if (IsInside(FFocus, v)) FFocus = nullptr;
}

void TdxScene::ObjectHidden(TvxVisualObject* v) {
  if (IsInside(FCapture, v)) FCapture = nullptr;
  if (IsInside(FFocus, v)) SetFocused(nullptr);
  if (IsInside(FHover, v)) UpdateHover(nullptr);
}

static void StartEnabled(TvxObject* o) {
  const std::weak_ptr<void> alive = o->LifeToken();
  for (size_t i = 0; IsAlive(alive) && i < o->Children().size(); ++i) {
    TvxObject* c = o->Children()[i];
    if (TvxAnimation* a = c->AsAnimation()) a->StartIfEnabled();
    if (IsAlive(alive) && i < o->Children().size() && o->Children()[i] == c) StartEnabled(c);
  }
}

void TdxScene::Loaded() {
  StartEnabled(this);
}

int vgVirtualKey(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    default:
      break;
  }
  if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
    return qtKey;  // same codes
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 112 + (qtKey - Qt::Key_F1);
  return 0;
}
