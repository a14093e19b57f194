// scene_cpu: runs a real window for a while and reports the processor time it used.
//   scene_cpu --mode idle|disc|play [--seconds N]
// idle: the play list shown, nothing moving. disc: the 106 x 106 disc turning on the 33 ms tick.
// play: the now-playing view with the disc and the progress bar's moving band.
#include <unistd.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>

#include "MainLikeScene.h"
#include "scene/SceneHost.h"

namespace {

// User plus system time of this process, in seconds.
double ProcessCpuSeconds() {
  QFile f("/proc/self/stat");
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray line = f.readAll();
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
  return ticks / double(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser cli;
  cli.addOption({"mode", "idle, disc or play", "mode", "idle"});
  cli.addOption({"seconds", "measuring time", "s", "10"});
  cli.process(app);
  const QString mode = cli.value("mode");
  const bool disc = mode != "idle";
  const double seconds = cli.value("seconds").toDouble();

  MainLikeScene m = BuildMainLikeScene(10000, disc);
  TdxSceneHost host(m.Scene);
  if (qEnvironmentVariableIsSet("SCENE_CPU_OPAQUE"))
    host.setAttribute(Qt::WA_TranslucentBackground, false);
  host.show();
  // Diagnostic: tick without repainting, to tell the tick's cost from the window's.
  if (qEnvironmentVariableIsSet("SCENE_CPU_NO_REPAINT")) m.Scene->OnInvalidate = nullptr;
  if (disc) m.Spin->Start();
  // "disc" measures the turning picture alone; "play" keeps the progress band moving too.
  if (mode == "disc") m.Progress->SetVisible(false);

  double cpuStart = 0;
  int paintsStart = 0;
  qint64 pixelsStart = 0;
  qint64 nanosStart = 0;
  QElapsedTimer wall;
  QTimer::singleShot(1000, [&] {  // let the window settle first
    cpuStart = ProcessCpuSeconds();
    paintsStart = host.PaintEvents();
    pixelsStart = host.PaintedPixels();
    nanosStart = host.PaintNanoseconds();
    wall.start();
    QTimer::singleShot(int(seconds * 1000), [&] {
      const double cpu = ProcessCpuSeconds() - cpuStart;
      const double elapsed = wall.elapsed() / 1000.0;
      const int paints = host.PaintEvents() - paintsStart;
      std::printf(
          "mode=%s wall=%.2fs cpu=%.3fs share=%.2f%% of one core, paint events=%d, "
          "%.0f px per paint, %.3f ms inside paint events each\n",
          qPrintable(mode), elapsed, cpu, 100 * cpu / elapsed, paints,
          paints ? double(host.PaintedPixels() - pixelsStart) / paints : 0.0,
          paints ? double(host.PaintNanoseconds() - nanosStart) / paints / 1e6 : 0.0);
      std::fflush(stdout);
      _exit(0);  // the teardown is not what is being measured
    });
  });
  const int rc = app.exec();
  delete m.Scene;
  return rc;
}
