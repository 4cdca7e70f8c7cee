#include "catalogue/folder_read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"
#include "catalogue/list_freer.h"
#include "catalogue/random.h"
#include "catalogue/scanner.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

// No thread can be made: every folder is read on the taking thread, just as
// listFolder reads it.
class NoThreads final : public ThreadFactory {
 public:
  std::unique_ptr<WorkerThread> start(std::function<void()>, ThreadPriority) override {
    return nullptr;
  }
};

// Folders named "/f<n>/" list one file "<n>.jpg" (size n); every seventh
// cannot be listed. Counts the listings begun and checks how far they run
// ahead of the folders taken.
class NumberedFolders final : public ForwardingFileSystem {
 public:
  bool listFolder(const char* folder,
                  const std::function<void(const FolderEntry&)>& visit) override {
    int n = std::atoi(folder + 2);
    int begun = listed.fetch_add(1) + 1;
    int ahead = begun - taken.load();
    int seen = mostAhead.load();
    while (ahead > seen && !mostAhead.compare_exchange_weak(seen, ahead)) {
    }
    if (n % 7 == 3) return false;
    struct Entry final : FolderEntry {
      std::string_view name() const override { return text; }
      EntryKind kind() const override { return EntryKind::kFile; }
      uint64_t size() const override { return size_; }
      std::string text;
      uint64_t size_ = 0;
    } entry;
    entry.text = std::to_string(n) + ".jpg";
    entry.size_ = static_cast<uint64_t>(n);
    visit(entry);
    return true;
  }
  std::atomic<int> listed{0}, taken{0}, mostAhead{0};
};

TEST(FolderReadAhead, GivesEachFolderInTheOrderAddedAndStaysWithinItsWindow) {
  for (bool withThread : {true, false}) {
    NumberedFolders fs;
    NoThreads noThreads;
    std::atomic<bool> stop{false};
    FolderReadAhead readAhead(fs, withThread ? ThreadFactory::system() : noThreads, stop);
    constexpr int kFolders = 300;
    for (int n = 0; n < kFolders; ++n) readAhead.add("/f" + std::to_string(n) + "/");
    for (int n = 0; n < kFolders; ++n) {
      std::vector<std::string> names;
      std::vector<uint64_t> sizes;
      bool listed = readAhead.take([&](const FolderEntry& e) {
        names.emplace_back(e.name());
        sizes.push_back(e.size());
      });
      fs.taken.fetch_add(1);
      if (n % 7 == 3) {
        EXPECT_FALSE(listed) << n;
        EXPECT_TRUE(names.empty()) << n;
      } else {
        ASSERT_TRUE(listed) << n;
        EXPECT_EQ(names, std::vector<std::string>{std::to_string(n) + ".jpg"});
        EXPECT_EQ(sizes, std::vector<uint64_t>{static_cast<uint64_t>(n)});
      }
    }
    std::vector<std::string> none;
    EXPECT_FALSE(readAhead.take([&](const FolderEntry& e) { none.emplace_back(e.name()); }))
        << "nothing queued";
    EXPECT_EQ(fs.listed.load(), kFolders) << "each folder read once";
    EXPECT_LE(fs.mostAhead.load(), static_cast<int>(FolderReadAhead::kFoldersAhead) + 1);
  }
}

TEST(FolderReadAhead, StopsReadingOnceTheScanStops) {
  NumberedFolders fs;
  std::atomic<bool> stop{false};
  {
    FolderReadAhead readAhead(fs, ThreadFactory::system(), stop);
    for (int n = 0; n < 1000; ++n) readAhead.add("/f" + std::to_string(n) + "/");
    for (int n = 0; n < 10; ++n) {
      (void)readAhead.take([](const FolderEntry&) {});
      fs.taken.fetch_add(1);
    }
    stop.store(true);
    // Destroyed while the reader may be busy: it waits for that folder only.
  }
  EXPECT_LE(fs.listed.load(), 10 + static_cast<int>(FolderReadAhead::kFoldersAhead) + 1);
}

