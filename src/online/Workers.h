// One-shot background jobs of the online services (base::StartOneShot: a detached thread with
// its own copies of the inputs; failures are swallowed, and without a thread the job is dropped).
#pragma once

#include <string>

#include "base/OneShot.h"

namespace online {

using WorkerDone = base::JobDone;

WorkerDone TSendTJMessage();                                   // RegisterClient
WorkerDone TSendTjMsg(std::string oper, std::string btnName);  // PostStatistic
// PostListeningStatus with uid "0".
WorkerDone TSendLSStatus(std::string sname, std::string ssinger, std::string status);
// CheckVersion of the running program against url, launching the updater if it is newer.
WorkerDone TCheckVersion(std::string url);

}  // namespace online
