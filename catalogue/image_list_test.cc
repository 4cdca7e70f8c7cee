#include "catalogue/image_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "catalogue/random.h"
#include "catalogue/text_helpers.h"
#include "platform/limits.h"

namespace lumorel {
namespace {

std::vector<std::string> shortNames(const ImageList& list) {
  std::vector<std::string> names;
  for (const ImageEntry* e = list.head(); e; e = e->next) names.push_back(e->shortName);
  return names;
}

// Checks the links both ways against the count.
void expectWellFormed(const ImageList& list) {
  uint32_t n = 0;
  const ImageEntry* prev = nullptr;
  for (const ImageEntry* e = list.head(); e; prev = e, e = e->next, ++n) {
    ASSERT_EQ(e->prev, prev);
  }
  EXPECT_EQ(list.tail(), prev);
  EXPECT_EQ(list.count(), n);
}

TEST(ImageEntry, DerivesPathAndShortNameFromItsOwnText) {
  struct Case {
    const char* text;
    const char* path;
    const char* shortName;
  } cases[] = {
      {"file:///pics/a.jpg", "/pics/a.jpg", "a.jpg"},
      {"/pics/Sub/", "/pics/Sub/", ""},  // a folder
      {"http://host/x/y.gif?size=2", "host/x/y.gif?size=2", "y.gif?size=2"},
  };
  for (const Case& c : cases) {
    EntryPtr entry = ImageEntry::make(nullptr, c.text);
    EXPECT_STREQ(entry->text(), c.text);
    EXPECT_STREQ(entry->path, c.path);
    EXPECT_STREQ(entry->shortName, c.shortName);
    EXPECT_EQ(entry->kind, 0u);
    EXPECT_EQ(entry->fileSize, 0u);
  }
  std::string tooLong = "file:///" + std::string(kMaxPath, 'a');
  EntryPtr entry = ImageEntry::make(nullptr, tooLong);
  EXPECT_EQ(entry->text(), tooLong);
  EXPECT_STREQ(entry->path, "");
  EXPECT_STREQ(entry->shortName, "");
}

TEST(ImageList, LinksEntriesAtEveryPlace) {
  ImageList list;
  EXPECT_EQ(list.popFront(), nullptr);
  EXPECT_EQ(list.unlink(nullptr), nullptr);
  ImageEntry* b = list.addEntry(nullptr, "/b.jpg", false);
  list.insertBefore(ImageEntry::make(nullptr, "/a.jpg"), b);  // new head
  list.insertBefore(ImageEntry::make(nullptr, "/d.jpg"), nullptr);  // appended
  list.insertBefore(ImageEntry::make(nullptr, "/c.jpg"), list.tail());  // in between
  EXPECT_EQ(shortNames(list), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
  expectWellFormed(list);

  list.resume = b;
  EntryPtr taken = list.unlink(b);
  EXPECT_EQ(taken.get(), b);
  EXPECT_EQ(taken->prev, nullptr);
  EXPECT_EQ(taken->next, nullptr);
  EXPECT_EQ(list.resume, nullptr) << "resume must not name an entry that left";
  EXPECT_EQ(list.popFront()->shortName, std::string("a.jpg"));
  EXPECT_EQ(shortNames(list), (std::vector<std::string>{"c.jpg", "d.jpg"}));
  expectWellFormed(list);
  list.unlink(list.tail());
  list.unlink(list.head());
  EXPECT_EQ(list.head(), nullptr);
  EXPECT_EQ(list.tail(), nullptr);
  EXPECT_EQ(list.count(), 0u);
}

TEST(ImageList, SpliceBackMovesAWholeListToTheTail) {
  ImageList list, other, empty;
  list.addEntry(nullptr, "/a.jpg", false);
  other.addEntry(nullptr, "/b.jpg", false);
  other.addEntry(nullptr, "/c.jpg", false);
  list.spliceBack(empty);
  list.spliceBack(other);
  EXPECT_EQ(shortNames(list), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
  expectWellFormed(list);
  expectWellFormed(other);
  EXPECT_EQ(other.count(), 0u);
  empty.spliceBack(list);
  EXPECT_EQ(shortNames(empty), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
  expectWellFormed(empty);
}

TEST(ImageList, SortedAddKeepsEqualNamesInArrivalOrder) {
  ImageList list;
  for (const char* text : {"/x/b.jpg", "/x/A.jpg", "/y/a.jpg", "/x/Sub/"}) {
    list.addEntry(nullptr, text, true);
  }
  std::vector<std::string> texts;
  for (const ImageEntry* e = list.head(); e; e = e->next) texts.push_back(e->text());
  // A folder text has no short name and is appended.
  EXPECT_EQ(texts, (std::vector<std::string>{"/x/A.jpg", "/y/a.jpg", "/x/b.jpg", "/x/Sub/"}));
}

TEST(ImageList, ReplaceTextSwapsALocalFileEntryInPlace) {
  ImageList list;
  EntryAttributes picture{kScannedPicture, 1234, 7, 9};
  list.addEntry(&picture, "file:///p/a.jpg", false);
  ImageEntry* middle = list.addEntry(&picture, "file:///p/b.jpg", false);
  list.addEntry(&picture, "file:///p/c.jpg", false);
  list.resume = middle;

  ImageEntry* renamed = list.replaceText(middle, "/p/renamed.jpg");
  ASSERT_NE(renamed, nullptr);
  EXPECT_STREQ(renamed->text(), "/p/renamed.jpg");
  EXPECT_STREQ(renamed->shortName, "renamed.jpg");
  EXPECT_EQ(renamed->kind, kScannedPicture);
  EXPECT_EQ(renamed->fileSize, 1234u);
  EXPECT_EQ(renamed->nameSignature, 7u);
  EXPECT_EQ(renamed->contentSignature, 9u);
  EXPECT_EQ(list.resume, renamed);
  EXPECT_EQ(shortNames(list), (std::vector<std::string>{"a.jpg", "renamed.jpg", "c.jpg"}));
  expectWellFormed(list);

  EntryAttributes address{kAddressPicture, 0, 0, 0};
  ImageEntry* web = list.addEntry(&address, "http://host/w.jpg", false);
  EXPECT_EQ(list.replaceText(web, "/p/w.jpg"), nullptr);
  EXPECT_EQ(list.tail(), web);
  EXPECT_EQ(list.count(), 4u);
}

// The shuffle as a walk from the head for every entry drawn: the reference
// the fast shuffle must give exactly.
std::vector<std::string> walkShuffle(std::vector<std::string> names) {
  std::vector<std::string> out;
  while (!names.empty()) {
    uint32_t r = nextRandom() % static_cast<uint32_t>(names.size());
    out.push_back(names[r]);
    names.erase(names.begin() + r);
  }
  return out;
}

TEST(ImageList, ShuffleGivesThePermutationOfTheWalk) {
  for (uint32_t n : {0u, 1u, 2u, 3u, 7u, 64u, 100u, 257u}) {
    for (uint32_t seed : {1u, 99u, 0xdeadbeefu}) {
      std::vector<std::string> names;
      ImageList source;
      for (uint32_t i = 0; i < n; ++i) {
        names.push_back("p" + std::to_string(i) + ".jpg");
        source.addEntry(nullptr, "/" + names.back(), false);
      }
      seedRandom(seed);
      std::vector<std::string> expected = walkShuffle(names);
      seedRandom(seed);
      ImageList target;
      target.addEntry(nullptr, "/already-there.jpg", false);
      source.shuffleInto(target);

      expected.insert(expected.begin(), "already-there.jpg");
      EXPECT_EQ(shortNames(target), expected) << n << " entries, seed " << seed;
      EXPECT_EQ(source.count(), 0u);
      EXPECT_EQ(source.head(), nullptr);
      expectWellFormed(target);
    }
  }
}

TEST(ImageList, SortByShortNameEqualsSortedInsertion) {
  std::mt19937 gen(7);
  // Few letters and mixed case, so equal names (in compareNames' sense) are
  // common and their arrival order is what is tested.
  const std::string letters = "aAbB_[\xe9" "1";
  for (int round = 0; round < 50; ++round) {
    ImageList inserted, sorted;
    int n = static_cast<int>(gen() % 60);
    for (int i = 0; i < n; ++i) {
      std::string name;
      for (int len = 1 + static_cast<int>(gen() % 3); len > 0; --len)
        name.push_back(letters[gen() % letters.size()]);
      std::string text = "/f" + std::to_string(i) + "/" + name;
      inserted.addEntry(nullptr, text, true);
      sorted.addEntry(nullptr, text, false);
    }
    sorted.sortByShortName();
    std::vector<std::string> a, b;
    for (const ImageEntry* e = inserted.head(); e; e = e->next) a.push_back(e->text());
    for (const ImageEntry* e = sorted.head(); e; e = e->next) b.push_back(e->text());
    EXPECT_EQ(a, b) << "round " << round;
    expectWellFormed(sorted);
  }
}

}  // namespace
}  // namespace lumorel
