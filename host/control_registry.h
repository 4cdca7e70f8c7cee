// The live controls of the browser host by id, the browsers' shared event
// streams by id, and the reaper that closes the control of a page that has
// gone.
#ifndef LUMOREL_HOST_CONTROL_REGISTRY_H_
#define LUMOREL_HOST_CONTROL_REGISTRY_H_

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "host/control_session.h"
#include "host/event_channel.h"
#include "platform/mutex.h"

namespace lumorel {

// A page counts as gone when no event connection has carried its control
// for `grace` (its own stream closed or never opened, or the shared stream
// that carried it ended or let it go); its control is then closed and
// destroyed. Thread safety: every member from any thread.
class ControlRegistry {
 public:
  // More live controls than this are refused (each has a thread).
  static constexpr std::size_t kMaxControls = 512;
  // More shared streams than this are refused (each holds a serving thread;
  // a browser needs one).
  static constexpr std::size_t kMaxStreams = 64;

  ControlRegistry(const SessionEnv& env, std::chrono::milliseconds grace);
  // closeAll().
  ~ControlRegistry();

  ControlRegistry(const ControlRegistry&) = delete;
  ControlRegistry& operator=(const ControlRegistry&) = delete;

  // A new control with a new random id; null when the registry is closed or
  // full.
  std::shared_ptr<ControlSession> create() LM_EXCLUDES(mu_);
  // The live control `id`, or null.
  std::shared_ptr<ControlSession> find(std::string_view id) LM_EXCLUDES(mu_);
  // Closes and forgets the control `id`; false when there is none.
  bool remove(std::string_view id) LM_EXCLUDES(mu_);
  // The file behind the picture text for `path` that a live control has
  // handed out, or nullopt.
  std::optional<PictureFile> pictureHandedOut(const std::string& path) LM_EXCLUDES(mu_);
  std::size_t size() LM_EXCLUDES(mu_);

  // A new shared event stream, its new random id in `id`; null when the
  // registry is closed or holds kMaxStreams.
  std::shared_ptr<EventChannel> openStream(std::string& id) LM_EXCLUDES(mu_);
  // The open shared stream `id`, or null.
  std::shared_ptr<EventChannel> findStream(std::string_view id) LM_EXCLUDES(mu_);
  // Ends and forgets the shared stream `id` (its connection is over); every
  // control it carried is detached.
  void closeStream(std::string_view id) LM_EXCLUDES(mu_);

  // True while some page is connected: a shared stream is open (a browser's
  // events worker holds one while a page of it lives), or a control's own
  // stream carries it.
  bool pagesConnected() LM_EXCLUDES(mu_);

  // Stops the reaper, refuses new controls and streams, ends every shared
  // stream, and closes and destroys every control, one after another.
  // Idempotent.
  void closeAll() LM_EXCLUDES(mu_);

 private:
  void reap() LM_NO_THREAD_SAFETY_ANALYSIS;

  const SessionEnv env_;
  const std::chrono::milliseconds grace_;
  Mutex mu_;
  std::condition_variable_any wake_;
  std::map<std::string, std::shared_ptr<ControlSession>, std::less<>> sessions_
      LM_GUARDED_BY(mu_);
  std::map<std::string, std::shared_ptr<EventChannel>, std::less<>> streams_
      LM_GUARDED_BY(mu_);
  bool closing_ LM_GUARDED_BY(mu_) = false;
  std::thread reaper_;  // last: starts once the rest is ready
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_CONTROL_REGISTRY_H_
