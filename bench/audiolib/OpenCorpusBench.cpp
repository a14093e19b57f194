// Opening hostile files: a corpus of mutated small WAV and MP3 files, headers with absurd rates,
// channel counts and frame sizes, and 400 MB of zero bytes named .mp3, made in a temporary
// folder. Each file is opened (as playback opens it) and freed; the figures are the slowest
// opening and the highest resident size of the process while it ran, with the file that caused
// each. Aim: under 1 s and under 100 MB for every file. The processor time of each opening is
// shown beside its wall time: on a loaded machine the wall time mostly measures waiting for a core.
// Usage: melvo_audiolib_open_bench [MUTATIONS_PER_SEED]
#include <fcntl.h>
#include <unistd.h>
#include "BuildPaths.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "audiolib/AudioLib.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

void put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, size_t at, uint16_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}

// Resident peak since the last reset, in MB.
double peakMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return -1;
}

double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void resetPeak() {
  int fd = ::open("/proc/self/clear_refs", O_WRONLY);
  if (fd >= 0) {
    (void)!::write(fd, "5", 1);
    ::close(fd);
  }
}

std::vector<fs::path> makeCorpus(const fs::path& dir, int mutations) {
  std::vector<fs::path> files;
  const std::string wav = readFile(melvo::build::FixturesDir() + "/tone.wav").substr(0, 4096);
  const std::string mp3 = readFile(melvo::build::FixturesDir() + "/tone.mp3").substr(0, 8192);
  auto add = [&](const std::string& name, const std::string& bytes) {
    files.push_back(dir / name);
    writeFile(files.back(), bytes);
  };
  // Headers that lie about the format (RIFF "fmt " chunk at offset 20 in our WAV files).
  std::string w = wav;
  put32(w, 24, 536000000);
  add("rate536mhz.wav", w);
  w = wav;
  put32(w, 24, 1);
  add("rate1hz.wav", w);
  w = wav;
  put16(w, 22, 1000);
  add("channels1000.wav", w);
  w = wav;
  put16(w, 32, 65535);
  add("blockalign65535.wav", w);
  w = wav;
  put16(w, 34, 0);
  add("bits0.wav", w);
  // Random byte changes, a few at a time, anywhere in the first kilobyte and anywhere at all.
  std::mt19937 rng(20261210);
  for (int i = 0; i < mutations; ++i) {
    for (const auto* base : {&wav, &mp3}) {
      std::string m = *base;
      const int edits = 1 + int(rng() % 8);
      for (int e = 0; e < edits; ++e) {
        const size_t span = (rng() & 1) ? std::min<size_t>(1024, m.size()) : m.size();
        m[rng() % span] = char(rng());
      }
      add("mut" + std::to_string(i) + (base == &wav ? ".wav" : ".mp3"), m);
    }
  }
  // 400 MB of zero bytes (a sparse file: no disk is written).
  files.push_back(dir / "zeros400mb.mp3");
  {
    std::ofstream(files.back()).close();
    fs::resize_file(files.back(), 400ull << 20);
  }
  // A real start followed by 400 MB of zero bytes.
  files.push_back(dir / "tailzeros.mp3");
  writeFile(files.back(), mp3);
  fs::resize_file(files.back(), 400ull << 20);
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  const int mutations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  setenv("MELVO_AUDIO_DEVICE", "nosound", 0);
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
    std::fprintf(stderr, "no output device: error %d\n", BASS_ErrorGetCode());
    return 1;
  }
  const fs::path dir =
      fs::temp_directory_path() / ("melvo-open-corpus-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const auto files = makeCorpus(dir, mutations);
  double worstMs = 0, worstMb = 0, totalMs = 0, worstCpuMs = 0;
  std::string slowest, biggest;
  int opened = 0;
  for (const fs::path& f : files) {
    resetPeak();
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuMs();
    HSTREAM h = BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, 0);
    if (h) {
      ++opened;
      BASS_ChannelGetLength(h, BASS_POS_BYTE);
      BASS_StreamFree(h);
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuMs() - cpuStart;
    const double mb = peakMb();
    totalMs += ms;
    worstCpuMs = std::max(worstCpuMs, cpu);
    if (ms > 100 || mb > 60)
      std::printf("  %-22s %8.1f ms (processor %6.1f ms) %7.1f MB%s\n", f.filename().c_str(), ms,
                  cpu, mb, h ? "" : " (refused)");
    if (ms > worstMs) worstMs = ms, slowest = f.filename().string();
    if (mb > worstMb) worstMb = mb, biggest = f.filename().string();
  }
  BASS_Free();
  fs::remove_all(dir);
  std::printf("%zu files (%d opened), %.2f ms on average\n", files.size(), opened,
              totalMs / double(files.size()));
  std::printf("slowest opening: %.1f ms (%s); most processor time: %.1f ms\n", worstMs,
              slowest.c_str(), worstCpuMs);
  std::printf("highest resident size: %.1f MB (%s)\n", worstMb, biggest.c_str());
  const bool within = worstMs < 1000 && worstMb < 100;
  std::printf("%s\n", within ? "within 1 s and 100 MB" : "OVER the 1 s / 100 MB aim");
  return within ? 0 : 2;
}
