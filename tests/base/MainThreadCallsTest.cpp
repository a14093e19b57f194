#include "base/MainThreadCalls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "base/OneShot.h"

namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "melvo_base_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = [] {
    auto* a = new QCoreApplication(argc, argv);
    TMainThreadCalls::Instance();  // first use on the main thread
    return a;
  }();
  return *app;
}

// Delivers posted events until done() holds or two seconds have passed.
template <typename Done>
bool PumpUntil(Done done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 2000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

}  // namespace

TEST(MainThreadCalls, CallsFromManyThreadsRunOnTheMainThreadInTheirOrder) {
  App();
  constexpr int kThreads = 8;
  constexpr int kCallsEach = 200;
  const std::thread::id mainThread = std::this_thread::get_id();
  std::map<int, std::vector<int>> seen;  // main thread only
  int offMain = 0;
  int total = 0;

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCallsEach; ++i) {
        TMainThreadCalls::Instance().Post(0, [&, t, i] {
          if (std::this_thread::get_id() != mainThread) ++offMain;
          seen[t].push_back(i);
          ++total;
        });
      }
    });
  }
  for (std::thread& th : threads) th.join();
  ASSERT_TRUE(PumpUntil([&] { return total == kThreads * kCallsEach; }));
  EXPECT_EQ(offMain, 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), size_t(kCallsEach));
    for (int i = 0; i < kCallsEach; ++i) ASSERT_EQ(seen[t][i], i) << "thread " << t;
  }
}

TEST(MainThreadCalls, CallsOfAGoneOwnerAreDroppedAndOthersStillRun) {
  App();
  std::atomic<int> goneRan{0};
  int othersRan = 0;
  auto* owner = new int(7);  // what the gone owner's calls would touch
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i) {
      TMainThreadCalls::Instance().Post(41, [&, owner] {
        ++goneRan;
        ++*owner;
      });
      TMainThreadCalls::Instance().Post(42, [&] { ++othersRan; });
    }
  });
  poster.join();
  // The owner withdraws its calls before it goes: none of them may run after.
  TMainThreadCalls::Instance().Discard(41);
  delete owner;
  ASSERT_TRUE(PumpUntil([&] { return othersRan == 50; }));
  // The wake-ups of the withdrawn calls still arrive; they find nothing to run.
  QCoreApplication::processEvents();
  EXPECT_EQ(goneRan.load(), 0);

  // Later calls of the same owner id are not affected by the earlier withdrawal.
  bool later = false;
  TMainThreadCalls::Instance().Post(41, [&] { later = true; });
  EXPECT_TRUE(PumpUntil([&] { return later; }));
}

TEST(OneShot, JobsEndEvenWhenTheyThrowAndHandOffToTheMainThread) {
  App();
  const std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<bool> ranOffMain{false};
  base::JobDone thrown = base::StartOneShot([] { throw std::runtime_error("failure"); });
  EXPECT_EQ(thrown.wait_for(std::chrono::seconds(5)), std::future_status::ready);

  bool arrived = false;
  base::JobDone done = base::StartOneShot([&] {
    ranOffMain = std::this_thread::get_id() != mainThread;
    TMainThreadCalls::Instance().Post(0,
                                      [&] { arrived = std::this_thread::get_id() == mainThread; });
  });
  EXPECT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(ranOffMain);
  EXPECT_TRUE(PumpUntil([&] { return arrived; }));
  EXPECT_EQ(base::StartOneShot({}).wait_for(std::chrono::seconds(5)), std::future_status::ready);
}
