#include "host/event_stream.h"

namespace lumorel {

EventStream::EventStream() : lastChange_(std::chrono::steady_clock::now()) {}

void EventStream::send(std::string_view event, std::string_view data) {
  {
    MutexLock lock(mu_);
    if (closed_ || queue_.size() >= kMaxQueued) return;
    const bool timer = event == "OnTimer";
    if (timer && timerQueued_) return;
    if (timer) timerQueued_ = true;
    std::string message = "event: ";
    message.append(event);
    message.append("\ndata: ");
    message.append(data);  // JSON text: no line breaks in it
    message.append("\n\n");
    queue_.push_back(std::move(message));
  }
  wake_.notify_all();
}

uint64_t EventStream::attach() {
  uint64_t number;
  {
    MutexLock lock(mu_);
    number = ++lastNumber_;
    current_ = number;
    lastChange_ = std::chrono::steady_clock::now();
  }
  wake_.notify_all();  // the stream it replaces ends
  return number;
}

std::optional<std::string> EventStream::take(uint64_t stream, std::chrono::milliseconds wait) {
  std::unique_lock<Mutex> lock(mu_);
  auto ended = [&]() LM_NO_THREAD_SAFETY_ANALYSIS { return closed_ || current_ != stream; };
  wake_.wait_for(lock, wait, [&]() LM_NO_THREAD_SAFETY_ANALYSIS {
    return ended() || !queue_.empty();
  });
  if (ended()) return std::nullopt;
  if (queue_.empty()) return std::string(":\n\n");
  std::string out;
  while (!queue_.empty()) {
    out.append(queue_.front());
    queue_.pop_front();
  }
  timerQueued_ = false;
  return out;
}

void EventStream::detach(uint64_t stream) {
  MutexLock lock(mu_);
  if (current_ != stream) return;
  current_ = 0;
  lastChange_ = std::chrono::steady_clock::now();
}

void EventStream::close() {
  {
    MutexLock lock(mu_);
    closed_ = true;
    queue_.clear();
  }
  wake_.notify_all();
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
