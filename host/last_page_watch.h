// When the browser host ends by itself: as a desktop program does, once the
// user has closed the last of its pages.
#ifndef LUMOREL_HOST_LAST_PAGE_WATCH_H_
#define LUMOREL_HOST_LAST_PAGE_WATCH_H_

#include <chrono>
#include <optional>

namespace lumorel {

// Decides, from samples of whether any page is alive, when the host should
// end: once some page has been alive, the host ends when none has been for
// `grace`. A page that comes back within the grace keeps it running (a page
// that reloads, a window that opens another and then closes). Before any
// page has been alive nothing ends it: the user may still be opening the
// printed address.
//
// The caller brings the time, so that tests can set it. Not thread-safe:
// one thread (the host's main thread) samples.
class LastPageWatch {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit LastPageWatch(std::chrono::milliseconds grace) : grace_(grace) {}

  // Notes whether a page is alive at `now`; true when the host should end.
  // REQUIRES: `now` is never earlier than at the call before.
  bool shouldEnd(bool alive, TimePoint now);

 private:
  const std::chrono::milliseconds grace_;
  bool seenAlive_ = false;
  std::optional<TimePoint> goneSince_;  // when the pages were first seen gone
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_LAST_PAGE_WATCH_H_
