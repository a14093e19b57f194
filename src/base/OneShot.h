// One-shot background jobs: each starts at once on a detached thread with its own copies of its
// inputs, swallows its failures and ends. Work that must come back to the window goes through
// the main-thread poster (base/MainThreadCalls.h) or a queued call on a live object.
#pragma once

#include <functional>
#include <future>

namespace base {

// Ready once the job has ended (or was dropped). Callers need not keep it; it lets a caller (a
// test) wait for the job.
using JobDone = std::shared_future<void>;

// What happens to a job when no thread can be had.
enum class TNoThread { Drop, RunHere };

JobDone StartOneShot(std::function<void()> job, TNoThread noThread = TNoThread::Drop);

}  // namespace base
