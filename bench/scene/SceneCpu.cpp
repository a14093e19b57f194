// scene_cpu: runs a real window for a while and reports the processor time it used.
//   scene_cpu --mode idle|disc [--seconds N]
// idle: the play list shown, nothing moving. disc: the 106 x 106 disc turning on the 33 ms tick.
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
  cli.addOption({"mode", "idle or disc", "mode", "idle"});
  cli.addOption({"seconds", "measuring time", "s", "10"});
  cli.process(app);
  const bool disc = cli.value("mode") == "disc";
  const double seconds = cli.value("seconds").toDouble();

  MainLikeScene m = BuildMainLikeScene(10000, disc);
  TdxSceneHost host(m.Scene);
  host.show();
  if (disc) m.Spin->Start();

  double cpuStart = 0;
  int paintsStart = 0;
  QElapsedTimer wall;
  QTimer::singleShot(1000, [&] {  // let the window settle first
    cpuStart = ProcessCpuSeconds();
    paintsStart = host.PaintEvents();
    wall.start();
    QTimer::singleShot(int(seconds * 1000), [&] {
      const double cpu = ProcessCpuSeconds() - cpuStart;
      const double elapsed = wall.elapsed() / 1000.0;
      std::printf("mode=%s wall=%.2fs cpu=%.3fs share=%.2f%% of one core, paint events=%d\n",
                  disc ? "disc" : "idle", elapsed, cpu, 100 * cpu / elapsed,
                  host.PaintEvents() - paintsStart);
      app.quit();
    });
  });
  const int rc = app.exec();
  delete m.Scene;
  return rc;
}
