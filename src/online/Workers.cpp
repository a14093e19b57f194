#include "online/Workers.h"

#include <functional>
#include <memory>
#include <thread>

#include "online/Version.h"
#include "online/common.h"

namespace online {
namespace {

WorkerDone StartWorker(std::function<void()> job) {
  auto done = std::make_shared<std::promise<void>>();
  WorkerDone future = done->get_future().share();
  auto run = [job = std::move(job), done] {
    try {
      job();
    } catch (...) {
    }
    done->set_value();
  };
  try {
    std::thread(std::move(run)).detach();
  } catch (...) {
    done->set_value();  // no thread to be had: the job is dropped, as a failed request would be
  }
  return future;
}

}  // namespace

WorkerDone TSendTJMessage() {
  return StartWorker([] { RegisterClient(); });
}

WorkerDone TSendTjMsg(std::string oper, std::string btnName) {
  return StartWorker(
      [oper = std::move(oper), btnName = std::move(btnName)] { PostStatistic(oper, btnName); });
}

WorkerDone TSendLSStatus(std::string sname, std::string ssinger, std::string status) {
  return StartWorker(
      [sname = std::move(sname), ssinger = std::move(ssinger), status = std::move(status)] {
        PostListeningStatus("0", sname, ssinger, status);
      });
}

WorkerDone TCheckVersion(std::string url) {
  return StartWorker(
      [url = std::move(url)] { CheckVersion(url, CurrentProgramPath(), LaunchDetached); });
}

}  // namespace online
