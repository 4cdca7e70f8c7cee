#include "platform/posix/folder_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumorel {
namespace {

TEST(FolderOrder, ComparesNamesAsTheWindowsFileSystemListsThem) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"holiday001.jpg", "holiday005.jpg"},
      {"holiday017.jpg", "img_10.jpg"},
      {"apple.jpg", "Berry.jpg"},      // case does not decide the letter
      {"Apple.jpg", "berry.jpg"},
      {"img.jpg", "img_1.jpg"},        // "." (2E) before "_" (5F)
      {"imgz.jpg", "img_1.jpg"},       // "_" after every letter, either case
      {"IMGZ.jpg", "img_1.jpg"},
      {"img", "img.jpg"},              // a name before the longer ones it begins
      {"A B.jpg", "A&B.jpg"},          // space (20) before "&" (26)
      {"9.jpg", "A.jpg"},
      {"Z.jpg", "[.jpg"},              // "[" (5B) after the folded letters
      {"a_.jpg", "[.jpg"},             // "a" reads as "A" (41), not as 61
      {"zebra.jpg", "\xC3\xA9t\xC3\xA9.jpg"},  // UTF-8 bytes above every ASCII one
      {"\xC3\x89T\xC3\x89.jpg", "\xC3\xA9t\xC3\xA9.jpg"},  // no folding beyond ASCII
      {"IMG.jpg", "img.jpg"},          // equal but for case: the raw bytes decide
      {"Img.JPG", "Img.jpg"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(listsBefore(c.before, c.after)) << c.before << " < " << c.after;
    EXPECT_FALSE(listsBefore(c.after, c.before)) << c.after << " !< " << c.before;
  }
  EXPECT_FALSE(listsBefore("same.jpg", "same.jpg"));
}

// Sorting needs a strict weak ordering: no name before itself, never both
// ways, and transitive, over names that differ only in the ways that matter.
TEST(FolderOrder, IsAStrictOrderOverTrickyNames) {
  const std::vector<std::string> names = {
      "", "a", "A", "_", "[", "`", "{", "a_", "A_", "aB", "Ab", "ab", "AB", "a.b", "a b",
      "\x7F", "\x80", "\xFF", "z", "Z", "zz", "Zz", "\xC3\xA9", "\xC3\x89", "1", "10", "9",
  };
  for (const auto& a : names) {
    EXPECT_FALSE(listsBefore(a, a)) << a;
    for (const auto& b : names) {
      if (a != b) {
        EXPECT_NE(listsBefore(a, b), listsBefore(b, a)) << a << " / " << b;
      }
      for (const auto& c : names) {
        if (listsBefore(a, b) && listsBefore(b, c)) {
          EXPECT_TRUE(listsBefore(a, c)) << a << " / " << b << " / " << c;
        }
      }
    }
  }
}

}  // namespace
}  // namespace lumorel
