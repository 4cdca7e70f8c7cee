#include <sys/stat.h>

#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"

namespace lumorel {
namespace {

class FileOperationsTest : public CatalogueTest {
 protected:
  explicit FileOperationsTest(FileSystem& fs = FileSystem::system()) : CatalogueTest(fs) {}

  // Scans a folder holding these files (each file's content is its name).
  void scanFiles(const std::vector<std::string>& names) {
    for (const std::string& name : names) tree_.write(name, name);
    scan(tree_.path(), 0, 0);
  }

  void moveToShortName(const std::string& name) {
    for (int i = 0; i < catalogue_->FileCount() && catalogue_->CurrentShortName() != name; ++i)
      catalogue_->Next();
    ASSERT_EQ(catalogue_->CurrentShortName(), name);
  }
};

TEST_F(FileOperationsTest, ConfirmedRemoveDeletesTheFileAndMovesOn) {
  scanFiles({"a.jpg", "b.jpg", "c.jpg"});
  std::vector<std::string> order = pictureNames();
  moveToShortName(order[2]);  // the tail
  catalogue_->RemoveCurrent();
  EXPECT_EQ(dialogs_.asked, std::vector<Confirmation>{Confirmation::kDeletePicture});
  EXPECT_EQ(readFile(tree_ / order[2]), "<missing>");
  EXPECT_EQ(catalogue_->CurrentShortName(), order[0]) << "wraps to the head";
  EXPECT_EQ(pictureNames(), (std::vector<std::string>{order[0], order[1]}));
}

TEST_F(FileOperationsTest, RemovingTheOnlyPictureEmptiesTheList) {
  scanFiles({"only.jpg"});
  catalogue_->RemoveCurrent();
  EXPECT_EQ(readFile(tree_ / "only.jpg"), "<missing>");
  EXPECT_EQ(catalogue_->CurrentName(), "");
  EXPECT_EQ(catalogue_->FileCount(), 0);
}

TEST_F(FileOperationsTest, DeclinedRemoveChangesNothing) {
  scanFiles({"a.jpg", "b.jpg"});
  dialogs_.answer = false;
  std::string current = catalogue_->CurrentName();
  catalogue_->RemoveCurrent();
  EXPECT_EQ(catalogue_->CurrentName(), current);
  EXPECT_EQ(catalogue_->FileCount(), 2);
  EXPECT_EQ(listNames(tree_.path()), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(FileOperationsTest, RemoveWithoutACursorAsksNothing) {
  catalogue_->RemoveCurrent();
  EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(FileOperationsTest, RemoveDeletesAReadOnlyPicture) {
  scanFiles({"locked.jpg"});
  ASSERT_EQ(chmod((tree_ / "locked.jpg").c_str(), 0444), 0);
  catalogue_->RemoveCurrent();
  EXPECT_EQ(readFile(tree_ / "locked.jpg"), "<missing>");
}

TEST_F(FileOperationsTest, AnAddressPictureLeavesTheListButNoFileIsTouched) {
  // The path of "http://host/a.jpg" is "host/a.jpg"; a file of that relative
  // name must survive.
  tree_.write("host/a.jpg", "keep");
  ASSERT_EQ(chdir(tree_.path().c_str()), 0);
  CatalogueState& s = catalogue_->state();
  s.pictureList = std::make_unique<ImageList>();
  s.folderList = std::make_unique<ImageList>();
  EntryAttributes address{kAddressPicture, 0, 0, 0};
  s.cursor = s.pictureList->addEntry(&address, "http://host/a.jpg", false);
  catalogue_->Rename("b.jpg");
  catalogue_->RemoveCurrent();
  EXPECT_EQ(readFile(tree_ / "host/a.jpg"), "keep");
  EXPECT_EQ(catalogue_->FileCount(), 0);
  ASSERT_EQ(chdir("/"), 0);
}

TEST_F(FileOperationsTest, RenameMovesTheFileWithinItsFolder) {
  scanFiles({"a.jpg", "b.jpg", "c.jpg"});
  std::vector<std::string> order = pictureNames();
  moveToShortName(order[1]);
  catalogue_->Rename("renamed.jpg");
  EXPECT_EQ(readFile(tree_ / "renamed.jpg"), order[1]);
  EXPECT_EQ(readFile(tree_ / order[1]), "<missing>");
  EXPECT_EQ(catalogue_->CurrentName(), tree_ / "renamed.jpg") << "no file:// after a rename";
  EXPECT_EQ(catalogue_->CurrentShortName(), "renamed.jpg");
  EXPECT_EQ(catalogue_->PreviousName(), "file://" + tree_ / order[0]);
  EXPECT_EQ(catalogue_->NextName(), "file://" + tree_ / order[2]);
  EXPECT_EQ(catalogue_->FileCount(), 3);
}

TEST_F(FileOperationsTest, RenameRefusesNamesThatLeaveTheFolderOrReplaceAFile) {
  tree_.makeFolder("sub");
  scanFiles({"a.jpg", "b.jpg"});
  moveToShortName("a.jpg");
  const std::string current = catalogue_->CurrentName();
  for (const char* name : {"b.jpg", "", ".", "..", "sub/a.jpg", "../a.jpg", "sub\\x.jpg",
                           "/tmp/x.jpg"}) {
    catalogue_->Rename(name);
    EXPECT_EQ(catalogue_->CurrentName(), current) << "renamed to '" << name << "'";
  }
  EXPECT_EQ(readFile(tree_ / "a.jpg"), "a.jpg");
  EXPECT_EQ(readFile(tree_ / "b.jpg"), "b.jpg") << "an existing file is never replaced";
  EXPECT_EQ(listNames(tree_ / "sub"), std::vector<std::string>{});
  std::string tooLong(kMaxPath, 'n');
  catalogue_->Rename(tooLong);
  EXPECT_EQ(catalogue_->CurrentName(), current);
}

class FailingMoves final : public ForwardingFileSystem {
  bool moveNoReplace(const char*, const char*) override { return false; }
};

class FailedMoveTest : public FileOperationsTest {
 protected:
  FailedMoveTest() : FileOperationsTest(failing_) {}
  static FailingMoves failing_;
};
FailingMoves FailedMoveTest::failing_;

TEST_F(FailedMoveTest, LeavesTheCatalogueAsItWas) {
  scanFiles({"a.jpg"});
  catalogue_->Rename("b.jpg");
  EXPECT_EQ(catalogue_->CurrentName(), "file://" + tree_ / "a.jpg");
  EXPECT_EQ(readFile(tree_ / "a.jpg"), "a.jpg");
}

}  // namespace
}  // namespace lumorel
