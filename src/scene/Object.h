// The object model of the scene toolkit: a tree of objects whose properties can be reached by
// name (the property animations address them by dot paths such as "Fill.Color").
#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "scene/Types.h"

class QPainter;
class TvxObject;
class TvxVisualObject;
class TvxAnimation;
class TdxScene;

enum class TvxPropKind { None, Float, Color, Bool, Object };

// Anything with named properties. Names match without regard to case.
class TvxPersistent {
 public:
  virtual ~TvxPersistent() = default;
  virtual TvxPropKind PropKind(const QString& name) const;
  virtual TvxPersistent* ObjectProp(const QString& name);
  virtual float GetFloatProp(const QString& name) const;
  virtual void SetFloatProp(const QString& name, float value);
  virtual TAlphaColor GetColorProp(const QString& name) const;
  virtual void SetColorProp(const QString& name, TAlphaColor value);
  virtual std::optional<bool> GetBoolProp(const QString& name) const;
};

bool SameName(const QString& a, const char* b);

// A value group owned by an object ("Position", "Fill", "Padding"); tells its owner of changes.
class TvxOwnedPersistent : public TvxPersistent {
 public:
  explicit TvxOwnedPersistent(TvxObject* owner) : FOwner(owner) {}
  TvxObject* Owner() const { return FOwner; }

 protected:
  void Changed(bool layout = true);
  TvxObject* FOwner;
};

class TvxPosition : public TvxOwnedPersistent {
 public:
  using TvxOwnedPersistent::TvxOwnedPersistent;
  float X() const { return FX; }
  float Y() const { return FY; }
  float Z() const { return FZ; }
  void SetX(float v);
  void SetY(float v);
  void SetZ(float v);
  void SetPoint(float x, float y);
  TvxPropKind PropKind(const QString& name) const override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;

 private:
  float FX = 0, FY = 0, FZ = 0;
};

class TvxBounds : public TvxOwnedPersistent {
 public:
  using TvxOwnedPersistent::TvxOwnedPersistent;
  float Left = 0, Top = 0, Right = 0, Bottom = 0;
  void Set(float l, float t, float r, float b);
  TvxPropKind PropKind(const QString& name) const override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;
};

struct TvxGradientStop {
  float Offset;
  TAlphaColor Color;
};

class TvxBitmap;

// Fill or stroke of a shape: none, a solid colour, a gradient or a picture.
class TvxBrush : public TvxOwnedPersistent {
 public:
  TvxBrush(TvxObject* owner, TvxBrushKind kind, TAlphaColor color);
  ~TvxBrush() override;
  TvxBrushKind Kind() const { return FKind; }
  void SetKind(TvxBrushKind kind);
  TAlphaColor Color() const { return FColor; }
  void SetColor(TAlphaColor color);
  QString ColorText() const { return vgColorToStr(FColor); }
  void SetColorText(const QString& text) { SetColor(vgStrToColor(text)); }
  // Gradient: stops along a line from StartPoint to StopPoint (0..1 of the shape), or radial.
  void SetLinearGradient(std::vector<TvxGradientStop> stops, QPointF from = {0, 0},
                         QPointF to = {0, 1});
  void SetRadialGradient(std::vector<TvxGradientStop> stops);
  const std::vector<TvxGradientStop>& Stops() const { return FStops; }
  TvxBitmap& Bitmap();
  bool HasBitmap() const { return FBitmap != nullptr; }
  TvxWrapMode WrapMode() const { return FWrap; }
  void SetWrapMode(TvxWrapMode mode);
  bool IsVisibleBrush() const;
  // A Qt brush for a shape of the given local rectangle.
  void ApplyTo(QPainter& p, const QRectF& rect, bool stroke, float thickness) const;
  void Assign(const TvxBrush& other);

  TvxPropKind PropKind(const QString& name) const override;
  TAlphaColor GetColorProp(const QString& name) const override;
  void SetColorProp(const QString& name, TAlphaColor value) override;

