#include "platform/posix/offline_store.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/posix/private_folder.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/web_address.h"

namespace lumorel {
namespace {

constexpr char kRecordName[] = "subscription";
constexpr char kRecordPartialName[] = "subscription.tmp";
constexpr char kCopyName[] = "copy";
constexpr char kOldCopyName[] = "copy.old";
constexpr char kUpdateName[] = "update";

// Every field SubscriptionInfo has.
constexpr uint32_t kAllInfoFields = 0xFFFF;

bool isAbsolute(const char* path) { return path && path[0] == '/'; }

// True when a subscription may be made for `url`.
bool isSubscribableAddress(std::string_view url) {
  if (url.empty() || url.size() > OfflineStore::kMaxAddressLength) return false;
  if (!hasWebScheme(url)) return false;
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  return resolveWebAddress(url, url).has_value();
}

// The whole of the small file `path`, not following a link; nullopt when
// it cannot be read.
std::optional<std::string> readSmallFile(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  std::string text;
  char buffer[4096];
  while (true) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

bool removeTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  return !error;
}

}  // namespace

std::string OfflineStore::defaultFolder(const char* xdgCacheHome, const char* home) {
  if (isAbsolute(xdgCacheHome)) return std::string(xdgCacheHome) + "/lumorel/offline";
  if (isAbsolute(home)) return std::string(home) + "/.cache/lumorel/offline";
  return "";
}

std::unique_ptr<OfflineStore> OfflineStore::open(const std::string& folder, std::ostream& log,
                                                 const OfflineCopyLimits& limits,
                                                 std::string& error) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty() || !openPrivateFolderMakingParents(path).valid()) {
    error = "the offline store " + (path.empty() ? std::string("(no folder)") : path) +
            " cannot be made, or is not a folder of this user's own";
    return nullptr;
  }
  return std::unique_ptr<OfflineStore>(new OfflineStore(path + "/", log, limits));
}

OfflineStore::OfflineStore(std::string folder, std::ostream& log, const OfflineCopyLimits& limits)
    : folder_(std::move(folder)), limits_(limits), log_(log) {}

OfflineStore::~OfflineStore() {
  std::vector<std::thread> workers;
  {
    MutexLock lock(mu_);
    stopping_ = true;
    queue_.clear();
    again_.clear();
    // Relaxed: the flag is a yes/no that carries no other data.
    for (auto& [name, stop] : running_) stop->store(true, std::memory_order_relaxed);
    workers.swap(workers_);
  }
  changed_.notify_all();
  for (std::thread& worker : workers) worker.join();
}

void OfflineStore::getDefaultInfo(int32_t type, SubscriptionInfo& info) {
  if (type != kSubscriptionTypeUrl) return;
  const uint32_t fields = info.updateFlags;
  if (fields & kSubscriptionInfoSchedule) info.schedule = kSubscriptionScheduleManual;
  if (fields & kSubscriptionInfoRecurse) info.recurseLevels = 0;
  if (fields & kSubscriptionInfoWebcrawl) info.webcrawlerFlags = kWebcrawlGetImages;
  if (fields & kSubscriptionInfoMailNotification) info.mailNotification = false;
  if (fields & kSubscriptionInfoMaxSizeKB) {
    info.maxSizeKB = static_cast<uint32_t>(std::min<uint64_t>(limits_.maxBytes / 1024, UINT32_MAX));
  }
  if (fields & kSubscriptionInfoUser) info.userName.clear();
  if (fields & kSubscriptionInfoPassword) info.password.clear();
  if (fields & kSubscriptionInfoTaskFlags) info.taskFlags = 0;
  if (fields & kSubscriptionInfoGleam) info.gleam = false;
  if (fields & kSubscriptionInfoChangesOnly) info.changesOnly = false;
  if (fields & kSubscriptionInfoChannelFlags) info.channelFlags = 0;
  if (fields & kSubscriptionInfoFriendlyName) info.friendlyName.clear();
  if (fields & kSubscriptionInfoNeedPassword) info.needPassword = false;
  if (fields & kSubscriptionInfoType) info.subType = kSubscriptionTypeUrl;
}

