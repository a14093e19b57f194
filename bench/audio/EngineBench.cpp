// Engine speed: Play to first audio, seek, and the probe over many tagged MP3s side by side
// with TagLib alone. Runs on the no-sound device unless the environment says otherwise.
#include "BuildPaths.h"
#include "audio/AudioEngine.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Fixture(const std::string& name) {
  return melvo::build::FixturesDir() + "/" + name;
}

std::unique_ptr<TAudioEngine> gEngine;  // made on first use, destroyed before the application

TAudioEngine& Engine() {
  if (!gEngine) gEngine = std::make_unique<TAudioEngine>(0, melvo::build::BinDir() + "/");
  return *gEngine;
}

void ProcessEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

template <typename Pred>
bool SpinUntil(Pred pred, double timeoutSeconds = 5) {
  auto deadline = Clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (!pred()) {
    if (Clock::now() > deadline) return false;
    ProcessEvents();
  }
  return true;
}

// A folder of copies of three-minute MP3s with tags and a cover picture, as an import meets them:
// a constant-rate one with an Info frame and a variable-rate one with a Xing frame, both made with
// ffmpeg once per run (MELVO_PROBE_FILES copies, 400 by default).
const std::vector<std::string>& TaggedCopies() {
  static std::vector<std::string> files = [] {
    fs::path dir = fs::temp_directory_path() / ("melvo-probe-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::atexit([] {
      fs::remove_all(fs::temp_directory_path() /
                     ("melvo-probe-bench-" + std::to_string(::getpid())));
    });
    const std::string cover = (dir / "cover.jpg").string();
    const std::string make =
        "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
        "'mandelbrot=size=500x500:end_pts=1' -frames:v 1 -q:v 3 '" +
        cover + "'";
    if (std::system(make.c_str()) != 0) return std::vector<std::string>{};
    std::vector<std::string> kinds;
    for (const char* rate : {"-b:a 192k", "-q:a 2"}) {
      const std::string mp3 = (dir / ("base" + std::to_string(kinds.size()) + ".mp3")).string();
      const std::string encode =
          "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
          "'aevalsrc=0.3*sin(2*PI*440*t)+0.1*sin(2*PI*3100*t):s=44100:d=180:c=stereo' -i '" +
          cover + "' -map 0 -map 1 -c:a libmp3lame " + rate +
          " -c:v copy -id3v2_version 3 -metadata title='夜空中最亮的星' -metadata artist='逃跑计划'"
          " -metadata album='世界' -metadata:s:v comment='Cover (front)' '" +
          mp3 + "'";
      if (std::system(encode.c_str()) != 0) return std::vector<std::string>{};
      kinds.push_back(mp3);
    }
    const char* count = std::getenv("MELVO_PROBE_FILES");
    const int n = count ? std::max(2, std::atoi(count)) : 400;
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
      fs::path p = dir / ("song" + std::to_string(i) + ".mp3");
      fs::copy_file(kinds[size_t(i) % kinds.size()], p, fs::copy_options::overwrite_existing);
      out.push_back(p.string());
    }
    return out;
  }();
  return files;
}

// Play of a local file until the output has consumed its first samples.
void BM_PlayToFirstAudio(benchmark::State& state) {
  TAudioEngine& engine = Engine();
  bool playing = false;
  engine.SetOnAudioEvent([&](int32_t s) { playing = s == psPlaying; });
  std::string file = Fixture(state.range(0) == 0 ? "tone.mp3" : "tagged.flac");
  for (auto _ : state) {
    playing = false;
    auto start = Clock::now();
    engine.Play(file);
    bool ok =
        SpinUntil([&] { return playing; }) && SpinUntil([&] { return engine.GetSongPos() > 0; });
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!ok) state.SkipWithError("no audio");
    engine.Stop();
  }
  state.SetLabel(file.substr(file.rfind('/') + 1));
}
BENCHMARK(BM_PlayToFirstAudio)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

