#include "catalogue/list_freer.h"

#include <utility>


namespace lumorel {

ListFreer::~ListFreer() { drain(); }

void ListFreer::free(std::unique_ptr<ImageList> list) {
  if (!list) return;
  std::deque<std::unique_ptr<ImageList>> unfreed;
  {
    MutexLock lock(mu_);
    waiting_.push_back(std::move(list));
    if (running_) return;
    running_ = true;
    // The thread runs on by itself: running_ tells when it is done with this
    // object, and no handle is kept that would need joining at exit.
    if (threads_.start([this] { freeWaiting(); }, ThreadPriority::kLowest)) return;
    running_ = false;
    unfreed.swap(waiting_);
  }
  unfreed.clear();
  MutexLock lock(mu_);
  idleCv_.notify_all();
}

void ListFreer::freeWaiting() {
  for (;;) {
    std::unique_ptr<ImageList> list;
    {
      MutexLock lock(mu_);
      if (waiting_.empty()) {
        // The last touch of this object by the thread: after it, drain()
        // and the destructor may go on.
        running_ = false;
        idleCv_.notify_all();
        return;
      }
      list = std::move(waiting_.front());
      waiting_.pop_front();
    }
    list.reset();
  }
}

void ListFreer::drain() {
  std::unique_lock<Mutex> lock(mu_);
  idleCv_.wait(lock, [this]() LM_REQUIRES(mu_) { return !running_ && waiting_.empty(); });
}

ListFreer& ListFreer::forProcess() {
  static ListFreer* freer = new ListFreer(ThreadFactory::system());
  return *freer;
}

}  // namespace lumorel
