#include "catalogue/name_pattern.h"

#include "catalogue/text_helpers.h"

namespace lumorel {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool equal(char a, char b) { return upperAscii(a) == upperAscii(b); }

}  // namespace

void NamePatternMatcher::emit(char c) {
  // A pattern that would not fit its buffer is no pattern.
  if (patternLength + 1 >= static_cast<int32_t>(sizeof pattern)) {
    fail();
    return;
  }
  pattern[patternLength++] = c;
}

void NamePatternMatcher::fail() {
  matched = false;
  state = 7;
}

void NamePatternMatcher::end(int32_t kind) {
  if (kind != 0) endKind = kind;
  matched = true;
  state = 7;
}

bool NamePatternMatcher::again(int32_t newState, char a, char b) {
  state = newState;
  return step(a, b);
}

bool NamePatternMatcher::step(char a, char b) {
  if (++depth > 5) {
    --depth;
    return true;
  }
  switch (state) {
    case 0:
      patternLength = 0;
      matched = false;
      if (equal(a, b)) {
        again(1, a, b);
      } else if (isDigit(a) && isDigit(b)) {
        again(3, a, b);
      } else {
        fail();
      }
      break;
    case 1:  // common prefix
      if (equal(a, b)) {
        emit(a);
      } else if (patternLength == 1) {
        // A one-character prefix counts only as the start of a number.
        char p = pattern[0];
        patternLength = 0;
        if (isDigit(p)) {
          again(3, p, p);
        } else {
          fail();
        }
      } else if (isDigit(a) && isDigit(b)) {
        again(4, a, b);
      } else if (isLetter(a) && isLetter(b)) {
        again(6, a, b);
      } else if (a == '.' || b == '.') {
        end(0);
      } else {
        fail();
      }
      break;
    case 2:  // tail after a leading number
      if (a == '.') {
        end(2);
      } else if (equal(a, b)) {
        emit(a);
      } else {
        end(2);
      }
      break;
    case 3:  // leading number
      if (isDigit(a) && isDigit(b)) {
        emit('#');
      } else if (a == '.' || b == '.') {
        fail();
      } else if (equal(a, b)) {
        again(2, a, b);
      } else {
        fail();
      }
      break;
    case 4:  // number after the prefix
      if (a == '.' || b == '.') {
        end(4);
      } else if (isDigit(a) && isDigit(b)) {
        emit('#');
      } else if (equal(a, b)) {
        emit(a);
      } else {
        fail();
      }
      break;
    case 6:  // letters after the prefix
      if (a == '.' && b == '.') {
        end(6);
      } else if (a == '.') {
        fail();
      } else if (isLetter(a) && isLetter(b)) {
        emit('$');
      } else if (equal(a, b)) {
        emit(a);
      } else {
        fail();
      }
      break;
    default:  // 7, ended
      break;
  }
  if (matched) pattern[patternLength] = '\0';
  --depth;
  return state == 7;
}

bool matchNames(NamePatternMatcher& m, const char* anchor, const char* candidate,
                std::string& pattern) {
  const int32_t saved = m.endKind;
  m.state = 0;
  m.patternLength = 0;
  m.matched = false;
  for (; *anchor && *candidate; ++anchor, ++candidate) {
    if (m.step(*anchor, *candidate)) break;
  }
  if (m.matched && m.patternLength < 3) m.matched = false;
  if (m.matched) {
    m.matched = saved == 0 || saved == m.endKind;
    if (m.matched) pattern.assign(m.pattern, static_cast<std::size_t>(m.patternLength));
  }
  m.state = 0;
  return m.matched;
}

}  // namespace lumorel
