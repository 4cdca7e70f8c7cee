// One open event connection of the host, and what it writes: the messages
// of the controls attached to it, as server-sent events.
#ifndef LUMOREL_HOST_EVENT_CHANNEL_H_
#define LUMOREL_HOST_EVENT_CHANNEL_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/event_stream.h"
#include "platform/mutex.h"

namespace lumorel {

// A page's own connection carries its one control, each message as the
// control sent it, and ends when the control leaves it (closed, or attached
// to another connection). A browser's shared connection (its events worker's)
// carries any number of controls, each message wrapped as
// {"control": id, "data": the message's data}, and ends only with the
// connection.
//
// Thread safety: every member from any thread. The channel's lock is never
// held while a control's stream is called.
class EventChannel : public std::enable_shared_from_this<EventChannel> {
 public:
  enum class Kind { kPage, kShared };

  explicit EventChannel(Kind kind) : kind_(kind) {}

  // Attaches the control `id`, whose stream is `stream` (kept alive while
  // attached), to this channel; its waiting messages are written next. It
  // leaves any other channel. False when this channel has ended.
  [[nodiscard]] bool add(const std::string& id, std::shared_ptr<EventStream> stream)
      LM_EXCLUDES(mu_);
  // Detaches the control `id`; false when this channel does not carry it.
  bool remove(std::string_view id) LM_EXCLUDES(mu_);

  // A message waits in a stream attached here, or an attachment changed.
  void wake() LM_EXCLUDES(mu_);

  // What the connection is to write next, waiting at most `wait` for it:
  // the waiting messages of every control it carries, or a comment line to
  // keep the connection alive (and find out whether it still is). nullopt
  // once the channel has ended.
  std::optional<std::string> take(std::chrono::milliseconds wait) LM_NO_THREAD_SAFETY_ANALYSIS;

  // The connection is over: every control still attached is detached, and
  // take() answers nullopt from now on. Idempotent.
  void end() LM_EXCLUDES(mu_);

  // How many controls are attached (as far as the channel knows).
  std::size_t size() LM_EXCLUDES(mu_);

 private:
  struct Member {
    std::shared_ptr<EventStream> stream;
    uint64_t number = 0;  // the stream's attachment number for this channel
  };

  // `message` of control `id` as a server-sent event, added to `out`.
  void format(const std::string& id, const EventMessage& message, std::string& out) const;

  const Kind kind_;
  Mutex mu_;
  std::condition_variable_any wake_;
  std::map<std::string, Member, std::less<>> members_ LM_GUARDED_BY(mu_);
  bool woken_ LM_GUARDED_BY(mu_) = false;
  bool ended_ LM_GUARDED_BY(mu_) = false;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_EVENT_CHANNEL_H_
