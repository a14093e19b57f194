#include "base/OnDemand.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace base::ondemand {
namespace {

// One object for the whole program, destroyed by exit() before the C runtime finalises the
// libraries, so that its destructor is where the background work is waited for.
class BackgroundWork {
 public:
  void start(void (*work)()) {
    std::lock_guard lock(mutex_);
    threads_.emplace_back(work);
  }
  ~BackgroundWork() {
    std::vector<std::thread> running;
    {
      std::lock_guard lock(mutex_);
      running.swap(threads_);
    }
    for (std::thread& t : running) t.join();
  }

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
};

}  // namespace

void runInBackground(void (*work)()) {
  static BackgroundWork background;
  background.start(work);
}

bool Library::open() {
  if (first_ && !first_->open()) return false;
  std::call_once(once_, [this] {
    void* handle = ::dlopen(fileName_, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = ::dlerror();
      std::snprintf(error_, sizeof(error_), "%s", why ? why : "cannot be opened");
      return;
    }
    if (onOpen_) onOpen_(handle);
    handle_ = handle;
  });
  return handle_ != nullptr;
}

void* Library::resolve(const char* name) {
  if (!open()) {
    std::fprintf(stderr, "melvo: %s: %s\n", fileName_, error_);
    std::abort();
  }
  void* address = ::dlsym(handle_, name);
  if (!address) {
    std::fprintf(stderr, "melvo: %s has no %s\n", fileName_, name);
    std::abort();
  }
  return address;
}

}  // namespace base::ondemand
