// The output to a PulseAudio server, against a private server of the test's own whose sink writes
// what it plays, at the real-time rate, into a pipe the test reads: every sample is heard, in real
// time, without gaps after a start or a seek. Skipped where no PulseAudio server can be started.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

using namespace audiolib_test;
using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

// Saves an environment variable and puts it back when the test ends.
class EnvRestore {
 public:
  explicit EnvRestore(const char* name) : name_(name) {
    if (const char* v = std::getenv(name)) {
      had_ = true;
      value_ = v;
    }
  }
  ~EnvRestore() {
    if (had_)
      setenv(name_, value_.c_str(), 1);
    else
      unsetenv(name_);
  }
  EnvRestore(const EnvRestore&) = delete;
  EnvRestore& operator=(const EnvRestore&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string value_;
};

// A PulseAudio server whose only sink is a pipe: 16-bit stereo at 44.1 kHz, paced by the clock.
class PrivateServer {
 public:
  PrivateServer() {
    dir_ = fs::temp_directory_path() / ("melvo-pulse-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "run" / "pulse");
    fs::create_directories(dir_ / "home");
    fs::permissions(dir_ / "run", fs::perms::owner_all);
    const std::string fifo = (dir_ / "sink.fifo").string();
    const std::string socket = (dir_ / "native").string();
    pid_ = ::fork();
    if (pid_ == 0) {
      setenv("HOME", (dir_ / "home").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
      setenv("PULSE_RUNTIME_PATH", (dir_ / "run" / "pulse").c_str(), 1);
      int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const std::string proto = "module-native-protocol-unix auth-anonymous=1 socket=" + socket;
      const std::string sink =
          "module-pipe-sink sink_name=pipe file=" + fifo +
          " format=s16le rate=44100 channels=2 use_system_clock_for_timing=yes";
      ::execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
               "--system=false", "--disallow-exit", "-L", proto.c_str(), "-L", sink.c_str(),
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // The sink makes its pipe, then the server opens its socket.
    for (int i = 0; i < 100 && !(fs::exists(socket) && fs::exists(fifo)); ++i)
      std::this_thread::sleep_for(50ms);
    if (!fs::exists(socket) || !fs::exists(fifo)) return;
    fd_ = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd_ < 0) return;
    address_ = "unix:" + socket;
    reader_ = std::thread([this] { read(); });
  }

  ~PrivateServer() {
    quit_ = true;
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) ::close(fd_);
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  const std::string& address() const { return address_; }

  // Left channel of what the sink played so far.
  std::vector<int16_t> played() {
    std::lock_guard lock(mutex_);
    std::vector<int16_t> left;
    for (size_t i = 0; i + 3 < bytes_.size(); i += 4)
      left.push_back(int16_t(uint16_t(bytes_[i]) | uint16_t(bytes_[i + 1]) << 8));
    return left;
  }

 private:
  void read() {
    std::vector<unsigned char> buf(65536);
    while (!quit_.load()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      ssize_t n = ::read(fd_, buf.data(), buf.size());
      if (n <= 0) continue;
      std::lock_guard lock(mutex_);
      bytes_.insert(bytes_.end(), buf.begin(), buf.begin() + n);
    }
  }

  fs::path dir_;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string address_;
  std::thread reader_;
  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  std::vector<unsigned char> bytes_;
};

// Stretches of sound in `left`: a run ends at more than 20 silent samples in a row (a tone has
// only single zero samples where it crosses).
struct Sound {
  size_t start, length;
};
std::vector<Sound> soundRuns(const std::vector<int16_t>& left) {
  std::vector<Sound> runs;
  size_t start = 0, last = 0, zeros = 0;
  bool in = false;
  for (size_t i = 0; i < left.size(); ++i) {
    if (left[i] != 0) {
      if (!in) start = i;
      in = true;
      last = i;
      zeros = 0;
    } else if (in && ++zeros > 20) {
      runs.push_back({start, last + 1 - start});
      in = false;
    }
  }
  if (in) runs.push_back({start, last + 1 - start});
  return runs;
}

std::atomic<int> ends{0};
void countEnd(HSYNC, DWORD, DWORD, void*) {
  ++ends;
}

double secondsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

class PulseOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initDevice();
    ASSERT_TRUE(BASS_Free());
    server_ = std::make_unique<PrivateServer>();
    if (server_->address().empty()) {
      BASS_Init(-1, 44100, 0, nullptr, nullptr);
      GTEST_SKIP() << "no PulseAudio server could be started";
    }
    unsetenv("MELVO_AUDIO_DEVICE");
    unsetenv("MELVO_AUDIO_OUTPUT");
    unsetenv("SDL_AUDIODRIVER");
    setenv("PULSE_SERVER", server_->address().c_str(), 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  }
  void TearDown() override {
    BASS_Free();
    server_.reset();
    restore_.clear();  // the test environment again, and its no-sound device
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
  }

  std::unique_ptr<PrivateServer> server_;

 private:
  std::vector<std::shared_ptr<EnvRestore>> restore_{
      std::make_shared<EnvRestore>("MELVO_AUDIO_DEVICE"),
      std::make_shared<EnvRestore>("MELVO_AUDIO_OUTPUT"),
      std::make_shared<EnvRestore>("SDL_AUDIODRIVER"),
      std::make_shared<EnvRestore>("PULSE_SERVER")};
};

// Plays the one-second tone to its end through the open output.
void expectEverySampleHeard(PrivateServer& server, bool gapless) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("sine1k.wav").c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  ends = 0;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr), 0u);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  ASSERT_TRUE(waitFor([] { return ends.load() > 0; }, 10s));
  EXPECT_GT(secondsSince(start), 1.0);
  // The end is reported once the last sample was heard: closing the output at once, as a program
  // does that quits at the end, loses nothing.
  BASS_StreamFree(h);
  ASSERT_TRUE(BASS_Free());
  std::this_thread::sleep_for(100ms);
  const std::vector<Sound> runs = soundRuns(server.played());
  size_t heard = 0;
  for (const Sound& r : runs) heard += r.length;
  EXPECT_EQ(heard, 44099u);  // every sample of the tone but its silent first one
  if (gapless) {
    EXPECT_EQ(runs.size(), 1u);
  }
}

