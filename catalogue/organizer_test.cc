#include "catalogue/organizer.h"

#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"
#include "catalogue/text_helpers.h"

namespace lumorel {
namespace {

class OrganizerTest : public CatalogueTest {
 protected:
  // Scans the tree in the organizer's mode, organizes it, and waits.
  void organize() {
    scan(tree_.path(), 2, 0);
    std::size_t before = organized_++;
    catalogue_->OrganizeImages();
    ASSERT_TRUE(events_.waitFor(kOnOrganizeDone, before + 1));
    catalogue_->waitForWorker();
  }

  void writeAll(const std::vector<std::string>& relatives) {
    for (const std::string& r : relatives) tree_.write(r, r);
  }

  std::size_t organized_ = 0;
};

TEST_F(OrganizerTest, MovesAGroupOfThreeAndDropsALonePair) {
  writeAll({"img1.jpg", "img2.jpg", "img3.jpg", "pic1.jpg", "pic2.jpg", "z.jpg"});
  organize();
  EXPECT_EQ(listNames(tree_ / "img#"), (std::vector<std::string>{"img1.jpg", "img2.jpg", "img3.jpg"}));
  EXPECT_EQ(readFile(tree_ / "img#/img2.jpg"), "img2.jpg");
  EXPECT_EQ(listNames(tree_.path()),
            (std::vector<std::string>{"img#", "pic1.jpg", "pic2.jpg", "z.jpg"}));
  EXPECT_EQ(pictureNames(), (std::vector<std::string>{"pic2.jpg", "z.jpg"}))
      << "pic1.jpg leaves the list unmoved";
  EXPECT_EQ(catalogue_->FileCount(), 2);
  EXPECT_EQ(dialogs_.asked, std::vector<Confirmation>{Confirmation::kMovePictures});
}

TEST_F(OrganizerTest, MakesOneFolderPerPattern) {
  writeAll({"dsc001.jpg", "dsc002.jpg", "dsc003.jpg", "dsc004.jpg", "party1.jpg", "party2.jpg",
            "party3.jpg", "x.jpg"});
  organize();
  EXPECT_EQ(listNames(tree_ / "dsc00#").size(), 4u);
  EXPECT_EQ(listNames(tree_ / "party#").size(), 3u);
  EXPECT_EQ(listNames(tree_.path()), (std::vector<std::string>{"dsc00#", "party#", "x.jpg"}));
  EXPECT_EQ(pictureNames(), std::vector<std::string>{"x.jpg"});
}

TEST_F(OrganizerTest, NeverReplacesAFileAndRemovesOnlyEmptiedFolders) {
  // img1.jpg is already in its group folder; a/ holds only a picture that
  // moves; b/ keeps a note; c/ and d/ each hold an img4.jpg.
  writeAll({"img#/img1.jpg", "a/img2.jpg", "b/img3.jpg", "b/note.txt", "c/img4.jpg",
            "d/img4.jpg"});
  organize();
  EXPECT_EQ(listNames(tree_ / "img#"),
            (std::vector<std::string>{"img1.jpg", "img2.jpg", "img3.jpg", "img4.jpg"}));
  EXPECT_EQ(readFile(tree_ / "img#/img1.jpg"), "img#/img1.jpg") << "already in place";
  EXPECT_FALSE(FileSystem::system().exists((tree_ / "a").c_str())) << "emptied, removed";
  EXPECT_EQ(listNames(tree_ / "b"), std::vector<std::string>{"note.txt"});

  // The img4.jpg that came second could not replace the first: it stays
  // where it was, with its folder, and leaves the list all the same.
  const std::string moved = readFile(tree_ / "img#/img4.jpg");
  ASSERT_TRUE(moved == "c/img4.jpg" || moved == "d/img4.jpg") << moved;
  const std::string stayedIn = moved == "c/img4.jpg" ? "d/" : "c/";
  EXPECT_EQ(readFile(tree_ / (stayedIn + "img4.jpg")), stayedIn + "img4.jpg");
  EXPECT_EQ(catalogue_->FileCount(), 0);
}

TEST_F(OrganizerTest, DecliningReportsTheEndAndMovesNothing) {
  writeAll({"img1.jpg", "img2.jpg", "img3.jpg"});
  dialogs_.answer = false;
  organize();
  EXPECT_EQ(listNames(tree_.path()), (std::vector<std::string>{"img1.jpg", "img2.jpg", "img3.jpg"}));
  EXPECT_EQ(catalogue_->FileCount(), 3);
}

TEST_F(OrganizerTest, NothingHappensWithoutPictures) {
  catalogue_->OrganizeImages();
  scan(tree_.path(), 2, 0);
  catalogue_->OrganizeImages();
  Clock::system().sleep(20);
  EXPECT_TRUE(dialogs_.asked.empty());
  EXPECT_EQ(events_.events(), std::vector<int>{kOnLoadDone});
}

TEST_F(OrganizerTest, AGroupFolderThatCannotBeMadeMovesNothing) {
  writeAll({"img1.jpg", "img2.jpg", "img3.jpg"});
  tree_.write("img#", "a file where the folder would go");
  organize();
  EXPECT_EQ(readFile(tree_ / "img#"), "a file where the folder would go");
  EXPECT_EQ(listNames(tree_.path()),
            (std::vector<std::string>{"img#", "img1.jpg", "img2.jpg", "img3.jpg"}));
}

// Runs collectGroup until no group is left, recording each group's pattern
// and members, what was dropped, and what remains.
std::vector<std::string> collectAll(const std::vector<std::string>& names, bool sorted) {
  ImageList pictures, dropped;
  for (const std::string& name : names) pictures.addEntry(nullptr, "/p/" + name, false);
  std::vector<std::string> log;
  std::string pattern;
  while (true) {
    ImageList group;
    collectGroup(pictures, group, pattern, sorted, dropped);
    if (group.count() == 0) break;
    std::string line = pattern + ":";
    for (const ImageEntry* e = group.head(); e; e = e->next) line += " " + std::string(e->shortName);
    log.push_back(line);
  }
  std::string rest = "dropped:", remain = "remaining:";
  for (const ImageEntry* e = dropped.head(); e; e = e->next) rest += " " + std::string(e->shortName);
  for (const ImageEntry* e = pictures.head(); e; e = e->next) remain += " " + std::string(e->shortName);
  log.push_back(rest);
  log.push_back(remain);
  return log;
}

TEST(CollectGroup, TheShortcutsOfASortedListChangeNoResult) {
  std::mt19937 gen(99);
  const std::vector<std::string> stems{"img", "IMG", "dsc0", "ab", "a", "1", "12", "x", "img_", ""};
  const std::string tails = "0123456789abAB._-";
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> names;
    int n = static_cast<int>(gen() % 40);
    for (int i = 0; i < n; ++i) {
      std::string name = stems[gen() % stems.size()];
      for (int k = static_cast<int>(gen() % 4); k > 0; --k) name += tails[gen() % tails.size()];
      name += gen() % 5 ? ".jpg" : ".png";
      names.push_back(name);
    }
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return compareNames(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_EQ(collectAll(names, true), collectAll(names, false)) << "round " << round;
  }
}

TEST(CollectGroup, TheExamplesOfOneRun) {
  EXPECT_EQ(collectAll({"img1.jpg", "img2.jpg", "img3.jpg", "pic1.jpg", "pic2.jpg", "z.jpg"}, true),
            (std::vector<std::string>{"img#: img2.jpg img3.jpg img1.jpg", "dropped: pic1.jpg",
                                      "remaining: pic2.jpg z.jpg"}));
}

}  // namespace
}  // namespace lumorel