// Plays the 180 s file and waits until it is heard; marks the benchmark skipped when it is not.
bool StartLongFile(TAudioEngine& engine, benchmark::State& state) {
  bool playing = false;
  engine.SetOnAudioEvent([&](int32_t s) { playing = s == psPlaying; });
  engine.Play(Fixture("long180.mp3"));
  bool ok = SpinUntil([&] { return playing; });
  engine.SetOnAudioEvent({});
  if (!ok) state.SkipWithError("not playing");
  return ok;
}

// Seek of a playing local file until audio from the new place has been heard (the position
// moves on from the target).
void BM_Seek(benchmark::State& state) {
  TAudioEngine& engine = Engine();
  if (!StartLongFile(engine, state)) return;
  float target = 1000;
  for (auto _ : state) {
    target = target > 170000 ? 1000 : target + 7919;
    auto start = Clock::now();
    engine.SetSongPos(target);
    bool ok = SpinUntil([&] {
      float p = engine.GetSongPos();
      return p > target && p < target + 500;
    });
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!ok) state.SkipWithError("position did not follow");
  }
  engine.Stop();
}
BENCHMARK(BM_Seek)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// The seek call alone, without waiting for the output to play from the new place.
void BM_SeekCall(benchmark::State& state) {
  TAudioEngine& engine = Engine();
  if (!StartLongFile(engine, state)) return;
  float target = 1000;
  for (auto _ : state) {
    target = target > 170000 ? 1000 : target + 7919;
    engine.SetSongPos(target);
  }
  engine.Stop();
}
BENCHMARK(BM_SeekCall)->Unit(benchmark::kMicrosecond)->Iterations(200);

// One progress tick of a playing stream: length, position, samples and spectrum to a handler.
void BM_Tick(benchmark::State& state) {
  TAudioEngine& engine = Engine();
  bool playing = false;
  engine.SetOnAudioEvent([&](int32_t s) { playing = s == psPlaying; });
  float sink = 0;
  engine.SetOnAudioProcess(
      [&](int32_t, float maxPos, float curPos, const TFFTData& fft, const TWaveData& wave) {
        sink += maxPos + curPos + fft[23] + static_cast<float>(wave[7]);
      });
  engine.Play(Fixture("long180.mp3"));
  if (!SpinUntil([&] { return playing; }) ||
      !SpinUntil([&] { return engine.GetSongPos() > 100; })) {
    state.SkipWithError("not playing");
    return;
  }
  for (auto _ : state) engine.OnTimer();
  benchmark::DoNotOptimize(sink);
  engine.SetOnAudioProcess(nullptr);
  engine.Stop();
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMicrosecond);

void BM_ProbeEngine(benchmark::State& state) {
  TAudioEngine& engine = Engine();
  const auto& files = TaggedCopies();
  for (auto _ : state)
    for (const std::string& f : files) benchmark::DoNotOptimize(engine.GetSongLength(f));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files.size()));
}
BENCHMARK(BM_ProbeEngine)->Unit(benchmark::kMillisecond)->Iterations(3);

// TagLib alone: the same three tags and the length, without opening a decoder.
void BM_ProbeTagLibAlone(benchmark::State& state) {
  const auto& files = TaggedCopies();
  for (auto _ : state)
    for (const std::string& f : files) {
      TagLib::FileRef ref(f.c_str(), true, TagLib::AudioProperties::Fast);
      if (!ref.isNull() && ref.tag()) {
        benchmark::DoNotOptimize(ref.tag()->title().to8Bit(true));
        benchmark::DoNotOptimize(ref.tag()->artist().to8Bit(true));
        benchmark::DoNotOptimize(ref.tag()->album().to8Bit(true));
      }
      if (ref.audioProperties())
        benchmark::DoNotOptimize(ref.audioProperties()->lengthInMilliseconds());
    }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(files.size()));
}
BENCHMARK(BM_ProbeTagLibAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("SDL_AUDIODRIVER") && !std::getenv("MELVO_AUDIO_DEVICE"))
    setenv("MELVO_AUDIO_DEVICE", "nosound", 0);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gEngine.reset();
  return 0;
}
