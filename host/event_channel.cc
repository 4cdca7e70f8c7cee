#include "host/event_channel.h"

#include <utility>
#include <vector>

namespace lumorel {

bool EventChannel::add(const std::string& id, std::shared_ptr<EventStream> stream) {
  {
    MutexLock lock(mu_);
    if (ended_) return false;
  }
  // Attached outside the lock: attaching wakes the channel the control
  // leaves, whose lock must not be taken inside this one.
  const uint64_t number = stream->attach(shared_from_this());
  bool added = false;
  {
    MutexLock lock(mu_);
    if (!ended_) {
      members_[id] = Member{stream, number};
      woken_ = true;
      added = true;
    }
  }
  if (!added) {  // ended meanwhile
    stream->detach(number);
    return false;
  }
  wake_.notify_all();
  return true;
}

bool EventChannel::remove(std::string_view id) {
  Member member;
  {
    MutexLock lock(mu_);
    auto it = members_.find(id);
    if (it == members_.end()) return false;
    member = std::move(it->second);
    members_.erase(it);
  }
  member.stream->detach(member.number);
  return true;
}

void EventChannel::wake() {
  {
    MutexLock lock(mu_);
    woken_ = true;
  }
  wake_.notify_all();
}

std::optional<std::string> EventChannel::take(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (true) {
    std::vector<std::pair<std::string, Member>> members;
    {
      std::unique_lock<Mutex> lock(mu_);
      wake_.wait_until(lock, deadline,
                       [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return ended_ || woken_; });
      if (ended_) return std::nullopt;
      if (!woken_) return std::string(":\n\n");  // nothing came: keep the connection alive
      woken_ = false;
      members.assign(members_.begin(), members_.end());
    }
    std::string out;
    std::vector<std::pair<std::string, uint64_t>> gone;
    for (const auto& [id, member] : members) {
      std::optional<std::vector<EventMessage>> messages = member.stream->take(member.number);
      if (!messages) {
        gone.emplace_back(id, member.number);
        continue;
      }
      for (const EventMessage& message : *messages) format(id, message, out);
    }
    bool over = false;
    if (!gone.empty()) {
      MutexLock lock(mu_);
      for (const auto& [id, number] : gone) {
        auto it = members_.find(id);
        if (it != members_.end() && it->second.number == number) members_.erase(it);
      }
      // A page's connection has nothing left to carry.
      if (kind_ == Kind::kPage && members_.empty()) ended_ = true;
      over = ended_;
    }
    if (!out.empty()) return out;  // an ended channel ends at the next take
    if (over) return std::nullopt;
  }
}

void EventChannel::end() {
  std::map<std::string, Member, std::less<>> members;
  {
    MutexLock lock(mu_);
    ended_ = true;
    members.swap(members_);
  }
  wake_.notify_all();
  for (auto& [id, member] : members) member.stream->detach(member.number);
}

std::size_t EventChannel::size() {
  MutexLock lock(mu_);
  return members_.size();
}

void EventChannel::format(const std::string& id, const EventMessage& message,
                          std::string& out) const {
  out.append("event: ");
  out.append(message.event);
  out.append("\ndata: ");
  if (kind_ == Kind::kShared) {
    out.append("{\"control\":\"");
    out.append(id);  // 16 hexadecimal digits: nothing to escape
    out.append("\",\"data\":");
    out.append(message.data);
    out.append("}");
  } else {
    out.append(message.data);
  }
  out.append("\n\n");
}

}  // namespace lumorel
