// The event stream of one control: the messages the page's bridge receives
// (the control's events, its dialog requests, quit and resize), queued until
// the page's stream takes them.
#ifndef LUMOREL_HOST_EVENT_STREAM_H_
#define LUMOREL_HOST_EVENT_STREAM_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mutex.h"

namespace lumorel {

// One page holds one stream at a time; a stream that connects replaces the
// one before it (which then ends). Messages wait in order until a stream
// takes them; "OnTimer" is not queued again while one is still waiting, as
// timer messages are not on Windows. Thread safety: every member from any
// thread.
class EventStream {
 public:
  // How many messages wait at most; later ones are dropped (a page that
  // does not read is closed soon anyway).
  static constexpr std::size_t kMaxQueued = 4096;

  EventStream();

  // Queues the server-sent event `event` with the JSON text `data`. Does
  // nothing once closed.
  void send(std::string_view event, std::string_view data) LM_EXCLUDES(mu_);

  // A stream connects: returns its number.
  uint64_t attach() LM_EXCLUDES(mu_);
  // What stream `stream` is to write next, waiting at most `wait` for it:
  // the waiting messages as server-sent events, or a comment line to keep
  // the connection alive (and find out whether it still is). nullopt when
  // the stream is to end: replaced by a newer one, or closed.
  std::optional<std::string> take(uint64_t stream, std::chrono::milliseconds wait)
      LM_NO_THREAD_SAFETY_ANALYSIS;
  // Stream `stream` has ended (its connection closed or failed).
  void detach(uint64_t stream) LM_EXCLUDES(mu_);

  // Ends every stream; nothing is queued from now on.
  void close() LM_EXCLUDES(mu_);

  // True while a stream is attached.
  bool connected() LM_EXCLUDES(mu_);
  // When a stream was last attached or detached (or the stream was made).
  std::chrono::steady_clock::time_point lastChange() LM_EXCLUDES(mu_);

 private:
  Mutex mu_;
  std::condition_variable_any wake_;
  std::deque<std::string> queue_ LM_GUARDED_BY(mu_);
  bool timerQueued_ LM_GUARDED_BY(mu_) = false;
  uint64_t current_ LM_GUARDED_BY(mu_) = 0;  // 0: none attached
  uint64_t lastNumber_ LM_GUARDED_BY(mu_) = 0;
  bool closed_ LM_GUARDED_BY(mu_) = false;
  std::chrono::steady_clock::time_point lastChange_ LM_GUARDED_BY(mu_);
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_EVENT_STREAM_H_