TEST_F(PulseOutputTest, EverySampleIsHeardInRealTimeAndTheEndWaitsForTheLast) {
  expectEverySampleHeard(*server_, true);
}

// Through SDL's own PulseAudio output, which holds a period more than the buffer it fills (its
// short periods may run dry on a busy machine: only the count is checked).
TEST_F(PulseOutputTest, EverySampleIsHeardThroughSdlToo) {
  ASSERT_TRUE(BASS_Free());
  setenv("MELVO_AUDIO_OUTPUT", "sdl", 1);
  setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) GTEST_SKIP() << "SDL cannot reach the server";
  expectEverySampleHeard(*server_, false);
}

// The server asks for long stretches at a time; even the shortest buffer the library allows holds
// a whole one when it asks, so a longer song plays without a gap.
TEST_F(PulseOutputTest, TheShortestBufferFeedsLongRequestsWithoutAGap) {
  const DWORD before = BASS_GetConfig(BASS_CONFIG_BUFFER);
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_BUFFER, 100));
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  BASS_SetConfig(BASS_CONFIG_BUFFER, before);
  ASSERT_NE(h, 0u);
  ends = 0;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr), 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  ASSERT_TRUE(waitFor([] { return ends.load() > 0; }, 10s));
  BASS_StreamFree(h);
  ASSERT_TRUE(BASS_Free());
  std::this_thread::sleep_for(100ms);
  const std::vector<Sound> runs = soundRuns(server_->played());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].length, 88199u);  // all of the 2 s tone but its silent first sample
}

