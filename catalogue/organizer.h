// The organizer: moves pictures whose names follow one pattern into a folder
// named after the pattern, directly below the scanned folder.
#ifndef LUMOREL_CATALOGUE_ORGANIZER_H_
#define LUMOREL_CATALOGUE_ORGANIZER_H_

#include <string>

#include "catalogue/catalogue_state.h"

namespace lumorel {

// Moves one group of like-named pictures from `pictures` to `group` and
// leaves the group's pattern in `name`; an empty `group` means no group is
// left. Starts at `pictures.resume` (the head when null), taking each picture
// in turn as the anchor: the pictures after it whose names match it move to
// `group` until the first that fails after a match. With two or more, the
// anchor follows them and `resume` moves past it. With exactly one, that one
// goes back to its sorted place and the anchor leaves the list unmoved
// (`dropped` receives it, to be freed by the caller once no cursor names it).
// Ends early, with what it has, when `pictures.abort` is set.
//
// `sorted` says `pictures` is in short-name order (as the organizer's scan
// leaves it); the search may then stop where no later name could match and
// put a picture back next to where it was, which keeps a run over many
// pictures close to linear. Without it every picture after the anchor is
// compared and a picture goes back by a walk from the head.
void collectGroup(ImageList& pictures, ImageList& group, std::string& name, bool sorted,
                  ImageList& dropped);

// True when every short name of `list` compares greater or equal to the one
// before it.
bool isSortedByShortName(const ImageList& list);

// The organizer's worker: collects groups until none is left, moves each
// group's files into `rootPath` + pattern (never replacing a file), removes
// the folders the moves emptied, and posts OnOrganizeDone.
void organizeThread(CatalogueState& state, const WorkerServices& services);

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_ORGANIZER_H_
