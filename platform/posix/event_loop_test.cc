#include "platform/posix/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
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

TEST(EventLoop, RunUntilKeepsTheTimerTickingWhileItsCallerWaits) {
  EventLoop loop;
  std::promise<bool> result;
  int ticks = 0;  // touched on the loop's thread only
  loop.post([&] {
    loop.startTimer(1, [&] { ++ticks; });
    result.set_value(loop.runUntil([&] { return ticks >= 3; }));
    loop.stopTimer();
  });
  EXPECT_TRUE(result.get_future().get());
}

TEST(EventLoop, RunUntilReturnsWhenDoneAndAfterTheTaskThatAnswers) {
  EventLoop loop;
  std::vector<std::string> order;
  std::promise<bool> result;
  bool answered = false;  // touched on the loop's thread only
  loop.post([&] {
    order.push_back("open");
    result.set_value(loop.runUntil([&] { return answered; }));
    order.push_back("closed");
  });
  loop.post([&] { order.push_back("other call"); });
  loop.post([&] {
    order.push_back("answer");
    answered = true;
  });
  loop.post([&] { order.push_back("after"); });
  EXPECT_TRUE(result.get_future().get());
  onLoop(loop, [] {});
  EXPECT_EQ(order, (std::vector<std::string>{"open", "other call", "answer", "closed", "after"}));
}

TEST(EventLoop, RunUntilGivesUpWhenTheLoopStops) {
  std::promise<bool> result;
  std::promise<void> waiting;
  {
    EventLoop loop;
    loop.post([&] {
      waiting.set_value();
      result.set_value(loop.runUntil([] { return false; }));
    });
    waiting.get_future().wait();
  }  // the destructor stops the nested wait and joins
  EXPECT_FALSE(result.get_future().get());
}

}  // namespace
}  // namespace lumorel
