#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

TEST(PosixFileSystem, ListsEveryEntryWithItsKindAndSize) {
  TempFolder tree;
  tree.write("file.jpg", "12345");
  tree.makeFolder("folder");
  ASSERT_EQ(symlink((tree / "file.jpg").c_str(), (tree / "to-file").c_str()), 0);
  ASSERT_EQ(symlink((tree / "folder").c_str(), (tree / "to-folder").c_str()), 0);
  ASSERT_EQ(symlink((tree / "nothing").c_str(), (tree / "dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((tree / "pipe").c_str(), 0600), 0);

  PosixFileSystem fs;
  std::map<std::string, std::pair<EntryKind, uint64_t>> seen;
  ASSERT_TRUE(fs.listFolder(tree.path().c_str(), [&](const FolderEntry& e) {
    seen[std::string(e.name())] = {e.kind(), e.kind() == EntryKind::kFile ? e.size() : 0};
  }));
  std::map<std::string, std::pair<EntryKind, uint64_t>> expected{
      {".", {EntryKind::kFolder, 0}},      {"..", {EntryKind::kFolder, 0}},
      {"file.jpg", {EntryKind::kFile, 5}}, {"folder", {EntryKind::kFolder, 0}},
      {"to-file", {EntryKind::kFile, 5}},  {"to-folder", {EntryKind::kOther, 0}},
      {"dangling", {EntryKind::kOther, 0}}, {"pipe", {EntryKind::kOther, 0}},
  };
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(fs.listFolder((tree / "missing/").c_str(), [](const FolderEntry&) {
    ADD_FAILURE() << "nothing to visit";
  }));
}

// A folder lists in folder order, whatever order the file system keeps:
// the names are written in an order of their own.
TEST(PosixFileSystem, ListsAFolderInFolderOrder) {
  TempFolder tree;
  const std::vector<std::string> listed = {
      ".", "..", "Holiday 2.jpg", "holiday001.jpg", "Holiday005.jpg", "holiday017.jpg",
      "img.jpg", "img_10.jpg", "sub", "Sub2", "\xC3\xA9t\xC3\xA9.jpg",
  };
  for (const char* name : {"img_10.jpg", "holiday017.jpg", "\xC3\xA9t\xC3\xA9.jpg",
                           "Holiday005.jpg", "img.jpg", "holiday001.jpg", "Holiday 2.jpg"}) {
    tree.write(name, "x");
  }
  tree.makeFolder("Sub2");
  tree.makeFolder("sub");

  PosixFileSystem fs;
  std::vector<std::string> seen;
  ASSERT_TRUE(fs.listFolder(tree.path().c_str(), [&](const FolderEntry& e) {
    seen.emplace_back(e.name());
    if (e.name() == "sub") {
      EXPECT_EQ(e.kind(), EntryKind::kFolder);
    }
    if (e.name() == "img.jpg") {
      EXPECT_EQ(e.size(), 1U);
    }
  }));
  EXPECT_EQ(seen, listed);
}

TEST(PosixFileSystem, MoveNeverReplacesAnExistingTarget) {
  TempFolder tree;
  PosixFileSystem fs;
  std::string a = tree.write("a.jpg", "A"), b = tree.write("b.jpg", "B");
  EXPECT_FALSE(fs.moveNoReplace(a.c_str(), b.c_str()));
  EXPECT_EQ(readFile(a), "A");
  EXPECT_EQ(readFile(b), "B");

  ASSERT_EQ(symlink((tree / "elsewhere.jpg").c_str(), (tree / "link.jpg").c_str()), 0);
  EXPECT_FALSE(fs.moveNoReplace(a.c_str(), (tree / "link.jpg").c_str()))
      << "a link is a name that is taken";
  EXPECT_EQ(readFile(tree / "elsewhere.jpg"), "<missing>") << "and is not followed";

  EXPECT_TRUE(fs.moveNoReplace(a.c_str(), (tree / "c.jpg").c_str()));
  EXPECT_EQ(readFile(tree / "c.jpg"), "A");
  EXPECT_EQ(readFile(a), "<missing>");
  EXPECT_FALSE(fs.moveNoReplace(a.c_str(), (tree / "d.jpg").c_str())) << "source is gone";
  EXPECT_FALSE(fs.moveNoReplace(b.c_str(), (tree / "no-folder/b.jpg").c_str()));
  EXPECT_EQ(readFile(b), "B");
}

TEST(PosixFileSystem, FolderAndFileOperations) {
  TempFolder tree;
  PosixFileSystem fs;
  std::string folder = tree / "new";
  EXPECT_TRUE(fs.createFolder(folder.c_str()));
  EXPECT_FALSE(fs.createFolder(folder.c_str())) << "already there";
  EXPECT_TRUE(fs.exists(folder.c_str()));
  std::string file = tree.write("new/p.jpg", "xyz");
  EXPECT_FALSE(fs.removeEmptyFolder(folder.c_str())) << "not empty";
  EXPECT_FALSE(fs.deleteFile(folder.c_str())) << "a folder is not a file";
  EXPECT_EQ(fs.fileSize(file.c_str()), std::optional<uint64_t>(3));
  EXPECT_EQ(fs.fileSize((tree / "none").c_str()), std::nullopt);

  auto in = fs.openSequential(file.c_str());
  ASSERT_NE(in, nullptr);
  char buffer[8];
  EXPECT_EQ(in->read(buffer, 2), std::optional<std::size_t>(2));
  EXPECT_EQ(in->read(buffer + 2, 6), std::optional<std::size_t>(1));
  EXPECT_EQ(in->read(buffer, 6), std::optional<std::size_t>(0));
  EXPECT_EQ(std::string(buffer, 3), "xyz");
  EXPECT_EQ(fs.openSequential((tree / "none").c_str()), nullptr);

  EXPECT_TRUE(fs.setNormalAttributes(file.c_str()));
  EXPECT_TRUE(fs.deleteFile(file.c_str()));
  EXPECT_FALSE(fs.exists(file.c_str()));
  EXPECT_FALSE(fs.deleteFile(file.c_str()));
  EXPECT_TRUE(fs.removeEmptyFolder(folder.c_str()));
  EXPECT_FALSE(fs.exists(folder.c_str()));
}

TEST(PosixFileSystem, CreateNewFileNeverTouchesAnExistingName) {
  TempFolder tree;
  PosixFileSystem fs;
  std::string existing = tree.write("old.jpg", "OLD");
  tree.makeFolder("folder.jpg");
  ASSERT_EQ(symlink((tree / "target.jpg").c_str(), (tree / "dangling.jpg").c_str()), 0);
  ASSERT_EQ(symlink(existing.c_str(), (tree / "to-old.jpg").c_str()), 0);
  for (const char* name : {"old.jpg", "folder.jpg", "dangling.jpg", "to-old.jpg", "none/x.jpg"}) {
    EXPECT_EQ(fs.createNewFile((tree / name).c_str()), nullptr) << name;
  }
  EXPECT_EQ(readFile(existing), "OLD");
  EXPECT_EQ(readFile(tree / "target.jpg"), "<missing>") << "the link was not followed";

  std::string fresh = tree / "new.jpg";
  auto out = fs.createNewFile(fresh.c_str());
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(fs.createNewFile(fresh.c_str()), nullptr) << "now it exists";
  EXPECT_TRUE(out->append("ab", 2));
  EXPECT_TRUE(out->append("", 0));
  EXPECT_TRUE(out->append("cde", 3));
  EXPECT_TRUE(out->close());
  EXPECT_EQ(readFile(fresh), "abcde");
  struct stat st {};
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IRUSR);
}

// A discarded file goes only from the folder it was made in and only while
// its name still names it; whatever took its place stays.
TEST(PosixFileSystem, DiscardRemovesOnlyTheFileItMade) {
  PosixFileSystem fs;
  struct Case {
    const char* what;
    // Changes the tree between making "dir/new.jpg" and discarding it.
    std::function<void(const TempFolder&)> meanwhile;
    bool removed;
    std::map<std::string, std::string> after;  // path below the tree: content
  } cases[] = {
      {"nothing changed", [](const TempFolder&) {}, true, {{"dir/new.jpg", "<missing>"}}},
      {"another file renamed over it",
       [](const TempFolder& t) {
         ASSERT_EQ(::rename(t.write("other.jpg", "OTHER").c_str(), (t / "dir/new.jpg").c_str()), 0);
       },
       false,
       {{"dir/new.jpg", "OTHER"}}},
      {"its folder renamed away and another made in its place",
       [](const TempFolder& t) {
         ASSERT_EQ(::rename((t / "dir").c_str(), (t / "moved").c_str()), 0);
         t.write("dir/new.jpg", "SECOND");
       },
       true,
       {{"dir/new.jpg", "SECOND"}, {"moved/new.jpg", "<missing>"}}},
      {"its folder swapped for a link to another folder",
       [](const TempFolder& t) {
         ASSERT_EQ(::rename((t / "dir").c_str(), (t / "moved").c_str()), 0);
         t.write("elsewhere/new.jpg", "PRECIOUS");
         ASSERT_EQ(symlink((t / "elsewhere").c_str(), (t / "dir").c_str()), 0);
       },
       true,
       {{"elsewhere/new.jpg", "PRECIOUS"}, {"moved/new.jpg", "<missing>"}}},
  };
  for (const Case& c : cases) {
    TempFolder tree;
    tree.makeFolder("dir");
    auto out = fs.createNewFile((tree / "dir/new.jpg").c_str());
    ASSERT_NE(out, nullptr) << c.what;
    EXPECT_TRUE(out->append("PART", 4));
    c.meanwhile(tree);
    EXPECT_EQ(out->discard(), c.removed) << c.what;
    for (const auto& [path, content] : c.after)
      EXPECT_EQ(readFile(tree / path), content) << c.what << ": " << path;
  }
}

}  // namespace
}  // namespace lumorel
