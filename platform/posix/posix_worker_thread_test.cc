#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/worker_thread.h"

namespace lumorel {
namespace {

TEST(PosixWorkerThread, WaitsWithATimeLimitAndTellsTheEnd) {
  std::atomic<bool> go{false};
  std::unique_ptr<WorkerThread> worker = ThreadFactory::system().start(
      [&go] {
        while (!go.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      },
      ThreadPriority::kAboveNormal);
  ASSERT_NE(worker, nullptr);
  EXPECT_FALSE(worker->hasEnded());
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(worker->waitFor(30));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  worker->setPriority(ThreadPriority::kHighest);  // best effort; must not fail
  go = true;
  EXPECT_TRUE(worker->waitFor(10000));
  EXPECT_TRUE(worker->hasEnded());
  EXPECT_TRUE(worker->waitFor(0));
}

TEST(PosixWorkerThread, AHandleDroppedWhileTheThreadRunsLetsItFinish) {
  auto finished = std::make_shared<std::atomic<bool>>(false);
  {
    auto worker = ThreadFactory::system().start(
        [finished] {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          *finished = true;
        },
        ThreadPriority::kNormal);
  }
  for (int i = 0; i < 2000 && !*finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(*finished);
}

}  // namespace
}  // namespace lumorel
