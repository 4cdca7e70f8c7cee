#include "control/worker_watch.h"

namespace lumorel {

// The real handle, with the watch told when it goes.
class WorkerWatch::Handle final : public WorkerThread {
 public:
  Handle(std::unique_ptr<WorkerThread> thread, int& held)
      : thread_(std::move(thread)), held_(held) {
    ++held_;
  }
  ~Handle() override { --held_; }

  void setPriority(ThreadPriority priority) override { thread_->setPriority(priority); }
  bool waitFor(uint32_t ms) override { return thread_->waitFor(ms); }
  bool hasEnded() const override { return thread_->hasEnded(); }

 private:
  std::unique_ptr<WorkerThread> thread_;
  int& held_;
};

std::unique_ptr<WorkerThread> WorkerWatch::start(std::function<void()> body,
                                                 ThreadPriority priority) {
  std::unique_ptr<WorkerThread> thread = threads_.start(std::move(body), priority);
  if (!thread) return nullptr;
  return std::make_unique<Handle>(std::move(thread), held_);
}

}  // namespace lumorel
