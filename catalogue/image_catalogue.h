// The catalogue behind the control's slide show: the picture and folder lists
// of the last scan, the cursor on the current picture, and the one worker
// thread that fills or rearranges the lists.
#ifndef LUMOREL_CATALOGUE_IMAGE_CATALOGUE_H_
#define LUMOREL_CATALOGUE_IMAGE_CATALOGUE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "catalogue/catalogue_state.h"
#include "platform/limits.h"
#include "platform/worker_thread.h"

namespace lumorel {

class Dialogs;
class ThreadFactory;
class UiThread;

// The platform services a catalogue uses; all borrowed. `fs`, `clock` and
// `threads` live for the whole process; `ui` and `dialogs` outlive the
// catalogue.
struct CatalogueEnv {
  FileSystem& fs;
  Clock& clock;
  ThreadFactory& threads;
  UiThread& ui;
  Dialogs& dialogs;
};

// Thread safety: every member runs on the UI thread. Members that walk or
// change the lists wait for the worker first (waitForWorker). Those marked
// "never waits" may run while a worker works and read only data-race-free
// state. Members return what script sees: absence is the empty text or 0.
class ImageCatalogue {
 public:
  // `fire` runs on the UI thread with the DISPID of each event a worker
  // posts, after the worker's last change to the lists. `workerWaitMs` is how
  // long an operation waits for a worker before it gives up.
  ImageCatalogue(const CatalogueEnv& env, std::function<void(int dispid)> fire,
                 uint32_t workerWaitMs = kWorkerWaitMs);
  // Stops a running worker, waits for it and hands the lists to the
  // process's ListFreer.
  ~ImageCatalogue();

  ImageCatalogue(const ImageCatalogue&) = delete;
  ImageCatalogue& operator=(const ImageCatalogue&) = delete;

  // The stop request: a running scan, duplicate finder or organizer ends
  // early. Never waits.
  void close();

  // Waits for the worker, raised to the highest priority, at most
  // `workerWaitMs`, and forgets it either way. A worker that is still running
  // then keeps the lists it works on, is told to stop and fires no event;
  // the catalogue goes on with no lists, so the two never share one.
  void waitForWorker();

  // True when a worker has ended and has not yet been waited for. Never waits.
  bool loadDone() const;

  // --- Scanning ---

  // Waits for a running worker, stores the folder and the modes, and starts
  // the scan, which fires OnLoadDone when it ends. A path too long for a path
  // buffer is not cut: it is stored as the empty text, which scans nothing.
  void SetParentDir(std::string_view path, int16_t recurseMode, int16_t orderMode);

  // --- Navigation; the list is circular ---

  std::string PreviousName();
  std::string CurrentName();  // waits only when there is no cursor
  std::string NextName();
  void Next();
  void Previous();
  void Rewind();
  static std::string Version() { return "1.4"; }

  // Which picture a name member gives, seen from the cursor.
  enum class Neighbour { kPrevious, kCurrent, kNext };
  // True when the picture `which` is a file that a scan listed from disk (not
  // an address handed in by script or scraped from a page) and its text is
  // still `text`: what the picture members just gave can be shown as a
  // local file. Waits for a running worker as the name members do.
  bool isListedFile(Neighbour which, std::string_view text);
  std::string CurrentShortName() const;  // never waits
  // Moves to the next picture, going once around, whose short name starts
  // with the letter in the low byte of `chMatch`, whatever its case.
  void JumpTo(int16_t chMatch);
  // Pictures in the list; while that is 0 during a scan, the directory
  // entries seen so far. Never waits.
  int32_t FileCount() const;
  int32_t DirCount() const;  // never waits
  void JumpToNextDir();
  void JumpToRandom();
  void JumpToPreviousDir();

  // --- Picture files ---

  // After the user confirms, deletes the current picture's file and drops it
  // from the list; the cursor moves to the following picture.
  void RemoveCurrent();
  // Renames the current picture's file within its folder; a name that is
  // empty, "." or "..", or holds a folder separator, is refused. Never
  // replaces an existing file.
  void Rename(std::string_view newName);
  // Size of the current picture's file, low 32 bits; 0 without one or when
  // it cannot be opened. Never waits.
  uint32_t CurrentFileSize() const;

  // The current picture's text once a scan has started (the extra list
  // exists), else the empty text. `bSearchParentDirs` has no effect. Waits
  // only when there is no cursor.
  std::string CurrentMidi(int32_t bSearchParentDirs);

  // --- Duplicates and the organizer ---

  // Starts the duplicate finder, which narrows the picture list to the
  // pictures that have a twin, by short name (`bCheckName` non-zero) and by
  // content (`bCheckSize` non-zero), and fires OnDupDone. Does nothing, and
  // fires nothing, without a cursor.
  void RestrictOnlyDuplicates(int32_t bCheckName, int32_t bCheckSize);
  // How many pictures the running duplicate finder has taken as its anchor.
  // Never waits.
  int32_t DuplicateStatus() const;
  // After the user confirms, starts the organizer, which moves pictures
  // with like names into folders named after their pattern below the scanned
  // folder, and fires OnOrganizeDone; fires it at once when the user
  // declines. Does nothing without pictures.
  void OrganizeImages();

  // --- Pictures by address ---

  // Adds a picture by its address (not fetched, not checked): at the tail,
  // or in sorted place after an organizer scan. Makes the lists when there
  // are none, and then puts the cursor on the new picture. Waits for a
  // running worker first, since it changes the list the worker owns. An
  // address too long for an address buffer is refused.
  void AddUrlImage(std::string_view url);

  // For the layers above and tests: the state the worker shares. UI thread,
  // with no worker running.
  CatalogueState& state() { return *state_; }

 private:
  void startWorker(void (*body)(CatalogueState&, const WorkerServices&),
                   ThreadPriority priority);
  void jumpToFolder(bool forward);
  std::shared_ptr<CompletionPort> makePort();

  const CatalogueEnv env_;
  const std::function<void(int)> fire_;
  const uint32_t workerWaitMs_;
  std::shared_ptr<CatalogueState> state_;
  std::unique_ptr<WorkerThread> worker_;
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_IMAGE_CATALOGUE_H_
