// The 3-D scene that fills the window: a root, a 2-D layer placed in 3-D and drawn in
// perspective, input dispatch to the 2-D objects, and dirty-region bookkeeping.
#pragma once

#include <QImage>
#include <QRectF>
#include <QTransform>
#include <functional>
#include <optional>

#include "scene/VisualObject.h"

class TdxScene;
class TvxResources;

// A 3-D object: position of its centre and rotation in degrees about X, Y, Z.
class TdxObject : public TvxObject {
 public:
  TdxObject();
  TvxPosition& Position() { return FPosition; }
  TvxPosition& RotateAngle() { return FRotateAngle; }
  float Width = 0, Height = 0, Depth = 0;
  bool TwoSide = true;
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  float Opacity = 1;

  TvxPropKind PropKind(const QString& name) const override;
  TvxPersistent* ObjectProp(const QString& name) override;
  std::optional<bool> GetBoolProp(const QString& name) const override;
  void Changed(bool layout) override;

 private:
  TvxPosition FPosition{this};
  TvxPosition FRotateAngle{this};
  bool FVisible = true;
};

class TdxVisualObject : public TdxObject {};

// A flat 2-D layer of controls placed in the 3-D scene.
class TdxGUIObjectLayer : public TdxObject {
 public:
  TdxGUIObjectLayer();
  // Maps layer coordinates (0..Width, 0..Height) to scene coordinates; empty when edge-on.
  std::optional<QTransform> LayerToScene() const;
  void InvalidateRect(const QRectF& rect) override;
  void Changed(bool layout) override;
  void Paint(QPainter& p);
  TvxVisualObject* ObjectAtLayerPoint(QPointF p);
  static constexpr float kFocalLength = 1000;

 protected:
  void ChildAdded(TvxObject* child) override;
};

class TdxScene : public TvxObject {
 public:
  TdxScene();
  ~TdxScene() override;
  TdxScene* AsScene() override { return this; }

  float Width() const { return FWidth; }
  float Height() const { return FHeight; }
  void SetSize(float w, float h);
  TvxBrush& Fill() { return FFill; }
  TAlphaColor AmbientColor = 0xFF202020;
  bool Transparency = true;
  bool AllowDrag = true;

  // The styles its controls look up first (see scene/Styles.h). Not owned: the owner keeps the
  // table alive while the scene uses it. Setting it dresses again every control of the scene
  // whose look it changes; nullptr leaves the toolkit's generic looks.
  const TvxResources* Resources() const { return FResources; }
  void SetResources(const TvxResources* resources);

  // Painting.
  std::function<void(const QRectF&)> OnInvalidate;  // scene coordinates
  void Invalidate(const QRectF& rect);
  void InvalidateAll();
  // Draws the dirty rectangle; with opaqueGround the ground where nothing is drawn takes the
  // ambient colour even in a transparent scene.
  void Render(QPainter& p, const QRectF& dirty, bool opaqueGround = false);
  QImage RenderToImage(qreal devicePixelRatio = 1.0);

  // Input in scene coordinates.
  void MouseMove(QPointF p, unsigned shift);
  void MouseDown(QPointF p, TvxMouseButton button, unsigned shift);
  void MouseUp(QPointF p, TvxMouseButton button, unsigned shift);
  void MouseWheel(QPointF p, int delta, unsigned shift);
  void MouseLeave();
  void KeyDown(int key, const QString& keyChar, unsigned shift);
  void KeyUp(int key, const QString& keyChar, unsigned shift);
  void InputMethod(const QString& commit, const QString& preedit);
  // A press on empty ground asks the host to move the window.
  std::function<void()> OnStartWindowDrag;
  std::function<void(int cursor)> OnCursorChange;

  TvxVisualObject* ObjectAtPoint(QPointF scenePoint, QPointF* local = nullptr);
  TvxVisualObject* Hovered() const { return FHover; }
  TvxVisualObject* Captured() const { return FCapture; }
  TvxVisualObject* Focused() const { return FFocus; }
  void SetFocused(TvxVisualObject* v);
  QString HintAt(QPointF scenePoint);
  int CursorAt(QPointF scenePoint);
  QRectF CaretRect() const;  // for the input method, scene coordinates

  // Bookkeeping when objects go away or hide.
  void ObjectGone(TvxVisualObject* v);
  void ObjectHidden(TvxVisualObject* v);
  int PaintCount() const { return FPaintCount; }
  // After the tree is built: animations enabled at design time start running.
  void Loaded();

 private:
  QPointF ToLocal(TvxVisualObject* v, QPointF scenePoint) const;
  void UpdateHover(TvxVisualObject* target);
  float FWidth = 550, FHeight = 330;
  const TvxResources* FResources = nullptr;
  TvxBrush FFill{this, vgBrushSolid, 0x00000000};
  TvxVisualObject* FHover = nullptr;
  TvxVisualObject* FCapture = nullptr;
  TvxVisualObject* FFocus = nullptr;
  QPointF FLastMouse;
  int FPaintCount = 0;
};

// Layer and 2-D object transforms combined: scene point to the object's local coordinates.
TdxGUIObjectLayer* LayerOf(const TvxObject* o);
// Windows virtual-key code of a Qt key, as key handlers receive it.
int vgVirtualKey(int qtKey);
