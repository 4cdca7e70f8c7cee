// Frees picture and folder lists away from the threads that let go of them.
#ifndef LUMOREL_CATALOGUE_LIST_FREER_H_
#define LUMOREL_CATALOGUE_LIST_FREER_H_

#include <condition_variable>
#include <deque>
#include <memory>

#include "catalogue/image_list.h"
#include "platform/mutex.h"
#include "platform/worker_thread.h"

namespace lumorel {

// A list of 100,000 entries takes milliseconds to free, and the thread that
// drops it is usually one a user waits on: a scan replacing its lists, the
// duplicate finder, a control closing on the UI thread. The freer takes the
// list and frees it on a thread of its own at the lowest priority, so neither
// the dropping thread nor any other waits on the free.
//
// The thread is started when a list arrives and ends once nothing is left to
// free, so an idle process holds no thread for it.
//
// Thread safety: every member may be called from any thread.
class ListFreer {
 public:
  explicit ListFreer(ThreadFactory& threads) : threads_(threads) {}
  // Waits until everything handed over has been freed.
  ~ListFreer();
  ListFreer(const ListFreer&) = delete;
  ListFreer& operator=(const ListFreer&) = delete;

  // Takes `list` to be freed soon; returns at once. When no thread can be
  // made the list is freed here and now.
  void free(std::unique_ptr<ImageList> list) LM_EXCLUDES(mu_);

  // Waits until every list handed over so far has been freed.
  void drain() LM_EXCLUDES(mu_);

  // The freer every catalogue of this process uses; never destroyed.
  static ListFreer& forProcess();

 private:
  void freeWaiting() LM_EXCLUDES(mu_);

  ThreadFactory& threads_;
  Mutex mu_;
  std::condition_variable_any idleCv_;
  std::deque<std::unique_ptr<ImageList>> waiting_ LM_GUARDED_BY(mu_);
  bool running_ LM_GUARDED_BY(mu_) = false;  // a thread is freeing or about to
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_LIST_FREER_H_
