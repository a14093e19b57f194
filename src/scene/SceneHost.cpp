#include "scene/SceneHost.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <ctime>
#include <memory>

#include "scene/Animation.h"

// From Xlib, whose header's macros clash with Qt's names.
extern "C" int XDefaultScreen(Display* display);

namespace {

qint64 ThreadCpuNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

unsigned ShiftOf(Qt::KeyboardModifiers m, Qt::MouseButtons b = Qt::NoButton) {
  unsigned s = 0;
  if (m & Qt::ShiftModifier) s |= ssShift;
  if (m & Qt::AltModifier) s |= ssAlt;
  if (m & Qt::ControlModifier) s |= ssCtrl;
  if (b & Qt::LeftButton) s |= ssLeft;
  if (b & Qt::RightButton) s |= ssRight;
  return s;
}

TvxMouseButton ButtonOf(Qt::MouseButton b) {
  if (b == Qt::RightButton) return mbRight;
  if (b == Qt::MiddleButton) return mbMiddle;
  return mbLeft;
}

}  // namespace

bool vgDesktopComposites() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11 ? x11->connection() : nullptr;
  if (!c) return true;
  const int screen = x11->display() ? XDefaultScreen(x11->display()) : 0;
  const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.constData()),
                            nullptr),
      &free);
  if (!atom || atom->atom == XCB_ATOM_NONE) return false;  // never made: nobody ever owned it
  std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr), &free);
  return owner && owner->owner != XCB_WINDOW_NONE;
}

Qt::CursorShape vgCursorShape(int cursor) {
  switch (cursor) {
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    default:
      return Qt::ArrowCursor;
  }
}

TdxSceneHost::TdxSceneHost(TdxScene* scene, QWidget* parent) : QWidget(parent), FScene(scene) {
  setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::Window);
  setAttribute(Qt::WA_TranslucentBackground, scene->Transparency);
  setAttribute(Qt::WA_InputMethodEnabled, true);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  resize(int(scene->Width()), int(scene->Height()));
  scene->OnInvalidate = [this](const QRectF& r) {
    Invalidate(r.toAlignedRect().adjusted(-1, -1, 1, 1));
  };
  TvxAniThread::Instance().AddAfterTick(this, [this] {
    if (FPending.isEmpty()) return;
    const QRegion frame = std::exchange(FPending, QRegion());
    repaint(frame);
  });
  scene->OnStartWindowDrag = [this] { StartDrag(); };
  scene->OnCursorChange = [this](int c) { setCursor(vgCursorShape(c)); };
}

TdxSceneHost::~TdxSceneHost() {
  if (TvxAniThread::Exists()) TvxAniThread::Instance().RemoveAfterTick(this);
  FScene->OnInvalidate = nullptr;
  FScene->OnStartWindowDrag = nullptr;
  FScene->OnCursorChange = nullptr;
}

// While animations run a frame comes every 33 ms anyway: a change from elsewhere (the progress
// tick 20 times a second) joins the next frame instead of costing a paint of its own.
void TdxSceneHost::Invalidate(const QRect& r) {
  if (TvxAniThread::Instance().TimerActive()) {
    FPending += r;
    return;
  }
  update(r);
}

void TdxSceneHost::StartDrag() {
  // The window manager moves the window where it can (X11, Wayland); otherwise we follow the
  // pointer ourselves.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  FManualDrag = true;
  FDragOffset = QCursor::pos() - frameGeometry().topLeft();
}

// Qt's raster engine hands a fill of more than about 96 rows to a pool of threads and waits for
// them, and under a clip of several rectangles it counts the rows of the whole fill, not of what
// the clip leaves. For the small areas a frame of a turning disc or a moving progress bar
// repaints, those hand-offs (several a frame, each waking two threads and the painting one) cost
// more than the fills, so each rectangle of a repaint is painted under its own clip, in bands of
// 64 device rows; large areas keep the threads. Bands only where device rows fall on whole
// logical rows, so that no row is painted twice.
int TdxSceneHost::BandRows(const QRect& area, qreal dpr) {
  constexpr int kBandDeviceRows = 64;
  constexpr int kLargestBanded = 256;  // device rows
  const int whole = int(std::lround(dpr));
  if (whole < 1 || std::abs(dpr - whole) > 1e-9) return 0;
  const int rows = area.height() * whole;
  if (rows <= kBandDeviceRows + kBandDeviceRows / 2 || rows > kLargestBanded) return 0;
  return kBandDeviceRows / whole;
}

