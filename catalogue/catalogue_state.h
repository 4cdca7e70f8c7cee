// What one catalogue and its worker share: the lists, the cursor and the
// settings of the last scan.
#ifndef LUMOREL_CATALOGUE_CATALOGUE_STATE_H_
#define LUMOREL_CATALOGUE_CATALOGUE_STATE_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/completion_port.h"
#include "catalogue/image_list.h"
#include "platform/mutex.h"

namespace lumorel {

class Clock;
class FileSystem;
class ListFreer;
class ThreadFactory;

// The services a worker uses. They live for the whole process (a worker may
// outlive the catalogue that started it).
struct WorkerServices {
  FileSystem& fs;
  Clock& clock;
  ListFreer& freer;  // takes the lists a worker lets go of
  ThreadFactory& threads;
};

// Held by the catalogue and, while one runs, by its worker. A worker that
// outlives the catalogue's wait keeps its state (and its lists) to itself;
// the catalogue goes on with a new one.
//
// Thread safety: while a worker runs it alone changes the lists and the
// cursor and the UI thread only reads what the readers below allow; between
// workers the UI thread owns everything. The list pointers and the cursor
// change only under `publishMu`, and an entry or list is freed only after no
// pointer here leads to it, so a reader that holds `publishMu` may follow
// them without waiting for the worker.
struct CatalogueState {
  // Settings; written by the UI thread only while no worker runs.
  std::string rootPath;  // the folder of the last scan, ending with the separator
  int16_t recurseMode = 0;
  int16_t orderMode = 0;
  int32_t checkName = 0;
  int32_t checkSize = 0;

  // Directory entries enumerated by the running scan; 0 outside a scan.
  // Relaxed: readers only show the number.
  std::atomic<uint32_t> entriesSeen{0};
  // Set by the stop request and by destruction; never cleared.
  std::atomic<bool> stopFlag{false};

  // Guards the changes of the three list pointers and of the cursor.
  Mutex publishMu;
  std::unique_ptr<ImageList> pictureList;
  std::unique_ptr<ImageList> folderList;
  std::unique_ptr<ImageList> extraList;
  ImageEntry* cursor = nullptr;  // an entry of pictureList, or null

  std::shared_ptr<CompletionPort> port;

  void setCursor(ImageEntry* entry) LM_EXCLUDES(publishMu) {
    MutexLock lock(publishMu);
    cursor = entry;
  }

  // Puts `list` in the place of pictureList and returns the list it replaces.
  std::unique_ptr<ImageList> replacePictureList(std::unique_ptr<ImageList> list)
      LM_EXCLUDES(publishMu) {
    MutexLock lock(publishMu);
    pictureList.swap(list);
    return list;
  }

  // Unlinks `entry` from pictureList and frees it; the cursor, when on it,
  // becomes null first.
  void dropPicture(ImageEntry* entry) LM_EXCLUDES(publishMu);

  // Posts an event's DISPID towards the UI thread.
  void notifyDone(int dispid) { port->post(dispid); }
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_CATALOGUE_STATE_H_
