#include "catalogue/text_helpers.h"

#include <cstring>

#include "platform/limits.h"

namespace lumorel {
namespace {

const char kEmpty[] = "";

bool tooLong(const char* text) { return strnlen(text, kMaxPath + 1) > kMaxPath; }

// Where a path's separators start to count. A separator in the first position
// does not count where '\' separates folders, but where '/' does, a leading
// '/' is the root folder, so a picture at "/a.jpg" still has a folder.
const char* firstCountedSeparator(const char* path) {
  return kFolderSeparator == '/' || path[0] == '\0' ? path : path + 1;
}

}  // namespace

const char* skipScheme(const char* text) {
  if (tooLong(text)) return kEmpty;
  const char* colon = std::strchr(text, ':');
  if (colon && colon[1] == '/' && colon[2] == '/') return colon + 3;
  return text;
}

const char* shortNameOf(const char* path) {
  if (tooLong(path)) return kEmpty;
  const char* start = path;
  for (const char* p = firstCountedSeparator(path); *p; ++p) {
    if (*p == '\\' || *p == '/') start = p + 1;
  }
  return start;
}

void cutToFolder(char* buffer) {
  if (tooLong(buffer)) return;
  char* last = std::strrchr(const_cast<char*>(firstCountedSeparator(buffer)), kFolderSeparator);
  if (last) last[1] = '\0';
}

int compareNames(const char* a, const char* b) {
  for (;; ++a, ++b) {
    signed char x = static_cast<signed char>(upperAscii(*a));
    signed char y = static_cast<signed char>(upperAscii(*b));
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

}  // namespace lumorel