void TdxSceneHost::PaintPiece(QPainter& p, const QRect& piece) {
  const int band = BandRows(piece, devicePixelRatioF());
  for (int y = piece.top(); y <= piece.bottom(); y += band ? band : piece.height()) {
    const QRect part = piece & QRect(piece.left(), y, piece.width(), band ? band : piece.height());
    p.setClipRect(part);
    FScene->Render(p, part, FOpaqueBackdrop);
  }
}

void TdxSceneHost::paintEvent(QPaintEvent* e) {
  ++FPaintEvents;
  const QRect r = e->rect();
  FPaintedPixels += qint64(r.width()) * r.height();
  const qint64 start = ThreadCpuNanoseconds();
  {
    QPainter p(this);
    const QRegion& region = e->region();
    if (region.rectCount() > kMostPiecesPainted) {
      p.setClipRegion(region);
      FScene->Render(p, r, FOpaqueBackdrop);
    } else {
      for (const QRect& piece : region) PaintPiece(p, piece);
    }
  }
  FPaintNanos += ThreadCpuNanoseconds() - start;
}

void TdxSceneHost::ForceCompositing(std::optional<bool> composited) {
  FForcedCompositing = composited;
  UpdateBackdrop();
}

void TdxSceneHost::UpdateBackdrop() {
  const bool composited = FForcedCompositing ? *FForcedCompositing : vgDesktopComposites();
  const bool opaque = FScene->Transparency && !composited;
  if (opaque == FOpaqueBackdrop) return;
  FOpaqueBackdrop = opaque;
  update();
}

void TdxSceneHost::showEvent(QShowEvent* e) {
  UpdateBackdrop();
  QWidget::showEvent(e);
}

void TdxSceneHost::resizeEvent(QResizeEvent*) {
  FScene->SetSize(width(), height());
}

void TdxSceneHost::mouseMoveEvent(QMouseEvent* e) {
  if (FManualDrag) {
    move(e->globalPosition().toPoint() - FDragOffset);
    return;
  }
  FScene->MouseMove(e->position(), ShiftOf(e->modifiers(), e->buttons()));
}

void TdxSceneHost::mousePressEvent(QMouseEvent* e) {
  FScene->MouseDown(e->position(), ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()));
}

void TdxSceneHost::mouseReleaseEvent(QMouseEvent* e) {
  if (FManualDrag) {
    FManualDrag = false;
    return;
  }
  FScene->MouseUp(e->position(), ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()));
}

void TdxSceneHost::mouseDoubleClickEvent(QMouseEvent* e) {
  mousePressEvent(e);
}

void TdxSceneHost::wheelEvent(QWheelEvent* e) {
  FScene->MouseWheel(e->position(), e->angleDelta().y(), ShiftOf(e->modifiers(), e->buttons()));
}

void TdxSceneHost::leaveEvent(QEvent*) {
  FScene->MouseLeave();
}

void TdxSceneHost::keyPressEvent(QKeyEvent* e) {
  FScene->KeyDown(vgVirtualKey(e->key()), e->text(), ShiftOf(e->modifiers()));
}

void TdxSceneHost::keyReleaseEvent(QKeyEvent* e) {
  FScene->KeyUp(vgVirtualKey(e->key()), e->text(), ShiftOf(e->modifiers()));
}

void TdxSceneHost::inputMethodEvent(QInputMethodEvent* e) {
  FScene->InputMethod(e->commitString(), e->preeditString());
  e->accept();
}

QVariant TdxSceneHost::inputMethodQuery(Qt::InputMethodQuery query) const {
  if (query == Qt::ImCursorRectangle) return FScene->CaretRect().toRect();
  if (query == Qt::ImEnabled) return FScene->Focused() != nullptr;
  return QWidget::inputMethodQuery(query);
}

bool TdxSceneHost::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    const QString hint = FScene->HintAt(help->pos());
    if (hint.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), hint, this);
    return true;
  }
  return QWidget::event(e);
}