// A tree of about 200 folders, several times the read-ahead's window, with
// pictures, other files, hidden and empty folders, in random places.
void writeTree(const TempFolder& tree) {
  std::mt19937 gen(11);
  std::vector<std::string> folders{""};
  const char* kinds[] = {".jpg", ".JPG", ".png", ".gif", ".txt", ".bmp", ".jpeg", ""};
  for (int f = 0; f < 200; ++f) {
    const std::string& parent = folders[gen() % folders.size()];
    std::string name = (gen() % 13 == 0 ? "." : "") + std::string(1, char('A' + gen() % 26)) +
                       std::to_string(f);
    folders.push_back(parent + name + "/");
    tree.makeFolder(folders.back());
  }
  for (int p = 0; p < 900; ++p) {
    const std::string& folder = folders[gen() % folders.size()];
    tree.write(folder + char('a' + gen() % 26) + std::to_string(p) + kinds[gen() % 8],
               std::string(gen() % 40, 'x'));
  }
}

struct ScanLists {
  std::vector<std::string> pictures, folders;
  std::vector<uint32_t> sizes;
  bool operator==(const ScanLists&) const = default;
};

ScanLists scanWith(const std::string& root, int16_t recurse, int16_t order,
                   ThreadFactory& threads) {
  CatalogueState state;
  EventLoop loop;
  state.rootPath = root;
  state.recurseMode = recurse;
  state.orderMode = order;
  state.port = std::make_shared<CompletionPort>(loop, [](int) {});
  seedRandom(1234);
  scanThread(state, {FileSystem::system(), Clock::system(), ListFreer::forProcess(), threads});
  ScanLists lists;
  for (const ImageEntry* e = state.pictureList->head(); e; e = e->next) {
    lists.pictures.push_back(e->text());
    lists.sizes.push_back(e->fileSize);
  }
  for (const ImageEntry* e = state.folderList->head(); e; e = e->next)
    lists.folders.push_back(e->text());
  return lists;
}

// The folder-order scan without the scanner: walkFolder, which lists each
// folder itself, over a breadth-first queue.
ScanLists walkInFolderOrder(const std::string& root) {
  CatalogueState state;
  WorkerServices services{FileSystem::system(), Clock::system(), ListFreer::forProcess(),
                          ThreadFactory::system()};
  ImageList pictures, queue;
  ScanLists lists;
  queue.addEntry(nullptr, root, false);
  while (EntryPtr folder = queue.popFront()) {
    lists.folders.push_back(folder->text());
    walkFolder(folder->path, &pictures, &queue, state, services);
  }
  for (const ImageEntry* e = pictures.head(); e; e = e->next) {
    lists.pictures.push_back(e->text());
    lists.sizes.push_back(e->fileSize);
  }
  return lists;
}

TEST(ScanReadingAhead, MakesTheListsOfAScanThatReadsEachFolderItself) {
  TempFolder tree;
  writeTree(tree);
  EXPECT_TRUE(scanWith(tree.path(), 1, 0, ThreadFactory::system()) ==
              walkInFolderOrder(tree.path()));
  NoThreads noThreads;
  for (auto [recurse, order] : {std::pair<int16_t, int16_t>{1, 0}, {1, 1}, {1, 2}, {1, -1},
                                {2, 0}, {2, -1}, {-1, 0}}) {
    ScanLists ahead = scanWith(tree.path(), recurse, order, ThreadFactory::system());
    ScanLists itself = scanWith(tree.path(), recurse, order, noThreads);
    EXPECT_FALSE(ahead.pictures.empty()) << recurse << "/" << order;
    EXPECT_TRUE(ahead == itself) << "recurse " << recurse << ", order " << order;
  }
}

}  // namespace
}  // namespace lumorel
