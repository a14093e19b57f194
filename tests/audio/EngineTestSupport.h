// Shared helpers of the engine tests: a Qt event loop to wait in, an event recorder, fixture
// paths and a loopback HTTP server.
#pragma once

#include "BuildPaths.h"
#include "audio/AudioEngine.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace enginetest {

inline QCoreApplication& TestApp() {
  static int argc = 1;
  static char name[] = "melvo-audio-tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Runs the event loop until pred holds or the deadline passes; returns pred's last value.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
  TestApp();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return pred();
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Lets queued calls that are already due run, without waiting for anything in particular.
inline void Drain(int ms = 100) {
  WaitUntil([] { return false; }, ms);
}

inline std::string Fixture(const std::string& name) {
  return melvo::build::FixturesDir() + "/" + name;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::unique_ptr<TAudioEngine> MakeEngine(
    const std::string& pluginPath = melvo::build::BinDir() + "/") {
  TestApp();
  return std::make_unique<TAudioEngine>(0, pluginPath);
}

struct Event {
  char kind;  // 's' state, 'f' finish, 'x' fail, 'p' progress
  int32_t state;
  int32_t code;
  bool openingUnderWay;
  bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << e.kind << "(" << e.state << "," << e.code << (e.openingUnderWay ? ",opening)" : ")");
}

// Records the engine's events in the order they reach the main thread.
class EventLog {
 public:
  explicit EventLog(TAudioEngine& engine) : FEngine(engine) {
    engine.SetOnAudioEvent([this](int32_t s) { Add('s', s, 0); });
    engine.SetOnAudioFinish([this](int32_t s) { Add('f', s, 0); });
    engine.SetOnAudioFail([this](int32_t s, int32_t c) { Add('x', s, c); });
  }
  void RecordProgress() {
    FEngine.SetOnAudioProcess(
        [this](int32_t s, float maxPos, float curPos, const TFFTData& fft, const TWaveData& wave) {
          ++progressCount;
          NoteThread();
          lastMax = maxPos;
          lastPos = curPos;
          lastState = s;
          lastFft = fft;
          lastWave = wave;
          minPosSeen = std::min(minPosSeen, std::min(curPos, maxPos));
        });
  }
  // Whether every handler so far ran on the main thread.
  bool allOnMainThread = true;

  bool Has(char kind, int32_t state) const {
    for (const Event& e : events)
      if (e.kind == kind && e.state == state) return true;
    return false;
  }
  bool WaitFor(char kind, int32_t state, int timeoutMs = 5000) {
    return WaitUntil([&] { return Has(kind, state); }, timeoutMs);
  }
  void Clear() { events.clear(); }

  std::vector<Event> events;
  int progressCount = 0;
  float lastMax = 0, lastPos = 0, minPosSeen = 0;
  int32_t lastState = 0;
  TFFTData lastFft{};
  TWaveData lastWave{};
  std::function<void(const Event&)> onEvent;  // runs inside the handler, for re-entrancy checks

 private:
  void NoteThread() {
    if (QThread::currentThread() != TestApp().thread()) allOnMainThread = false;
  }
  void Add(char kind, int32_t state, int32_t code) {
    NoteThread();
    events.push_back({kind, state, code, FEngine.OpeningUnderWay()});
    if (onEvent) onEvent(events.back());
  }
  TAudioEngine& FEngine;
};

// An HTTP server on 127.0.0.1 with a free port, running on its own thread.
class LoopbackServer {
 public:
  LoopbackServer() {
    FPort = FServer.bind_to_any_port("127.0.0.1");
    FThread = std::thread([this] { FServer.listen_after_bind(); });
    while (!FServer.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LoopbackServer() {
    Release();
    FServer.stop();
    FThread.join();
  }
  void Serve(const std::string& path, std::string body, const std::string& type) {
    FServer.Get(path,
                [body = std::move(body), type](const httplib::Request&, httplib::Response& res) {
                  res.set_content(body, type);
                });
  }
  // Without Content-Length, so the size of the stream is unknown.
  void ServeChunked(const std::string& path, std::string body, const std::string& type) {
    FServer.Get(
        path, [body = std::move(body), type](const httplib::Request&, httplib::Response& res) {
          res.set_chunked_content_provider(type, [body](size_t offset, httplib::DataSink& sink) {
            if (offset < body.size())
              sink.write(body.data() + offset, std::min<size_t>(16384, body.size() - offset));
            else
              sink.done();
            return true;
          });
        });
  }
  // A route that answers only once Release is called (or after holdMs).
  void ServeHeld(const std::string& path, std::string body, const std::string& type, int holdMs) {
    FServer.Get(path, [this, body = std::move(body), type, holdMs](const httplib::Request&,
                                                                   httplib::Response& res) {
      {
        std::unique_lock<std::mutex> lock(FMutex);
        ++FHeldRequests;
        FCond.notify_all();
        FCond.wait_for(lock, std::chrono::milliseconds(holdMs), [this] { return FReleased; });
      }
      res.set_content(body, type);
    });
  }
  bool WaitForHeldRequest(int timeoutMs) {
    std::unique_lock<std::mutex> lock(FMutex);
    return FCond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return FHeldRequests > 0; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(FMutex);
    FReleased = true;
    FCond.notify_all();
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + path;
  }

 private:
  httplib::Server FServer;
  int FPort = 0;
  std::thread FThread;
  std::mutex FMutex;
  std::condition_variable FCond;
  int FHeldRequests = 0;
  bool FReleased = false;
};

}  // namespace enginetest
