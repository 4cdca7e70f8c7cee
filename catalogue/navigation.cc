// The members with which script walks the pictures. The picture list is
// circular: after the tail comes the head.
#include <strings.h>

#include <cstring>

#include "catalogue/image_catalogue.h"
#include "catalogue/random.h"
#include "catalogue/text_helpers.h"

namespace lumorel {
namespace {

ImageEntry* after(const ImageList& list, const ImageEntry* entry) {
  return entry->next ? entry->next : list.head();
}

ImageEntry* before(const ImageList& list, const ImageEntry* entry) {
  return entry->prev ? entry->prev : list.tail();
}

std::string folderOf(const char* path) {
  std::string folder(path);
  cutToFolder(folder.data());
  folder.resize(std::strlen(folder.c_str()));
  return folder;
}

// Folders compare without regard to ASCII case, as the folder blocks of the
// list were always told apart.
bool sameFolder(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

std::string ImageCatalogue::PreviousName() {
  waitForWorker();
  const CatalogueState& s = *state_;
  return s.cursor ? before(*s.pictureList, s.cursor)->text() : "";
}

std::string ImageCatalogue::CurrentName() {
  {
    MutexLock lock(state_->publishMu);
    if (state_->cursor) return state_->cursor->text();
  }
  waitForWorker();
  return state_->cursor ? state_->cursor->text() : "";
}

std::string ImageCatalogue::NextName() {
  waitForWorker();
  const CatalogueState& s = *state_;
  return s.cursor ? after(*s.pictureList, s.cursor)->text() : "";
}

bool ImageCatalogue::isListedFile(Neighbour which, std::string_view text) {
  auto listed = [&](const ImageEntry* entry) {
    return entry && isLocalFile(entry->kind) && text == entry->text();
  };
  if (which == Neighbour::kCurrent) {
    MutexLock lock(state_->publishMu);
    if (state_->cursor) return listed(state_->cursor);
  }
  waitForWorker();
  const CatalogueState& s = *state_;
  if (!s.cursor) return false;
  switch (which) {
    case Neighbour::kPrevious:
      return listed(before(*s.pictureList, s.cursor));
    case Neighbour::kCurrent:
      return listed(s.cursor);
    case Neighbour::kNext:
      return listed(after(*s.pictureList, s.cursor));
  }
  return false;
}

void ImageCatalogue::Next() {
  waitForWorker();
  CatalogueState& s = *state_;
  if (s.cursor) s.setCursor(after(*s.pictureList, s.cursor));
}

void ImageCatalogue::Previous() {
  waitForWorker();
  CatalogueState& s = *state_;
  if (s.cursor) s.setCursor(before(*s.pictureList, s.cursor));
}

void ImageCatalogue::Rewind() {
  waitForWorker();
  CatalogueState& s = *state_;
  if (s.cursor) s.setCursor(s.pictureList->head());
}

void ImageCatalogue::JumpTo(int16_t chMatch) {
  waitForWorker();
  const ImageEntry* start = state_->cursor;
  if (!start) return;
  const char wanted = lowerAscii(static_cast<char>(chMatch & 0xff));
  while (true) {
    Next();
    const ImageEntry* at = state_->cursor;
    if (!at || at == start) return;
    if (lowerAscii(at->shortName[0]) == wanted) return;
  }
}

void ImageCatalogue::jumpToFolder(bool forward) {
  waitForWorker();
  CatalogueState& s = *state_;
  if (!s.cursor || s.folderList->count() <= 1) return;
  const ImageList& list = *s.pictureList;
  auto step = [&](ImageEntry* e) { return forward ? after(list, e) : before(list, e); };

  std::string current = folderOf(s.cursor->path);
  bool switched = false;
  for (ImageEntry* candidate = step(s.cursor); candidate != s.cursor;
       candidate = step(candidate)) {
    if (s.stopFlag.load(std::memory_order_relaxed)) return;
    std::string folder = folderOf(candidate->path);
    if (sameFolder(folder, current)) continue;
    if (forward) {
      s.setCursor(candidate);
      return;
    }
    if (!switched) {
      // Crossed into the previous block: walk it back to its start.
      current = std::move(folder);
      switched = true;
      continue;
    }
    // Passed the start of the previous block: land on its first picture.
    s.setCursor(candidate->next ? candidate->next : candidate);
    return;
  }
}

void ImageCatalogue::JumpToNextDir() { jumpToFolder(true); }

void ImageCatalogue::JumpToPreviousDir() { jumpToFolder(false); }

void ImageCatalogue::JumpToRandom() {
  waitForWorker();
  CatalogueState& s = *state_;
  if (!s.cursor || s.pictureList->count() <= 2) return;
  uint32_t r = nextRandom() % s.pictureList->count();
  ImageEntry* at = s.pictureList->head();
  for (; r > 0 && at->next && !s.stopFlag.load(std::memory_order_relaxed); --r) at = at->next;
  s.setCursor(at);
}

}  // namespace lumorel
