#include "catalogue/text_helpers.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/limits.h"

namespace lumorel {
namespace {

TEST(SkipScheme, CutsOnlyAfterTheFirstColonFollowedByTwoSlashes) {
  struct Case {
    const char* text;
    const char* path;
  } cases[] = {
      {"file:///pics/a.jpg", "/pics/a.jpg"},
      {"C:\\Pics\\a.jpg", "C:\\Pics\\a.jpg"},
      {"http://host/dir/b.gif", "host/dir/b.gif"},
      {"/pics/no-scheme.jpg", "/pics/no-scheme.jpg"},
      {"a:/b://c", "a:/b://c"},  // only the first ':' counts
      {"x://", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(skipScheme(c.text), c.path) << c.text;
}

TEST(ShortNameOf, TakesThePartAfterTheLastSeparatorOfEitherKind) {
  struct Case {
    const char* path;
    const char* shortName;
  } cases[] = {
      {"/pics/a.jpg", "a.jpg"},          {"C:\\Pics\\a.jpg", "a.jpg"},
      {"host/dir\\b.gif", "b.gif"},      {"plain.png", "plain.png"},
      {"/pics/sub/", ""},                {"/a.jpg", "a.jpg"},  // the root folder counts
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(shortNameOf(c.path), c.shortName) << c.path;
}

TEST(TextHelpers, TextsLongerThanAPathBufferGiveTheEmptyText) {
  std::string longest(kMaxPath, 'a');
  longest[0] = '/';
  EXPECT_STREQ(skipScheme(longest.c_str()), longest.c_str());
  std::string tooLong = longest + "b";
  EXPECT_STREQ(skipScheme(tooLong.c_str()), "");
  EXPECT_STREQ(shortNameOf(tooLong.c_str()), "");

  std::string folder = tooLong;
  folder[5] = '/';
  const std::string unchanged = folder;
  cutToFolder(folder.data());
  EXPECT_EQ(folder, unchanged);
}

TEST(CutToFolder, KeepsTheFolderAndItsSeparator) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"/pics/a.jpg", "/pics/"},
      {"/pics/sub/", "/pics/sub/"},
      {"/a.jpg", "/"},
      {"a.jpg", "a.jpg"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string buffer = c.in;
    cutToFolder(buffer.data());
    EXPECT_STREQ(buffer.c_str(), c.out) << c.in;
  }
}

TEST(CompareNames, FoldsOnlyLowerCaseLettersAndComparesSignedBytes) {
  struct Case {
    const char* a;
    const char* b;
    int result;
  } cases[] = {
      {"ABC", "abc", 0},        {"ab", "a_b", -1},  // '_' sorts after the letters
      {"a", "ab", -1},          {"b", "A", 1},
      {"\xe9t\xe9", "zoo", -1},  // bytes 0x80..0xFF come before ASCII
      {"Z", "[", -1},           {"z", "[", -1},
      {"", "", 0},              {"\xc3\xa9", "\xc3\x89", 1},  // no folding outside ASCII
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compareNames(c.a, c.b), c.result) << c.a << " vs " << c.b;
    EXPECT_EQ(compareNames(c.b, c.a), -c.result) << c.b << " vs " << c.a;
  }
}

}  // namespace
}  // namespace lumorel
