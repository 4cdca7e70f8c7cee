// Telling whether two picture names follow one pattern, and which: the same
// prefix with a differing number ("img#"), a differing letter run ("ab$"),
// or a leading number with the same tail ("#abc").
#ifndef LUMOREL_CATALOGUE_NAME_PATTERN_H_
#define LUMOREL_CATALOGUE_NAME_PATTERN_H_

#include <cstdint>
#include <string>

#include "platform/limits.h"

namespace lumorel {

// Compares two names character by character and builds the pattern they
// share: a character both share is copied from the anchor's name, '#' stands
// for a digit that differs, '$' for a letter that differs.
//
// States: 0 start, 1 common prefix, 2 tail after a leading number, 3 leading
// number, 4 number after the prefix, 6 letters after the prefix, 7 ended.
// `endKind` remembers how the last comparison that ended in state 2, 4 or 6
// ended; while one anchor is compared, a later match is accepted only if it
// ends the same way (or without a kind).
struct NamePatternMatcher {
  int32_t state = 0;
  int32_t endKind = 0;
  int32_t patternLength = 0;
  char pattern[kMaxPath] = {};
  bool matched = false;
  uint32_t depth = 0;

  // One character pair; true when the comparison has ended.
  bool step(char a, char b);

 private:
  void emit(char c);
  void fail();
  void end(int32_t kind);
  bool again(int32_t newState, char a, char b);
};

// Whether `anchor` and `candidate` match; on a match `pattern` receives the
// shared pattern (at least three characters).
bool matchNames(NamePatternMatcher& matcher, const char* anchor, const char* candidate,
                std::string& pattern);

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_NAME_PATTERN_H_
