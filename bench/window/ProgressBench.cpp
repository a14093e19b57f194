// The playback controller's share of steady playback: one progress tick (bar, time texts,
// listening bookkeeping, spectrum picture into the playing entry) and the repaint it causes,
// with the now-playing view shown. Twenty ticks make one second of playback.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <ctime>

#include "window/unitMain.h"

namespace {

void BM_ProgressTick(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "melvo-bench-progress";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
  QTemporaryDir home;
  for (const char* var :
       {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
    const QString dir = home.path() + "/" + var;
    QDir().mkpath(dir);
    qputenv(var, dir.toUtf8());
  }
  InitDatabase();
  TTSL song;
  song.s_title = "steady";
  song.s_singer = "singer";
  song.s_path = "/nowhere/steady.mp3";
  AddSongs({song});
  TunitMain::SetReportSink([](const std::string&, const std::string&) {});
  TunitMain w;
  w.show();
  w.ShowPlayView(fvList);
  w.MarkPlayingItem(0, 0);
  QApplication::processEvents();
  TFFTData fft{};
  TWaveData wave{};
  float pos = 0;
  int tick = 0;
  timespec t0{}, t1{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
  for (auto _ : state) {
    pos += 50;
    ++tick;
    for (int i = 15; i <= 20; ++i) fft[i] = float(0.035 * (1 + std::sin(0.3 * tick + i)));
    w.UpdatePlayProgress(psPlaying, 240000, pos, fft, wave);
    QApplication::processEvents();  // the repaint the tick asks for
  }
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t1);
  const double cpu = double(t1.tv_sec - t0.tv_sec) + 1e-9 * double(t1.tv_nsec - t0.tv_nsec);
  // Processor time of the whole process per tick, times 20 ticks a second, as % of one core.
  state.counters["core_percent"] = cpu / double(state.iterations()) * 20 * 100;
}
BENCHMARK(BM_ProgressTick)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