 private:
  TvxBrushKind FKind;
  TAlphaColor FColor;
  std::vector<TvxGradientStop> FStops;
  bool FRadial = false;
  QPointF FFrom{0, 0}, FTo{0, 1};
  std::unique_ptr<TvxBitmap> FBitmap;
  TvxWrapMode FWrap = vgWrapStretch;
  mutable QImage FScaled;
  mutable qint64 FScaledKey = 0;
};

using TvxNotifyEvent = std::function<void(TvxObject* sender)>;

// Base object: parent, ordered children (freed with it), names and tags, animation helpers.
class TvxObject : public TvxPersistent {
 public:
  TvxObject();
  ~TvxObject() override;
  TvxObject(const TvxObject&) = delete;
  TvxObject& operator=(const TvxObject&) = delete;

  TvxObject* Parent() const { return FParent; }
  void SetParent(TvxObject* parent);  // appends to the new parent's children
  void AddObject(TvxObject* child);
  void InsertObject(int index, TvxObject* child);
  void RemoveObject(TvxObject* child);  // detaches without freeing
  void DeleteChildren();
  int ChildrenCount() const { return int(FChildren.size()); }
  TvxObject* Child(int i) const { return i >= 0 && i < ChildrenCount() ? FChildren[i] : nullptr; }
  const std::vector<TvxObject*>& Children() const { return FChildren; }
  int Index() const;

  QString Name;  // component name, for the window code and tests
  QString BindingName;
  QString TagString;
  int64_t Tag = 0;
  float TagFloat = 0;
  // A part of a style: such children react to their control's triggers.
  bool Locked = false;

  // Makes the children of an object that builds them only when they are first needed (the
  // items of a long list); FindBinding asks for them before it looks.
  virtual void EnsureChildren() {}
  TvxObject* FindBinding(const QString& binding);
  QString GetBinding(const QString& binding);
  void SetBinding(const QString& binding, const QString& value);
  virtual QString BindingData() const { return QString(); }
  virtual void SetBindingData(const QString&) {}

  virtual TvxVisualObject* AsVisual() { return nullptr; }
  virtual TvxAnimation* AsAnimation() { return nullptr; }
  virtual TdxScene* AsScene() { return nullptr; }
  TdxScene* Scene() const;
  // Parent chain all visible (non-visual objects count as visible).
  bool IsVisibleInTree() const;

  void StartTriggerAnimation(TvxObject* instance, const QString& trigger);
  void StopTriggerAnimation(TvxObject* instance);

  void AnimateFloat(const QString& propertyName, float newValue, float duration = 0.2f,
                    TvxAnimationType type = vgAnimationIn,
                    TvxInterpolationType interpolation = vgInterpolationLinear);
  void AnimateFloatWait(const QString& propertyName, float newValue, float duration = 0.2f,
                        TvxAnimationType type = vgAnimationIn,
                        TvxInterpolationType interpolation = vgInterpolationLinear);
  void AnimateColor(const QString& propertyName, const QString& newValue, float duration = 0.2f,
                    TvxAnimationType type = vgAnimationIn,
                    TvxInterpolationType interpolation = vgInterpolationLinear);

  // Lets callers notice that an object was freed while they re-entered the event loop.
  std::weak_ptr<void> LifeToken() const { return FLife; }

  // A visual property changed: repaint (and with layout, realign).
  virtual void Changed(bool layout);
  // A rectangle of a child's subtree, in this object's coordinates, needs painting.
  virtual void InvalidateRect(const QRectF& rect);

 protected:
  virtual void ChildAdded(TvxObject*) {}
  virtual void ChildRemoved(TvxObject*) {}
  // This object and its subtree now belong to `scene`, or the scene's resources changed.
  virtual void SceneJoined(TdxScene* scene);

 private:
  TvxObject* FParent = nullptr;
  std::vector<TvxObject*> FChildren;
  std::shared_ptr<char> FLife = std::make_shared<char>(0);
};

bool IsAlive(const std::weak_ptr<void>& token);

// Calls a handler through a copy: the handler may free the object that holds it.
template <typename F, typename... Args>
void vgRaise(const F& handler, Args&&... args) {
  if (!handler) return;
  F copy = handler;
  copy(std::forward<Args>(args)...);
}
