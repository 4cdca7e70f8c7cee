#include "catalogue/scanner.h"

#include <unordered_map>

#include "catalogue/folder_read_ahead.h"
#include "catalogue/list_freer.h"
#include "catalogue/picture_name.h"
#include "platform/file_system.h"
#include "platform/limits.h"

namespace lumorel {
namespace {

constexpr std::string_view kFileScheme = "file://";

// Replaces `list` with a new list holding its entries in random order; the
// old list, left empty, is freed on return.
void shuffleList(std::unique_ptr<ImageList>& list, CatalogueState& state)
    LM_EXCLUDES(state.publishMu) {
  auto shuffled = std::make_unique<ImageList>();
  list->shuffleInto(*shuffled);
  MutexLock lock(state.publishMu);
  list.swap(shuffled);
}

// What the first pass of a two-pass scan found in one folder, kept so that
// the second pass, which takes the folders in their final order, need not
// list the folder again.
struct FolderContents {
  ImageList pictures;
  uint32_t entries = 0;  // entries listed, counted again when taken
};

}  // namespace

namespace {

// What walkFolder does with a folder's entries, which `list` visits: from
// the file system, or from a read-ahead, to which the sub-folders queued
// are also added (the scan takes them in the same order).
template <typename List>
void walkListing(const std::string& folderPath, ImageList* pictures, ImageList* queue,
                 FolderReadAhead* readAhead, CatalogueState& state, const List& list) {
  std::string full;
  full.reserve(kFileScheme.size() + folderPath.size() + 256);
  full.append(kFileScheme).append(folderPath);
  const std::size_t nameAt = full.size();
  const EntryAttributes picture{kScannedPicture, 0, 0, 0};
  list([&](const FolderEntry& entry) {
    std::string_view name = entry.name();
    full.resize(nameAt);
    full.append(name);
    EntryKind kind = entry.kind();
    if (kind == EntryKind::kFolder) {
      if (queue && !name.empty() && name[0] != '.') {
        full.push_back(kFolderSeparator);
        std::string_view folder = std::string_view(full).substr(kFileScheme.size());
        if (folder.size() < kMaxPath) {
          queue->addEntry(nullptr, folder, false);
          if (readAhead) readAhead->add(std::string(folder));
        }
      }
    } else if (kind == EntryKind::kFile && pictures && isPictureName(name) &&
               full.size() < kMaxPath) {
      EntryAttributes attributes = picture;
      attributes.fileSize = static_cast<uint32_t>(entry.size());
      pictures->addEntry(&attributes, full, false);
    }
    state.entriesSeen.fetch_add(1, std::memory_order_relaxed);
  });
}

// walkFolder for a folder the read-ahead holds next.
void walkReadFolder(const std::string& folderPath, ImageList* pictures, ImageList* queue,
                    FolderReadAhead& readAhead, CatalogueState& state) {
  walkListing(folderPath, pictures, queue, &readAhead, state, [&readAhead](const auto& visit) {
    (void)readAhead.take(visit);
  });
}

}  // namespace

void walkFolder(const std::string& folderPath, ImageList* pictures, ImageList* queue,
                CatalogueState& state, const WorkerServices& services) {
  walkListing(folderPath, pictures, queue, nullptr, state, [&](const auto& visit) {
    (void)services.fs.listFolder(folderPath.c_str(), visit);
  });
}

void scanThread(CatalogueState& state, const WorkerServices& services) {
  ImageList queue;
  state.entriesSeen.store(0, std::memory_order_relaxed);

  // New lists go in before the old ones are freed, so readers always find
  // lists that live.
  std::unique_ptr<ImageList> oldPictures = std::make_unique<ImageList>();
  std::unique_ptr<ImageList> oldFolders = std::make_unique<ImageList>();
  std::unique_ptr<ImageList> oldExtra = std::make_unique<ImageList>();
  {
    MutexLock lock(state.publishMu);
    state.cursor = nullptr;
    state.pictureList.swap(oldPictures);
    state.folderList.swap(oldFolders);
    state.extraList.swap(oldExtra);
  }
  services.freer.free(std::move(oldFolders));
  services.freer.free(std::move(oldPictures));
  services.freer.free(std::move(oldExtra));

  ImageList& pictures = *state.pictureList;
  const int16_t recurseMode = state.recurseMode;
  const int16_t orderMode = state.orderMode;
  auto stopRequested = [&state] { return state.stopFlag.load(std::memory_order_relaxed); };

  queue.addEntry(nullptr, state.rootPath, false);

  // In every mode but the folder-order recursive one, the folders are
  // settled first and their pictures taken in a second pass.
  std::unordered_map<const ImageEntry*, FolderContents> firstPass;

  if (recurseMode != 0) {
    // Every folder queued is read ahead in queue order, which is the order
    // the loop takes them in.
    FolderReadAhead readAhead(services.fs, services.threads, state.stopFlag);
    readAhead.add(state.rootPath);
    for (uint32_t taken = 0; !stopRequested(); ++taken) {
      EntryPtr folder = queue.popFront();
      if (!folder) break;
      std::string path = folder->path;
      if (orderMode != 0) {
        FolderContents& found = firstPass[folder.get()];
        uint32_t before = state.entriesSeen.load(std::memory_order_relaxed);
        walkReadFolder(path, &found.pictures, &queue, readAhead, state);
        found.entries = state.entriesSeen.load(std::memory_order_relaxed) - before;
      } else if (recurseMode == 2 && taken >= 2) {
        walkReadFolder(path, &pictures, nullptr, readAhead, state);
      } else {
        walkReadFolder(path, &pictures, &queue, readAhead, state);
      }
      state.folderList->append(std::move(folder));
      if (taken + 1 == kMaxScannedFolders) break;
    }
  } else {
    state.folderList->append(queue.popFront());
  }

  if (orderMode > 0 && state.folderList->count() > 1) {
    shuffleList(state.folderList, state);
  }

  if (recurseMode == 0 || orderMode != 0) {
    for (ImageEntry* folder = state.folderList->head(); folder && !stopRequested();
         folder = folder->next) {
      auto found = firstPass.find(folder);
      if (found == firstPass.end()) {
        walkFolder(folder->path, &pictures, nullptr, state, services);
      } else {
        pictures.spliceBack(found->second.pictures);
        state.entriesSeen.fetch_add(found->second.entries, std::memory_order_relaxed);
      }
    }
  }
  firstPass.clear();

  // Pictures arrive unsorted; one stable sort at the end gives the order that
  // inserting each in sorted place would, without a walk per picture.
  if (recurseMode == 2) pictures.sortByShortName();

  if (orderMode == 1) shuffleList(state.pictureList, state);

  state.setCursor(state.pictureList->head());
  state.notifyDone(kOnLoadDone);
  state.entriesSeen.store(0, std::memory_order_relaxed);
}

}  // namespace lumorel