bool OfflineStore::createSubscription(std::string_view url, std::string_view friendlyName,
                                      uint32_t /*flags: the store never asks the user*/,
                                      int32_t type, const SubscriptionInfo& info) {
  if (type != kSubscriptionTypeUrl || !isSubscribableAddress(url)) return false;
  SubscriptionInfo defaults;
  defaults.updateFlags = kAllInfoFields;
  getDefaultInfo(type, defaults);
  // A field the caller names comes from `info`, any other from the defaults.
  auto pick = [&](uint32_t field, auto member) {
    return (info.updateFlags & field) ? info.*member : defaults.*member;
  };
  SubscriptionRecord record{
      .url = std::string(url),
      .friendlyName = std::string(friendlyName),
      .recurseLevels = pick(kSubscriptionInfoRecurse, &SubscriptionInfo::recurseLevels),
      .webcrawlerFlags = pick(kSubscriptionInfoWebcrawl, &SubscriptionInfo::webcrawlerFlags),
      .schedule = pick(kSubscriptionInfoSchedule, &SubscriptionInfo::schedule),
      .taskFlags = pick(kSubscriptionInfoTaskFlags, &SubscriptionInfo::taskFlags),
      .gleam = pick(kSubscriptionInfoGleam, &SubscriptionInfo::gleam),
      .changesOnly = pick(kSubscriptionInfoChangesOnly, &SubscriptionInfo::changesOnly),
      .userName = pick(kSubscriptionInfoUser, &SubscriptionInfo::userName),
      .maxSizeKB = pick(kSubscriptionInfoMaxSizeKB, &SubscriptionInfo::maxSizeKB),
      .created = static_cast<int64_t>(std::time(nullptr)),
  };
  if (record.friendlyName.empty()) {
    record.friendlyName = pick(kSubscriptionInfoFriendlyName, &SubscriptionInfo::friendlyName);
  }
  if (record.friendlyName.empty()) record.friendlyName = record.url;

  MutexLock calls(callsMu_);
  UniqueFd folder = openPrivateFolder(folder_ + folderName(url));
  if (!folder.valid()) return false;
  struct stat st {};
  if (fstatat(folder.get(), kRecordName, &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT) {
    return false;
  }
  return replaceFile(folder.get(), kRecordName, kRecordPartialName,
                     formatSubscriptionRecord(record));
}

bool OfflineStore::deleteSubscription(std::string_view url) {
  MutexLock calls(callsMu_);
  const std::string name = folderName(url);
  std::optional<SubscriptionRecord> record = readRecord(name);
  if (!record || record->url != url) return false;
  stopUpdate(name);
  return removeTree(folder_ + name);
}

bool OfflineStore::updateSubscription(std::string_view url) {
  MutexLock calls(callsMu_);
  const std::string name = folderName(url);
  std::optional<SubscriptionRecord> record = readRecord(name);
  if (!record || record->url != url) return false;

  MutexLock lock(mu_);
  if (stopping_) return false;
  if (running_.count(name) != 0) {
    again_.insert(name);
    return true;
  }
  if (std::find(queue_.begin(), queue_.end(), name) != queue_.end()) return true;
  queue_.push_back(name);
  if (idleWorkers_ < queue_.size() && workers_.size() < kMaxWorkers) {
    try {
      workers_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
      // No thread now: a worker that runs takes the update later; with none,
      // nothing would.
      if (workers_.empty()) {
        queue_.pop_back();
        return false;
      }
    }
  }
  changed_.notify_all();
  return true;
}

bool OfflineStore::waitForIdle(uint32_t ms) {
  std::unique_lock<Mutex> lock(mu_);
  return changed_.wait_for(
      lock, std::chrono::milliseconds(ms),
      [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return queue_.empty() && running_.empty(); });
}

std::string OfflineStore::subscriptionFolder(std::string_view url) const {
  return folder_ + folderName(url);
}

std::string OfflineStore::folderName(std::string_view url) {
  // 64-bit FNV-1a: short, stable from run to run, and made only of hex
  // digits, so the name can never leave the store. Two addresses that meet
  // on one name are told apart by the address in the record.
  uint64_t hash = 0xcbf29ce484222325;
  for (char c : url) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3;
  }
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  return name;
}

