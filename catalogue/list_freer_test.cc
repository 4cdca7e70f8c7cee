#include "catalogue/list_freer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/worker_thread.h"

namespace lumorel {
namespace {

// Where and how lists were freed.
struct FreeLog {
  std::atomic<int> freed{0};
  std::atomic<int> onCaller{0};
  std::thread::id caller = std::this_thread::get_id();
};

// A list that records its own end and, when given a gate, waits at it first.
class LoggedList final : public ImageList {
 public:
  LoggedList(FreeLog& log, int entries, std::function<void()> gate = nullptr)
      : log_(log), gate_(std::move(gate)) {
    for (int i = 0; i < entries; ++i) addEntry(nullptr, "/pictures/p.jpg", false);
  }
  ~LoggedList() override {
    if (gate_) gate_();
    if (std::this_thread::get_id() == log_.caller) log_.onCaller.fetch_add(1);
    log_.freed.fetch_add(1);
  }

 private:
  FreeLog& log_;
  std::function<void()> gate_;
};

// The system's threads, counting the starts and remembering the priority
// asked; or no thread at all.
class RecordingThreads final : public ThreadFactory {
 public:
  explicit RecordingThreads(bool canStart = true) : canStart_(canStart) {}
  std::unique_ptr<WorkerThread> start(std::function<void()> body,
                                      ThreadPriority priority) override {
    starts.fetch_add(1);
    lastPriority = priority;
    if (!canStart_) return nullptr;
    return ThreadFactory::system().start(std::move(body), priority);
  }
  std::atomic<int> starts{0};
  std::atomic<ThreadPriority> lastPriority{ThreadPriority::kNormal};

 private:
  const bool canStart_;
};

// Opens once; until then whoever waits at it blocks.
class Gate {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(mu_);
    open_ = true;
    cv_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
};

TEST(ListFreer, FreesOnItsOwnLowPriorityThreadWhileTheCallerGoesOn) {
  FreeLog log;
  RecordingThreads threads;
  ListFreer freer(threads);
  Gate gate;
  // The first list holds the freer's thread until the gate opens; meanwhile
  // the caller hands over more and is never held.
  freer.free(std::make_unique<LoggedList>(log, 1000, [&gate] { gate.wait(); }));
  for (int i = 0; i < 5; ++i) freer.free(std::make_unique<LoggedList>(log, 100));
  EXPECT_EQ(log.freed.load(), 0);
  gate.open();
  freer.drain();
  EXPECT_EQ(log.freed.load(), 6);
  EXPECT_EQ(log.onCaller.load(), 0);
  EXPECT_EQ(threads.lastPriority.load(), ThreadPriority::kLowest);
  freer.free(nullptr);  // nothing to free starts nothing
  freer.drain();
}

TEST(ListFreer, FreesListsThatArriveAfterItsThreadWentIdle) {
  FreeLog log;
  RecordingThreads threads;
  ListFreer freer(threads);
  for (int round = 1; round <= 20; ++round) {
    freer.free(std::make_unique<LoggedList>(log, 10));
    freer.drain();
    ASSERT_EQ(log.freed.load(), round);
  }
  EXPECT_GE(threads.starts.load(), 1);
  EXPECT_EQ(log.onCaller.load(), 0);
}

TEST(ListFreer, ManyThreadsHandingOverAtOnceLoseNoList) {
  FreeLog log;
  RecordingThreads threads;
  {
    ListFreer freer(threads);
    std::vector<std::thread> droppers;
    for (int t = 0; t < 4; ++t) {
      droppers.emplace_back([&freer, &log] {
        for (int i = 0; i < 200; ++i) freer.free(std::make_unique<LoggedList>(log, i % 7));
      });
    }
    for (std::thread& t : droppers) t.join();
    // The destructor waits for the rest.
  }
  EXPECT_EQ(log.freed.load(), 800);
}

TEST(ListFreer, FreesOnTheCallerWhenNoThreadCanBeMade) {
  FreeLog log;
  RecordingThreads threads(/*canStart=*/false);
  ListFreer freer(threads);
  freer.free(std::make_unique<LoggedList>(log, 50));
  EXPECT_EQ(log.freed.load(), 1);
  EXPECT_EQ(log.onCaller.load(), 1);
  freer.drain();  // returns: nothing is left
}

}  // namespace
}  // namespace lumorel
