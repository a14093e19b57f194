// One-shot background jobs of the online services. Each starts at once on a detached thread
// with its own copies of its inputs, swallows its failures and ends. Callers need not keep the
// returned handle; it only lets a caller (a test) wait for the job to finish.
#pragma once

#include <future>
#include <string>

namespace online {

using WorkerDone = std::shared_future<void>;

WorkerDone TSendTJMessage();                                   // RegisterClient
WorkerDone TSendTjMsg(std::string oper, std::string btnName);  // PostStatistic
// PostListeningStatus with uid "0".
WorkerDone TSendLSStatus(std::string sname, std::string ssinger, std::string status);
// CheckVersion of the running program against url, launching the updater if it is newer.
WorkerDone TCheckVersion(std::string url);

}  // namespace online