std::optional<SubscriptionRecord> OfflineStore::readRecord(const std::string& name) const {
  std::optional<std::string> text = readSmallFile(folder_ + name + "/" + kRecordName);
  if (!text) return std::nullopt;
  return parseSubscriptionRecord(*text);
}

void OfflineStore::stopUpdate(const std::string& name) {
  std::unique_lock<Mutex> lock(mu_);
  queue_.erase(std::remove(queue_.begin(), queue_.end(), name), queue_.end());
  again_.erase(name);
  auto running = running_.find(name);
  if (running == running_.end()) return;
  running->second->store(true, std::memory_order_relaxed);
  changed_.wait(lock, [&]() LM_NO_THREAD_SAFETY_ANALYSIS { return running_.count(name) == 0; });
}

void OfflineStore::work() {
  std::unique_lock<Mutex> lock(mu_);
  while (true) {
    ++idleWorkers_;
    changed_.wait(lock,
                  [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return stopping_ || !queue_.empty(); });
    --idleWorkers_;
    if (stopping_) return;
    const std::string name = std::move(queue_.front());
    queue_.pop_front();
    std::unique_ptr<std::atomic<bool>>& stop = running_[name];
    stop = std::make_unique<std::atomic<bool>>(false);
    const std::atomic<bool>& stopFlag = *stop;
    lock.unlock();
    update(name, stopFlag);
    lock.lock();
    running_.erase(name);
    if (again_.erase(name) > 0 && !stopping_) queue_.push_back(name);
    changed_.notify_all();
  }
}

void OfflineStore::update(const std::string& name, const std::atomic<bool>& stop) {
  const std::string folder = folder_ + name + "/";
  std::optional<SubscriptionRecord> record = readRecord(name);
  if (!record) {
    log("lumorel: offline copy in " + folder + " failed: its record cannot be read");
    return;
  }
  removeTree(folder + kUpdateName);
  UniqueFd updateFd = openPrivateFolder(folder + kUpdateName);
  if (!updateFd.valid()) {
    log("lumorel: offline copy of " + record->url + " failed: " + folder + kUpdateName +
        " cannot be made");
    return;
  }
  const OfflineCopyOutcome outcome = makeOfflineCopy(
      *record, updateFd.get(), limits_,
      // Relaxed: a yes/no that carries no other data.
      [&stop] { return stop.load(std::memory_order_relaxed); },
      [this](const std::string& line) { log(line); });
  updateFd.close();
  const std::string copy = folder + kCopyName, old = folder + kOldCopyName,
                    fresh = folder + kUpdateName;
  if (outcome != OfflineCopyOutcome::kDone) {
    removeTree(fresh);
    return;
  }
  // The last copy steps aside for the new one, and goes; it comes back when
  // the new one cannot take its place.
  removeTree(old);
  bool moved = rename(copy.c_str(), old.c_str()) == 0 || errno == ENOENT;
  if (moved && rename(fresh.c_str(), copy.c_str()) != 0) {
    moved = false;
    rename(old.c_str(), copy.c_str());
  }
  if (!moved) {
    log("lumorel: offline copy of " + record->url + " failed: it cannot be put in " + copy + ": " +
        std::strerror(errno));
    removeTree(fresh);
  }
  removeTree(old);
}

void OfflineStore::log(const std::string& line) {
  MutexLock lock(logMu_);
  log_ << line << '\n' << std::flush;
}

}  // namespace lumorel
