#include "catalogue/scanner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"
#include "catalogue/list_freer.h"
#include "catalogue/picture_name.h"
#include "catalogue/random.h"

namespace lumorel {
namespace {

// The names of `folder` in the order the platform lists them.
std::vector<std::string> listedOrder(const std::string& folder) {
  std::vector<std::string> names;
  (void)FileSystem::system().listFolder(folder.c_str(), [&](const FolderEntry& e) {
    names.emplace_back(e.name());
  });
  return names;
}

// The pictures of `folder` in listing order, as short names.
std::vector<std::string> picturesOf(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& name : listedOrder(folder)) {
    struct stat st {};
    if (isPictureName(name) && stat((folder + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
      names.push_back(name);
  }
  return names;
}

// Sub-folders of `folder` in listing order, as full paths ending with '/'.
std::vector<std::string> subFoldersOf(const std::string& folder) {
  std::vector<std::string> folders;
  for (const std::string& name : listedOrder(folder)) {
    struct stat st {};
    if (name[0] != '.' && lstat((folder + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      folders.push_back(folder + name + "/");
  }
  return folders;
}

void append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

class ScannerTest : public CatalogueTest {
 protected:
  // root: r1.jpg r2.PNG notes.txt, sub-folders A (a1.gif, a2.jpg, A1/deep.jpg),
  // B (b1.jpeg), .hidden (h.jpg); and a folder named x.jpg.
  void makeTree() {
    for (const char* file : {"r1.jpg", "r2.PNG", "notes.txt", "A/a1.gif", "A/a2.jpg",
                             "A/A1/deep.jpg", "B/b1.jpeg", ".hidden/h.jpg", "x.jpg/inside.bmp"})
      tree_.write(file);
  }

  // What a folder-order recursive scan must find: breadth first, each
  // folder's pictures in listing order.
  std::vector<std::string> breadthFirst(const std::string& root, std::vector<std::string>* folders) {
    std::vector<std::string> pictures, queue{root};
    for (std::size_t i = 0; i < queue.size(); ++i) {
      append(pictures, picturesOf(queue[i]));
      append(queue, subFoldersOf(queue[i]));
    }
    if (folders) *folders = queue;
    return pictures;
  }
};

TEST_F(ScannerTest, RootAloneListsOnlyTheRootsPictures) {
  makeTree();
  scan(tree_.path(), 0, 0);
  EXPECT_EQ(pictureNames(), picturesOf(tree_.path()));
  EXPECT_EQ(folderTexts(), std::vector<std::string>{tree_.path()});
  EXPECT_EQ(catalogue_->DirCount(), 1);
  EXPECT_EQ(catalogue_->FileCount(), 2);
  EXPECT_EQ(catalogue_->CurrentName(), "file://" + tree_.path() + pictureNames()[0]);
}

TEST_F(ScannerTest, FolderOrderIsBreadthFirstWithTheRootFirst) {
  makeTree();
  std::vector<std::string> folders;
  std::vector<std::string> expected = breadthFirst(tree_.path(), &folders);
  scan(tree_.path(), 1, 0);
  EXPECT_EQ(pictureNames(), expected);
  EXPECT_EQ(folderTexts(), folders);
  EXPECT_EQ(catalogue_->DirCount(), 5) << "root, A, B, x.jpg, A1";
  std::vector<std::string> names = pictureNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "h.jpg"), 0) << "dot folders are skipped";
  EXPECT_EQ(std::count(names.begin(), names.end(), "inside.bmp"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "x.jpg"), 0) << "a folder is no picture";
}

TEST_F(ScannerTest, ShuffledFoldersKeepEachFoldersPicturesTogether) {
  for (const char* folder : {"", "f1/", "f2/", "f3/"})
    for (int i = 0; i < 4; ++i) tree_.write(std::string(folder) + "p" + std::to_string(i) + ".jpg");
  std::vector<std::string> folders;
  breadthFirst(tree_.path(), &folders);

  std::set<std::vector<std::string>> orders;
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    seedRandom(seed);
    scan(tree_.path(), 1, 2);
    std::vector<std::string> expected;
    for (const std::string& folder : folderTexts()) append(expected, picturesOf(folder));
    std::vector<std::string> paths;
    catalogue_->Rewind();
    for (int i = 0; i < catalogue_->FileCount(); ++i, catalogue_->Next())
      paths.push_back(catalogue_->CurrentShortName());
    EXPECT_EQ(paths, expected) << "pictures must follow their folder's block";
    std::vector<std::string> sortedFolders = folderTexts();
    std::sort(sortedFolders.begin(), sortedFolders.end());
    std::vector<std::string> all = folders;
    std::sort(all.begin(), all.end());
    EXPECT_EQ(sortedFolders, all);
    orders.insert(folderTexts());
  }
  EXPECT_GT(orders.size(), 1u) << "the folder order never changed";
}

TEST_F(ScannerTest, ShuffledPicturesOfOneFolderFollowTheRandomSequence) {
  for (int i = 0; i < 9; ++i) tree_.write("p" + std::to_string(i) + ".jpg");
  std::vector<std::string> remaining = picturesOf(tree_.path());
  seedRandom(42);
  scan(tree_.path(), 1, 1);
  seedRandom(42);
  std::vector<std::string> expected;
  while (!remaining.empty()) {
    uint32_t r = nextRandom() % static_cast<uint32_t>(remaining.size());
    expected.push_back(remaining[r]);
    remaining.erase(remaining.begin() + r);
  }
  EXPECT_EQ(pictureNames(), expected);
}

TEST_F(ScannerTest, NegativeOrderWalksFoldersFirstButShufflesNothing) {
  makeTree();
  std::vector<std::string> folders;
  breadthFirst(tree_.path(), &folders);
  std::vector<std::string> expected;
  for (const std::string& folder : folders) append(expected, picturesOf(folder));
  scan(tree_.path(), 1, -1);
  EXPECT_EQ(folderTexts(), folders);
  EXPECT_EQ(pictureNames(), expected);
}

TEST_F(ScannerTest, OrganizerModeSortsAndTakesSubFoldersOfTheFirstTwoFoldersOnly) {
  // Root holds A and B; A holds A1, B holds B1. Of A1 and B1, the one below
  // the second folder taken is walked; the one below the third is not.
  for (const char* file : {"zeta.jpg", "A/Beta.jpg", "A/A1/alpha.jpg", "B/beta.jpg",
                           "B/B1/gamma.jpg", "A/_under.jpg", "B/ALPHA.png"})
    tree_.write(file);
  std::vector<std::string> firstTaken = subFoldersOf(tree_.path());
  ASSERT_EQ(firstTaken.size(), 2u);
  scan(tree_.path(), 2, 0);
  std::vector<std::string> names = pictureNames();
  bool aFirst = firstTaken[0] == tree_ / "A/";
  std::vector<std::string> expected =
      aFirst ? std::vector<std::string>{"alpha.jpg", "ALPHA.png", "Beta.jpg", "beta.jpg",
                                        "zeta.jpg", "_under.jpg"}
             : std::vector<std::string>{"ALPHA.png", "beta.jpg", "Beta.jpg", "gamma.jpg",
                                        "zeta.jpg", "_under.jpg"};
  // Equal names keep the order in which they were found: A's before B's when
  // A is taken first.
  EXPECT_EQ(names, expected);
}

TEST_F(ScannerTest, RecursiveScanStopsAfterTheRootAnd2001SubFolders) {
  for (int i = 0; i < 2010; ++i) tree_.write("d" + std::to_string(i) + "/p.jpg");
  std::vector<std::string> folders{tree_.path()};
  append(folders, subFoldersOf(tree_.path()));
  folders.resize(kMaxScannedFolders);
  scan(tree_.path(), 1, 0);
  EXPECT_EQ(folderTexts(), folders);
  EXPECT_EQ(catalogue_->FileCount(), 2001);
}

TEST_F(ScannerTest, MissingRootGivesEmptyListsAndStillReportsTheEnd) {
  scan(tree_ / "not-there/", 1, 0);
  EXPECT_EQ(catalogue_->FileCount(), 0);
  EXPECT_EQ(folderTexts(), std::vector<std::string>{tree_ / "not-there/"});
  EXPECT_EQ(catalogue_->CurrentName(), "");
  scan("relative/folder/", 1, 0);
  EXPECT_EQ(catalogue_->FileCount(), 0);
}

TEST_F(ScannerTest, RootWithoutTrailingSeparatorIsScannedAsAFolder) {
  tree_.write("sub/p.jpg");
  std::string root = tree_ / "sub";
  scan(root, 0, 0);
  EXPECT_EQ(catalogue_->CurrentName(), "file://" + root + "/p.jpg");
}

TEST_F(ScannerTest, LinksToFilesArePicturesAndLinksToFoldersAreNotEntered) {
  tree_.write("real/photo.jpg", "12345");
  ASSERT_EQ(symlink((tree_ / "real/photo.jpg").c_str(), (tree_ / "link.jpg").c_str()), 0);
  ASSERT_EQ(symlink(tree_.path().c_str(), (tree_ / "loop").c_str()), 0);
  ASSERT_EQ(symlink((tree_ / "gone.jpg").c_str(), (tree_ / "dangling.jpg").c_str()), 0);
  scan(tree_.path(), 1, 0);
  std::vector<std::string> names = pictureNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"link.jpg", "photo.jpg"}));
  EXPECT_EQ(catalogue_->DirCount(), 2) << "root and real/, not the loop";
  catalogue_->Rewind();
  while (catalogue_->CurrentShortName() != "link.jpg") catalogue_->Next();
  EXPECT_EQ(catalogue_->state().cursor->fileSize, 5u) << "the size of what the link leads to";
}

TEST_F(ScannerTest, ANewScanWaitsForTheRunningOneAndBothReportTheirEnd) {
  for (int i = 0; i < 300; ++i) tree_.write("d" + std::to_string(i % 30) + "/p" + std::to_string(i) + ".jpg");
  tree_.write("other/only.jpg");
  catalogue_->SetParentDir(tree_.path(), 1, 1);
  catalogue_->SetParentDir(tree_ / "other/", 0, 0);
  ASSERT_TRUE(events_.waitFor(kOnLoadDone, 2));
  EXPECT_EQ(pictureNames(), std::vector<std::string>{"only.jpg"});
  EXPECT_EQ(events_.events(), (std::vector<int>{kOnLoadDone, kOnLoadDone}));
}

TEST_F(SlowScanTest, StopRequestEndsTheScanEarlyButStillReportsItsEnd) {
  for (int i = 0; i < 300; ++i) tree_.write("d" + std::to_string(i) + "/p.jpg");
  catalogue_->SetParentDir(tree_.path(), 1, 0);
  catalogue_->close();
  ASSERT_TRUE(events_.waitFor(kOnLoadDone));
  catalogue_->waitForWorker();
  EXPECT_LT(catalogue_->FileCount(), 300);
  EXPECT_EQ(catalogue_->state().entriesSeen.load(), 0u) << "0 again after the end";
}

TEST(WalkFolder, CountsEveryListedEntryAndSkipsNamesTooLongForAPath) {
  TempFolder tree;
  for (const char* file : {"a.jpg", "b.txt", "sub/c.jpg", ".dot/d.jpg"}) tree.write(file);
  CatalogueState state;
  WorkerServices services{FileSystem::system(), Clock::system(), ListFreer::forProcess(),
                          ThreadFactory::system()};
  ImageList pictures, queue;
  walkFolder(tree.path(), &pictures, &queue, state, services);
  EXPECT_EQ(state.entriesSeen.load(), 6u) << ". .. a.jpg b.txt sub .dot";
  ASSERT_EQ(pictures.count(), 1u);
  EXPECT_EQ(pictures.head()->text(), "file://" + tree.path() + "a.jpg");
  EXPECT_EQ(pictures.head()->kind, kScannedPicture);
  EXPECT_EQ(pictures.head()->fileSize, 1u);
  ASSERT_EQ(queue.count(), 1u);
  EXPECT_EQ(queue.head()->text(), tree.path() + "sub/");

  // A folder whose path nearly fills a path buffer: of its children, only
  // those that still fit are taken.
  const std::size_t length = kMaxPath - 15;  // with the trailing '/'
  std::string deep = tree.path() + std::string(length - tree.path().size() - 1, 'x') + "/";
  ASSERT_EQ(deep.size(), length);
  class ListsLongNames final : public ForwardingFileSystem {
    bool listFolder(const char*, const std::function<void(const FolderEntry&)>& visit) override {
      struct Entry final : FolderEntry {
        std::string_view name() const override { return text; }
        EntryKind kind() const override { return folder ? EntryKind::kFolder : EntryKind::kFile; }
        uint64_t size() const override { return 3; }
        std::string_view text;
        bool folder = false;
      };
      for (auto [text, folder] : {std::pair{"ok.jpg", false}, {"toolong.jpg", false},
                                  {"sub", true}, {"a-much-longer-folder", true}}) {
        Entry e;
        e.text = text;
        e.folder = folder;
        visit(e);
      }
      return true;
    }
  } longNames;
  CatalogueState deepState;
  ImageList deepPictures, deepQueue;
  walkFolder(deep, &deepPictures, &deepQueue, deepState,
             {longNames, Clock::system(), ListFreer::forProcess(), ThreadFactory::system()});
  EXPECT_EQ(deepState.entriesSeen.load(), 4u);
  ASSERT_EQ(deepPictures.count(), 1u);
  EXPECT_EQ(deepPictures.head()->text(), "file://" + deep + "ok.jpg");
  ASSERT_EQ(deepQueue.count(), 1u);
  EXPECT_EQ(deepQueue.head()->text(), deep + "sub/");
}

}  // namespace
}  // namespace lumorel
