// The window that shows a scene: borderless, see-through where the scene draws nothing,
// forwarding input to the scene and repainting only what changed.
#pragma once

#include <QWidget>
#include <optional>

#include "scene/Scene.h"

class TdxSceneHost : public QWidget {
 public:
  explicit TdxSceneHost(TdxScene* scene, QWidget* parent = nullptr);
  ~TdxSceneHost() override;
  TdxScene* Scene() const { return FScene; }
  int PaintEvents() const { return FPaintEvents; }
  qint64 PaintedPixels() const { return FPaintedPixels; }
  // Processor time spent inside paint events, nanoseconds.
  qint64 PaintNanoseconds() const { return FPaintNanos; }

  // Without a compositing manager the desktop shows the see-through parts of the window (and
  // the ground around the layer during a flip) black; the window then paints the scene's
  // ambient colour there instead. Checked when the window is shown.
  bool OpaqueBackdrop() const { return FOpaqueBackdrop; }
  // Decides instead of asking the desktop (nullopt: ask it again).
  void ForceCompositing(std::optional<bool> composited);
  // Logical rows of the bands an area is painted in at `dpr`; 0: painted at once.
  static int BandRows(const QRect& area, qreal dpr);
  // Repaints with more rectangles than this are painted at once under one clip.
  static constexpr int kMostPiecesPainted = 8;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void PaintPiece(QPainter& p, const QRect& piece);
  void Invalidate(const QRect& r);
  void resizeEvent(QResizeEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void StartDrag();
  void UpdateBackdrop();
  TdxScene* FScene;
  bool FManualDrag = false;
  QRegion FPending;  // changed while animations run: painted with their next frame
  QPoint FDragOffset;
  int FPaintEvents = 0;
  qint64 FPaintedPixels = 0;
  qint64 FPaintNanos = 0;
  std::optional<bool> FForcedCompositing;
  bool FOpaqueBackdrop = false;
};

// Whether the desktop composes see-through windows: on X11 only while a compositing manager owns
// the screen's _NET_WM_CM_S<n> selection; Wayland and the offscreen platform always do.
bool vgDesktopComposites();

// Qt cursor shape of a toolkit cursor code.
Qt::CursorShape vgCursorShape(int cursor);
