// The threads that serve the host's connections, as the HTTP library's task
// queue: one connection per thread for as long as it is open.
#ifndef LUMOREL_HOST_SERVING_POOL_H_
#define LUMOREL_HOST_SERVING_POOL_H_

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "host/connection_table.h"
#include "platform/mutex.h"

namespace lumorel {

// A fixed number of threads taking queued connections in order. When a
// connection is queued and no thread is free, the connection that has
// waited longest for a request is dropped (ConnectionTable's rule), which
// frees its thread soon: idle connections never keep new ones waiting.
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
  void serve() LM_NO_THREAD_SAFETY_ANALYSIS;

  ConnectionTable& connections_;
  Mutex mu_;
  std::condition_variable_any wake_;
  std::deque<std::function<void()>> tasks_ LM_GUARDED_BY(mu_);
  std::size_t idle_ LM_GUARDED_BY(mu_) = 0;  // threads waiting for a task
  bool shutdown_ LM_GUARDED_BY(mu_) = false;
  std::vector<std::thread> threads_;  // last: they start once the rest is ready
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_SERVING_POOL_H_
