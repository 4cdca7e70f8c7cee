#include "platform/win32/win32_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace std::string_literals;

#include "platform/limits.h"
#include "platform/win32/test_folder.h"

namespace lumorel {
namespace {

// True under Wine, whose ntdll exports its version.
bool runsOnWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

struct Listed {
  EntryKind kind;
  uint64_t size;
  bool operator==(const Listed& other) const { return kind == other.kind && size == other.size; }
};

std::map<std::string, Listed> listAll(FileSystem& fs, const std::string& folder) {
  std::map<std::string, Listed> seen;
  EXPECT_TRUE(fs.listFolder(folder.c_str(), [&](const FolderEntry& e) {
    seen[std::string(e.name())] = {e.kind(), e.kind() == EntryKind::kFile ? e.size() : 0};
  })) << folder;
  return seen;
}

TEST(Win32FileSystem, ListsEveryEntryWithItsKindAndSize) {
  TestFolder tree;
  tree.write("file.jpg", "12345");
  tree.write("empty.txt", "");
  tree.makeFolder("folder");
  tree.makeFolder("folder.jpg");
  // A sparse file past 4 GiB: the size's high half must count.
  const uint64_t bigSize = (uint64_t{1} << 32) + 5;
  {
    HANDLE big = CreateFileA((tree / "big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    DeviceIoControl(big, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(bigSize);
    ASSERT_TRUE(SetFilePointerEx(big, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(big));
    CloseHandle(big);
  }

  Win32FileSystem fs;
  std::map<std::string, Listed> expected{
      {".", {EntryKind::kFolder, 0}},       {"..", {EntryKind::kFolder, 0}},
      {"file.jpg", {EntryKind::kFile, 5}},  {"empty.txt", {EntryKind::kFile, 0}},
      {"folder", {EntryKind::kFolder, 0}},  {"folder.jpg", {EntryKind::kFolder, 0}},
      {"big.bin", {EntryKind::kFile, bigSize}},
  };
  // A link counts as neither file nor folder, where the system lets a test
  // make one (Wine reports success and makes nothing).
  if (CreateSymbolicLinkA((tree / "to-folder").c_str(), (tree / "folder").c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY) &&
      GetFileAttributesA((tree / "to-folder").c_str()) != INVALID_FILE_ATTRIBUTES) {
    expected["to-folder"] = {EntryKind::kOther, 0};
  }
  EXPECT_EQ(listAll(fs, tree.path()), expected);
}

TEST(Win32FileSystem, RefusesAFolderItCannotListWithoutVisiting) {
  TestFolder tree;
  tree.write("file.jpg");
  tree.makeFolder("sub");
  Win32FileSystem fs;
  const std::string folderWithoutSeparator = tree.path().substr(0, tree.path().size() - 1);
  const std::string unlistable[] = {
      tree / "missing\\",
      tree / "file.jpg\\",
      // "<folder>*" without the separator would list the folder's neighbours.
      folderWithoutSeparator,
      tree / "sub",
      tree.path() + std::string(kMaxPath, 'a') + "\\",
  };
  for (const std::string& folder : unlistable) {
    EXPECT_FALSE(fs.listFolder(folder.c_str(), [&](const FolderEntry& e) {
      ADD_FAILURE() << folder << " visited " << e.name();
    })) << folder;
  }
}

// A name the ANSI code page cannot show is listed only under a name that
// opens that very entry.
TEST(Win32FileSystem, EveryListedNameOpensItsEntry) {
  TestFolder tree;
  const std::wstring wideFolder(tree.path().begin(), tree.path().end());
  HANDLE file = CreateFileW((wideFolder + L"\u4e2d\u6587\u0444.jpg").c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(file, "abc", 3, &put, nullptr));
  CloseHandle(file);
  tree.write("plain.jpg", "1234");

  Win32FileSystem fs;
  std::vector<std::string> files;
  ASSERT_TRUE(fs.listFolder(tree.path().c_str(), [&](const FolderEntry& e) {
    if (e.kind() == EntryKind::kFile) files.emplace_back(e.name());
  }));
  EXPECT_LE(files.size(), 2u);
  for (const std::string& name : files) {
    EXPECT_EQ(name.find('?'), std::string::npos) << name;
    const std::string full = tree / name;
    EXPECT_NE(fs.fileSize(full.c_str()), std::nullopt) << name << " does not open";
  }
}

TEST(Win32FileSystem, MoveNeverReplacesAnExistingTarget) {
  TestFolder tree;
  Win32FileSystem fs;
  const std::string a = tree.write("a.jpg", "AAAA");
  const std::string b = tree.write("b.jpg", "B\0B\r\n"s);
  tree.makeFolder("folder");
  struct Case {
    const char* what;
    std::string to;
  } refused[] = {
      {"an existing file", b},
      {"the same name in another case", tree / "B.JPG"},
      {"an existing folder", tree / "folder"},
      {"a missing folder", tree / "none\\a.jpg"},
      {"a name Windows would cut its dot from", tree / "c.jpg."},
      {"a path too long", tree.path() + std::string(kMaxPath, 'c')},
  };
  for (const Case& c : refused) {
    EXPECT_FALSE(fs.moveNoReplace(a.c_str(), c.to.c_str())) << c.what;
    EXPECT_EQ(readWholeFile(a), "AAAA") << c.what;
    EXPECT_EQ(readWholeFile(b), "B\0B\r\n"s) << c.what << ": the target kept byte for byte";
  }
  EXPECT_EQ(readWholeFile(tree / "c.jpg"), "<missing>");

  EXPECT_TRUE(fs.moveNoReplace(a.c_str(), (tree / "folder\\c.jpg").c_str()));
  EXPECT_EQ(readWholeFile(tree / "folder\\c.jpg"), "AAAA");
  EXPECT_FALSE(fs.exists(a.c_str()));
  EXPECT_FALSE(fs.moveNoReplace(a.c_str(), (tree / "d.jpg").c_str())) << "the source is gone";
}

TEST(Win32FileSystem, FolderAndFileOperations) {
  TestFolder tree;
  Win32FileSystem fs;
  const std::string folder = tree / "new";
  EXPECT_TRUE(fs.createFolder(folder.c_str()));
  EXPECT_FALSE(fs.createFolder(folder.c_str())) << "already there";
  EXPECT_TRUE(fs.exists(folder.c_str()));
  const std::string file = tree.write("new\\p.jpg", "xyz");
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
  in.reset();
  EXPECT_EQ(fs.openSequential((tree / "none").c_str()), nullptr);
  EXPECT_EQ(fs.openSequential(folder.c_str()), nullptr);

  // A read-only file is deleted only once its attributes are normal again.
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(fs.deleteFile(file.c_str()));
  EXPECT_TRUE(fs.exists(file.c_str()));
  EXPECT_TRUE(fs.setNormalAttributes(file.c_str()));
  EXPECT_EQ(GetFileAttributesA(file.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            0u);
  EXPECT_TRUE(fs.deleteFile(file.c_str()));
  EXPECT_FALSE(fs.exists(file.c_str()));
  EXPECT_FALSE(fs.deleteFile(file.c_str()));
  EXPECT_FALSE(fs.setNormalAttributes(file.c_str()));
  EXPECT_TRUE(fs.removeEmptyFolder(folder.c_str()));
  EXPECT_FALSE(fs.exists(folder.c_str()));
}

TEST(Win32FileSystem, ReadsAtAnyOffset) {
  TestFolder tree;
  Win32FileSystem fs;
  const std::string file = tree.write("data.bin", "0123456789");
  auto in = fs.openRandomAccess(file.c_str());
  ASSERT_NE(in, nullptr);
  struct Case {
    uint64_t offset;
    std::size_t n;
    std::string expected;
  } cases[] = {
      {0, 4, "0123"}, {6, 4, "6789"}, {8, 10, "89"}, {10, 4, ""}, {uint64_t{1} << 33, 4, ""},
      {3, 0, ""},
  };
  for (const Case& c : cases) {
    std::string buffer(c.n, '\0');
    std::optional<std::size_t> got = in->readAt(c.offset, buffer.data(), c.n);
    ASSERT_TRUE(got.has_value()) << c.offset;
    EXPECT_EQ(buffer.substr(0, *got), c.expected) << c.offset;
  }
  EXPECT_EQ(fs.openRandomAccess(tree.path().c_str()), nullptr) << "a folder";
  EXPECT_EQ(fs.openRandomAccess((tree / "none").c_str()), nullptr);
}

TEST(Win32FileSystem, CreateNewFileNeverTouchesAnExistingName) {
  TestFolder tree;
  Win32FileSystem fs;
  const std::string existing = tree.write("old.jpg", "OLD");
  tree.makeFolder("folder.jpg");
  for (const char* name : {"old.jpg", "OLD.JPG", "folder.jpg", "none\\x.jpg", "old.jpg.", "old.jpg "}) {
    EXPECT_EQ(fs.createNewFile((tree / name).c_str()), nullptr) << name;
  }
  EXPECT_EQ(readWholeFile(existing), "OLD");
  EXPECT_FALSE(fs.exists((tree / "none").c_str()));

  const std::string fresh = tree / "new.jpg";
  auto out = fs.createNewFile(fresh.c_str());
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(fs.createNewFile(fresh.c_str()), nullptr) << "now it exists";
  EXPECT_TRUE(out->append("ab", 2));
  EXPECT_TRUE(out->append("", 0));
  EXPECT_TRUE(out->append("cde", 3));
  // Others may read it while it is written.
  EXPECT_EQ(readWholeFile(fresh), "abcde");
  auto reader = fs.openSequential(fresh.c_str());
  EXPECT_NE(reader, nullptr);
  reader.reset();
  EXPECT_TRUE(out->close());
  EXPECT_EQ(readWholeFile(fresh), "abcde");
  EXPECT_FALSE(out->discard()) << "a closed file is no longer held and stays";
  EXPECT_EQ(readWholeFile(fresh), "abcde");
}

// A discarded file goes only through its own handle; whatever took, or
// tried to take, its name or its folder's name stays. Windows refuses some
// of these changes while the file is held; each case says what must be
// found afterwards for what the system let it do.
TEST(Win32FileSystem, DiscardRemovesOnlyTheFileItMade) {
  Win32FileSystem fs;
  using Contents = std::map<std::string, std::string>;  // path below the tree: content
  struct Case {
    const char* what;
    // Changes the tree between making "dir\new.jpg" and discarding it;
    // returns what the tree must then hold.
    std::function<Contents(const TestFolder&)> meanwhile;
  } cases[] = {
      {"nothing changed", [](const TestFolder&) { return Contents{{"dir\\new.jpg", "<missing>"}}; }},
      {"another file moved over its name",
       [](const TestFolder& t) {
         const std::string other = t.write("other.jpg", "OTHER");
         if (MoveFileExA(other.c_str(), (t / "dir\\new.jpg").c_str(), MOVEFILE_REPLACE_EXISTING))
           return Contents{{"dir\\new.jpg", "OTHER"}, {"other.jpg", "<missing>"}};
         return Contents{{"dir\\new.jpg", "<missing>"}, {"other.jpg", "OTHER"}};
       }},
      {"its folder renamed away and another made in its place",
       [](const TestFolder& t) {
         // Windows refuses to rename a folder that holds an open file.
         if (!MoveFileA((t / "dir").c_str(), (t / "moved").c_str()))
           return Contents{{"dir\\new.jpg", "<missing>"}};
         t.makeFolder("dir");
         t.write("dir\\new.jpg", "SECOND");
         // Wine lets the folder go and then deletes the held file by the
         // name it was opened under, after checking that the name still
         // names it: the file made stays behind in the renamed folder.
         // Nothing else may ever go.
         if (runsOnWine()) return Contents{{"dir\\new.jpg", "SECOND"}};
         return Contents{{"dir\\new.jpg", "SECOND"}, {"moved\\new.jpg", "<missing>"}};
       }},
  };
  for (const Case& c : cases) {
    TestFolder tree;
    tree.makeFolder("dir");
    auto out = fs.createNewFile((tree / "dir\\new.jpg").c_str());
    ASSERT_NE(out, nullptr) << c.what;
    EXPECT_TRUE(out->append("PART", 4));
    const Contents after = c.meanwhile(tree);
    EXPECT_TRUE(out->discard()) << c.what;
    for (const auto& [path, content] : after)
      EXPECT_EQ(readWholeFile(tree / path), content) << c.what << ": " << path;
  }
}

// A path of kMaxPath bytes or more is refused, never cut to the path of
// kMaxPath - 1 bytes that names another file.
TEST(Win32FileSystem, RefusesAPathTooLongInsteadOfCuttingIt) {
  TestFolder tree;
  Win32FileSystem fs;
  const std::string fits = tree.path() + std::string(kMaxPath - 1 - tree.path().size(), 'n');
  ASSERT_EQ(fits.size(), kMaxPath - 1);
  tree.write(fits.substr(tree.path().size()), "KEEP");
  const std::string tooLong = fits + "x";
  EXPECT_TRUE(fs.exists(fits.c_str()));

  EXPECT_FALSE(fs.exists(tooLong.c_str()));
  EXPECT_EQ(fs.fileSize(tooLong.c_str()), std::nullopt);
  EXPECT_FALSE(fs.setNormalAttributes(tooLong.c_str()));
  EXPECT_FALSE(fs.deleteFile(tooLong.c_str()));
  EXPECT_FALSE(fs.createFolder(tooLong.c_str()));
  EXPECT_FALSE(fs.removeEmptyFolder(tooLong.c_str()));
  EXPECT_EQ(fs.openSequential(tooLong.c_str()), nullptr);
  EXPECT_EQ(fs.openRandomAccess(tooLong.c_str()), nullptr);
  EXPECT_EQ(fs.createNewFile(tooLong.c_str()), nullptr);
  const std::string other = tree.write("other.jpg", "OTHER");
  EXPECT_FALSE(fs.moveNoReplace(other.c_str(), tooLong.c_str()));
  EXPECT_FALSE(fs.moveNoReplace(tooLong.c_str(), (tree / "moved.jpg").c_str()));
  EXPECT_EQ(readWholeFile(fits), "KEEP");
  EXPECT_EQ(readWholeFile(other), "OTHER");
  EXPECT_FALSE(fs.exists((tree / "moved.jpg").c_str()));
}

// Windows drops a last '.' or ' ' from a name; such a path is refused rather
// than acted on as the other name.
TEST(Win32FileSystem, RefusesANameWindowsWouldCut) {
  TestFolder tree;
  Win32FileSystem fs;
  const std::string file = tree.write("a.jpg", "A");
  for (const char* name : {"a.jpg.", "a.jpg ", "a.jpg. ."}) {
    const std::string path = tree / name;
    EXPECT_FALSE(fs.deleteFile(path.c_str())) << name;
    EXPECT_FALSE(fs.setNormalAttributes(path.c_str())) << name;
    EXPECT_EQ(fs.openSequential(path.c_str()), nullptr) << name;
  }
  EXPECT_EQ(readWholeFile(file), "A");
  EXPECT_TRUE(isUsableWin32Path((tree / "a.b.jpg").c_str()));
  EXPECT_TRUE(isUsableWin32Path((tree / "..").c_str()));
  EXPECT_FALSE(isUsableWin32Path(nullptr));
}

TEST(Win32FileSystem, SystemIsTheWin32FileSystem) {
  TestFolder tree;
  tree.write("x.jpg", "12");
  EXPECT_EQ(FileSystem::system().fileSize((tree / "x.jpg").c_str()), std::optional<uint64_t>(2));
  EXPECT_EQ(&FileSystem::system(), &FileSystem::system());
}

}  // namespace
}  // namespace lumorel
