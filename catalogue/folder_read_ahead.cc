#include "catalogue/folder_read_ahead.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "catalogue/picture_name.h"

namespace lumorel {
namespace {

// One entry of a listing read ahead, shown as the file system shows it.
class ListedEntry final : public FolderEntry {
 public:
  ListedEntry(std::string_view name, EntryKind kind, uint64_t size)
      : name_(name), kind_(kind), size_(size) {}
  std::string_view name() const override { return name_; }
  EntryKind kind() const override { return kind_; }
  uint64_t size() const override { return size_; }

 private:
  std::string_view name_;
  EntryKind kind_;
  uint64_t size_;
};

}  // namespace

FolderReadAhead::FolderReadAhead(FileSystem& fs, ThreadFactory& threads,
                                 const std::atomic<bool>& stop)
    : fs_(fs), stop_(stop) {
  // Reading is most of a scan's time and folders can be read side by side,
  // so there is a reader for each processor, up to four.
  const unsigned readers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  for (unsigned r = 0; r < readers; ++r) {
    std::unique_ptr<WorkerThread> reader =
        threads.start([this] { readAhead(); }, ThreadPriority::kAboveNormal);
    if (!reader) break;
    readers_.push_back(std::move(reader));
  }
}

FolderReadAhead::~FolderReadAhead() {
  {
    MutexLock lock(mu_);
    ending_ = true;
    changed_.notify_all();
  }
  // The readers use this object to their last step; a folder one is
  // listing finishes first.
  for (const std::unique_ptr<WorkerThread>& reader : readers_) {
    while (!reader->waitFor(1000)) {
    }
  }
}

void FolderReadAhead::add(std::string folder) {
  MutexLock lock(mu_);
  queued_.emplace_back();
  queued_.back().folder = std::move(folder);
  changed_.notify_all();
}

bool FolderReadAhead::take(const std::function<void(const FolderEntry&)>& visit) {
  Listing taken;
  mu_.lock();
  if (queued_.empty()) {
    mu_.unlock();
    return false;
  }
  Listing& first = queued_.front();
  if (read_ == 0) {
    // Not started (no reader, or it is behind): read it here, and count it
    // as started so the reader leaves it alone.
    read_ = 1;
    if (!stopped()) {
      mu_.unlock();
      read(first);
      mu_.lock();
    }
  } else {
    waitUntil([&first] { return first.done; });
  }
  taken = std::move(first);
  queued_.pop_front();
  --read_;
  changed_.notify_all();  // one more folder may be read ahead
  mu_.unlock();

  if (!taken.listed) return false;
  for (const Listing::Entry& e : taken.entries) {
    visit(ListedEntry(std::string_view(taken.names.data() + e.nameAt, e.nameLength), e.kind,
                      e.size));
  }
  return true;
}

void FolderReadAhead::readAhead() {
  mu_.lock();
  for (;;) {
    waitUntil([this]() LM_REQUIRES(mu_) {
      return ending_ || stopped() || (read_ < queued_.size() && read_ < kFoldersAhead);
    });
    if (ending_ || stopped()) break;
    // References into a deque stay valid while others are added at its end
    // or taken from its front, and this one is taken only once done.
    Listing& listing = queued_[read_];
    ++read_;
    mu_.unlock();
    read(listing);
    mu_.lock();
    listing.done = true;
    changed_.notify_all();
  }
  mu_.unlock();
}

void FolderReadAhead::read(Listing& listing) {
  listing.listed = fs_.listFolder(listing.folder.c_str(), [&listing](const FolderEntry& entry) {
    std::string_view name = entry.name();
    EntryKind kind = entry.kind();
    // The scan asks the size of picture files only.
    uint64_t size = kind == EntryKind::kFile && isPictureName(name) ? entry.size() : 0;
    listing.entries.push_back({static_cast<uint32_t>(listing.names.size()),
                               static_cast<uint32_t>(name.size()), kind, size});
    listing.names.append(name);
    listing.names.push_back('\0');
  });
}

}  // namespace lumorel
