// A ThreadFactory that forwards to another and counts the worker handles it
// has handed out that are still held: the control knows from it whether its
// catalogue has a worker, running or ended but not yet waited for.
#ifndef LUMOREL_CONTROL_WORKER_WATCH_H_
#define LUMOREL_CONTROL_WORKER_WATCH_H_

#include <memory>

#include "platform/worker_thread.h"

namespace lumorel {

// Thread safety: start() and the destruction of the handles it gives happen
// on the control's UI thread (the catalogue starts and forgets its worker
// there), and so does held(). The watch must outlive every handle it gives.
class WorkerWatch final : public ThreadFactory {
 public:
  // `threads` is borrowed and must outlive the watch.
  explicit WorkerWatch(ThreadFactory& threads) : threads_(threads) {}

  std::unique_ptr<WorkerThread> start(std::function<void()> body,
                                      ThreadPriority priority) override;

  // How many handles given by start() are still held.
  int held() const { return held_; }

 private:
  class Handle;

  ThreadFactory& threads_;
  int held_ = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_WORKER_WATCH_H_
