#include "audio/MainThreadCalls.h"

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
  {
    std::lock_guard<std::mutex> lock(FLock);
    FCalls.emplace_back(owner, std::move(call));
  }
  QCoreApplication::postEvent(this, new QEvent(kWakeUp));
}

void TMainThreadCalls::Discard(uint64_t owner) {
  std::lock_guard<std::mutex> lock(FLock);
  std::erase_if(FCalls, [owner](const auto& c) { return c.first == owner; });
}

void TMainThreadCalls::customEvent(QEvent* event) {
  if (event->type() != kWakeUp) return;
  std::function<void()> call;
  {
    std::lock_guard<std::mutex> lock(FLock);
    if (FCalls.empty()) return;  // its call was discarded
    call = std::move(FCalls.front().second);
    FCalls.pop_front();
  }
  call();
}
