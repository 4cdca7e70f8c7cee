// The folder prompt's side of the file system: typed paths resolved, the
// folder the prompt opens in, and why a folder cannot be shown.
#include "host/folder_listing.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/posix/posix_file_system.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

TEST(IsMountPointTest, TheMountTableSaysWhichFoldersAreRoots) {
  const std::string mounts =
      "/dev/sda1 / ext4 rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /media/me/My\\040Card vfat rw 0 0\n"
      "server:/pics /mnt/pics nfs rw 0 0\n";
  struct Case {
    std::string_view folder;
    bool expected;
  };
  const Case cases[] = {
      {"/", true},                    // always, whatever the table says
      {"/proc", true},                // pseudo file systems are roots too
      {"/media/me/My Card/", true},   // the table escapes blanks
      {"/mnt/pics", true},            // with or without the separator
      {"/mnt/pics/", true},
      {"/mnt/pics/2020/", false},     // below a mount point
      {"/mnt/", false},               // above one
      {"/media/me/My\\040Card/", false},  // the escape is the table's, not the name's
      {"mnt/pics", false},            // not a full path
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(isMountPoint(mounts, c.folder), c.expected) << c.folder;
  EXPECT_TRUE(isMountPoint("", "/")) << "an unreadable table still knows the root";
}

TEST(ResolveFolderPathTest, TypedPathsBecomeFullFolderPaths) {
  struct Case {
    const char* typed;
    const char* current;
    const char* home;
    std::optional<std::string> folder;
  } cases[] = {
      {"/pics", "/cur/", "/home/u", "/pics/"},
      {"/pics/", "", "", "/pics/"},
      {"/", "/cur/", "/home/u", "/"},
      // Pasted with blanks around it.
      {"  /pics/2024 \n", "/cur/", "", "/pics/2024/"},
      // Repeated separators and "." steps go; ".." takes the step before.
      {"//pics//./2024/", "/cur/", "", "/pics/2024/"},
      {"/pics/2024/../2023", "/cur/", "", "/pics/2023/"},
      {"/../..", "/cur/", "", "/"},
      {"/a/b/..", "/cur/", "", "/a/"},
      // Below the home folder.
      {"~", "/cur/", "/home/u", "/home/u/"},
      {"~/Pictures", "/cur/", "/home/u/", "/home/u/Pictures/"},
      {"~/../v", "/cur/", "/home/u", "/home/v/"},
      {"~", "/cur/", "", std::nullopt},
      {"~", "/cur/", "relative", std::nullopt},
      // "~name" is a name like any other, below the shown folder.
      {"~other", "/cur/", "/home/u", "/cur/~other/"},
      // Below the shown folder.
      {"sub", "/cur/", "", "/cur/sub/"},
      {"sub/deeper/", "/cur", "", "/cur/sub/deeper/"},
      {"..", "/cur/sub/", "", "/cur/"},
      {"./x", "/cur/", "", "/cur/x/"},
      {"sub", "", "/home/u", std::nullopt},
      {"C:\\", "", "/home/u", std::nullopt},
      // Names with blanks inside keep them.
      {"/my pics/ a b", "", "", "/my pics/ a b/"},
      {"", "/cur/", "/home/u", std::nullopt},
      {" \t ", "/cur/", "/home/u", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(resolveFolderPath(c.typed, c.current, c.home), c.folder)
        << "typed \"" << c.typed << "\" in " << c.current;
  }
  EXPECT_EQ(resolveFolderPath(std::string_view("/a\0b", 4), "/", "/h"), std::nullopt);
  EXPECT_EQ(resolveFolderPath("b", std::string_view("/a\0", 3), "/h"), std::nullopt);
}

// The real file system, except for the folders a test makes unreadable:
// a test run by root reads every folder.
class UnreadableFolders final : public FileSystem {
 public:
  std::set<std::string> unreadable;

  bool listFolder(const char* folder,
                  const std::function<void(const FolderEntry&)>& visit) override {
    if (unreadable.count(folder) != 0) return false;
    return real_.listFolder(folder, visit);
  }
  bool exists(const char* path) override { return real_.exists(path); }
  std::optional<uint64_t> fileSize(const char* path) override { return real_.fileSize(path); }
  bool setNormalAttributes(const char* path) override { return real_.setNormalAttributes(path); }
  bool deleteFile(const char* path) override { return real_.deleteFile(path); }
  bool moveNoReplace(const char* from, const char* to) override {
    return real_.moveNoReplace(from, to);
  }
  bool createFolder(const char* path) override { return real_.createFolder(path); }
  bool removeEmptyFolder(const char* path) override { return real_.removeEmptyFolder(path); }
  std::unique_ptr<SequentialFile> openSequential(const char* path) override {
    return real_.openSequential(path);
  }
  std::unique_ptr<WritableFile> createNewFile(const char* path) override {
    return real_.createNewFile(path);
  }
  std::unique_ptr<RandomAccessFile> openRandomAccess(const char* path) override {
    return real_.openRandomAccess(path);
  }

 private:
  PosixFileSystem real_;
};

class FolderPromptFilesTest : public ::testing::Test {
 protected:
  FolderPromptFilesTest() {
    pics_ = root_.makeFolder("pics");
    home_ = root_.makeFolder("home");
    root_.makeFolder("pics/2024");
    root_.makeFolder("locked/inner");
    root_.write("pics/photo.jpg");
    fs_.unreadable = {root_ / "locked/", root_ / "locked/inner/"};
  }

  TempFolder root_;
  std::string pics_, home_;
  UnreadableFolders fs_;
};

TEST_F(FolderPromptFilesTest, ThePromptOpensAtTheNearestFolderItCanShow) {
  struct Case {
    std::string requested, home, start;
  } cases[] = {
      {pics_, home_, pics_},
      {root_ / "pics/2024", home_, pics_ + "2024/"},
      // Gone since it was stored: its nearest parent that is there.
      {root_ / "pics/gone/deeper/", home_, pics_},
      // A file stands where the folder was.
      {root_ / "pics/photo.jpg/", home_, pics_},
      // Unreadable on the way up: the first parent that can be shown.
      {root_ / "locked/inner/x/", home_, root_.path()},
      // No full path at all: a Windows drive, or nothing.
      {"C:\\", home_, home_},
      {"", home_, home_},
      {"C:\\", root_ / "no-home", "/"},
      {"", "", "/"},
      {"C:\\", root_ / "locked", "/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(startingFolder(fs_, c.requested, c.home), c.start)
        << "asked " << c.requested << " with home " << c.home;
  }
}

TEST_F(FolderPromptFilesTest, AFolderThatCannotBeListedSaysWhy) {
  struct Case {
    std::string folder;
    FolderProblem problem;
    const char* name;
  } cases[] = {
      {root_ / "nothing/", FolderProblem::kMissing, "missing"},
      {root_ / "nothing/deeper/", FolderProblem::kMissing, "missing"},
      {root_ / "pics/photo.jpg/", FolderProblem::kNotAFolder, "notFolder"},
      {root_ / "pics/photo.jpg", FolderProblem::kNotAFolder, "notFolder"},
      {root_ / "locked/", FolderProblem::kUnreadable, "unreadable"},
      // Inside an unreadable folder nothing tells more.
      {root_ / "locked/inner/", FolderProblem::kUnreadable, "unreadable"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(listFolders(fs_, c.folder)) << c.folder;
    EXPECT_EQ(whyUnlisted(fs_, c.folder), c.problem) << c.folder;
    EXPECT_EQ(folderProblemName(c.problem), c.name);
  }
}

}  // namespace
}  // namespace lumorel
