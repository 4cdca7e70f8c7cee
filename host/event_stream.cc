#include "host/event_stream.h"

#include "host/event_channel.h"

namespace lumorel {

EventStream::EventStream() : lastChange_(std::chrono::steady_clock::now()) {}

void EventStream::send(std::string_view event, std::string_view data) {
  std::shared_ptr<EventChannel> channel;
  {
    MutexLock lock(mu_);
    if (closed_ || queue_.size() >= kMaxQueued) return;
    const bool timer = event == "OnTimer";
    if (timer && timerQueued_) return;
    if (timer) timerQueued_ = true;
    queue_.push_back(EventMessage{std::string(event), std::string(data)});
    channel = channel_.lock();
  }
  if (channel) channel->wake();
}

uint64_t EventStream::attach(std::shared_ptr<EventChannel> channel) {
  uint64_t number;
  std::shared_ptr<EventChannel> before;
  {
    MutexLock lock(mu_);
    number = ++lastNumber_;
    current_ = number;
    // A closed stream keeps no channel: the channel finds it over at once.
    before = channel_.lock();
    channel_ = closed_ ? std::weak_ptr<EventChannel>() : channel;
    lastChange_ = std::chrono::steady_clock::now();
  }
  // The channel before finds its attachment over; the new one takes what
  // waits already.
  if (before && before != channel) before->wake();
  channel->wake();
  return number;
}

std::optional<std::vector<EventMessage>> EventStream::take(uint64_t number) {
  MutexLock lock(mu_);
  if (closed_ || current_ != number) return std::nullopt;
  std::vector<EventMessage> out(std::make_move_iterator(queue_.begin()),
                                std::make_move_iterator(queue_.end()));
  queue_.clear();
  timerQueued_ = false;
  return out;
}

void EventStream::detach(uint64_t number) {
  MutexLock lock(mu_);
  if (current_ != number) return;
  current_ = 0;
  channel_.reset();
  lastChange_ = std::chrono::steady_clock::now();
}

void EventStream::close() {
  std::shared_ptr<EventChannel> channel;
  {
    MutexLock lock(mu_);
    closed_ = true;
    queue_.clear();
    channel = channel_.lock();
    channel_.reset();
  }
  if (channel) channel->wake();
}

bool EventStream::connected() {
  MutexLock lock(mu_);
  return current_ != 0;
}

std::chrono::steady_clock::time_point EventStream::lastChange() {
  MutexLock lock(mu_);
  return lastChange_;
}

}  // namespace lumorel
