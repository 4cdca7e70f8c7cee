// Text helpers of the catalogue: an entry's path and short name come from its
// text through these, and names compare through compareNames.
//
// Texts are 8-bit and NUL-terminated. None of these allocate.
#ifndef LUMOREL_CATALOGUE_TEXT_HELPERS_H_
#define LUMOREL_CATALOGUE_TEXT_HELPERS_H_

#include <cstddef>

namespace lumorel {

// The text after its scheme: after the first ':' when the two characters that
// follow it are both '/', else the whole text ("C:\Pics\a.jpg" stays whole).
// The empty text when `text` is longer than kMaxPath characters. The result
// points into `text`, or to a static empty text.
const char* skipScheme(const char* text);

// The last component of `path`: the part after its last '\' or '/'. A
// separator in the very first position counts only where '/' is the folder
// separator (the root folder); a path without one is returned whole; a path
// that ends with a separator gives the empty text. The empty text when `path`
// is longer than kMaxPath characters. The result points into `path`, or to a
// static empty text.
const char* shortNameOf(const char* path);

// Cuts `buffer` in place just after its last kFolderSeparator, which stays.
// A text longer than kMaxPath characters, or with no separator (counted as in
// shortNameOf), stays as it is. "/pics/a.jpg" becomes "/pics/".
void cutToFolder(char* buffer);

// −1, 0 or 1. Bytes compare as signed values after 'a'..'z' are mapped to
// 'A'..'Z' and nothing else, so bytes 0x80..0xFF sort before all ASCII and
// '_', '[' or '^' sort after the letters. A name that ends first is less.
int compareNames(const char* a, const char* b);

// 'a'..'z' mapped to 'A'..'Z'; every other byte unchanged.
inline char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// 'A'..'Z' mapped to 'a'..'z'; every other byte unchanged.
inline char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_TEXT_HELPERS_H_