TEST_F(PulseOutputTest, PositionsRunInRealTimeAndASeekLeavesNoGap) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  ends = 0;
  ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, countEnd, nullptr), 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  auto position = [&] { return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, 0)); };
  ASSERT_TRUE(waitFor([&] { return position() > 0.25; }, 10s));
  // Measured against what the sink played meanwhile, not the wall clock: a busy machine may
  // starve the server (both then slow down together), while a position running at half or double
  // the pace of the sound is the fault this guards against.
  const double from = position();
  const size_t playedFrom = server_->played().size();
  auto playedSince = [&] { return double(server_->played().size() - playedFrom) / 44100; };
  ASSERT_TRUE(waitFor([&] { return playedSince() > 0.4; }, 10s));
  const double rate = (position() - from) / playedSince();
  EXPECT_GT(rate, 0.75);
  EXPECT_LT(rate, 1.33);

  const QWORD target = BASS_ChannelSeconds2Bytes(h, 1.5);
  const double heardBefore = position();
  ASSERT_TRUE(BASS_ChannelSetPosition(h, target, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), target);
  ASSERT_TRUE(waitFor([] { return ends.load() > 0; }, 10s));
  std::this_thread::sleep_for(100ms);
  // What was queued before the seek was dropped (but for what the sink had taken already), and the
  // tone goes on from the target at once and to its end: all of the last half second but its
  // silent first sample.
  const std::vector<Sound> runs = soundRuns(server_->played());
  ASSERT_GE(runs.size(), 1u);
  ASSERT_LE(runs.size(), 2u);
  const Sound& before = runs.front();
  if (runs.size() == 2) {
    EXPECT_EQ(runs[1].length, 22049u);
    EXPECT_LT(runs[1].start - (before.start + before.length), 44100u / 20);  // under 50 ms
  }
  const double heard = double(before.length) / 44100 - (runs.size() == 1 ? 0.5 : 0.0);
  EXPECT_GT(heard, heardBefore - 0.03);
  EXPECT_LT(heard, heardBefore + 0.15);
}

// The volume is the stream's own on the server, applied as it plays: a change is heard at once, not
// after the long buffer the server holds (800 ms when the mixer scaled what it handed over).
TEST_F(PulseOutputTest, VolumeChangesAreHeardAtOnce) {
  HSTREAM h = BASS_StreamCreateFile(FALSE, fixture("tone.wav").c_str(), 0, 0, 0);
  StreamGuard g(h);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  auto position = [&] { return BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, 0)); };
  ASSERT_TRUE(waitFor([&] { return position() > 0.3; }, 10s));
  const size_t mutedAt = server_->played().size();
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.0f));
  std::this_thread::sleep_for(500ms);
  const size_t halvedAt = server_->played().size();
  ASSERT_TRUE(BASS_SetVolume(0.5f));  // the master, with the stream at full level again
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 1.0f));
  std::this_thread::sleep_for(400ms);
  ASSERT_TRUE(BASS_ChannelStop(h));
  BASS_SetVolume(1.0f);
  const std::vector<int16_t> left = server_->played();
  ASSERT_GT(left.size(), halvedAt + 44100 / 4);

  auto peak = [&](size_t from, size_t to) {
    int most = 0;
    for (size_t i = from; i < std::min(to, left.size()); ++i)
      most = std::max(most, std::abs(int(left[i])));
    return most;
  };
  // A machine that starves the server for a moment may add some; the buffer would add 800 ms.
  const size_t soon = 44100 / 5;
  size_t silentFrom = mutedAt;
  while (silentFrom < halvedAt && peak(silentFrom, silentFrom + 441) != 0) silentFrom += 441;
  EXPECT_LT(silentFrom - mutedAt, soon);
  EXPECT_EQ(peak(silentFrom, halvedAt), 0);
  size_t soundFrom = halvedAt;
  while (soundFrom < left.size() && peak(soundFrom, soundFrom + 441) == 0) soundFrom += 441;
  EXPECT_LT(soundFrom - halvedAt, soon);
  const double ratio = double(peak(soundFrom + 441, soundFrom + 4410)) / peak(0, mutedAt);
  EXPECT_NEAR(ratio, 0.5, 0.05);
}

}  // namespace
