// The no-sound output: takes audio at the real-time rate and throws it away. Like a sound card it
// takes one period ahead of what is being heard; a wake-up (a stream started or moved) drops what
// is queued and takes the new audio at once, so starts and seeks are heard without a period's wait.
// MELVO_NOSOUND_LATENCY_MS adds a sound system's latency: every frame is heard that much later
// than it was taken (what a test of the latency's compensation needs).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "audiolib/Mixer.h"
#include "audiolib/OutputSink.h"

namespace melvo::audiolib {
namespace {

constexpr int kPeriodMs = 40;
constexpr int kIdleMs = 200;

class NoSoundSink final : public OutputSink {
 public:
  explicit NoSoundSink(Mixer& mixer) : mixer_(mixer) {}
  ~NoSoundSink() override { close(); }

  bool open(int rate) override {
    rate_ = rate;
    out_.assign(size_t(Mixer::kMaxFrames) * 2, 0.0f);
    running_ = true;
    quit_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
  }

  void close() override {
    if (!thread_.joinable()) return;
    quit_ = true;
    wake();
    thread_.join();
  }

  void setRunning(bool on) override {
    running_ = on;
    if (on) wake();
  }

  void wake() override {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(idleMutex_);
      woken_ = true;
    }
    idleWake_.notify_all();
  }

 private:
  void run();

  Mixer& mixer_;
  int rate_ = 44100;
  std::vector<float> out_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> running_{true};
  std::mutex idleMutex_;
  std::condition_variable idleWake_;
  bool woken_ = false;
};

void NoSoundSink::run() {
  using clock = std::chrono::steady_clock;
  const int64_t period = int64_t(rate_) * kPeriodMs / 1000;
  const char* latencyText = std::getenv("MELVO_NOSOUND_LATENCY_MS");
  const int64_t latency =
      latencyText ? int64_t(rate_) * std::clamp(std::atoi(latencyText), 0, 2000) / 1000 : 0;
  auto start = clock::now();
  int64_t done = 0;  // frames taken since `start`
  bool woken = false;
  auto restart = [&] {
    start = clock::now();
    done = 0;
  };
  while (!quit_.load()) {
    if (!mixer_.audible() || !running_.load()) {
      // Nothing to hear: rest until a stream starts playing (or a while has passed).
      mixer_.setQueued(0);
      if (!woken) {
        std::unique_lock lock(idleMutex_);
        idleWake_.wait_for(lock, std::chrono::milliseconds(kIdleMs),
                           [this] { return quit_.load() || woken_; });
        woken_ = false;
      }
      restart();
      woken = false;
      if (!running_.load()) continue;
    }
    const auto now = clock::now();
    const int64_t heard =
        std::chrono::duration_cast<std::chrono::microseconds>(now - start).count() * rate_ /
        1000000;
    // Woken: what is queued is dropped. Late (slept long): what fell due meanwhile is taken now,
    // so positions keep to the clock (up to a second; after that the clock wins).
    if (woken) mixer_.setQueued(0);
    done = woken ? heard : std::max(done, heard - int64_t(rate_));
    const int64_t due = heard + period;
    while (done < due) {
      int n = int(std::min<int64_t>(due - done, Mixer::kMaxFrames));
      done += n;
      mixer_.mix(out_.data(), n, done - heard + latency);
    }
    auto next = start + std::chrono::microseconds(done * 1000000 / rate_);
    std::unique_lock lock(idleMutex_);
    woken = idleWake_.wait_until(lock, next, [this] { return quit_.load() || woken_; });
    woken_ = false;
  }
}

}  // namespace

std::unique_ptr<OutputSink> makeNoSoundSink(Mixer& mixer) {
  return std::make_unique<NoSoundSink>(mixer);
}

}  // namespace melvo::audiolib
