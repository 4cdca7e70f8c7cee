// The duplicate finder: narrows a picture list to the pictures that have a
// twin, by name or by content, grouped.
#ifndef LUMOREL_CATALOGUE_DUPLICATE_FINDER_H_
#define LUMOREL_CATALOGUE_DUPLICATE_FINDER_H_

#include <cstdint>

#include "catalogue/catalogue_state.h"

namespace lumorel {

class FileSystem;

// The name signature of a short name: the sum of k × ch × ch over its
// characters, k the position counted from 1 and ch the character as a signed
// byte after 'a'..'z' are mapped to 'A'..'Z'; 32-bit, wrapping.
uint32_t nameSignatureOf(const char* shortName);

// Moves the duplicates of `from` to the tail of `to`, group by group.
//
// Two pictures match when `byName` is set and their short names are equal
// but for the case of ASCII letters, or when `bySize` is set and their files
// have exactly the same bytes (a file that cannot be read matches nothing by
// content; empty files match each other). Each picture still in `from`, in
// list order, is taken as the anchor: the pictures after it that match it
// move to `to` in list order, then the anchor itself. A picture belongs to
// the group of the first anchor it matches; pictures without a match stay in
// `from`. Nothing moves when `from` has fewer than two entries or its head is
// not a local file.
//
// Every entry gets its name signature; files with a twin get their content
// signature. `from.progress` counts the anchors taken. When
// `from.abort` is set the finder returns at once, leaving the groups moved so
// far (an anchor whose matches had moved stays behind).
//
// Reads each file at most once and only when another remaining picture has
// its size; the anchors meet only the pictures of their own name and size,
// not every picture after them.
void findDuplicates(ImageList& from, ImageList& to, bool byName, bool bySize, FileSystem& fs);

// The duplicate finder's worker: replaces the picture list with the
// duplicates found, puts the cursor on the first, and posts OnDupDone.
void duplicateThread(CatalogueState& state, const WorkerServices& services);

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_DUPLICATE_FINDER_H_
