// The event stream of one control: the messages the page's bridge receives
// (the control's events, its dialog requests, quit and resize, and the
// outcomes of calls that answer later), queued until the event channel the
// control is attached to takes them.
#ifndef LUMOREL_HOST_EVENT_STREAM_H_
#define LUMOREL_HOST_EVENT_STREAM_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mutex.h"

namespace lumorel {

class EventChannel;

// One message: its server-sent event name and its data, a JSON text with
// no line break in it.
struct EventMessage {
  std::string event;
  std::string data;
};

// A control is attached to at most one channel at a time (a connection of a
// page or of a browser's events worker); attaching it to another takes it
// from the one before, which finds out at its next take(). Messages wait in
// order until the attached channel takes them; "OnTimer" is not queued again
// while one is still waiting, as timer messages are not on Windows.
//
// Thread safety: every member from any thread. The stream's lock is never
// held while a channel is woken, so a channel may call in with its own lock
// released.
class EventStream {
 public:
  // How many messages wait at most; later ones are dropped (a page that
  // does not read is closed soon anyway).
  static constexpr std::size_t kMaxQueued = 4096;

  EventStream();

  // Queues the message and wakes the attached channel. Does nothing once
  // closed.
  void send(std::string_view event, std::string_view data) LM_EXCLUDES(mu_);

  // Attaches the stream to `channel`, which is woken whenever a message
  // waits (at once when some already do); returns the attachment's number.
  // The stream keeps only a weak reference: the channel owns the stream.
  // The channel it was attached to before is woken and finds it gone.
  uint64_t attach(std::shared_ptr<EventChannel> channel) LM_EXCLUDES(mu_);
  // The messages waiting for attachment `number`, oldest first (perhaps
  // none); they are no longer queued. nullopt when that attachment is over:
  // replaced, detached, or the stream closed.
  std::optional<std::vector<EventMessage>> take(uint64_t number) LM_EXCLUDES(mu_);
  // Ends attachment `number`, if it is still the current one.
  void detach(uint64_t number) LM_EXCLUDES(mu_);

  // Ends the attachment for good; nothing is queued from now on.
  void close() LM_EXCLUDES(mu_);

  // True while attached to a channel.
  bool connected() LM_EXCLUDES(mu_);
  // When the stream was last attached or detached (or was made).
  std::chrono::steady_clock::time_point lastChange() LM_EXCLUDES(mu_);

 private:
  Mutex mu_;
  std::deque<EventMessage> queue_ LM_GUARDED_BY(mu_);
  bool timerQueued_ LM_GUARDED_BY(mu_) = false;
  uint64_t current_ LM_GUARDED_BY(mu_) = 0;  // 0: not attached
  uint64_t lastNumber_ LM_GUARDED_BY(mu_) = 0;
  // The channel attached to, held weakly: the channel holds the stream.
  std::weak_ptr<EventChannel> channel_ LM_GUARDED_BY(mu_);
  bool closed_ LM_GUARDED_BY(mu_) = false;
  std::chrono::steady_clock::time_point lastChange_ LM_GUARDED_BY(mu_);
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_EVENT_STREAM_H_
