// Shared set-up of the window tests: an application, private XDG folders, reports caught before
// the network, a fast animation clock, and helpers that click components through the scene.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scene/Animation.h"
#include "window/unitMain.h"

inline QApplication& WindowTestApp() {
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "melvo-window-tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  return *static_cast<QApplication*>(QCoreApplication::instance());
}

// Animation time runs kSpeed times faster than the wall clock, so that transitions take a
// fraction of their length while keeping their steps.
inline constexpr double kSpeed = 4.0;

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowTestApp();
    ASSERT_TRUE(home_.isValid());
    for (const char* var : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
      const QString dir = home_.path() + "/" + var;
      QDir().mkpath(dir);
      qputenv(var, dir.toUtf8());
    }
    const QString runtime = home_.path() + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    // As the program does before it makes the window.
    ASSERT_TRUE(InitDatabase());
    // One clock for the whole program: the tick source keeps its start time between tests.
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    TvxAniThread::SetClock([] { return 1.0 + clock.nsecsElapsed() * 1e-9 * kSpeed; });
    TunitMain::SetReportSink([this](const std::string& oper, const std::string& name) {
      reports.emplace_back(oper, name);
    });
    TunitMain::SetTrayAvailableForTesting(true);
  }
  void TearDown() override {
    window.reset();
    TunitMain::SetCreateProbe(nullptr);
    TunitMain::SetHandlerProbe(nullptr);
    TunitMain::SetUrlOpener(nullptr);
    TunitMain::SetTrayAvailableForTesting(std::nullopt);
    CurConfig.reset();
  }

  // A configuration as stored and as read at start.
  void StoreConfig(const TTSC& config) {
    WriteConfig(&config);
    CurConfig = std::make_unique<TTSC>(config);
  }

  TunitMain& Open(const QStringList& params = {}) {
    window = std::make_unique<TunitMain>(params);
    window->show();
    QApplication::processEvents();
    return *window;
  }

  // Centre of a visual component in scene coordinates.
  QPointF ScenePoint(TvxVisualObject* v, QPointF local = QPointF(-1, -1)) {
    if (local.x() < 0) local = v->LocalRect().center();
    const QPointF layer = v->LocalToLayer().map(local);
    return window->GuiMain->LayerToScene()->map(layer);
  }
  void Click(TvxVisualObject* v) {
    const QPointF p = ScenePoint(v);
    window->mainBs->MouseMove(p, 0);
    window->mainBs->MouseDown(p, mbLeft, ssLeft);
    window->mainBs->MouseUp(p, mbLeft, 0);
  }
  void Hover(TvxVisualObject* v) { window->mainBs->MouseMove(ScenePoint(v), 0); }
  // Lets the event loop run for `ms` of wall time.
  void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  // Lets the animations run for `seconds` of their time, and then for one more tick (a loaded
  // machine may delay ticks, never skip them).
  void PumpAnimation(double seconds) {
    TvxAniThread& ticks = TvxAniThread::Instance();
    const double until = TvxAniThread::Now() + seconds;
    QElapsedTimer guard;
    guard.start();
    auto pump = [] {
      QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    };
    while (TvxAniThread::Now() < until && guard.elapsed() < 10000) pump();
    const float last = ticks.Time();
    while (ticks.TimerActive() && ticks.Time() == last && guard.elapsed() < 10000) pump();
  }
  // Runs the event loop until done() holds (false after 5 s of wall time).
  template <class F>
  bool PumpUntil(F&& done) {
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
      if (guard.elapsed() > 5000) return false;
      QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
  }
  // Animation seconds spent by fn.
  template <class F>
  double AnimationSeconds(F&& fn) {
    const double start = TvxAniThread::Now();
    fn();
    return TvxAniThread::Now() - start;
  }
  bool Reported(const std::string& oper, const std::string& name) const {
    for (const auto& r : reports)
      if (r.first == oper && r.second == name) return true;
    return false;
  }

  QTemporaryDir home_;
  std::vector<std::pair<std::string, std::string>> reports;
  std::unique_ptr<TunitMain> window;
};
