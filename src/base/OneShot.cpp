#include "base/OneShot.h"

#include <memory>
#include <thread>

namespace base {

JobDone StartOneShot(std::function<void()> job, TNoThread noThread) {
  auto done = std::make_shared<std::promise<void>>();
  JobDone future = done->get_future().share();
  auto run = [done](const std::function<void()>& work) {
    try {
      if (work) work();
    } catch (...) {
    }
    done->set_value();
  };
  auto shared = std::make_shared<std::function<void()>>(std::move(job));
  try {
    std::thread([run, shared] { run(*shared); }).detach();
  } catch (...) {
    // No thread to be had: the job runs here or is dropped, as a failed request would be.
    if (noThread == TNoThread::RunHere) {
      run(*shared);
    } else {
      done->set_value();
    }
  }
  return future;
}

}  // namespace base
