// The members that change the current picture's file on disk and keep the
// list in step.
#include <cstring>

#include "catalogue/image_catalogue.h"
#include "catalogue/text_helpers.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"

namespace lumorel {
namespace {

// A new name must stay a name in the picture's own folder.
bool isPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace

void ImageCatalogue::RemoveCurrent() {
  waitForWorker();
  if (!state_->cursor) return;
  // The dialog may let events run (a scan could even start and end), so the
  // picture the user confirmed is remembered and must still be current.
  const ImageEntry* shown = state_->cursor;
  const std::string shownText = shown->text();
  if (!env_.dialogs.confirm(Confirmation::kDeletePicture)) return;
  waitForWorker();
  CatalogueState& s = *state_;
  ImageEntry* victim = s.cursor;
  if (victim != shown || shownText != victim->text()) return;

  Next();
  // Only a local file is deleted; an address picture just leaves the list.
  if (isLocalFile(victim->kind) && victim->path[0] != '\0') {
    env_.fs.setNormalAttributes(victim->path);
    env_.fs.deleteFile(victim->path);
  }
  s.dropPicture(victim);
}

void ImageCatalogue::Rename(std::string_view newName) {
  waitForWorker();
  CatalogueState& s = *state_;
  ImageEntry* current = s.cursor;
  if (!current || !isLocalFile(current->kind) || !isPlainName(newName)) return;

  std::string target(current->path);
  cutToFolder(target.data());
  target.resize(std::strlen(target.c_str()));
  if (target.empty() || target.back() != kFolderSeparator) return;
  target.append(newName);
  if (target.size() >= kMaxPath) return;

  if (!env_.fs.moveNoReplace(current->path, target.c_str())) return;
  // The cursor lets go of the old entry before replaceText frees it.
  s.setCursor(nullptr);
  s.setCursor(s.pictureList->replaceText(current, target));
}

}  // namespace lumorel
