// The folder scanner: fills a catalogue's picture and folder lists from a
// folder tree, on the catalogue's worker thread.
#ifndef LUMOREL_CATALOGUE_SCANNER_H_
#define LUMOREL_CATALOGUE_SCANNER_H_

#include <string>

#include "catalogue/catalogue_state.h"

namespace lumorel {

// The most folders a recursive scan takes from its queue: the root and 2001
// sub-folders.
inline constexpr uint32_t kMaxScannedFolders = 2002;

// The scan worker. Makes new lists for `state` (freeing the old ones), walks
// `state.rootPath` as `state.recurseMode` and `state.orderMode` say, sets the
// cursor to the first picture and posts OnLoadDone. The stop flag ends the
// folder loops early; the lists found so far are kept and OnLoadDone is still
// posted.
//
// recurseMode: 0 the root alone; 1 (or negative) the root and every
// sub-folder, breadth first; 2 the organizer's scan: pictures sorted by short
// name, and only the root and the first sub-folder have their sub-folders
// taken. orderMode: 0 folder order; 1 all pictures shuffled; 2 or more the
// folders shuffled, each folder's pictures together; negative like 1 and 2
// but shuffling nothing.
void scanThread(CatalogueState& state, const WorkerServices& services);

// Lists one folder (`folderPath` ends with the separator). Sub-folders whose
// name does not begin with '.' go to the tail of `queue` (when given) as
// folder entries; picture files go to the tail of `pictures` (when given) as
// "file://" texts with their size. Every entry listed, '.' and '..' too,
// counts in `state.entriesSeen`. A name too long for a path buffer is
// skipped. Nothing happens when the folder cannot be listed.
void walkFolder(const std::string& folderPath, ImageList* pictures, ImageList* queue,
                CatalogueState& state, const WorkerServices& services);

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_SCANNER_H_
