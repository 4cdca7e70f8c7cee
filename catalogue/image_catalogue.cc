#include "catalogue/image_catalogue.h"

#include "catalogue/list_freer.h"
#include "catalogue/scanner.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace lumorel {

void CatalogueState::dropPicture(ImageEntry* entry) {
  {
    MutexLock lock(publishMu);
    if (cursor == entry) cursor = nullptr;
  }
  pictureList->unlink(entry);  // the returned owner frees it
}

ImageCatalogue::ImageCatalogue(const CatalogueEnv& env, std::function<void(int)> fire,
                               uint32_t workerWaitMs)
    : env_(env),
      fire_(std::move(fire)),
      workerWaitMs_(workerWaitMs),
      state_(std::make_shared<CatalogueState>()) {
  state_->port = makePort();
}

ImageCatalogue::~ImageCatalogue() {
  close();
  waitForWorker();
  state_->port->close();
  std::unique_ptr<ImageList> pictures, folders, extra;
  {
    MutexLock lock(state_->publishMu);
    state_->cursor = nullptr;
    pictures = std::move(state_->pictureList);
    folders = std::move(state_->folderList);
    extra = std::move(state_->extraList);
  }
  ListFreer& freer = ListFreer::forProcess();
  freer.free(std::move(pictures));
  freer.free(std::move(folders));
  freer.free(std::move(extra));
}

std::shared_ptr<CompletionPort> ImageCatalogue::makePort() {
  return std::make_shared<CompletionPort>(env_.ui, fire_);
}

void ImageCatalogue::close() {
  state_->stopFlag.store(true, std::memory_order_relaxed);
  MutexLock lock(state_->publishMu);
  if (state_->pictureList) state_->pictureList->abort.store(true, std::memory_order_relaxed);
}

void ImageCatalogue::waitForWorker() {
  if (!worker_) return;
  worker_->setPriority(ThreadPriority::kHighest);
  if (!worker_->waitFor(workerWaitMs_)) {
    // The worker still runs on the lists: leave them to it, tell it to stop,
    // and silence its completion, which would speak of lists script no longer
    // sees. Its state is freed when it ends.
    close();
    state_->port->close();
    auto fresh = std::make_shared<CatalogueState>();
    fresh->rootPath = state_->rootPath;
    fresh->recurseMode = state_->recurseMode;
    fresh->orderMode = state_->orderMode;
    fresh->checkName = state_->checkName;
    fresh->checkSize = state_->checkSize;
    fresh->port = makePort();
    state_ = std::move(fresh);
  }
  worker_.reset();
}

bool ImageCatalogue::loadDone() const { return worker_ && worker_->hasEnded(); }

void ImageCatalogue::startWorker(void (*body)(CatalogueState&, const WorkerServices&),
                                 ThreadPriority priority) {
  // The worker's own helpers (the scan's folder readers) come from the
  // platform's factory: env_.threads may count the catalogue's workers, and
  // is used on the UI thread only.
  WorkerServices services{env_.fs, env_.clock, ListFreer::forProcess(),
                          ThreadFactory::system()};
  worker_ = env_.threads.start(
      [state = state_, services, body] { body(*state, services); }, priority);
  env_.clock.sleep(10);
}

void ImageCatalogue::SetParentDir(std::string_view path, int16_t recurseMode,
                                  int16_t orderMode) {
  waitForWorker();
  CatalogueState& state = *state_;
  // Only an absolute folder path is scanned: a relative one would depend on
  // the program's working folder. The scan builds children by appending their
  // names, so the separator is added where missing.
  state.rootPath.clear();
  if (!path.empty() && path.size() < kMaxPath && (path[0] == kFolderSeparator ||
                                                  kFolderSeparator == '\\')) {
    state.rootPath = path;
    if (state.rootPath.back() != kFolderSeparator) state.rootPath.push_back(kFolderSeparator);
    if (state.rootPath.size() >= kMaxPath) state.rootPath.clear();
  }
  state.recurseMode = recurseMode;
  state.orderMode = orderMode;
  startWorker(scanThread, ThreadPriority::kAboveNormal);
}

int32_t ImageCatalogue::FileCount() const {
  uint32_t count = 0;
  {
    MutexLock lock(state_->publishMu);
    if (state_->pictureList) count = state_->pictureList->count();
  }
  if (count == 0) count = state_->entriesSeen.load(std::memory_order_relaxed);
  return static_cast<int32_t>(count);
}

int32_t ImageCatalogue::DirCount() const {
  MutexLock lock(state_->publishMu);
  return state_->folderList ? static_cast<int32_t>(state_->folderList->count()) : 0;
}

std::string ImageCatalogue::CurrentShortName() const {
  MutexLock lock(state_->publishMu);
  return state_->cursor ? state_->cursor->shortName : "";
}

uint32_t ImageCatalogue::CurrentFileSize() const {
  std::string path;
  {
    MutexLock lock(state_->publishMu);
    if (!state_->cursor) return 0;
    path = state_->cursor->path;
  }
  if (path.empty()) return 0;
  return static_cast<uint32_t>(env_.fs.fileSize(path.c_str()).value_or(0));
}

}  // namespace lumorel
