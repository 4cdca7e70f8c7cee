#include "catalogue/duplicate_finder.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/content_groups.h"
#include "catalogue/image_catalogue.h"
#include "catalogue/list_freer.h"
#include "catalogue/text_helpers.h"

namespace lumorel {
namespace {

constexpr uint32_t kUnresolved = 0xfffffffeu;

// The pictures of the list being narrowed, by position, and the classes of
// pictures that match each other.
class DuplicateIndex {
 public:
  DuplicateIndex(ImageList& from, bool byName, bool bySize, FileSystem& fs)
      : from_(from), bySize_(bySize), fs_(fs) {
    for (ImageEntry* e = from.head(); e; e = e->next) entries_.push_back(e);
    removed_.assign(entries_.size(), false);
    std::unordered_map<std::string, uint32_t> nameClassOf;
    for (uint32_t i = 0; i < entries_.size(); ++i) {
      ImageEntry* e = entries_[i];
      if (e->nameSignature == 0) e->nameSignature = nameSignatureOf(e->shortName);
      if (byName) {
        std::string key = e->shortName;
        for (char& c : key) c = upperAscii(c);
        auto [it, fresh] = nameClassOf.emplace(std::move(key), nameMembers_.size());
        if (fresh) nameMembers_.emplace_back();
        nameMembers_[it->second].push_back(i);
        nameClass_.push_back(it->second);
      }
      if (bySize) sizeMembers_[e->fileSize].push_back(i);
    }
    contentClass_.assign(bySize ? entries_.size() : 0, kUnresolved);
  }

  std::size_t size() const { return entries_.size(); }
  ImageEntry* entry(uint32_t i) const { return entries_[i]; }
  bool removed(uint32_t i) const { return removed_[i]; }

  // Moves entry `i` from the list being narrowed to `to`.
  void move(uint32_t i, ImageList& to) {
    to.append(from_.unlink(entries_[i]));
    removed_[i] = true;
  }

  // The remaining pictures that match `anchor`, in list order. False when
  // the stop request came while contents were compared.
  bool matchesOf(uint32_t anchor, std::vector<uint32_t>& matches) {
    matches.clear();
    const std::vector<uint32_t> none;
    const std::vector<uint32_t>& byName =
        nameClass_.empty() ? none : nameMembers_[nameClass_[anchor]];
    const std::vector<uint32_t>* byContent = &none;
    if (bySize_) {
      if (contentClass_[anchor] == kUnresolved && !resolveContent(entries_[anchor]->fileSize))
        return false;
      if (contentClass_[anchor] != kNoContentGroup)
        byContent = &contentMembers_[contentClass_[anchor]];
    }
    // Both are in list order: merge them, each picture once.
    auto a = byName.begin(), b = byContent->begin();
    while (a != byName.end() || b != byContent->end()) {
      uint32_t next;
      if (b == byContent->end() || (a != byName.end() && *a <= *b)) {
        next = *a++;
        if (b != byContent->end() && *b == next) ++b;
      } else {
        next = *b++;
      }
      if (next != anchor && !removed_[next]) matches.push_back(next);
    }
    return true;
  }

 private:
  // Groups by content the remaining pictures of one size.
  bool resolveContent(uint32_t fileSize) {
    std::vector<uint32_t> members;
    for (uint32_t i : sizeMembers_[fileSize])
      if (!removed_[i]) members.push_back(i);
    std::vector<ImageEntry*> pictures;
    for (uint32_t i : members) pictures.push_back(entries_[i]);
    std::vector<uint32_t> groupOf;
    uint32_t next;
    if (!groupByContent(pictures, fs_, from_.abort, contentMembers_.size(), groupOf, next))
      return false;
    contentMembers_.resize(next);
    for (std::size_t k = 0; k < members.size(); ++k) {
      contentClass_[members[k]] = groupOf[k];
      if (groupOf[k] != kNoContentGroup) contentMembers_[groupOf[k]].push_back(members[k]);
    }
    return true;
  }

  ImageList& from_;
  const bool bySize_;
  FileSystem& fs_;
  std::vector<ImageEntry*> entries_;
  std::vector<bool> removed_;
  std::vector<uint32_t> nameClass_;                 // empty unless by name
  std::vector<std::vector<uint32_t>> nameMembers_;  // in list order
  std::unordered_map<uint32_t, std::vector<uint32_t>> sizeMembers_;
  std::vector<uint32_t> contentClass_;                 // kUnresolved until needed
  std::vector<std::vector<uint32_t>> contentMembers_;  // in list order
};

}  // namespace

uint32_t nameSignatureOf(const char* shortName) {
  uint32_t signature = 0;
  for (uint32_t k = 1; *shortName; ++shortName, ++k) {
    int32_t ch = static_cast<signed char>(upperAscii(*shortName));
    signature += k * static_cast<uint32_t>(ch * ch);
  }
  return signature;
}

void findDuplicates(ImageList& from, ImageList& to, bool byName, bool bySize, FileSystem& fs) {
  if (from.count() < 2 || !isLocalFile(from.head()->kind)) return;
  DuplicateIndex index(from, byName, bySize, fs);
  from.progress.store(0, std::memory_order_relaxed);
  auto stopped = [&from] { return from.abort.load(std::memory_order_relaxed); };
  std::vector<uint32_t> matches;
  for (uint32_t anchor = 0; anchor < index.size(); ++anchor) {
    if (index.removed(anchor)) continue;
    if (!index.entry(anchor)->next) return;  // the last picture left has no one after it
    from.progress.fetch_add(1, std::memory_order_relaxed);
    if (stopped() || !index.matchesOf(anchor, matches)) return;
    for (uint32_t match : matches) {
      if (stopped()) return;
      index.move(match, to);
    }
    if (!matches.empty()) index.move(anchor, to);
  }
}

void duplicateThread(CatalogueState& state, const WorkerServices& services) {
  auto result = std::make_unique<ImageList>();
  findDuplicates(*state.pictureList, *result, state.checkName != 0, state.checkSize != 0,
                 services.fs);
  {
    MutexLock lock(state.publishMu);
    state.pictureList.swap(result);
    state.cursor = state.pictureList->head();
  }
  services.freer.free(std::move(result));
  state.notifyDone(kOnDupDone);
}

void ImageCatalogue::RestrictOnlyDuplicates(int32_t bCheckName, int32_t bCheckSize) {
  waitForWorker();
  if (!state_->cursor) return;
  state_->checkName = bCheckName;
  state_->checkSize = bCheckSize;
  startWorker(duplicateThread, ThreadPriority::kNormal);
}

int32_t ImageCatalogue::DuplicateStatus() const {
  MutexLock lock(state_->publishMu);
  return state_->pictureList
             ? static_cast<int32_t>(state_->pictureList->progress.load(std::memory_order_relaxed))
             : 0;
}

}  // namespace lumorel
