// Visual objects: placement, alignment, brushes, painting, hit testing and input.
#pragma once

#include <QTransform>

#include "scene/Object.h"

class QPainter;

// What the current paint pass must redraw, in the painter's device (widget) coordinates.
struct TvxPaintContext {
  QRectF Dirty;
  static const TvxPaintContext* Current();
  static void SetCurrent(const TvxPaintContext* ctx);
};

using TvxMouseEvent =
    std::function<void(TvxObject* sender, TvxMouseButton button, unsigned shift, float x, float y)>;
using TvxMouseMoveEvent =
    std::function<void(TvxObject* sender, unsigned shift, float x, float y, float dx, float dy)>;
using TvxMouseWheelEvent =
    std::function<void(TvxObject* sender, unsigned shift, int wheelDelta, bool& handled)>;
using TvxKeyEvent =
    std::function<void(TvxObject* sender, int& key, QString& keyChar, unsigned shift)>;

class TvxVisualObject : public TvxObject {
 public:
  TvxVisualObject();
  ~TvxVisualObject() override;
  TvxVisualObject* AsVisual() override { return this; }
  TvxVisualObject* ParentVisual() const;

  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  bool HitTest() const { return FHitTest; }
  void SetHitTest(bool v) { FHitTest = v; }
  float Opacity() const { return FOpacity; }
  void SetOpacity(float v);
  TvxPosition& Position() { return FPosition; }
  const TvxPosition& Position() const { return FPosition; }
  float Width() const { return FWidth; }
  float Height() const { return FHeight; }
  void SetWidth(float w);
  void SetHeight(float h);
  void SetBounds(float x, float y, float w, float h);
  float RotateAngle() const { return FRotateAngle; }
  void SetRotateAngle(float degrees);
  TvxAlign Align() const { return FAlign; }
  void SetAlign(TvxAlign a);
  TvxBounds& Padding() { return FPadding; }
  const TvxBounds& Padding() const { return FPadding; }
  TvxBounds& Margins() { return FMargins; }  // inner space kept free of aligned children
  const TvxBounds& Margins() const { return FMargins; }
  int Cursor = crDefault;
  QString Hint;
  bool ShowHint = false;
  TvxBrush& Fill() { return FFill; }
  TvxBrush& Stroke() { return FStroke; }
  float StrokeThickness() const { return FStrokeThickness; }
  void SetStrokeThickness(float t);
  bool ClipChildren() const { return FClipChildren; }
  void SetClipChildren(bool c);
  bool CanFocus = false;
  bool DragDisableHighlight = false;

  // Trigger states.
  bool IsMouseOver() const { return FIsMouseOver; }
  void SetIsMouseOver(bool v);
  bool IsPressed() const { return FIsPressed; }
  void SetIsPressed(bool v);
  bool IsFocused() const { return FIsFocused; }
  void SetIsFocused(bool v);

  // Events (an empty handler means nobody listens).
  TvxNotifyEvent OnClick;
  TvxMouseEvent OnMouseDown;
  TvxMouseEvent OnMouseUp;
  TvxMouseMoveEvent OnMouseMove;
  TvxMouseWheelEvent OnMouseWheel;
  TvxNotifyEvent OnMouseEnter;
  TvxNotifyEvent OnMouseLeave;
  TvxKeyEvent OnKeyDown;
  TvxKeyEvent OnKeyUp;

  // Geometry: local rectangle and the transform from local to parent coordinates.
  QRectF LocalRect() const { return QRectF(0, 0, FWidth, FHeight); }
  QTransform LocalToParent() const;
  // The same without the object's own rotation.
  QTransform PlacementToParent() const;
  // Offset of the children's coordinates (a scrolled list moves its items).
  virtual QTransform ContentTransform() const { return QTransform(); }
  QTransform LocalToLayer() const;  // up to the 2-D root of the scene
  QPointF LayerToLocal(QPointF p) const;

  // Hit testing in local coordinates: the top-most object that takes the mouse.
  virtual TvxVisualObject* ObjectAtPoint(QPointF local);
  virtual bool ContainsLocalPoint(QPointF local) const;

  // Painting of the subtree; the painter is in parent coordinates.
  void PaintTree(QPainter& p, float parentOpacity);
  virtual void Paint(QPainter& p);
  virtual void PaintChildren(QPainter& p, float opacity);
  // Outset of what Paint draws beyond the bounds (glows, shadows).
  virtual float PaintOutset() const;
  // What the object paints stays inside its unturned box whatever its RotateAngle (a round
  // picture): a turn then repaints only that box.
  virtual bool TurnsWithinItsBox() const { return false; }
  // Bands of the local rectangle that Paint covers with fully opaque pixels: one across the whole
  // height (Columns) and one across the whole width (Rows); empty where there is none.
  struct TvxOpaqueBands {
    QRectF Columns, Rows;
  };
  virtual TvxOpaqueBands OpaqueBands() const { return {}; }

  // Lays out aligned children inside the local rectangle.
  virtual void Realign();

  // Input in local coordinates; the scene calls these.
  virtual void MouseDown(TvxMouseButton button, unsigned shift, float x, float y);
  virtual void MouseMove(unsigned shift, float x, float y, float dx, float dy);
  virtual void MouseUp(TvxMouseButton button, unsigned shift, float x, float y);
  virtual void Click();
  virtual bool MouseWheel(unsigned shift, int delta);
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void KeyDown(int& key, QString& keyChar, unsigned shift);
  virtual void KeyUp(int& key, QString& keyChar, unsigned shift);
  virtual void InputMethodText(const QString& commit, const QString& preedit);
  virtual void EnterFocus() {}
  virtual void KillFocus() {}
  void SetFocus();
  // Cursor to show over this object (walks up past crDefault).
  int EffectiveCursor() const;

  void Changed(bool layout) override;
  void Repaint();

  TvxPropKind PropKind(const QString& name) const override;
  TvxPersistent* ObjectProp(const QString& name) override;
  float GetFloatProp(const QString& name) const override;
  void SetFloatProp(const QString& name, float value) override;
  std::optional<bool> GetBoolProp(const QString& name) const override;

 protected:
  void ChildAdded(TvxObject* child) override;
  void ChildRemoved(TvxObject* child) override;
  void PaintFillAndStroke(QPainter& p, float radius = 0);
  // The outset of the style parts among `parts` (children of this object).
  float OutsetOfParts(const std::vector<TvxObject*>& parts) const;
  // The same for an object whose own painting reaches `own` beyond its box.
  float OutsetOfParts(const std::vector<TvxObject*>& parts, float own) const;

 private:
  QRectF UncoveredByLaterSiblings(QRectF area) const;
  bool FVisible = true, FEnabled = true, FHitTest = true;
  float FOpacity = 1;
  TvxPosition FPosition{this};
  float FWidth = 50, FHeight = 50;
  float FRotateAngle = 0;
  TvxAlign FAlign = vaNone;
  TvxBounds FPadding{this};
  TvxBounds FMargins{this};
  TvxBrush FFill;
  TvxBrush FStroke;
  float FStrokeThickness = 1;
  bool FClipChildren = false;
  bool FIsMouseOver = false, FIsPressed = false, FIsFocused = false;
  bool FRealigning = false;
};
