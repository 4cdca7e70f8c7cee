// EnumImg: the one object that page script talks to. It owns the image
// catalogue and the heartbeat, keeps the connected event sinks, and routes
// every member of its script interface (member_table.h) to its behaviour.
#ifndef LUMOREL_CONTROL_ENUM_IMG_H_
#define LUMOREL_CONTROL_ENUM_IMG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "catalogue/image_catalogue.h"
#include "control/connection_point.h"
#include "control/preference_store.h"
#include "control/worker_watch.h"
#include "platform/hresult.h"

namespace lumorel {

class HostWindow;
class PreferenceBackend;
class SubscriptionManager;

// The platform services a control uses; all borrowed. `fs`, `clock`,
// `threads` and `preferences` live for the whole process; `ui`, `dialogs`
// and `subscriptions` outlive the control. `subscriptions` is null where the
// platform has no subscription manager.
struct ControlEnv {
  FileSystem& fs;
  Clock& clock;
  ThreadFactory& threads;
  UiThread& ui;
  Dialogs& dialogs;
  PreferenceBackend& preferences;
  SubscriptionManager* subscriptions = nullptr;
};

// Thread safety: the control is made, called and destroyed on its UI thread
// (`env.ui`) only; every member, event and heartbeat tick runs there, one
// after another. Workers of the catalogue reach the control only through
// posted completions, which fire their event after the worker's last change.
//
// The members carry the script interface's names and parameters; each
// returns what script receives (absence is the empty text or 0). Those that
// can answer something other than success return an HResult.
class EnumImg {
 public:
  // The identifier the heartbeat timer runs under while it runs.
  static constexpr uint32_t kHeartbeatTimerId = 0x4000;

  // `workerWaitMs`: how long an operation waits for the catalogue's worker.
  explicit EnumImg(const ControlEnv& env, uint32_t workerWaitMs = kWorkerWaitMs);

  // Sets the stop flag, waits for the worker (at most `workerWaitMs`; one
  // still running then keeps its own lists), stops the heartbeat, frees the
  // lists and lets go of every sink, in that order. A heartbeat tick or
  // completion still queued on the UI thread then finds no control and
  // fires nothing.
  ~EnumImg();

  EnumImg(const EnumImg&) = delete;
  EnumImg& operator=(const EnumImg&) = delete;

  // --- Hosting ---

  // The window that shows the page; borrowed, and must outlive the control
  // or be replaced first. Null (the start) when the control has none.
  void setHostWindow(HostWindow* window) { host_ = window; }

  // Connects a sink to the control's events; returns its cookie (0 for a
  // null sink). See ConnectionPoint for the order in which sinks are called.
  uint32_t advise(std::shared_ptr<EventSink> sink) { return events_.advise(std::move(sink)); }
  // Disconnects the sink of `cookie`; false when there is none.
  bool unadvise(uint32_t cookie) { return events_.unadvise(cookie); }

  // Calls the event `dispid` on every connected sink, in slot order, and
  // returns when every handler has run.
  void fireEvent(int32_t dispid) { events_.fire(dispid); }

  // The container closes the control: a running scan, duplicate finder or
  // organizer is told to stop. Nothing else happens until destruction.
  HResult Close();

  // --- Catalogue (scanning, navigation, picture files, duplicates) ---

  void SetParentDir(std::string_view bstrPath, int16_t iResursive, int16_t iRandom);
  std::string PreviousName() { return catalogue_->PreviousName(); }
  std::string CurrentName() { return catalogue_->CurrentName(); }
  std::string NextName() { return catalogue_->NextName(); }
  // See ImageCatalogue::isListedFile.
  bool isListedFile(ImageCatalogue::Neighbour which, std::string_view text) {
    return catalogue_->isListedFile(which, text);
  }
  void Next() { catalogue_->Next(); }
  void Previous() { catalogue_->Previous(); }
  void Rewind() { catalogue_->Rewind(); }
  void RemoveCurrent() { catalogue_->RemoveCurrent(); }
  static std::string Version() { return ImageCatalogue::Version(); }
  std::string CurrentShortName() const { return catalogue_->CurrentShortName(); }
  void JumpTo(int16_t chMatch) { catalogue_->JumpTo(chMatch); }
  int32_t FileCount() const { return catalogue_->FileCount(); }
  int32_t DirCount() const { return catalogue_->DirCount(); }
  void Rename(std::string_view bstrNewName) { catalogue_->Rename(bstrNewName); }
  void JumpToNextDir() { catalogue_->JumpToNextDir(); }
  void JumpToRandom() { catalogue_->JumpToRandom(); }
  void JumpToPreviousDir() { catalogue_->JumpToPreviousDir(); }
  void OrganizeImages() { catalogue_->OrganizeImages(); }
  void RestrictOnlyDuplicates(int32_t bCheckName, int32_t bCheckSize) {
    catalogue_->RestrictOnlyDuplicates(bCheckName, bCheckSize);
  }
  int32_t DuplicateStatus() const { return catalogue_->DuplicateStatus(); }

