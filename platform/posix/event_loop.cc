#include "platform/posix/event_loop.h"

#include <algorithm>

namespace lumorel {

EventLoop::EventLoop() : thread_([this] { run(); }) {}

EventLoop::~EventLoop() {
  {
    MutexLock lock(mu_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void EventLoop::post(std::function<void()> task) {
  {
    MutexLock lock(mu_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
}

bool EventLoop::startTimer(uint32_t periodMs, std::function<void()> tick) {
  {
    MutexLock lock(mu_);
    // A period of 0 would spin; the shortest the loop keeps is 1 ms.
    period_ = std::chrono::milliseconds(std::max<uint32_t>(periodMs, 1));
    due_ = std::chrono::steady_clock::now() + period_;
    tick_ = std::move(tick);
  }
  wake_.notify_all();
  return true;
}

void EventLoop::stopTimer() {
  MutexLock lock(mu_);
  tick_ = nullptr;
}

void EventLoop::run() { runUntil(nullptr); }

bool EventLoop::runUntil(const std::function<bool()>& done) {
  while (!(done && done())) {
    std::function<void()> task = nextTask();
    if (!task) return false;
    task();
  }
  return true;
}

std::function<void()> EventLoop::nextTask() {
  std::unique_lock<Mutex> lock(mu_);
  while (true) {
    auto ready = [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return stopping_ || !tasks_.empty(); };
    if (!ready()) {
      if (tick_) {
        wake_.wait_until(lock, due_, ready);
      } else {
        wake_.wait(lock, ready);
      }
    }
    if (stopping_) return nullptr;
    auto now = std::chrono::steady_clock::now();
    if (tick_ && now >= due_) {
      // Ticks queue like any task, so a tick queued before stopTimer still
      // runs. A loop that fell behind does not catch up the missed ticks.
      tasks_.push_back(tick_);
      due_ += period_;
      if (due_ <= now) due_ = now + period_;
    }
    if (tasks_.empty()) continue;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
  }
}

}  // namespace lumorel
