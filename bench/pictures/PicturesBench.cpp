// What the window pays at start for its pictures. Every iteration empties the cache first, so
// the figures are those of a first use: reading the SVG, parsing and rendering.
#include <benchmark/benchmark.h>
#include <QGuiApplication>

#include "scene/Bitmap.h"
#include "window/Pictures.h"

namespace {

void BM_Picture(benchmark::State& state) {
  const auto which = TPicture(state.range(0));
  const qreal dpr = qreal(state.range(1));
  for (auto _ : state) {
    Pictures::ClearCache();
    benchmark::DoNotOptimize(Pictures::Picture(which, {}, dpr));
  }
}
BENCHMARK(BM_Picture)
    ->ArgNames({"picture", "dpr"})
    ->ArgsProduct({{int(TPicture::Background0), int(TPicture::Background8), int(TPicture::Disc),
                    int(TPicture::Artist), int(TPicture::Invitation)},
                   {1, 2}})
    ->Unit(benchmark::kMillisecond);

void BM_BitmapList(benchmark::State& state) {
  const qreal dpr = qreal(state.range(0));
  for (auto _ : state) {
    Pictures::ClearCache();
    TdxBitmapList list;
    Pictures::FillBitmapList(list, dpr);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_BitmapList)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The settings face's eight thumbnails, drawn at their own 40 × 40.
void BM_Thumbnails(benchmark::State& state) {
  const qreal dpr = qreal(state.range(0));
  for (auto _ : state) {
    Pictures::ClearCache();
    for (int n = 1; n <= 8; ++n)
      benchmark::DoNotOptimize(Pictures::Picture(Pictures::Background(n), {40, 40}, dpr));
  }
}
BENCHMARK(BM_Thumbnails)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Everything the form takes at start: the list, the default background, disc, artist,
// invitation, message picture, page arrows, the thumbnails and the tray icon.
void BM_FormStart(benchmark::State& state) {
  const qreal dpr = qreal(state.range(0));
  for (auto _ : state) {
    Pictures::ClearCache();
    TdxBitmapList list;
    Pictures::FillBitmapList(list, dpr);
    for (TPicture w :
         {TPicture::Background0, TPicture::Disc, TPicture::Artist, TPicture::Invitation,
          TPicture::Message, TPicture::PagePrevious, TPicture::PageNext})
      benchmark::DoNotOptimize(Pictures::Picture(w, {}, dpr));
    for (int n = 1; n <= 8; ++n)
      benchmark::DoNotOptimize(Pictures::Picture(Pictures::Background(n), {40, 40}, dpr));
    benchmark::DoNotOptimize(Pictures::AppIcon());
  }
}
BENCHMARK(BM_FormStart)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
