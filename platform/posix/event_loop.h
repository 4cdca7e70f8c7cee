// A UI thread of its own: runs posted tasks and timer ticks one after another
// on a thread it starts.
#ifndef LUMOREL_PLATFORM_POSIX_EVENT_LOOP_H_
#define LUMOREL_PLATFORM_POSIX_EVENT_LOOP_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

#include "platform/mutex.h"
#include "platform/ui_thread.h"

namespace lumorel {

class EventLoop final : public UiThread {
 public:
  EventLoop();
  // Stops the loop after the task that runs now (tasks still queued are
  // dropped) and joins its thread. Not from the loop's own thread.
  ~EventLoop() override;

  void post(std::function<void()> task) override LM_EXCLUDES(mu_);
  bool startTimer(uint32_t periodMs, std::function<void()> tick) override LM_EXCLUDES(mu_);
  void stopTimer() override LM_EXCLUDES(mu_);

  // True when called from the loop's thread.
  bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

  // Runs queued tasks and timer ticks, one after another as the loop does,
  // until `done()` is true after a task, as a modal dialog's message loop
  // does while the caller waits for an answer; `done` is asked first and
  // after every task, on the loop's thread. Returns true once `done()` is
  // true, false when the loop is being stopped (the destructor was called).
  // Calls may nest. REQUIRES: called from a task on the loop's own thread.
  bool runUntil(const std::function<bool()>& done);

 private:
  using Time = std::chrono::steady_clock::time_point;

  void run();
  // Waits for the next task or tick; null when the loop is being stopped.
  std::function<void()> nextTask() LM_NO_THREAD_SAFETY_ANALYSIS;

  Mutex mu_;
  std::condition_variable_any wake_;
  std::deque<std::function<void()>> tasks_ LM_GUARDED_BY(mu_);
  bool stopping_ LM_GUARDED_BY(mu_) = false;
  // The timer; `tick_` empty when none runs.
  std::function<void()> tick_ LM_GUARDED_BY(mu_);
  std::chrono::milliseconds period_ LM_GUARDED_BY(mu_){0};
  Time due_ LM_GUARDED_BY(mu_);
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_EVENT_LOOP_H_
