// Speed of the audio library: decoding cost against FFmpeg's own command-line decode of the same
// file, CPU of steady playback, play-to-first-audio and seek latency on the no-sound device, and
// the open / tag / free cycle a tag probe does.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include "BuildPaths.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "audiolib/AudioLib.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string fixture(const char* name) {
  return melvo::build::FixturesDir() + "/" + name;
}

void initDevice() {
  setenv("MELVO_AUDIO_DEVICE", "nosound", 0);
  BASS_Init(-1, 44100, 0, nullptr, nullptr);
}

double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double audioSeconds(HSTREAM h) {
  return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetLength(h, BASS_POS_BYTE));
}

// Whole-file decode through a decoding channel (the work the decoder thread does in playback).
void BM_DecodeMp3(benchmark::State& state) {
  initDevice();
  const std::string path = fixture("long180.mp3");
  double cpu = 0, audio = 0;
  static char buf[65536];
  for (auto _ : state) {
    double before = cpuSeconds(RUSAGE_SELF);
    HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    audio += audioSeconds(h);
    while (BASS_ChannelGetData(h, buf, sizeof(buf)) != DWORD(-1)) {
    }
    BASS_StreamFree(h);
    cpu += cpuSeconds(RUSAGE_SELF) - before;
  }
  state.counters["cpu_ms_per_audio_s"] = 1000 * cpu / audio;
}
BENCHMARK(BM_DecodeMp3)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same file through `ffmpeg -threads 1 -f null -`, measured as child CPU time.
void BM_FfmpegNullDecode(benchmark::State& state) {
  const std::string path = fixture("long180.mp3");
  double cpu = 0;
  int runs = 0;
  for (auto _ : state) {
    double before = cpuSeconds(RUSAGE_CHILDREN);
    const char* argv[] = {"ffmpeg", "-nostdin",   "-loglevel", "quiet", "-threads", "1",
                          "-i",     path.c_str(), "-f",        "null",  "-",        nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("ffmpeg not found");
      return;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    cpu += cpuSeconds(RUSAGE_CHILDREN) - before;
    ++runs;
  }
  state.counters["cpu_ms_per_audio_s"] = 1000 * cpu / (180.0 * runs);
}
BENCHMARK(BM_FfmpegNullDecode)->Unit(benchmark::kMillisecond)->Iterations(5);

// Process CPU while one MP3 plays in real time on the no-sound device (decoder + mixer threads).
void BM_SteadyPlaybackCpu(benchmark::State& state) {
  initDevice();
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("long180.mp3").c_str(), 0, 0, 0);
  BASS_ChannelPlay(h, FALSE);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the initial buffer fill
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    double before = cpuSeconds(RUSAGE_SELF);
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    wall += std::chrono::duration<double>(Clock::now() - start).count();
    cpu += cpuSeconds(RUSAGE_SELF) - before;
  }
  BASS_StreamFree(h);
  state.counters["cpu_percent_of_core"] = 100 * cpu / wall;
  state.counters["cpu_ms_per_audio_s"] = 1000 * cpu / wall;
}
BENCHMARK(BM_SteadyPlaybackCpu)->Unit(benchmark::kMillisecond)->Iterations(2);

// The output side alone: the no-sound device running with nothing to play.
void BM_IdleDeviceCpu(benchmark::State& state) {
  initDevice();
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    double before = cpuSeconds(RUSAGE_SELF);
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    wall += std::chrono::duration<double>(Clock::now() - start).count();
    cpu += cpuSeconds(RUSAGE_SELF) - before;
  }
  state.counters["cpu_ms_per_s"] = 1000 * cpu / wall;
}
BENCHMARK(BM_IdleDeviceCpu)->Unit(benchmark::kMillisecond)->Iterations(2);

// From BASS_ChannelPlay on a freshly opened file until the device has taken its first samples.
void BM_PlayToFirstAudio(benchmark::State& state) {
  initDevice();
  const std::string path = fixture("long180.mp3");
  for (auto _ : state) {
    state.PauseTiming();
    HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    state.ResumeTiming();
    BASS_ChannelPlay(h, FALSE);
    while (BASS_ChannelGetPosition(h, BASS_POS_BYTE) == 0) std::this_thread::yield();
    state.PauseTiming();
    BASS_StreamFree(h);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PlayToFirstAudio)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// From BASS_ChannelSetPosition on a playing stream until audio from the new place is heard.
void BM_SeekLatency(benchmark::State& state) {
  initDevice();
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("long180.mp3").c_str(), 0, 0, 0);
  BASS_ChannelPlay(h, FALSE);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  double at = 10;
  for (auto _ : state) {
    at = at > 160 ? 10 : at + 17.3;
    QWORD target = BASS_ChannelSeconds2Bytes(h, at);
    BASS_ChannelSetPosition(h, target, BASS_POS_BYTE);
    while (BASS_ChannelGetPosition(h, BASS_POS_BYTE) <= target) std::this_thread::yield();
  }
  BASS_StreamFree(h);
}
BENCHMARK(BM_SeekLatency)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// What the tag probe costs the library per file: open, length, three tags, free.
void BM_OpenTagsFree(benchmark::State& state) {
  initDevice();
  const std::string path = fixture("tagged_utf16.mp3");
  for (auto _ : state) {
    HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_UNICODE);
    benchmark::DoNotOptimize(BASS_ChannelBytes2Seconds(h, BASS_ChannelGetLength(h, BASS_POS_BYTE)));
    benchmark::DoNotOptimize(TAGS_Read(h, "%TITL"));
    benchmark::DoNotOptimize(TAGS_Read(h, "%ARTI"));
    benchmark::DoNotOptimize(TAGS_Read(h, "%ALBM"));
    BASS_StreamFree(h);
  }
  state.counters["files_per_s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OpenTagsFree)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
