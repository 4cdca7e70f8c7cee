#include "catalogue/duplicate_finder.h"

#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"
#include "catalogue/content_groups.h"
#include "catalogue/text_helpers.h"

namespace lumorel {
namespace {

struct Picture {
  std::string relative;  // below the tree; "" for none
  std::string content;
  uint32_t kind = kScannedPicture;
  uint32_t listedSize = ~0u;  // the size the listing told; the content's when ~0
};

class DuplicateFinderTest : public CatalogueTest {
 protected:
  // Writes the pictures' files and makes a list of them in this order.
  std::unique_ptr<ImageList> makeList(const std::vector<Picture>& pictures, bool write = true) {
    auto list = std::make_unique<ImageList>();
    for (const Picture& p : pictures) {
      const bool file = p.kind == kScannedPicture && !p.relative.empty();
      std::string path = !file ? "" : write ? tree_.write(p.relative, p.content) : tree_ / p.relative;
      EntryAttributes attributes{p.kind,
                                 p.listedSize != ~0u ? p.listedSize
                                                     : static_cast<uint32_t>(p.content.size()),
                                 0, 0};
      list->addEntry(&attributes, p.kind == kScannedPicture ? "file://" + path : p.relative, false);
    }
    return list;
  }

  static std::vector<std::string> paths(const ImageList& list) {
    std::vector<std::string> out;
    for (const ImageEntry* e = list.head(); e; e = e->next) out.push_back(e->path);
    return out;
  }

