// Pictures that script adds by their web address.
#include "catalogue/image_catalogue.h"

namespace lumorel {

void ImageCatalogue::AddUrlImage(std::string_view url) {
  waitForWorker();
  if (url.size() >= kMaxUrl || url.find('\0') != std::string_view::npos) return;
  CatalogueState& s = *state_;
  const bool sorted = s.recurseMode == 2;
  bool madeNow = false;
  {
    MutexLock lock(s.publishMu);
    if (!s.pictureList) {
      s.pictureList = std::make_unique<ImageList>();
      madeNow = true;
    }
    if (!s.folderList) s.folderList = std::make_unique<ImageList>();
  }
  const EntryAttributes address{kAddressPicture, 0, 0, 0};
  s.pictureList->addEntry(&address, url, sorted);
  if (madeNow) s.setCursor(s.pictureList->head());
}

std::string ImageCatalogue::CurrentMidi(int32_t /*bSearchParentDirs*/) {
  {
    MutexLock lock(state_->publishMu);
    if (state_->cursor) return state_->extraList ? state_->cursor->text() : "";
  }
  waitForWorker();
  const CatalogueState& s = *state_;
  return s.cursor && s.extraList ? s.cursor->text() : "";
}

}  // namespace lumorel
