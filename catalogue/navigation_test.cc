#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"
#include "catalogue/random.h"

namespace lumorel {
namespace {

class NavigationTest : public CatalogueTest {
 protected:
  // Puts pictures with these paths in the list (folders: one entry per
  // distinct folder) and the cursor on the picture at `at`.
  void setPictures(const std::vector<std::string>& paths, std::size_t at = 0) {
    CatalogueState& s = catalogue_->state();
    s.pictureList = std::make_unique<ImageList>();
    s.folderList = std::make_unique<ImageList>();
    EntryAttributes picture{kScannedPicture, 10, 0, 0};
    std::vector<std::string> folders;
    for (const std::string& path : paths) {
      s.pictureList->addEntry(&picture, "file://" + path, false);
      std::string folder = path.substr(0, path.rfind('/') + 1);
      if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
        folders.push_back(folder);
        s.folderList->addEntry(nullptr, folder, false);
      }
    }
    entries_.clear();
    for (ImageEntry* e = s.pictureList->head(); e; e = e->next) entries_.push_back(e);
    s.cursor = entries_.empty() ? nullptr : entries_[at];
  }

  // The index of the cursor's picture.
  int cursorAt() {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i] == catalogue_->state().cursor) return static_cast<int>(i);
    return -1;
  }

  std::vector<ImageEntry*> entries_;
};

TEST_F(NavigationTest, BeforeAnyScanEverythingIsEmpty) {
  EXPECT_EQ(catalogue_->PreviousName(), "");
  EXPECT_EQ(catalogue_->CurrentName(), "");
  EXPECT_EQ(catalogue_->NextName(), "");
  EXPECT_EQ(catalogue_->CurrentShortName(), "");
  EXPECT_EQ(catalogue_->FileCount(), 0);
  EXPECT_EQ(catalogue_->DirCount(), 0);
  EXPECT_EQ(catalogue_->CurrentFileSize(), 0u);
  catalogue_->Next();
  catalogue_->Previous();
  catalogue_->Rewind();
  catalogue_->JumpTo('a');
  catalogue_->JumpToNextDir();
  catalogue_->JumpToPreviousDir();
  catalogue_->JumpToRandom();
  EXPECT_EQ(catalogue_->state().cursor, nullptr);
  EXPECT_EQ(ImageCatalogue::Version(), "1.4");
}

TEST_F(NavigationTest, StepsWrapAroundTheList) {
  setPictures({"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"});
  EXPECT_EQ(catalogue_->PreviousName(), "file:///p/c.jpg");
  EXPECT_EQ(catalogue_->CurrentName(), "file:///p/a.jpg");
  EXPECT_EQ(catalogue_->NextName(), "file:///p/b.jpg");
  EXPECT_EQ(cursorAt(), 0) << "reading the neighbours moves nothing";
  catalogue_->Previous();
  EXPECT_EQ(cursorAt(), 2);
  catalogue_->Next();
  EXPECT_EQ(cursorAt(), 0);
  catalogue_->Next();
  catalogue_->Next();
  EXPECT_EQ(catalogue_->NextName(), "file:///p/a.jpg");
  catalogue_->Rewind();
  EXPECT_EQ(cursorAt(), 0);
  EXPECT_EQ(catalogue_->CurrentShortName(), "a.jpg");
}

TEST_F(NavigationTest, OnePictureIsItsOwnNeighbour) {
  setPictures({"/p/only.jpg"});
  EXPECT_EQ(catalogue_->PreviousName(), "file:///p/only.jpg");
  EXPECT_EQ(catalogue_->NextName(), "file:///p/only.jpg");
  catalogue_->Next();
  catalogue_->Previous();
  catalogue_->Rewind();
  EXPECT_EQ(cursorAt(), 0);
}