  std::vector<std::string> run(const std::vector<Picture>& pictures, bool byName, bool bySize) {
    auto list = makeList(pictures);
    ImageList result;
    findDuplicates(*list, result, byName, bySize, FileSystem::system());
    std::vector<std::string> names;
    for (const std::string& p : paths(result)) names.push_back(p.substr(tree_.path().size()));
    return names;
  }
};

TEST_F(DuplicateFinderTest, GroupsTheAnchorsMatchesThenTheAnchor) {
  const std::vector<Picture> pictures{
      {"a.jpg", std::string(100, 'a')},  {"B.JPG", std::string(200, 'b')},
      {"o/A.JPG", std::string(300, 'c')}, {"b.jpg", std::string(200, 'b')},
      {"c.jpg", std::string(400, 'd')},
  };
  EXPECT_EQ(run(pictures, true, true),
            (std::vector<std::string>{"o/A.JPG", "a.jpg", "b.jpg", "B.JPG"}));
  EXPECT_EQ(run(pictures, true, false),
            (std::vector<std::string>{"o/A.JPG", "a.jpg", "b.jpg", "B.JPG"}));
  EXPECT_EQ(run(pictures, false, true), (std::vector<std::string>{"b.jpg", "B.JPG"}));
  EXPECT_EQ(run(pictures, false, false), std::vector<std::string>{});
}

TEST_F(DuplicateFinderTest, CopiesUnderOtherNamesFollowTheFirstOne) {
  std::string bytes(5000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  EXPECT_EQ(run({{"x1.jpg", bytes}, {"x2.jpg", bytes}, {"x3.jpg", bytes}}, false, true),
            (std::vector<std::string>{"x2.jpg", "x3.jpg", "x1.jpg"}));
}

TEST_F(DuplicateFinderTest, OnlyIdenticalBytesMakeACopy) {
  // Same size and the same weak signature (3² = 1² + 2·2²), different bytes.
  ASSERT_EQ(contentSignatureOf("\x03\x00", 2, 0, 0), contentSignatureOf("\x01\x02", 2, 0, 0));
  EXPECT_EQ(run({{"p.jpg", std::string("\x03\x00", 2)}, {"q.jpg", "\x01\x02"}}, false, true),
            std::vector<std::string>{});

  // Large files that differ only in their last byte, and ones that do not.
  std::string big(700 * 1024, 'z');
  std::string last = big;
  last.back() = 'y';
  EXPECT_EQ(run({{"big1.jpg", big}, {"big2.jpg", last}, {"big3.jpg", big}}, false, true),
            (std::vector<std::string>{"big3.jpg", "big1.jpg"}));
}

TEST_F(DuplicateFinderTest, UnreadableFilesMatchNothingButEmptyFilesMatch) {
  EXPECT_EQ(run({{"e1.jpg", ""}, {"e2.jpg", ""}}, false, true),
            (std::vector<std::string>{"e2.jpg", "e1.jpg"}));
  // Two names for files that are gone, and a folder where a file was, all
  // listed with the same size.
  tree_.makeFolder("now-a-folder.jpg");
  auto list = std::make_unique<ImageList>();
  EntryAttributes listed{kScannedPicture, 10, 0, 0};
  for (const char* name : {"gone1.jpg", "gone2.jpg", "now-a-folder.jpg"})
    list->addEntry(&listed, "file://" + tree_ / name, false);
  ImageList result;
  findDuplicates(*list, result, false, true, FileSystem::system());
  EXPECT_EQ(result.count(), 0u);
  EXPECT_EQ(list->count(), 3u);
}

TEST_F(DuplicateFinderTest, AddressPicturesAreNeitherComparedNorOpened) {
  EXPECT_EQ(run({{"http://host/a.jpg", "", kAddressPicture, 0}, {"a.jpg", "x"}}, true, true),
            std::vector<std::string>{});
  auto list = makeList({{"s.jpg", ""}, {"", "", kAddressPicture, 0}, {"", "", kAddressPicture, 0}});
  ImageList result;
  findDuplicates(*list, result, false, true, FileSystem::system());
  EXPECT_EQ(result.count(), 0u) << "address pictures have no content to compare";
}

TEST_F(DuplicateFinderTest, ManyCopiesOfOneSizeAreGroupedWithoutRunningOutOfFiles) {
  std::vector<Picture> pictures;
  for (int i = 0; i < 260; ++i) pictures.push_back({"c" + std::to_string(i) + ".jpg", "same bytes"});
  pictures.push_back({"other.jpg", "diff bytes"});
  std::vector<std::string> result = run(pictures, false, true);
  ASSERT_EQ(result.size(), 260u);
  EXPECT_EQ(result.front(), "c1.jpg");
  EXPECT_EQ(result.back(), "c0.jpg");
}

TEST_F(DuplicateFinderTest, ComputesSignaturesOfNamesAndOfFilesWithATwin) {
  auto list = makeList({{"ab.jpg", "\x05\x06"}, {"AB.JPG", "\x05\x06"}, {"z.jpg", "q"}});
  ImageList result;
  findDuplicates(*list, result, false, true, FileSystem::system());
  ASSERT_EQ(result.count(), 2u);
  EXPECT_EQ(result.head()->nameSignature, nameSignatureOf("AB.JPG"));
  EXPECT_EQ(nameSignatureOf("ab.jpg"), nameSignatureOf("AB.JPG"));
  EXPECT_EQ(nameSignatureOf("AB"), 1u * 65 * 65 + 2u * 66 * 66);
  EXPECT_EQ(result.head()->contentSignature, 1u * 25 + 2u * 36);
  EXPECT_EQ(list->head()->nameSignature, nameSignatureOf("z.jpg"));
}

// The finder as a comparison of every remaining pair, with exact content
// comparison: the reference the indexed finder must match entry by entry.
void referenceFindDuplicates(ImageList& from, ImageList& to, bool byName, bool bySize) {
  if (from.count() < 2 || !isLocalFile(from.head()->kind)) return;
  auto sameContent = [](const ImageEntry* a, const ImageEntry* b) {
    if (!isLocalFile(a->kind) || !isLocalFile(b->kind) || a->fileSize != b->fileSize) return false;
    std::string x = readFile(a->path), y = readFile(b->path);
    return x != "<missing>" && y != "<missing>" && x == y;
  };
  for (ImageEntry* anchor = from.head(); anchor && anchor->next;) {
    ImageEntry* nextAnchor = anchor->next;
    bool moved = false;
    for (ImageEntry* candidate = anchor->next; candidate;) {
      ImageEntry* following = candidate->next;
      bool match = byName && compareNames(anchor->shortName, candidate->shortName) == 0;
      if (!match && bySize) match = sameContent(anchor, candidate);
      if (match) {
        if (candidate == nextAnchor) nextAnchor = following;
        to.append(from.unlink(candidate));
        moved = true;
      }
      candidate = following;
    }
    if (moved) to.append(from.unlink(anchor));
    anchor = nextAnchor;
  }
}

TEST_F(DuplicateFinderTest, AgreesWithComparingEveryPairOnRandomLists) {
  std::mt19937 gen(2024);
  const char* names[] = {"a.jpg", "A.JPG", "b.jpg", "B.jpg", "c.gif", "d.png", "e.jpg", "f.jpg"};
  const std::string contents[] = {"", "1", "2", "12", "21", "123", "abc", "abd", "xyz"};
  for (int round = 0; round < 60; ++round) {
    std::vector<Picture> pictures;
    int n = 2 + static_cast<int>(gen() % 24);
    for (int i = 0; i < n; ++i) {
      Picture p{"r" + std::to_string(round) + "/f" + std::to_string(i) + "/" + names[gen() % 8],
                contents[gen() % 9]};
      if (gen() % 10 == 0) p.listedSize = 3;  // listed size no longer the file's
      if (i > 0 && gen() % 12 == 0) p = {"http://h/" + std::string(names[gen() % 8]), "", kAddressPicture, 0};
      pictures.push_back(p);
    }
    makeList(pictures);  // writes the files once
    for (auto [byName, bySize] : {std::pair{true, true}, {true, false}, {false, true}}) {
      auto fast = makeList(pictures, false), slow = makeList(pictures, false);
      ImageList fastOut, slowOut;
      findDuplicates(*fast, fastOut, byName, bySize, FileSystem::system());
      referenceFindDuplicates(*slow, slowOut, byName, bySize);
      EXPECT_EQ(paths(fastOut), paths(slowOut)) << "round " << round << " " << byName << bySize;
      EXPECT_EQ(paths(*fast), paths(*slow)) << "round " << round << " " << byName << bySize;
    }
  }
}

TEST_F(DuplicateFinderTest, AStopRequestEndsTheSearch) {
  auto list = makeList({{"a.jpg", "1"}, {"a.JPG", "1"}, {"b.jpg", "2"}, {"B.jpg", "2"}});
  list->abort = true;
  ImageList result;
  findDuplicates(*list, result, true, true, FileSystem::system());
  EXPECT_EQ(result.count(), 0u);
  EXPECT_EQ(list->count(), 4u);
}

TEST_F(DuplicateFinderTest, TheWorkerReplacesTheListAndReportsTheEnd) {
  tree_.write("one/p.jpg", "same");
  tree_.write("two/p.jpg", "same");
  tree_.write("two/q.jpg", "unique");
  scan(tree_.path(), 1, 0);
  catalogue_->RestrictOnlyDuplicates(1, 1);
  ASSERT_TRUE(events_.waitFor(kOnDupDone));
  EXPECT_EQ(pictureNames(), (std::vector<std::string>{"p.jpg", "p.jpg"}));
  EXPECT_EQ(catalogue_->CurrentShortName(), "p.jpg");
  EXPECT_EQ(catalogue_->FileCount(), 2);
  EXPECT_EQ(catalogue_->DuplicateStatus(), 0) << "the new list has taken no anchor";

  // One picture left after a delete: nothing matches, the list empties.
  catalogue_->RemoveCurrent();
  catalogue_->RestrictOnlyDuplicates(1, 1);
  ASSERT_TRUE(events_.waitFor(kOnDupDone, 2));
  EXPECT_EQ(catalogue_->FileCount(), 0);
  EXPECT_EQ(catalogue_->CurrentName(), "");

  // Without a cursor nothing runs and nothing is reported.
  catalogue_->RestrictOnlyDuplicates(1, 1);
  catalogue_->waitForWorker();
  Clock::system().sleep(20);
  std::vector<int> events = events_.events();
  EXPECT_EQ(std::count(events.begin(), events.end(), kOnDupDone), 2);
}

}  // namespace
}  // namespace lumorel
