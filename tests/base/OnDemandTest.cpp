#include "base/OnDemand.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern "C" {
void ondemand_probe_prepare(void);
int ondemand_probe_prepared(void);
int ondemand_probe_add(int a, int b);
int ondemand_probe_sum(int count, ...);
}

namespace {

// The probe library sits beside this test program.
std::string ProbePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  std::string exe(buf, n > 0 ? size_t(n) : 0);
  return exe.substr(0, exe.rfind('/') + 1) + "ondemand_probe.so";
}
const std::string kProbePath = ProbePath();

std::atomic<int> gOpenedCalls{0};
std::atomic<int> gPreparedAtOpen{-1};
void CountOpen(void* handle) {
  ++gOpenedCalls;
  // The library is usable from here, before any of its functions is called through an entry.
  auto prepare = reinterpret_cast<void (*)()>(::dlsym(handle, "ondemand_probe_prepare"));
  auto prepared = reinterpret_cast<int (*)()>(::dlsym(handle, "ondemand_probe_prepared"));
  prepare();
  gPreparedAtOpen = prepared();
}

base::ondemand::Library gProbe{kProbePath.c_str(), CountOpen};
MELVO_ON_DEMAND(gProbe, ondemand_probe_add);
MELVO_ON_DEMAND(gProbe, ondemand_probe_sum);
MELVO_ON_DEMAND(gProbe, ondemand_probe_prepared);

bool Loaded(const std::string& path) {
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) ::dlclose(h);
  return h != nullptr;
}

// One process-wide library object, so the order of these checks matters: they run as one test.
TEST(OnDemand, NothingIsLoadedBeforeTheFirstCallWhichOpensOnceFromManyThreads) {
  ASSERT_FALSE(Loaded(kProbePath)) << "linked or opened before it was needed";
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&wrong, t] {
      for (int i = 0; i < 1000; ++i)
        if (ondemand_probe_add(t, i) != t + i) ++wrong;
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_TRUE(Loaded(kProbePath));
  EXPECT_EQ(gOpenedCalls.load(), 1);
  EXPECT_EQ(gPreparedAtOpen.load(), 1);
  EXPECT_EQ(ondemand_probe_prepared(), 1) << "prepared again after opening";
  // Variable argument lists reach the function as they were given.
  EXPECT_EQ(ondemand_probe_sum(0), 0);
  EXPECT_EQ(ondemand_probe_sum(3, 1, 20, 300), 321);
  EXPECT_TRUE(gProbe.open());
  EXPECT_STREQ(gProbe.error(), "");
}

TEST(OnDemand, AMissingLibraryIsReportedAndWhatDependsOnItIsNotOpened) {
  static base::ondemand::Library missing{"libmelvo-no-such-library.so.0"};
  static std::atomic<int> dependentOpened{0};
  static base::ondemand::Library dependent{kProbePath.c_str(), [](void*) { ++dependentOpened; },
                                           &missing};
  EXPECT_FALSE(missing.open());
  EXPECT_FALSE(missing.open()) << "the answer changed";
  EXPECT_NE(std::string(missing.error()).find("libmelvo-no-such-library"), std::string::npos)
      << missing.error();
  EXPECT_FALSE(dependent.open());
  EXPECT_EQ(dependentOpened.load(), 0);
}

TEST(OnDemandDeathTest, AFunctionTheLibraryLacksEndsTheProgramWithItsName) {
  static base::ondemand::Library probe{kProbePath.c_str()};
  EXPECT_DEATH(probe.resolve("ondemand_probe_absent"), "has no ondemand_probe_absent");
  static base::ondemand::Library missing{"libmelvo-no-such-library.so.0"};
  EXPECT_DEATH(missing.resolve("anything"), "libmelvo-no-such-library");
}

// What runs in the background is waited for by exit(): the handler registered before the work
// started runs after the program has waited, so it finds the work done.
std::atomic<bool> gBackgroundDone{false};
void ExitAsTheBackgroundWorkLeftIt() {
  ::_exit(gBackgroundDone ? 0 : 3);
}

TEST(OnDemandDeathTest, TheProgramsEndWaitsForWorkStartedInTheBackground) {
  EXPECT_EXIT(
      {
        std::atexit(ExitAsTheBackgroundWorkLeftIt);
        base::ondemand::runInBackground([] {
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          gBackgroundDone = true;
        });
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
