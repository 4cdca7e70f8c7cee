// Worker threads with priorities and timed waits.
#ifndef LUMOREL_PLATFORM_WORKER_THREAD_H_
#define LUMOREL_PLATFORM_WORKER_THREAD_H_

#include <cstdint>
#include <functional>
#include <memory>

namespace lumorel {

// kLowest is for work nobody waits on (freeing memory); lowering a thread's
// priority needs no privilege.
enum class ThreadPriority { kLowest, kNormal, kAboveNormal, kHighest };

// A running (or finished) thread. Owned by whoever started it.
class WorkerThread {
 public:
  // Destroying the handle of a thread that still runs lets it run to its end on
  // its own; whatever the body uses must then stay alive by itself.
  virtual ~WorkerThread() = default;

  // Best effort: a platform that cannot raise a thread's priority for this
  // user keeps the old one.
  virtual void setPriority(ThreadPriority priority) = 0;

  // Waits at most `ms` milliseconds for the body to return; true when it has.
  virtual bool waitFor(uint32_t ms) = 0;

  // True once the body has returned. Never blocks.
  virtual bool hasEnded() const = 0;
};

class ThreadFactory {
 public:
  virtual ~ThreadFactory() = default;

  // Runs `body` on a new thread at `priority`. Returns null when no thread
  // could be made; `body` then never runs.
  virtual std::unique_ptr<WorkerThread> start(std::function<void()> body,
                                              ThreadPriority priority) = 0;

  // The platform's factory; lives for the whole process.
  static ThreadFactory& system();
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WORKER_THREAD_H_
