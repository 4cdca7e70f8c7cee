#include "platform/posix/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace lumorel {
namespace {

// Runs `f` on the loop and waits for it.
template <typename F>
void onLoop(EventLoop& loop, F f) {
  std::promise<void> done;
  loop.post([&] {
    f();
    done.set_value();
  });
  done.get_future().wait();
}

TEST(EventLoop, RunsPostedTasksInOrderOnItsOwnThread) {
  EventLoop loop;
  std::vector<int> order;
  std::atomic<bool> onLoopThread{true};
  for (int i = 0; i < 100; ++i)
    loop.post([&, i] {
      order.push_back(i);
      if (!loop.isCurrent()) onLoopThread = false;
    });
  onLoop(loop, [] {});
  std::vector<int> expected;
  for (int i = 0; i < 100; ++i) expected.push_back(i);
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(onLoopThread);
}

TEST(EventLoop, ANewTimerReplacesTheRunningOne) {
  EventLoop loop;
  std::atomic<int> slow{0}, fast{0};
  onLoop(loop, [&] { loop.startTimer(1000, [&] { ++slow; }); });
  onLoop(loop, [&] { loop.startTimer(5, [&] { ++fast; }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  onLoop(loop, [&] { loop.stopTimer(); });
  int stoppedAt = fast.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(slow.load(), 0);
  EXPECT_GE(stoppedAt, 5);
  EXPECT_LE(fast.load(), stoppedAt + 1) << "at most a tick queued before the stop";
  onLoop(loop, [&] { loop.stopTimer(); });  // a second stop does nothing
}

}  // namespace
}  // namespace lumorel
