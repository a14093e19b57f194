#include "online/Workers.h"

#include "base/OneShot.h"
#include "online/Version.h"
#include "online/common.h"

namespace online {

using base::StartOneShot;

WorkerDone TSendTJMessage() {
  return StartOneShot([] { RegisterClient(); });
}

WorkerDone TSendTjMsg(std::string oper, std::string btnName) {
  return StartOneShot(
      [oper = std::move(oper), btnName = std::move(btnName)] { PostStatistic(oper, btnName); });
}

WorkerDone TSendLSStatus(std::string sname, std::string ssinger, std::string status) {
  return StartOneShot(
      [sname = std::move(sname), ssinger = std::move(ssinger), status = std::move(status)] {
        PostListeningStatus("0", sname, ssinger, status);
      });
}

WorkerDone TCheckVersion(std::string url) {
  return StartOneShot(
      [url = std::move(url)] { CheckVersion(url, CurrentProgramPath(), LaunchDetached); });
}

}  // namespace online
