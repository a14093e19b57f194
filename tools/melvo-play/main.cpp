// melvo-play: plays one file or URL through the audio engine without a window and prints what
// the engine reports, until the stream ends or the opening fails.
#include "audio/AudioEngine.h"
#include "audiolib/OnDemandFfmpeg.h"

#include <QCoreApplication>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
  std::string target;
  int printEveryTicks = 10;
  float volume = 1.0f;
  float seekMs = -1;
  double stopAfterSeconds = 0;
  bool quiet = false;
  bool cpu = false;
  bool noTick = false;
};

void PrintUsage() {
  std::fprintf(
      stderr,
      "usage: melvo-play [--every N] [--volume V] [--seek MS] [--for SECONDS] [--quiet] "
      "[--cpu] FILE|URL\n"
      "  --every N     print the progress every N ticks of 50 ms (default 10)\n"
      "  --volume V    stream volume 0..1 (default 1)\n"
      "  --seek MS     seek to MS milliseconds once playing\n"
      "  --for S       stop after S seconds of playback\n"
      "  --quiet       print only state changes and failures\n"
      "  --cpu         print the process's CPU time at the end\n"
      "  --no-progress attach no progress handler (the engine's tick then does nothing)\n");
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--every" && hasValue)
      o.printEveryTicks = std::max(1, std::atoi(argv[++i]));
    else if (a == "--volume" && hasValue)
      o.volume = std::strtof(argv[++i], nullptr);
    else if (a == "--seek" && hasValue)
      o.seekMs = std::strtof(argv[++i], nullptr);
    else if (a == "--for" && hasValue)
      o.stopAfterSeconds = std::strtod(argv[++i], nullptr);
    else if (a == "--quiet")
      o.quiet = true;
    else if (a == "--cpu")
      o.cpu = true;
    else if (a == "--no-progress")
      o.noTick = true;
    else if (!a.empty() && a[0] != '-' && o.target.empty())
      o.target = a;
    else
      return false;
  }
  return !o.target.empty();
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    PrintUsage();
    return 2;
  }
  // The times printed are the engine's own: the decoding libraries are opened before they start.
  melvo::audiolib::ondemand::openFfmpeg();
  std::string pluginPath = QCoreApplication::applicationDirPath().toStdString() + "/";
  TAudioEngine engine(0, pluginPath);
  engine.SetVolume(o.volume);
  auto started = std::chrono::steady_clock::now();
  auto elapsedMs = [&] {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
        .count();
  };
  int exitCode = 0;
  int ticks = 0;
  bool seeked = false;

  engine.SetOnAudioEvent([&](int32_t state) {
    std::printf("%9.1f ms  state %d", elapsedMs(), state);
    if (state == psPlaying)
      std::printf("  length %.0f ms  bitrate %d kbit/s", engine.GetSongLen(), engine.Bitrate());
    std::printf("\n");
    if (state == psPlaying && o.seekMs >= 0 && !seeked) {
      seeked = true;
      engine.SetSongPos(o.seekMs);
    }
    std::fflush(stdout);
  });
  engine.SetOnAudioFinish([&](int32_t state) {
    std::printf("%9.1f ms  finish %d\n", elapsedMs(), state);
    std::fflush(stdout);
    if (state == psEnded) QTimer::singleShot(0, &app, [&] { app.quit(); });
  });
  engine.SetOnAudioFail([&](int32_t state, int32_t code) {
    std::printf("%9.1f ms  fail state %d code %d\n", elapsedMs(), state, code);
    std::fflush(stdout);
    exitCode = 1;
    if (state == psOpenFailed) QTimer::singleShot(0, &app, [&] { app.quit(); });
  });
  if (!o.noTick)
    engine.SetOnAudioProcess(
        [&](int32_t state, float maxPos, float curPos, const TFFTData&, const TWaveData&) {
          if (o.quiet || ++ticks % o.printEveryTicks != 0) return;
          int32_t r = 0, l = 0;
          engine.GetVULevel(r, l);
          std::printf("%9.1f ms  state %d  pos %.0f / %.0f ms  bitrate %d  level L %d R %d\n",
                      elapsedMs(), state, curPos, maxPos, engine.Bitrate(), l, r);
          std::fflush(stdout);
        });
  if (o.stopAfterSeconds > 0)
    QTimer::singleShot(static_cast<int>(o.stopAfterSeconds * 1000), &app, [&] {
      engine.Stop();
      app.quit();
    });

  engine.Play(o.target);
  app.exec();
  if (o.cpu)
    std::printf("cpu %.3f s  wall %.3f s  audio %.3f s\n", CpuSeconds(), elapsedMs() / 1000.0,
                engine.GetSongPos() / 1000.0);
  return exitCode;
}
