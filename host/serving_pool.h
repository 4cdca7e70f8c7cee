// The threads that serve the host's connections, as the HTTP library's task
// queue: one connection per thread for as long as it is open.
#ifndef LUMOREL_HOST_SERVING_POOL_H_
#define LUMOREL_HOST_SERVING_POOL_H_

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "host/connection_table.h"
#include "platform/mutex.h"

namespace lumorel {

// A fixed number of threads taking queued connections in order. While
// connections are queued and no thread is free, connections that wait for
// a request are dropped (ConnectionTable's rule), one for each queued
// connection, which frees their threads at once: idle connections never keep
// new ones waiting; only requests being served hold threads. A trusted
// connection is dropped only when no untrusted one has been found to drop
// for kTrustedGrace.
// Thread safety: enqueue from any thread; shutdown from one, once.
class ServingPool final : public httplib::TaskQueue {
 public:
  // Borrows `connections`, which outlives the pool.
  ServingPool(std::size_t threads, ConnectionTable& connections);
  // shutdown().
  ~ServingPool() override;

  void enqueue(std::function<void()> task) override LM_EXCLUDES(mu_);
  // Lets every queued task run, then ends the threads and waits for them.
  void shutdown() override LM_EXCLUDES(mu_);

 private:
  // How often the sweeper looks again when nothing could be dropped.
  static constexpr std::chrono::milliseconds kSweepInterval{50};
  // How long looks must have found no untrusted connection to drop before
  // a trusted one goes.
  static constexpr std::chrono::milliseconds kTrustedGrace{1000};

  void serve() LM_NO_THREAD_SAFETY_ANALYSIS;
  // Drops a waiting connection whenever a queued one needs its thread.
  void sweep() LM_NO_THREAD_SAFETY_ANALYSIS;
  // True when more connections are queued than threads are free or about
  // to be.
  bool shortOfThreads() const LM_REQUIRES(mu_) { return tasks_.size() > idle_ + freeing_; }

  ConnectionTable& connections_;
  Mutex mu_;
  std::condition_variable_any wake_;       // a task is queued, or shutdown
  std::condition_variable_any wakeSweep_;  // threads may be short, or shutdown
  std::deque<std::function<void()>> tasks_ LM_GUARDED_BY(mu_);
  std::size_t idle_ LM_GUARDED_BY(mu_) = 0;  // threads waiting for a task
  // Connections dropped whose threads have not come back yet.
  std::size_t freeing_ LM_GUARDED_BY(mu_) = 0;
  bool shutdown_ LM_GUARDED_BY(mu_) = false;
  // Last: they start once the rest is ready.
  std::vector<std::thread> threads_;
  std::thread sweeper_;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_SERVING_POOL_H_
