// Lists the folders of a scan ahead of it, on a second thread.
#ifndef LUMOREL_CATALOGUE_FOLDER_READ_AHEAD_H_
#define LUMOREL_CATALOGUE_FOLDER_READ_AHEAD_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/mutex.h"
#include "platform/worker_thread.h"

namespace lumorel {

// A scan spends most of its time waiting on the file system: reading each
// folder and asking the size of each picture. The read-ahead does that on
// threads of its own (one per processor, up to four, each reading another
// folder) for the folders the scan has queued, in the order the scan will
// take them, while the scan's thread builds its lists from the folders read
// before. The scan sees each folder exactly as listFolder
// would show it, so the lists come out the same.
//
// Thread safety: add() and take() are called by the scan's thread only.
class FolderReadAhead {
 public:
  // Reads at most this many folders ahead of the one taken, so memory stays
  // small whatever the tree.
  static constexpr std::size_t kFoldersAhead = 64;

  // Reading stops early once `stop` is set (the scan's stop request).
  // Where no thread can be made, take() reads each folder itself.
  FolderReadAhead(FileSystem& fs, ThreadFactory& threads, const std::atomic<bool>& stop);
  // Stops the reading and waits for the folder being read, if any.
  ~FolderReadAhead();
  FolderReadAhead(const FolderReadAhead&) = delete;
  FolderReadAhead& operator=(const FolderReadAhead&) = delete;

  // Queues `folder` (a path ending with the separator) after those queued
  // before.
  void add(std::string folder) LM_EXCLUDES(mu_);

  // Visits the entries of the first queued folder not taken yet, as
  // FileSystem::listFolder does, waiting for it to be read (or reading it
  // here when no thread could be made). Returns false, visiting nothing,
  // when it could not be listed or the scan was stopped first.
  [[nodiscard]] bool take(const std::function<void(const FolderEntry&)>& visit)
      LM_EXCLUDES(mu_);

 private:
  // One folder as listed: its names (each followed by NUL) and, for each
  // entry, where its name is, its kind and, for a picture file, its size.
  struct Listing {
    struct Entry {
      uint32_t nameAt;
      uint32_t nameLength;
      EntryKind kind;
      uint64_t size;
    };
    std::string folder;
    bool listed = false;
    bool done = false;
    std::string names;
    std::vector<Entry> entries;
  };

  void readAhead() LM_EXCLUDES(mu_);
  // Waits on changed_ until `ready()`; mu_ is held on entry and on return.
  template <typename Ready>
  void waitUntil(const Ready& ready) LM_REQUIRES(mu_) {
    std::unique_lock<Mutex> lock(mu_, std::adopt_lock);
    changed_.wait(lock, ready);
    lock.release();
  }
  void read(Listing& listing);
  bool stopped() const { return stop_.load(std::memory_order_relaxed); }

  FileSystem& fs_;
  const std::atomic<bool>& stop_;
  Mutex mu_;
  std::condition_variable_any changed_;
  // Queued folders from the first not taken; std::deque keeps the others in
  // place as folders are added and taken, so the reader may fill one while
  // it is not holding mu_.
  std::deque<Listing> queued_ LM_GUARDED_BY(mu_);
  std::size_t read_ LM_GUARDED_BY(mu_) = 0;  // folders of queued_ the reader has started
  bool ending_ LM_GUARDED_BY(mu_) = false;
  std::vector<std::unique_ptr<WorkerThread>> readers_;
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_FOLDER_READ_AHEAD_H_
