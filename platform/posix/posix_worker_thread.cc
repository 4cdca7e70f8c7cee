#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <system_error>
#include <thread>

#include "platform/mutex.h"
#include "platform/worker_thread.h"

namespace lumorel {
namespace {

int niceFor(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::kLowest:
      return 10;
    case ThreadPriority::kNormal:
      return 0;
    case ThreadPriority::kAboveNormal:
      return -2;
    case ThreadPriority::kHighest:
      return -5;
  }
  return 0;
}

// What the thread and its handle share; outlives whichever lets go last.
struct ThreadState {
  Mutex mu;
  std::condition_variable_any endedCv;
  bool ended LM_GUARDED_BY(mu) = false;
  pid_t tid LM_GUARDED_BY(mu) = 0;  // 0 until the thread has started
  ThreadPriority priority LM_GUARDED_BY(mu) = ThreadPriority::kNormal;

  // Linux schedules threads one by one, so a thread's nice value is its
  // priority. Raising it needs a privilege most users lack; then the thread
  // keeps what it has.
  void applyPriority() LM_REQUIRES(mu) {
    if (tid != 0 && !ended) setpriority(PRIO_PROCESS, static_cast<id_t>(tid), niceFor(priority));
  }
};

class PosixWorkerThread final : public WorkerThread {
 public:
  PosixWorkerThread(std::shared_ptr<ThreadState> state, std::thread thread)
      : state_(std::move(state)), thread_(std::move(thread)) {}

  ~PosixWorkerThread() override {
    bool ended;
    {
      MutexLock lock(state_->mu);
      ended = state_->ended;
    }
    if (ended) {
      thread_.join();  // the body has returned; the thread is only leaving
    } else {
      thread_.detach();
    }
  }

  void setPriority(ThreadPriority priority) override {
    MutexLock lock(state_->mu);
    state_->priority = priority;
    state_->applyPriority();
  }

  bool waitFor(uint32_t ms) override {
    std::unique_lock<Mutex> lock(state_->mu);
    return state_->endedCv.wait_for(lock, std::chrono::milliseconds(ms),
                                    [this]() LM_REQUIRES(state_->mu) { return state_->ended; });
  }

  bool hasEnded() const override {
    MutexLock lock(state_->mu);
    return state_->ended;
  }

 private:
  const std::shared_ptr<ThreadState> state_;
  std::thread thread_;
};

class PosixThreadFactory final : public ThreadFactory {
 public:
  std::unique_ptr<WorkerThread> start(std::function<void()> body,
                                      ThreadPriority priority) override {
    auto state = std::make_shared<ThreadState>();
    {
      MutexLock lock(state->mu);
      state->priority = priority;
    }
    std::thread thread;
    try {
      thread = std::thread([state, body = std::move(body)]() mutable {
        {
          MutexLock lock(state->mu);
          state->tid = static_cast<pid_t>(syscall(SYS_gettid));
          state->applyPriority();
        }
        body();
        body = nullptr;  // release what the body holds before reporting the end
        MutexLock lock(state->mu);
        state->ended = true;
        state->endedCv.notify_all();
      });
    } catch (const std::system_error&) {
      return nullptr;
    }
    return std::make_unique<PosixWorkerThread>(std::move(state), std::move(thread));
  }
};

}  // namespace

ThreadFactory& ThreadFactory::system() {
  static PosixThreadFactory* factory = new PosixThreadFactory;
  return *factory;
}

}  // namespace lumorel
