// What the catalogue's tests share: a catalogue on the real POSIX platform
// with a UI thread of its own, and small fakes that forward to the real thing
// and override only the answer a test must force.
#ifndef LUMOREL_CATALOGUE_CATALOGUE_TEST_UTIL_H_
#define LUMOREL_CATALOGUE_CATALOGUE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "catalogue/image_catalogue.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/posix/event_loop.h"
#include "platform/posix/posix_file_system.h"
#include "platform/worker_thread.h"
#include "test_support/temp_folder.h"

namespace lumorel {

// The events fired on the UI thread, in order.
class EventRecorder {
 public:
  void record(int dispid) {
    std::lock_guard<std::mutex> lock(mu_);
    events_.push_back(dispid);
    cv_.notify_all();
  }

  // Waits until `dispid` has fired `times` times in all; false after 10 s.
  bool waitFor(int dispid, std::size_t times = 1) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] {
      return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), dispid)) >=
             times;
    });
  }

  std::vector<int> events() {
    std::lock_guard<std::mutex> lock(mu_);
    return events_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<int> events_;
};

// Answers every confirmation as told, and counts the questions. The folder
// prompt answers `folder` (nullopt: cancelled) and remembers what it was asked.
class ScriptedDialogs final : public Dialogs {
 public:
  bool confirm(Confirmation which) override {
    asked.push_back(which);
    return answer;
  }
  std::optional<std::string> chooseFolder(std::string_view startingFolder,
                                          std::string_view caption) override {
    prompts.push_back({std::string(startingFolder), std::string(caption)});
    return folder;
  }
  bool answer = true;
  std::vector<Confirmation> asked;
  std::optional<std::string> folder;
  struct Prompt {
    std::string startingFolder;
    std::string caption;
  };
  std::vector<Prompt> prompts;
};

// The real file system; a test overrides what must fail.
class ForwardingFileSystem : public FileSystem {
 public:
  bool listFolder(const char* folder,
                  const std::function<void(const FolderEntry&)>& visit) override {
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

// Each folder takes a few milliseconds to list, so scans last long enough
// to be watched or stopped.
class SlowListing final : public ForwardingFileSystem {
 public:
  bool listFolder(const char* folder,
                  const std::function<void(const FolderEntry&)>& visit) override {
    Clock::system().sleep(3);
    return ForwardingFileSystem::listFolder(folder, visit);
  }
};

// A catalogue on the real platform. The test's own thread plays the UI
// thread for member calls; events fire on the EventLoop and are recorded.
class CatalogueTest : public ::testing::Test {
 protected:
  explicit CatalogueTest(FileSystem& fs = FileSystem::system(), uint32_t waitMs = kWorkerWaitMs)
      : catalogue_(std::make_unique<ImageCatalogue>(
            CatalogueEnv{fs, Clock::system(), ThreadFactory::system(), loop_, dialogs_},
            [this](int dispid) { events_.record(dispid); }, waitMs)) {}

  // Scans `folder` and waits for its OnLoadDone.
  void scan(const std::string& folder, int16_t recurse = 0, int16_t order = 0) {
    std::size_t before = scansDone_++;
    catalogue_->SetParentDir(folder, recurse, order);
    ASSERT_TRUE(events_.waitFor(kOnLoadDone, before + 1)) << "no OnLoadDone for " << folder;
  }

  // The short names of the picture list from its head.
  std::vector<std::string> pictureNames() {
    catalogue_->waitForWorker();
    std::vector<std::string> names;
    const ImageList* list = catalogue_->state().pictureList.get();
    for (const ImageEntry* e = list ? list->head() : nullptr; e; e = e->next)
      names.push_back(e->shortName);
    return names;
  }

  // The texts of the folder list from its head.
  std::vector<std::string> folderTexts() {
    catalogue_->waitForWorker();
    std::vector<std::string> texts;
    const ImageList* list = catalogue_->state().folderList.get();
    for (const ImageEntry* e = list ? list->head() : nullptr; e; e = e->next)
      texts.push_back(e->text());
    return texts;
  }

  EventRecorder events_;
  ScriptedDialogs dialogs_;
  EventLoop loop_;
  TempFolder tree_;
  std::unique_ptr<ImageCatalogue> catalogue_;
  std::size_t scansDone_ = 0;
};

class SlowScanTest : public CatalogueTest {
 protected:
  SlowScanTest() : CatalogueTest(slow_) {}
  inline static SlowListing slow_;
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_CATALOGUE_TEST_UTIL_H_