TEST_F(NavigationTest, JumpToFindsTheNextNameWithThatLetterOnceAround) {
  const std::vector<std::string> pictures{"/p/apple.jpg", "/p/Bird.jpg", "/p/cat.jpg"};
  struct Case {
    std::size_t from;
    int16_t key;
    int landsAt;
  } cases[] = {
      {2, 'b', 1},            // wraps past the tail
      {2, 'B', 1},            // a key code in upper case
      {0, 'z', 0},            // no match: stays
      {2, 'c', 2},            // only itself: found again after a full circle
      {0, 0x100 | 'c', 2},    // only the low byte counts
  };
  for (const Case& c : cases) {
    setPictures(pictures, c.from);
    catalogue_->JumpTo(c.key);
    EXPECT_EQ(cursorAt(), c.landsAt) << "from " << c.from << " key " << c.key;
  }
}

TEST_F(NavigationTest, FolderJumpsLandOnTheFirstPictureOfABlock) {
  // Folders P, P, Q, Q, R and P, P, Q, Q; expected landing index per start.
  const std::vector<std::string> pqr{"/P/1.jpg", "/P/2.jpg", "/Q/1.jpg", "/Q/2.jpg", "/R/1.jpg"};
  const std::vector<std::string> pq{"/P/1.jpg", "/P/2.jpg", "/Q/1.jpg", "/Q/2.jpg"};
  struct Case {
    const std::vector<std::string>* pictures;
    bool forward;
    std::size_t from;
    int landsAt;
  } cases[] = {
      {&pqr, true, 1, 2},  {&pqr, true, 4, 0},  {&pqr, true, 0, 2},
      {&pqr, false, 4, 2}, {&pqr, false, 0, 4}, {&pqr, false, 2, 4}, {&pqr, false, 3, 4},
      {&pq, false, 3, 3},  {&pq, false, 1, 1},  {&pq, false, 0, 2},  {&pq, false, 2, 3},
  };
  for (const Case& c : cases) {
    setPictures(*c.pictures, c.from);
    c.forward ? catalogue_->JumpToNextDir() : catalogue_->JumpToPreviousDir();
    EXPECT_EQ(cursorAt(), c.landsAt) << (c.forward ? "next" : "previous") << " from " << c.from
                                     << " of " << c.pictures->size();
  }
}

TEST_F(NavigationTest, FolderJumpNeedsMoreThanOneListedFolder) {
  setPictures({"/P/1.jpg", "/Q/1.jpg"});
  catalogue_->state().folderList->unlink(catalogue_->state().folderList->tail());
  catalogue_->JumpToNextDir();
  EXPECT_EQ(cursorAt(), 0);
}

TEST_F(NavigationTest, FolderBlocksCompareWithoutCase) {
  setPictures({"/pics/1.jpg", "/PICS/2.jpg", "/other/3.jpg"});
  catalogue_->JumpToNextDir();
  EXPECT_EQ(cursorAt(), 2);
}

TEST_F(NavigationTest, RandomJumpDrawsFromTheWholeListAboveTwoPictures) {
  setPictures({"/p/a.jpg", "/p/b.jpg"}, 1);
  catalogue_->JumpToRandom();
  EXPECT_EQ(cursorAt(), 1) << "two pictures: nothing happens";

  setPictures({"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"});
  seedRandom(5);
  uint32_t expected = (5u * 69069u + 1u) % 3u;
  catalogue_->JumpToRandom();
  EXPECT_EQ(cursorAt(), static_cast<int>(expected));
  std::set<int> seen;
  for (int i = 0; i < 60; ++i) {
    catalogue_->JumpToRandom();
    seen.insert(cursorAt());
  }
  EXPECT_EQ(seen, (std::set<int>{0, 1, 2})) << "the current picture may be drawn again";
}

TEST_F(NavigationTest, CurrentFileSizeAsksTheFile) {
  std::string path = tree_.write("sized.jpg", std::string(777, 'z'));
  setPictures({path, tree_ / "gone.jpg"});
  EXPECT_EQ(catalogue_->CurrentFileSize(), 777u);
  catalogue_->Next();
  EXPECT_EQ(catalogue_->CurrentFileSize(), 0u);
}

}  // namespace
}  // namespace lumorel
