// The window that shows a scene: borderless, see-through where the scene draws nothing,
// forwarding input to the scene and repainting only what changed.
#pragma once

#include <QWidget>

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

 protected:
  void paintEvent(QPaintEvent* e) override;
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

 private:
  void StartDrag();
  TdxScene* FScene;
  bool FManualDrag = false;
  QPoint FDragOffset;
  int FPaintEvents = 0;
  qint64 FPaintedPixels = 0;
  qint64 FPaintNanos = 0;
};

// Qt cursor shape of a toolkit cursor code.
Qt::CursorShape vgCursorShape(int cursor);
