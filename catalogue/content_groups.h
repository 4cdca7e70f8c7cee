// Sorting pictures of one size into groups of identical content.
#ifndef LUMOREL_CATALOGUE_CONTENT_GROUPS_H_
#define LUMOREL_CATALOGUE_CONTENT_GROUPS_H_

#include <atomic>
#include <cstdint>
#include <vector>

#include "catalogue/image_entry.h"

namespace lumorel {

class FileSystem;

inline constexpr uint32_t kNoContentGroup = 0xffffffffu;

// Which code sums a signature's bytes: the fastest this processor runs, or
// the code every processor runs (the two always agree).
enum class SignatureCode { kFastest, kPortable };

// The content signature of `bytes` taken as the part of a file that starts
// at `offset`: the sum of k × b × b over its bytes, k the byte's position in
// the file counted from 1, b the byte as a signed value; 32-bit, wrapping.
uint32_t contentSignatureOf(const char* bytes, std::size_t n, uint64_t offset,
                            uint32_t signatureSoFar,
                            SignatureCode code = SignatureCode::kFastest);

// Finds which of `entries` (pictures that should have the same size) have
// identical bytes. All files are read together, block by block, and a file
// stops being read as soon as no other file shares its bytes so far, so each
// file is read at most once and a file unlike the others only up to where it
// differs. Files found to have a twin get their content signature stored
// (summed once per group of identical bytes).
//
// Returns, for each entry, a group number shared with the entries of the same
// content, or kNoContentGroup for an entry that matches no other: unique
// content, a file that cannot be read (also one that fails part way), or an
// entry that is not a local file. Group numbers start at `firstGroup`; the
// next free number is returned through `nextGroup`.
//
// Stops early, with false, when `abort` is set; the results are then
// incomplete.
bool groupByContent(const std::vector<ImageEntry*>& entries, FileSystem& fs,
                    const std::atomic<bool>& abort, uint32_t firstGroup,
                    std::vector<uint32_t>& groupOf, uint32_t& nextGroup);

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_CONTENT_GROUPS_H_
