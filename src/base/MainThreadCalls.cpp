#include "base/MainThreadCalls.h"

#include <QCoreApplication>
#include <QEvent>

namespace {
const QEvent::Type kWakeUp = static_cast<QEvent::Type>(QEvent::registerEventType());
}

TMainThreadCalls& TMainThreadCalls::Instance() {
  // Lives for the whole process, like the engine it serves.
  static TMainThreadCalls* calls = new TMainThreadCalls;
  return *calls;
}

void TMainThreadCalls::Post(uint64_t owner, std::function<void()> call) {
  QEvent* wakeUp = nullptr;
  {
    // Made under the lock, so that the main thread's look at it comes after in every respect.
    std::lock_guard<std::mutex> lock(FLock);
    FCalls.emplace_back(owner, std::move(call));
    wakeUp = new QEvent(kWakeUp);
  }
  QCoreApplication::postEvent(this, wakeUp);
}

void TMainThreadCalls::Discard(uint64_t owner) {
  std::lock_guard<std::mutex> lock(FLock);
  std::erase_if(FCalls, [owner](const auto& c) { return c.first == owner; });
}

void TMainThreadCalls::customEvent(QEvent* event) {
  std::function<void()> call;
  {
    std::lock_guard<std::mutex> lock(FLock);
    if (event->type() != kWakeUp || FCalls.empty()) return;  // not ours, or its call was discarded
    call = std::move(FCalls.front().second);
    FCalls.pop_front();
  }
  call();
}
