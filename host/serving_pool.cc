#include "host/serving_pool.h"

namespace lumorel {

ServingPool::ServingPool(std::size_t threads, ConnectionTable& connections)
    : connections_(connections) {
  threads_.reserve(threads);
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { serve(); });
  sweeper_ = std::thread([this] { sweep(); });
}

ServingPool::~ServingPool() { shutdown(); }

void ServingPool::enqueue(std::function<void()> task) {
  {
    MutexLock lock(mu_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
  wakeSweep_.notify_one();
}

void ServingPool::shutdown() {
  {
    MutexLock lock(mu_);
    shutdown_ = true;
  }
  wake_.notify_all();
  wakeSweep_.notify_all();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
  if (sweeper_.joinable()) sweeper_.join();
}

void ServingPool::serve() {
  std::unique_lock<Mutex> lock(mu_);
  while (true) {
    ++idle_;
    wake_.wait(lock, [this]() LM_NO_THREAD_SAFETY_ANALYSIS {
      return shutdown_ || !tasks_.empty();
    });
    --idle_;
    if (tasks_.empty()) return;  // shut down, nothing left
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // the connection's last references go outside the lock
    lock.lock();
    // This thread is back: if a dropped connection's was awaited, this
    // stands for it (any thread that comes back serves the queue alike).
    if (freeing_ > 0) --freeing_;
  }
}

void ServingPool::sweep() {
  std::unique_lock<Mutex> lock(mu_);
  // Since when looks have found no untrusted connection to drop. A page's
  // own idle connection goes only if that has lasted kTrustedGrace and no
  // thread is on its way back from one: under a flood, new untrusted
  // connections replace one another and the pages' stay, also on a machine
  // so busy that the flood's threads are slow to take their connections.
  // time_point::max() while there is no such time (an optional here makes
  // g++ warn of a read before it was set).
  constexpr auto kNever = std::chrono::steady_clock::time_point::max();
  auto noneSince = kNever;
  while (!shutdown_) {
    wakeSweep_.wait_for(lock, kSweepInterval, [this]() LM_NO_THREAD_SAFETY_ANALYSIS {
      return shutdown_ || shortOfThreads();
    });
    if (shutdown_) break;
    if (!shortOfThreads()) {
      noneSince = kNever;
      continue;
    }
    const bool allowTrusted = noneSince != kNever &&
                              std::chrono::steady_clock::now() - noneSince >= kTrustedGrace &&
                              freeing_ == 0;
    ++freeing_;
    lock.unlock();
    const bool dropped = connections_.dropLongestWaiting(allowTrusted);
    lock.lock();
    if (dropped) {
      if (!allowTrusted) noneSince = kNever;
      continue;
    }
    // Nothing to drop yet (every thread serves a request, or only trusted
    // connections wait): look again a sweep interval later.
    --freeing_;
    if (noneSince == kNever) noneSince = std::chrono::steady_clock::now();
    // A shutdown while the lock was let go above has already notified; it
    // must not cost a whole interval.
    if (shutdown_) break;
    wakeSweep_.wait_for(lock, kSweepInterval);
  }
}

}  // namespace lumorel
