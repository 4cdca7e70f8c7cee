#include "host/serving_pool.h"

namespace lumorel {

ServingPool::ServingPool(std::size_t threads, ConnectionTable& connections)
    : connections_(connections) {
  threads_.reserve(threads);
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { serve(); });
}

ServingPool::~ServingPool() { shutdown(); }

void ServingPool::enqueue(std::function<void()> task) {
  bool noneFree = false;
  {
    MutexLock lock(mu_);
    tasks_.push_back(std::move(task));
    noneFree = tasks_.size() > idle_;
  }
  wake_.notify_one();
  // Every thread is taken: the longest idle connection gives its thread up.
  if (noneFree) (void)connections_.dropLongestWaiting();
}

void ServingPool::shutdown() {
  {
    MutexLock lock(mu_);
    shutdown_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

void ServingPool::serve() {
  while (true) {
    std::function<void()> task;
    {
      std::unique_lock<Mutex> lock(mu_);
      ++idle_;
      wake_.wait(lock, [this]() LM_NO_THREAD_SAFETY_ANALYSIS {
        return shutdown_ || !tasks_.empty();
      });
      --idle_;
      if (tasks_.empty()) return;  // shut down, nothing left
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace lumorel
