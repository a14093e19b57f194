// The life of the window: activation, hiding to the tray and coming back, closing, the
// application-wide exception policy and the five-minute version check.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "online/Version.h"
#include "online/Workers.h"
#include "online/common.h"
#include "window/unitMain.h"

namespace {

std::optional<bool>& TrayOverride() {
  static std::optional<bool> value;
  return value;
}

}  // namespace

bool TunitMain::TrayAvailable() {
  if (TrayOverride()) return *TrayOverride();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void TunitMain::SetTrayAvailableForTesting(std::optional<bool> available) {
  TrayOverride() = available;
}

void TunitMain::CreateTray() {
  QObject::connect(TrayIcon1.get(), &QSystemTrayIcon::activated, this,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     Guarded("TrayIcon1Activated", [&] { TrayIcon1Activated(reason); });
                   });
  // Where there is no tray, the window's own menu is the way to quit.
  FWindowMenu = std::make_unique<QMenu>();
  QAction* quit = FWindowMenu->addAction(QStringLiteral("退出"));
  QObject::connect(quit, &QAction::triggered, this,
                   [this] { Guarded("N4Click", [this] { N4Click(nullptr); }); });
  if (TrayAvailable()) TrayIcon1->show();
}

void TunitMain::FormActivate(TvxObject*) {
  if (IsWindows7()) initTaskbar();
}

void TunitMain::FormClose(TvxObject*, TCloseAction&) {
  ReportClose();
  WriteConfig(CurConfig.get());
}

void TunitMain::btnCloseClick(TvxObject*) {
  ReportClick("btnClose");
  if (!TrayAvailable()) {
    // No way back from a hidden window here: minimise instead.
    showMinimized();
    return;
  }
  hide();
  TrayIcon1->showMessage(QString(), QString());
}

void TunitMain::N4Click(TvxObject*) {
  close();
}

void TunitMain::TrayIcon1DblClick(TvxObject*) {
  show();
  if (isMinimized()) showNormal();
  IFLAG = true;
  if (IsWindows7()) initTaskbar();
}

// Panels that speak the StatusNotifierItem protocol send one activation (Trigger) and never a
// double click: both bring the window back.
void TunitMain::TrayIcon1Activated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
    TrayIcon1DblClick(nullptr);
}

void TunitMain::Timer1Timer(TvxObject*) {
  online::TCheckVersion(online::VersionCheckUrl());
}

void TunitMain::AppMinimize(TvxObject*) {}

void TunitMain::AppRestore(TvxObject*) {
  if (isMinimized()) showNormal();
}

void TunitMain::IgnoreException(std::exception_ptr) {
  ++FIgnoredExceptions;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TunitMain::BringToFront() {
  if (isHidden()) show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (QWindow* w = windowHandle()) w->requestActivate();
  // Wayland grants activation only with a token; otherwise the window asks for attention.
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
    QTimer::singleShot(200, this, [this] {
      if (!isActiveWindow()) QApplication::alert(this);
    });
}

// Centred when first shown, and kept inside the screen's free area (small screens, panels).
void TunitMain::EnsureOnScreen() {
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s == nullptr) return;
  const QRect area = s->availableGeometry();
  QRect r = frameGeometry();
  if (!FPlaced) {
    r.moveCenter(area.center());
    FPlaced = true;
  }
  if (r.right() > area.right()) r.moveRight(area.right());
  if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
  if (r.left() < area.left()) r.moveLeft(area.left());
  if (r.top() < area.top()) r.moveTop(area.top());
  if (r.topLeft() != frameGeometry().topLeft()) move(r.topLeft());
}

void TunitMain::ShowWindowMenu(const QPoint& globalPos) {
  FWindowMenu->popup(globalPos);
}

void TunitMain::closeEvent(QCloseEvent* event) {
  if (!FClosed) {
    FClosed = true;
    TCloseAction action = caFree;
    Guarded("FormClose", [&] { FormClose(this->mainBs, action); });
  }
  event->accept();
  // Closing the main window ends the message loop (hiding and menus never do).
  QCoreApplication::quit();
}

void TunitMain::showEvent(QShowEvent* event) {
  if (QWindow* w = windowHandle(); w && !FWatchingScreen) {
    FWatchingScreen = true;
    QObject::connect(w, &QWindow::screenChanged, this, [this] { EnsureOnScreen(); });
  }
  EnsureOnScreen();
  TdxSceneHost::showEvent(event);
}

void TunitMain::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized())
      Guarded("AppMinimize", [this] { AppMinimize(nullptr); });
    else if (change->oldState() & Qt::WindowMinimized)
      Guarded("AppRestore", [this] { AppRestore(nullptr); });
  }
  TdxSceneHost::changeEvent(event);
}

void TunitMain::contextMenuEvent(QContextMenuEvent* event) {
  // Without a tray the top bar and the empty ground offer "退出".
  if (!TrayAvailable() && (event->pos().y() < 60 || !mainBs->ObjectAtPoint(event->pos()))) {
    ShowWindowMenu(event->globalPos());
    event->accept();
    return;
  }
  TdxSceneHost::contextMenuEvent(event);
}

// Once the first frame is painted the decoding libraries are opened in the background (the
// program does not load them at start), so that the first song starts at once.
// For the start-up benchmark: MELVO_START_NS (wall-clock nanoseconds taken just before the
// program was started) makes the first painted frame print how long it took and the processor
// time spent until then.
void TunitMain::paintEvent(QPaintEvent* event) {
  TdxSceneHost::paintEvent(event);
  if (FPainted) return;
  FPainted = true;
  QTimer::singleShot(0, this, [] { TAudioEngine::PrepareDecoding(); });
  const QByteArray start = qgetenv("MELVO_START_NS");
  if (start.isEmpty()) return;
  const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  // The processor time of all threads so far: on a busy machine it says more than the wall time.
  timespec cpu{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  std::fprintf(stderr, "first-paint-ms %.1f cpu-ms %.1f\n", double(now - start.toLongLong()) / 1e6,
               double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6);
}

bool TunitMain::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    Guarded("FormActivate", [this] { FormActivate(this->mainBs); });
  return TdxSceneHost::event(event);
}
