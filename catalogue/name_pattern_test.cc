#include "catalogue/name_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace lumorel {
namespace {

TEST(MatchNames, FindsTheSharedPatternAndHowItEnded) {
  struct Case {
    const char* anchor;
    const char* candidate;
    const char* pattern;  // null: no match
    int endKind;          // what the comparison leaves in endKind (0: none)
  } cases[] = {
      {"img1.jpg", "img2.jpg", "img#", 4},
      {"IMG_0012.jpg", "IMG_0013.jpg", "IMG_001#", 4},
      {"5abc.jpg", "6abc.jpg", "#abc", 2},
      {"12a.jpg", "34a.jpg", "##a", 2},
      {"abc.jpg", "abd.jpg", "ab$", 6},
      {"img1.jpg", "img12.jpg", "img1", 0},
      {"beach1.jpg", "beach2a.jpg", "beach#", 4},
      {"Beach1.jpg", "BEACH2.jpg", "Beach#", 4},  // shared characters from the anchor
      {"1axy.jpg", "1bxy.jpg", "#xy", 2},         // one digit of prefix starts a number
      {"ab.jpg", "ac.jpg", nullptr, 0},
      {"a1.jpg", "a2.jpg", nullptr, 0},
      {"1a.jpg", "2a.jpg", nullptr, 2},  // "#a" is too short, but it ended in state 2
      {"1.jpg", "2.jpg", nullptr, 0},
      {"photo.jpg", "photo.gif", nullptr, 0},
      {"same.jpg", "same.jpg", nullptr, 0},
      {"ab-1.jpg", "ab_1.jpg", nullptr, 0},
      {"", "x.jpg", nullptr, 0},
  };
  for (const Case& c : cases) {
    NamePatternMatcher matcher;
    std::string pattern = "untouched";
    bool matched = matchNames(matcher, c.anchor, c.candidate, pattern);
    EXPECT_EQ(matched, c.pattern != nullptr) << c.anchor << " / " << c.candidate;
    EXPECT_EQ(pattern, c.pattern ? c.pattern : "untouched") << c.anchor << " / " << c.candidate;
    EXPECT_EQ(matcher.endKind, c.endKind) << c.anchor << " / " << c.candidate;
    EXPECT_EQ(matcher.state, 0);
  }
}

TEST(MatchNames, ALaterMatchMustEndLikeTheLastOneThatEndedWithAKind) {
  NamePatternMatcher matcher;
  std::string pattern;
  ASSERT_TRUE(matchNames(matcher, "abc1.jpg", "abc2.jpg", pattern));  // ends in 4
  EXPECT_FALSE(matchNames(matcher, "abc1.jpg", "abd1.jpg", pattern)) << "ends in 6, not 4";
  EXPECT_EQ(matcher.endKind, 6) << "a refused match still leaves its kind";
  EXPECT_FALSE(matchNames(matcher, "abc1.jpg", "abc3.jpg", pattern)) << "now 4 differs from 6";
  EXPECT_TRUE(matchNames(matcher, "abc1.jpg", "abc1x.jpg", pattern)) << "no kind: accepted";
  EXPECT_EQ(pattern, "abc1");
  matcher.endKind = 0;  // a new anchor
  EXPECT_TRUE(matchNames(matcher, "abc1.jpg", "abc3.jpg", pattern));
  EXPECT_EQ(pattern, "abc#");
}

TEST(MatchNames, APatternLongerThanItsBufferIsNoMatch) {
  std::string anchor(kMaxPath, 'a'), candidate(kMaxPath, 'a');
  anchor += "1.jpg";
  candidate += "2.jpg";
  NamePatternMatcher matcher;
  std::string pattern;
  EXPECT_FALSE(matchNames(matcher, anchor.c_str(), candidate.c_str(), pattern));
}

}  // namespace
}  // namespace lumorel