  // --- The control's own ---

  // Closes the window that shows the page: kEFail without a host window or
  // when the window does not close.
  HResult QuitIt();

  // 1 when the catalogue's worker has ended and has not yet been waited
  // for, else 0. Never waits.
  int32_t LoadDone() const { return catalogue_->loadDone() ? 1 : 0; }

  // Starts the heartbeat, or replaces the running one: OnTimer fires every
  // `dwMSecHeartbeat` ms, the first time one new period from now. When no
  // timer can be started, none runs and no event fires.
  void StartTimer(uint32_t dwMSecHeartbeat);
  // Stops the heartbeat; does nothing when none runs. A tick queued before
  // the stop still fires.
  void StopTimer();
  // The heartbeat's identifier while it runs, else 0.
  uint32_t heartbeatTimer() const { return heartbeatTimer_; }

  // True while the catalogue has no worker, neither running nor ended and
  // not yet waited for: then nothing changes the catalogue but the members,
  // and its reads neither wait nor change anything.
  bool quiet() const { return workers_.held() == 0; }

  // --- Preferences ---

  // The value under `bstrKey`, or the empty text (PreferenceStore).
  std::string Preference(std::string_view bstrKey) const { return preferences_.read(bstrKey); }
  // Stores `value` under `bstrKey` (PreferenceStore); E_FAIL when the
  // store could not keep it.
  HResult Preference(std::string_view bstrKey, std::string_view value) {
    return preferences_.write(bstrKey, value) ? kSOk : kEFail;
  }

  // --- Folder prompt ---

  // Asks the user for a folder, with `bstrMessage` as the caption, opening
  // at `bstrStaringDir`; blocks until the user answers. Gives the chosen
  // folder ending with the folder separator, or the empty text when the user
  // cancelled (or the folder's path is too long for a path buffer).
  std::string PromptForPath(std::string_view bstrStaringDir, std::string_view bstrMessage);

  // --- Window placement and small queries ---

  // Writes the host window's width, height, top and left, in that order, as
  // decimal texts under `bstrKey` followed by ".Width", ".Height", ".Top"
  // and ".Left". kSFalse, with nothing written, without a host window; a
  // value the window cannot tell is not written.
  HResult SaveWindowLoc(std::string_view bstrKey);
  // Makes the host window lay out and repaint the page: two pixels taller
  // for about 1 ms, then back. Does nothing without a host window (kSOk).
  HResult ForceImgDraw();
  // 1 when `bstrPath` names an existing file or folder, else 0.
  int32_t Exists(std::string_view bstrPath) const;
  // The size of the current picture's file (low 32 bits), or 0. Never waits.
  uint32_t CurrentFileSize() const { return catalogue_->CurrentFileSize(); }
  // The current picture's text once a scan has started, else the empty text.
  std::string CurrentMidi(int32_t bSearchParentDirs) {
    return catalogue_->CurrentMidi(bSearchParentDirs);
  }

  // --- Pictures from the web ---

  // Adds a picture by its address to the picture list (ImageCatalogue).
  void AddUrlImage(std::string_view bstrUrl) { catalogue_->AddUrlImage(bstrUrl); }
  // Has the browser keep an offline copy of the page at `bstrUrl` and what
  // it links to, `dwHowDeep` links deep with its pictures, and starts the
  // download when `bStartUpdate` is not 0. Does nothing where there is no
  // subscription manager.
  void ScrapeUrl(std::string_view bstrUrl, uint32_t dwHowDeep, int32_t bStartUpdate);

  // For tests: the catalogue the control owns.
  ImageCatalogue& catalogue() { return *catalogue_; }

 private:
  // What a queued tick holds on to: reset by destruction, so a tick that
  // runs later finds no control. Both happen on the UI thread.
  struct Anchor {
    EnumImg* control;
  };

  const ControlEnv env_;
  HostWindow* host_ = nullptr;
  PreferenceStore preferences_;
  ConnectionPoint events_;
  uint32_t heartbeatTimer_ = 0;
  std::shared_ptr<Anchor> anchor_;
  // The catalogue's worker threads come from here; it outlives them.
  WorkerWatch workers_;
  std::unique_ptr<ImageCatalogue> catalogue_;
};

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_ENUM_IMG_H_
