// Hands calls from worker and library threads to the main thread, in the order they were made.
// The calls wait in a queue of ours under a standard mutex; Qt only carries a wake-up event.
#pragma once

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

class TMainThreadCalls : public QObject {
 public:
  // The first use must be on the main thread: the queue's wake-ups are delivered there.
  static TMainThreadCalls& Instance();

  // owner lets a dying engine withdraw the calls it still has queued (0 = nobody's).
  void Post(uint64_t owner, std::function<void()> call);
  void Discard(uint64_t owner);

 protected:
  void customEvent(QEvent* event) override;

 private:
  TMainThreadCalls() = default;

  std::mutex FLock;
  std::deque<std::pair<uint64_t, std::function<void()>>> FCalls;
};
