#include "catalogue/image_catalogue.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"

namespace lumorel {
namespace {

TEST_F(CatalogueTest, LoadDoneTellsAnEndedWorkerNotYetWaitedFor) {
  tree_.write("a.jpg");
  EXPECT_FALSE(catalogue_->loadDone());
  scan(tree_.path());
  for (int i = 0; i < 1000 && !catalogue_->loadDone(); ++i) Clock::system().sleep(1);
  EXPECT_TRUE(catalogue_->loadDone());
  catalogue_->Next();
  EXPECT_FALSE(catalogue_->loadDone());
}

// The readers that never wait, polled while scans replace the lists under
// them; the thread sanitizer build checks they do not race.
TEST_F(SlowScanTest, ReadersThatNeverWaitStaySafeWhileScansRun) {
  for (int i = 0; i < 400; ++i)
    tree_.write("d" + std::to_string(i % 20) + "/p" + std::to_string(i) + ".jpg", "data");
  uint64_t reads = 0;
  for (int round = 0; round < 12; ++round) {
    catalogue_->SetParentDir(tree_.path(), 1, static_cast<int16_t>(round % 3));
    while (!catalogue_->loadDone()) {
      int32_t files = catalogue_->FileCount();
      int32_t folders = catalogue_->DirCount();
      std::string name = catalogue_->CurrentShortName();
      uint32_t size = catalogue_->CurrentFileSize();
      EXPECT_GE(files, 0);
      EXPECT_LE(folders, 21);
      EXPECT_TRUE(name.empty() || name[0] == 'p') << name;
      EXPECT_TRUE(size == 0 || size == 4) << size;
      ++reads;
    }
    EXPECT_EQ(catalogue_->FileCount(), 400);
    EXPECT_EQ(catalogue_->DirCount(), 21);
  }
  EXPECT_GT(reads, 0u);
  EXPECT_TRUE(events_.waitFor(kOnLoadDone, 12));
}

// Listing blocks on the folder named "stuck" until released.
class StuckListing final : public ForwardingFileSystem {
 public:
  bool listFolder(const char* folder,
                  const std::function<void(const FolderEntry&)>& visit) override {
    if (std::string(folder).find("/stuck/") != std::string::npos) {
      std::unique_lock<std::mutex> lock(mu_);
      ++waiting_;
      cv_.notify_all();
      cv_.wait(lock, [this] { return released_; });
    }
    return ForwardingFileSystem::listFolder(folder, visit);
  }

  void release() {
    std::lock_guard<std::mutex> lock(mu_);
    released_ = true;
    cv_.notify_all();
  }

  void waitUntilStuck() {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return waiting_ > 0; });
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  int waiting_ = 0;
  bool released_ = false;
};

class StuckWorkerTest : public CatalogueTest {
 protected:
  StuckWorkerTest() : StuckWorkerTest(newListing()) {}
  explicit StuckWorkerTest(StuckListing& stuck) : CatalogueTest(stuck, 50), stuck_(stuck) {}
  ~StuckWorkerTest() override {
    stuck_.release();
    // The abandoned worker must be able to end (and free its lists) safely
    // after the catalogue is gone.
    catalogue_.reset();
    Clock::system().sleep(50);
  }
  StuckListing& stuck_;

 private:
  // Listings live for the whole process, as the platform's own file system
  // does, since an abandoned worker may still use one after its test.
  static StuckListing& newListing() {
    static std::vector<std::unique_ptr<StuckListing>>* all =
        new std::vector<std::unique_ptr<StuckListing>>;
    all->push_back(std::make_unique<StuckListing>());
    return *all->back();
  }
};

TEST_F(StuckWorkerTest, AGiveUpLeavesTheOldListsToTheOldWorker) {
  for (int i = 0; i < 50; ++i) tree_.write("stuck/p" + std::to_string(i) + ".jpg");
  tree_.write("free/only.jpg");
  catalogue_->SetParentDir(tree_ / "stuck/", 0, 0);
  stuck_.waitUntilStuck();

  catalogue_->Next();  // gives up after 50 ms
  EXPECT_EQ(catalogue_->FileCount(), 0);
  EXPECT_EQ(catalogue_->state().pictureList, nullptr) << "the new lists are not the old worker's";

  scan(tree_ / "free/");
  EXPECT_EQ(pictureNames(), std::vector<std::string>{"only.jpg"});

  stuck_.release();
  Clock::system().sleep(100);
  EXPECT_EQ(events_.events(), std::vector<int>{kOnLoadDone})
      << "the abandoned scan must not report lists script no longer sees";
  EXPECT_EQ(pictureNames(), std::vector<std::string>{"only.jpg"});
}

TEST_F(StuckWorkerTest, DestructionDoesNotFreeTheListsUnderARunningWorker) {
  tree_.write("stuck/a.jpg");
  catalogue_->SetParentDir(tree_ / "stuck/", 0, 0);
  stuck_.waitUntilStuck();
  catalogue_.reset();  // gives up after 50 ms; the fixture then releases the worker
  SUCCEED();
}

}  // namespace
}  // namespace lumorel
