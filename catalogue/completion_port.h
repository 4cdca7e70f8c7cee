// The road from a worker back to the UI thread: a worker posts an event's
// DISPID, and the control's handler fires it later on the UI thread.
#ifndef LUMOREL_CATALOGUE_COMPLETION_PORT_H_
#define LUMOREL_CATALOGUE_COMPLETION_PORT_H_

#include <functional>
#include <memory>

#include "platform/mutex.h"
#include "platform/ui_thread.h"

namespace lumorel {

// Event DISPIDs that workers post.
inline constexpr int kOnLoadDone = 300;
inline constexpr int kOnTimer = 301;
inline constexpr int kOnDupDone = 302;
inline constexpr int kOnOrganizeDone = 303;

// Shared by a catalogue and its workers, so a worker that outlives the
// catalogue still has somewhere to post; after close() nothing it posts
// reaches the UI thread or the handler.
class CompletionPort : public std::enable_shared_from_this<CompletionPort> {
 public:
  // `fire` runs on `ui` with the posted DISPID. `ui` must stay alive until
  // close() has returned.
  CompletionPort(UiThread& ui, std::function<void(int dispid)> fire);

  // Queues `fire(dispid)` on the UI thread, unless closed. Any thread.
  void post(int dispid) LM_EXCLUDES(mu_);

  // Drops every later post, and every post queued but not yet fired. Call on
  // the UI thread.
  void close() LM_EXCLUDES(mu_);

 private:
  void deliver(int dispid) LM_EXCLUDES(mu_);

  const std::function<void(int)> fire_;
  Mutex mu_;
  UiThread* ui_ LM_GUARDED_BY(mu_);  // null once closed
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_COMPLETION_PORT_H_
