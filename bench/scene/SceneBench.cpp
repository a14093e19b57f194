// Paint costs of the scene: full repaint of a window-sized scene, scrolling a long list, and
// one animation tick of the turning disc.
#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QPainter>

#include "MainLikeScene.h"
#include "scene/Animation.h"

namespace {

double gNow = 1;

// Repaints what the scene reported as changed, as the window would.
struct DirtyCanvas {
  explicit DirtyCanvas(TdxScene* s)
      : scene(s), image(550, 330, QImage::Format_ARGB32_Premultiplied) {
    image.fill(Qt::transparent);
    scene->OnInvalidate = [this](const QRectF& r) {
      dirty += r.toAlignedRect().adjusted(-1, -1, 1, 1);
    };
  }
  qint64 Flush() {
    qint64 pixels = 0;
    if (dirty.isEmpty()) return 0;
    QPainter p(&image);
    p.setClipRegion(dirty);
    const QRect r = dirty.boundingRect();
    scene->Render(p, r);
    pixels = qint64(r.width()) * r.height();
    dirty = QRegion();
    return pixels;
  }
  TdxScene* scene;
  QImage image;
  QRegion dirty;
};

void BM_FullRepaintWithList(benchmark::State& state) {
  MainLikeScene m = BuildMainLikeScene(int(state.range(0)), false);
  QImage image(550, 330, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter p(&image);
    m.Scene->Render(p, QRectF(0, 0, 550, 330));
  }
  delete m.Scene;
}
BENCHMARK(BM_FullRepaintWithList)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ScrollFrameOfLongList(benchmark::State& state) {
  MainLikeScene m = BuildMainLikeScene(10000, false);
  DirtyCanvas canvas(m.Scene);
  canvas.Flush();
  float step = 7;
  for (auto _ : state) {
    if (m.List->ScrollOffset() + step > m.List->ContentHeight() - m.List->ViewportHeight() ||
        m.List->ScrollOffset() + step < 0)
      step = -step;
    m.List->ScrollBy(step);
    canvas.Flush();
  }
  delete m.Scene;
}
BENCHMARK(BM_ScrollFrameOfLongList)->Unit(benchmark::kMillisecond);

void BM_WheelJumpOfLongList(benchmark::State& state) {
  MainLikeScene m = BuildMainLikeScene(10000, false);
  DirtyCanvas canvas(m.Scene);
  canvas.Flush();
  int i = 0;
  for (auto _ : state) {
    m.List->ScrollTo(float((i++ * 7919) % 10000) * kSongHeight);
    canvas.Flush();
  }
  delete m.Scene;
}
BENCHMARK(BM_WheelJumpOfLongList)->Unit(benchmark::kMillisecond);

void BM_DiscRotationTick(benchmark::State& state) {
  TvxAniThread::SetClock([] { return gNow; });
  MainLikeScene m = BuildMainLikeScene(10, true);
  DirtyCanvas canvas(m.Scene);
  canvas.Flush();
  m.Spin->Start();
  canvas.Flush();
  qint64 pixels = 0;
  for (auto _ : state) {
    gNow += 0.033;
    TvxAniThread::Instance().Tick();
    pixels += canvas.Flush();
  }
  state.counters["px/tick"] =
      benchmark::Counter(double(pixels), benchmark::Counter::kAvgIterations);
  delete m.Scene;
}
BENCHMARK(BM_DiscRotationTick)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
