// One page's control in the browser host: an EnumImg on a UI thread of its
// own, its event stream, its dialogs and window, and the pictures it has
// handed to the page.
#ifndef LUMOREL_HOST_CONTROL_SESSION_H_
#define LUMOREL_HOST_CONTROL_SESSION_H_

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "control/enum_img.h"
#include "control/page_snapshot.h"
#include "control/variant.h"
#include "host/event_stream.h"
#include "host/page_dialogs.h"
#include "host/page_window.h"
#include "host/picture_file.h"
#include "platform/mutex.h"
#include "platform/posix/event_loop.h"

namespace lumorel {

// The process-wide services every control uses; borrowed, living for the
// whole host.
struct SessionEnv {
  FileSystem& fs;
  Clock& clock;
  ThreadFactory& threads;
  PreferenceBackend& preferences;
  uint32_t workerWaitMs = kWorkerWaitMs;
  // The offline copies of web pages (ScrapeUrl); null when the host has no
  // store for them, and ScrapeUrl then does nothing.
  SubscriptionManager* subscriptions = nullptr;
};

// What a member call gave.
struct CallOutcome {
  bool ran = false;  // false: the control was closed before the call ran
  HResult hr = kSOk;
  Variant value;
  uint64_t version = 0;                 // the control's version after the call
  std::optional<PageSnapshot> snapshot;  // what the page may answer by itself now
};

// Thread safety: every public member may be called from any thread except
// the session's own UI thread. Calls run on the UI thread one after another,
// in the order they were made; while a dialog of the control is open, later
// calls run before the call that opened it returns.
class ControlSession {
 public:
  // Makes the control on a new UI thread (and waits for that).
  ControlSession(std::string id, const SessionEnv& env);
  // Closes the session (close()) if that was not done.
  ~ControlSession();

  ControlSession(const ControlSession&) = delete;
  ControlSession& operator=(const ControlSession&) = delete;

  const std::string& id() const { return id_; }
  EventStream& events() { return events_; }

  // Invokes the member `dispid` of kind `kinds` with `args` on the UI
  // thread, after taking `placement` as the window's, and waits for it.
  CallOutcome call(int32_t dispid, uint16_t kinds, std::vector<Variant> args,
                   std::optional<WindowPlacement> placement);

  // As call(), but returns at once: the member runs on the UI thread after
  // the calls made before it, and `done` then gets its outcome there. A
  // member that opens a dialog returns (and `done` runs) once the page has
  // answered it, while later calls go on being served. False when the
  // control is closed; `done` does not run when it closes first.
  [[nodiscard]] bool callLater(int32_t dispid, uint16_t kinds, std::vector<Variant> args,
                               std::optional<WindowPlacement> placement,
                               std::function<void(const CallOutcome&)> done);

  // The page's answer to its open dialog `dialog` (see PageDialogs::answer).
  // nullopt when the control is closed.
  std::optional<DialogAnswer> answerDialog(int dialog, nlohmann::json value);

  // True while the control's folder prompt is open.
  bool folderPromptOpen() const { return dialogs_.folderPromptOpen(); }

  // The file behind the picture text for `path` when the control has handed
  // it to the page since its last scan began, as a file its scan listed
  // (never an address that script or a web page handed in); else nullopt.
  std::optional<PictureFile> handedOutPicture(const std::string& path) LM_EXCLUDES(picturesMu_);

  // The page is gone: an open dialog is declined, the control is closed
  // (its worker told to stop) and destroyed on its UI thread (which waits
  // for the worker), and the event stream ends. Later calls do not run.
  // Idempotent; blocks until done.
  void close() LM_EXCLUDES(closeMu_);
  bool closed() const {
    // Acquire pairs with close()'s release: only a yes/no is read.
    return closed_.load(std::memory_order_acquire);
  }

 private:
  // Runs `task` on the UI thread and waits for it; false when it never ran.
  bool runOnUi(std::function<void()> task);
  // Invokes the member on the UI thread (which calls this); `ran` false when
  // the control is closed.
  CallOutcome invokeNow(int32_t dispid, uint16_t kinds, const std::vector<Variant>& args,
                        const std::optional<WindowPlacement>& placement);
  // Notes the local file behind a picture text the page was given, which
  // the catalogue listed from disk.
  void notePicture(const Variant& text) LM_EXCLUDES(picturesMu_);
  // Notes the picture `value` of the member `dispid` gave, when it is one
  // the catalogue listed from disk. UI thread.
  void noteWhenPicture(int32_t dispid, const Variant& value);

  const std::string id_;
  const SessionEnv env_;
  EventStream events_;
  PageWindow window_;
  Mutex picturesMu_;
  // Picture path as handed out: the file it stood for then.
  std::map<std::string, PictureFile, std::less<>> pictures_ LM_GUARDED_BY(picturesMu_);
  Mutex closeMu_;  // one close at a time
  std::atomic<bool> closed_{false};
  // The UI thread; the destructor ends it before any other member goes.
  std::unique_ptr<EventLoop> loop_ = std::make_unique<EventLoop>();
  PageDialogs dialogs_{*loop_, events_, env_.fs};
  SnapshotTracker snapshots_;         // UI thread only; the control's sink uses it
  std::unique_ptr<EnumImg> control_;  // UI thread only; null once closed
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_CONTROL_SESSION_H_
