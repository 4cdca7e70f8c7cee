#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>

#include "platform/clock.h"
#include "platform/worker_thread.h"

namespace lumorel {
namespace {

// A manual-reset event the test and a body share; it outlives either.
class Event {
 public:
  Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void set() { SetEvent(handle_); }
  bool waitFor(DWORD ms) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }

 private:
  HANDLE handle_;
};

constexpr DWORD kLongWaitMs = 10000;

TEST(Win32WorkerThread, RunsTheBodyAtTheAskedPriorityAndChangesIt) {
  struct Case {
    ThreadPriority priority;
    int win32;
  } cases[] = {
      {ThreadPriority::kLowest, THREAD_PRIORITY_LOWEST},
      {ThreadPriority::kNormal, THREAD_PRIORITY_NORMAL},
      {ThreadPriority::kAboveNormal, THREAD_PRIORITY_ABOVE_NORMAL},
      {ThreadPriority::kHighest, THREAD_PRIORITY_HIGHEST},
  };
  for (const Case& c : cases) {
    auto atStart = std::make_shared<std::atomic<int>>(-100);
    auto afterChange = std::make_shared<std::atomic<int>>(-100);
    auto started = std::make_shared<Event>();
    auto changed = std::make_shared<Event>();
    auto worker = ThreadFactory::system().start(
        [=] {
          atStart->store(GetThreadPriority(GetCurrentThread()));
          started->set();
          changed->waitFor(kLongWaitMs);
          afterChange->store(GetThreadPriority(GetCurrentThread()));
        },
        c.priority);
    ASSERT_NE(worker, nullptr);
    ASSERT_TRUE(started->waitFor(kLongWaitMs));
    EXPECT_EQ(atStart->load(), c.win32) << "from the body's first instruction";
    const bool toLowest = c.priority != ThreadPriority::kLowest;
    worker->setPriority(toLowest ? ThreadPriority::kLowest : ThreadPriority::kHighest);
    changed->set();
    ASSERT_TRUE(worker->waitFor(kLongWaitMs));
    EXPECT_EQ(afterChange->load(), toLowest ? THREAD_PRIORITY_LOWEST : THREAD_PRIORITY_HIGHEST);
    worker->setPriority(ThreadPriority::kNormal);  // an ended thread: no effect, no failure
  }
}

TEST(Win32WorkerThread, WaitsWithATimeLimitAndTellsTheEnd) {
  auto go = std::make_shared<Event>();
  auto worker = ThreadFactory::system().start([go] { go->waitFor(INFINITE); },
                                              ThreadPriority::kAboveNormal);
  ASSERT_NE(worker, nullptr);
  EXPECT_FALSE(worker->hasEnded());
  const uint32_t start = Clock::system().tickCount();
  EXPECT_FALSE(worker->waitFor(50));
  // GetTickCount moves in steps of up to 16 ms.
  EXPECT_GE(Clock::system().tickCount() - start, 50u - 16u);
  EXPECT_FALSE(worker->hasEnded());
  go->set();
  EXPECT_TRUE(worker->waitFor(kLongWaitMs));
  EXPECT_TRUE(worker->hasEnded());
  EXPECT_TRUE(worker->waitFor(0));
}

// The body's captures are let go before the end is told.
TEST(Win32WorkerThread, ReleasesTheBodyBeforeItCountsAsEnded) {
  auto held = std::make_shared<int>(0);
  std::weak_ptr<int> watch = held;
  auto worker = ThreadFactory::system().start([held] {}, ThreadPriority::kNormal);
  held.reset();
  ASSERT_NE(worker, nullptr);
  ASSERT_TRUE(worker->waitFor(kLongWaitMs));
  EXPECT_TRUE(watch.expired());
}

TEST(Win32WorkerThread, AHandleDroppedWhileTheThreadRunsLetsItFinish) {
  auto go = std::make_shared<Event>();
  auto finished = std::make_shared<Event>();
  {
    auto worker = ThreadFactory::system().start(
        [go, finished] {
          go->waitFor(INFINITE);
          finished->set();
        },
        ThreadPriority::kNormal);
    ASSERT_NE(worker, nullptr);
  }
  go->set();
  EXPECT_TRUE(finished->waitFor(kLongWaitMs));
}

TEST(Win32Clock, TicksAdvanceAcrossASleep) {
  Clock& clock = Clock::system();
  const uint32_t before = clock.tickCount();
  const DWORD system = GetTickCount();
  clock.sleep(40);
  const uint32_t slept = clock.tickCount() - before;
  EXPECT_GE(slept, 40u - 16u);
  EXPECT_LT(slept, 5000u);
  EXPECT_LE(before - system, 16u) << "the system's own tick count";
}

}  // namespace
}  // namespace lumorel
