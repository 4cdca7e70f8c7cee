#include "host/control_registry.h"

#include <random>
#include <vector>

namespace lumorel {
namespace {

std::string randomId() {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::random_device random;
  std::string id;
  for (int i = 0; i < 16; ++i) id.push_back(kDigits[random() % 16]);
  return id;
}

}  // namespace

ControlRegistry::ControlRegistry(const SessionEnv& env, std::chrono::milliseconds grace)
    : env_(env), grace_(grace), reaper_([this] { reap(); }) {}

ControlRegistry::~ControlRegistry() { closeAll(); }

std::shared_ptr<ControlSession> ControlRegistry::create() {
  std::string id;
  {
    MutexLock lock(mu_);
    if (closing_ || sessions_.size() >= kMaxControls) return nullptr;
    do id = randomId();
    while (sessions_.count(id) != 0);
  }
  auto session = std::make_shared<ControlSession>(id, env_);
  MutexLock lock(mu_);
  if (closing_) return nullptr;  // closed by its destructor, outside the lock
  sessions_.emplace(id, session);
  return session;
}

std::shared_ptr<ControlSession> ControlRegistry::find(std::string_view id) {
  MutexLock lock(mu_);
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : it->second;
}

bool ControlRegistry::remove(std::string_view id) {
  std::shared_ptr<ControlSession> session;
  {
    MutexLock lock(mu_);
    auto it = sessions_.find(id);
    if (it == sessions_.end()) return false;
    session = std::move(it->second);
    sessions_.erase(it);
  }
  session->close();
  return true;
}

std::optional<PictureFile> ControlRegistry::pictureHandedOut(const std::string& path) {
  std::vector<std::shared_ptr<ControlSession>> live;
  {
    MutexLock lock(mu_);
    for (auto& [id, session] : sessions_) live.push_back(session);
  }
  for (auto& session : live) {
    if (session->closed()) continue;
    if (std::optional<PictureFile> picture = session->handedOutPicture(path)) return picture;
  }
  return std::nullopt;
}

std::size_t ControlRegistry::size() {
  MutexLock lock(mu_);
  return sessions_.size();
}

std::shared_ptr<EventChannel> ControlRegistry::openStream(std::string& id) {
  MutexLock lock(mu_);
  if (closing_ || streams_.size() >= kMaxStreams) return nullptr;
  do id = randomId();
  while (streams_.count(id) != 0);
  auto stream = std::make_shared<EventChannel>(EventChannel::Kind::kShared);
  streams_.emplace(id, stream);
  return stream;
}

std::shared_ptr<EventChannel> ControlRegistry::findStream(std::string_view id) {
  MutexLock lock(mu_);
  auto it = streams_.find(id);
  return it == streams_.end() ? nullptr : it->second;
}

void ControlRegistry::closeStream(std::string_view id) {
  std::shared_ptr<EventChannel> stream;
  {
    MutexLock lock(mu_);
    auto it = streams_.find(id);
    if (it == streams_.end()) return;
    stream = std::move(it->second);
    streams_.erase(it);
  }
  stream->end();
}

bool ControlRegistry::pagesConnected() {
  MutexLock lock(mu_);
  if (!streams_.empty()) return true;
  for (auto& [id, session] : sessions_)
    if (session->events().connected()) return true;
  return false;
}

void ControlRegistry::closeAll() {
  std::map<std::string, std::shared_ptr<ControlSession>, std::less<>> sessions;
  std::map<std::string, std::shared_ptr<EventChannel>, std::less<>> streams;
  {
    MutexLock lock(mu_);
    closing_ = true;
    sessions.swap(sessions_);
    streams.swap(streams_);
  }
  wake_.notify_all();
  for (auto& [id, stream] : streams) stream->end();
  if (reaper_.joinable() && reaper_.get_id() != std::this_thread::get_id()) reaper_.join();
  for (auto& [id, session] : sessions) session->close();
}

void ControlRegistry::reap() {
  // Often enough that a gone page is noticed soon after its grace.
  const auto period = std::min<std::chrono::milliseconds>(grace_ / 4 + std::chrono::milliseconds(1),
                                                          std::chrono::milliseconds(250));
  std::unique_lock<Mutex> lock(mu_);
  while (true) {
    wake_.wait_for(lock, period, [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return closing_; });
    if (closing_) return;
    std::vector<std::shared_ptr<ControlSession>> gone;
    const auto now = std::chrono::steady_clock::now();
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      EventStream& events = it->second->events();
      if (!events.connected() && now - events.lastChange() > grace_) {
        gone.push_back(std::move(it->second));
        it = sessions_.erase(it);
      } else {
        ++it;
      }
    }
    lock.unlock();
    for (auto& session : gone) session->close();
    gone.clear();
    lock.lock();
  }
}

}  // namespace lumorel
