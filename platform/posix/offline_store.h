// The subscription manager of POSIX users: offline copies of web pages and
// their pictures in a folder of the user's cache.
#ifndef LUMOREL_PLATFORM_POSIX_OFFLINE_STORE_H_
#define LUMOREL_PLATFORM_POSIX_OFFLINE_STORE_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/mutex.h"
#include "platform/posix/offline_copy.h"
#include "platform/subscription_manager.h"

namespace lumorel {

// Each subscription has a folder in the store, named by a hash of its
// address (16 hex digits), holding:
//   subscription  its record (subscription_record.h)
//   copy/         the last whole copy (offline_copy.h), with its index
//   update/       the copy being made; it replaces copy/ once whole
// Nothing is written outside the store, and every folder in it is the
// user's alone (mode 0700).
//
// Updates run on worker threads of the store's own, at most kMaxWorkers at
// once and at most one per subscription: an update asked for while the same
// subscription's runs is queued once, to start when that one ends. A copy
// that is stopped (by deleteSubscription or the destructor) is discarded;
// the last whole one stays.
//
// Thread safety: every member may be called from any thread, except that
// the destructor must not run while another member does.
class OfflineStore final : public SubscriptionManager {
 public:
  // Updates running at once, whatever the number of subscriptions.
  static constexpr std::size_t kMaxWorkers = 3;
  // The longest address a subscription takes.
  static constexpr std::size_t kMaxAddressLength = 2048;

  // The store's folder for a user, from the values of XDG_CACHE_HOME and
  // HOME (either may be null): "$XDG_CACHE_HOME/lumorel/offline" when that
  // is an absolute path, else "$HOME/.cache/lumorel/offline". Empty when
  // neither gives an absolute path.
  static std::string defaultFolder(const char* xdgCacheHome, const char* home);

  // Opens the store in `folder`, making it and the folders on the way (mode
  // 0700) when they are missing. `log` gets one line per page copied and
  // per failure, from the workers, one line at a time under a lock of the
  // store's; it is borrowed and must outlive the store, and whatever else
  // writes to it meanwhile must be safe against those writes (std::cerr
  // is). Null, with the reason in `error`, when the folder cannot be made
  // or is not the user's own.
  static std::unique_ptr<OfflineStore> open(const std::string& folder, std::ostream& log,
                                            const OfflineCopyLimits& limits, std::string& error);

  // Stops the running updates (each within about 50 ms: a download is cut
  // off) and waits for them; queued ones never start.
  ~OfflineStore() override;

  OfflineStore(const OfflineStore&) = delete;
  OfflineStore& operator=(const OfflineStore&) = delete;

  // For kSubscriptionTypeUrl, fills the fields `info.updateFlags` names:
  // updated only when asked, the page alone with its pictures, no user,
  // the store's bound on the bytes of an update. Leaves other types alone.
  void getDefaultInfo(int32_t type, SubscriptionInfo& info) override;

  // Writes the record of `url`: the fields `info.updateFlags` names from
  // `info`, the others from getDefaultInfo; `friendlyName` as its name
  // (info's when empty, else the address). False when `type` is not
  // kSubscriptionTypeUrl, `url` is empty, longer than kMaxAddressLength or
  // not an http or https address, a subscription for it exists already,
  // or the record cannot be written.
  [[nodiscard]] bool createSubscription(std::string_view url, std::string_view friendlyName,
                                        uint32_t flags, int32_t type,
                                        const SubscriptionInfo& info) override
      LM_EXCLUDES(callsMu_, mu_);

  // Stops the subscription's running update (and waits for it), drops a
  // queued one, and removes its folder: the record and every copy. False
  // when there is no subscription for `url` or its folder could not be
  // removed.
  bool deleteSubscription(std::string_view url) override LM_EXCLUDES(callsMu_, mu_);

  // Queues an update of `url`'s subscription and returns. False when there
  // is no subscription for `url`, the store is being destroyed, or no
  // worker could be started.
  bool updateSubscription(std::string_view url) override LM_EXCLUDES(callsMu_, mu_);

  // Waits at most `ms` milliseconds until no update runs or is queued;
  // true when none is.
  bool waitForIdle(uint32_t ms) LM_NO_THREAD_SAFETY_ANALYSIS;

  // The folder of `url`'s subscription, whether or not there is one.
  std::string subscriptionFolder(std::string_view url) const;

 private:
  OfflineStore(std::string folder, std::ostream& log, const OfflineCopyLimits& limits);

  // The name of `url`'s folder in the store.
  static std::string folderName(std::string_view url);
  // The record in the folder `name`, when it has one that can be read.
  std::optional<SubscriptionRecord> readRecord(const std::string& name) const;
  // Drops the queued update of the folder `name`, and stops its running one
  // and waits for it to end.
  void stopUpdate(const std::string& name) LM_NO_THREAD_SAFETY_ANALYSIS;
  // Takes queued updates until the store is destroyed.
  void work() LM_NO_THREAD_SAFETY_ANALYSIS;
  // Makes a copy for the subscription in the folder `name` and puts it in
  // place of the last one, unless it was stopped or its page could not be
  // copied. Worker threads only.
  void update(const std::string& name, const std::atomic<bool>& stop);
  void log(const std::string& line) LM_EXCLUDES(logMu_);

  // Constant after construction.
  const std::string folder_;  // ends with '/'
  const OfflineCopyLimits limits_;

  Mutex logMu_;
  std::ostream& log_ LM_GUARDED_BY(logMu_);

  // One create, delete or update call at a time, so that a record is not
  // changed under the call that reads it. Taken before mu_.
  Mutex callsMu_;

  Mutex mu_;
  std::condition_variable_any changed_;               // the queue or the running set changed
  std::deque<std::string> queue_ LM_GUARDED_BY(mu_);  // folder names waiting for a worker
  // Folder name of each running update: its stop flag, read by the worker
  // without the lock.
  std::map<std::string, std::unique_ptr<std::atomic<bool>>> running_ LM_GUARDED_BY(mu_);
  std::set<std::string> again_ LM_GUARDED_BY(mu_);  // running ones asked for again
  std::size_t idleWorkers_ LM_GUARDED_BY(mu_) = 0;
  bool stopping_ LM_GUARDED_BY(mu_) = false;
  std::vector<std::thread> workers_ LM_GUARDED_BY(mu_);
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_OFFLINE_STORE_H_
