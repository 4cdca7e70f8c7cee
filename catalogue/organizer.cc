#include "catalogue/organizer.h"

#include <cstring>

#include "catalogue/image_catalogue.h"
#include "catalogue/name_pattern.h"
#include "catalogue/text_helpers.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace lumorel {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// In a sorted list, whether `candidate` or any name after it can still
// change the outcome of comparing with `anchor`. A comparison only matches,
// or leaves its mark on later ones, when both names start with digits, or
// when they share their first two characters (a shared first character that
// is not a digit ends the comparison at the next difference). Both sets lie
// together in short-name order, right after the anchor.
bool mayStillMatch(const char* anchor, const char* candidate) {
  if (isDigit(anchor[0])) return isDigit(candidate[0]);
  return anchor[0] != '\0' && anchor[1] != '\0' &&
         upperAscii(candidate[0]) == upperAscii(anchor[0]) &&
         upperAscii(candidate[1]) == upperAscii(anchor[1]);
}

// Puts `entry` back before the first picture, from `from`, whose short name
// compares greater, or at the tail.
void putBack(ImageList& list, EntryPtr entry, ImageEntry* from) {
  ImageEntry* before = from;
  while (before && compareNames(before->shortName, entry->shortName) <= 0) before = before->next;
  list.insertBefore(std::move(entry), before);
}

}  // namespace

bool isSortedByShortName(const ImageList& list) {
  for (const ImageEntry* e = list.head(); e && e->next; e = e->next)
    if (compareNames(e->shortName, e->next->shortName) > 0) return false;
  return true;
}

void collectGroup(ImageList& pictures, ImageList& group, std::string& name, bool sorted,
                  ImageList& dropped) {
  NamePatternMatcher matcher;
  name.clear();
  if (pictures.count() < 2) return;
  ImageEntry* anchor = pictures.resume ? pictures.resume : pictures.head();
  if (!anchor->next) return;
  std::string pattern;
  while (true) {
    bool found = false;
    matcher.endKind = 0;
    ImageEntry* nextAnchor = anchor->next;
    ImageEntry* partnerWasBefore = nullptr;  // where the only match stood
    for (ImageEntry* candidate = anchor->next; candidate;) {
      ImageEntry* following = candidate->next;
      if (sorted && !found && !mayStillMatch(anchor->shortName, candidate->shortName)) break;
      bool match = matchNames(matcher, anchor->shortName, candidate->shortName, pattern);
      if (pictures.abort.load(std::memory_order_relaxed)) return;
      if (match) {
        if (candidate == nextAnchor) nextAnchor = following;
        found = true;
        name = pattern;
        partnerWasBefore = following;
        group.append(pictures.unlink(candidate));
      } else if (found) {
        break;
      }
      candidate = following;
    }
    if (found && group.count() >= 2) {
      pictures.resume = anchor->next;
      group.append(pictures.unlink(anchor));
      return;
    }
    if (found) {
      // A single partner makes no group: it goes back in sorted place, and
      // the anchor leaves the list without being moved.
      putBack(pictures, group.popFront(), sorted ? partnerWasBefore : pictures.head());
      dropped.append(pictures.unlink(anchor));
    }
    anchor = nextAnchor;
    if (!anchor || !anchor->next) return;
  }
}

void organizeThread(CatalogueState& state, const WorkerServices& services) {
  ImageList& pictures = *state.pictureList;
  const bool sorted = isSortedByShortName(pictures);
  ImageList group, dropped;
  std::string name;
  // Entries leave the picture list here; the cursor lets go of them first.
  auto release = [&state](ImageList& list) {
    while (ImageEntry* e = list.head()) {
      {
        MutexLock lock(state.publishMu);
        if (state.cursor == e) state.cursor = nullptr;
      }
      list.popFront();
    }
  };
  while (true) {
    collectGroup(pictures, group, name, sorted, dropped);
    release(dropped);
    if (group.count() == 0) break;
    std::string folder = state.rootPath + name;
    bool created = false;
    for (ImageEntry* e = group.head(); e; e = group.head()) {
      if (!created && folder.size() < kMaxPath && services.fs.createFolder(folder.c_str()))
        created = true;
      std::string target = folder + kFolderSeparator + e->shortName;
      if (target.size() < kMaxPath && e->path[0] != '\0' && isLocalFile(e->kind) &&
          std::strcmp(e->path, target.c_str()) != 0) {
        if (services.fs.moveNoReplace(e->path, target.c_str())) {
          std::string source = e->path;
          cutToFolder(source.data());
          source.resize(std::strlen(source.c_str()));
          services.fs.removeEmptyFolder(source.c_str());
        }
        services.clock.sleep(1);
      }
      {
        MutexLock lock(state.publishMu);
        if (state.cursor == e) state.cursor = nullptr;
      }
      group.popFront();
    }
  }
  state.notifyDone(kOnOrganizeDone);
}

void ImageCatalogue::OrganizeImages() {
  waitForWorker();
  if (!state_->pictureList || state_->pictureList->count() == 0) return;
  if (!env_.dialogs.confirm(Confirmation::kMovePictures)) {
    state_->notifyDone(kOnOrganizeDone);
    return;
  }
  // The dialog may have let a scan start; the organizer waits for it.
  waitForWorker();
  if (!state_->pictureList || state_->pictureList->count() == 0) return;
  startWorker(organizeThread, ThreadPriority::kNormal);
}

}  // namespace lumorel
