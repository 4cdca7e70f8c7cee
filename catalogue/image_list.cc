#include "catalogue/image_list.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "catalogue/random.h"
#include "catalogue/text_helpers.h"

namespace lumorel {

ImageList::~ImageList() {
  while (EntryPtr entry = popFront()) {
  }
}

void ImageList::linkBetween(ImageEntry* entry, ImageEntry* before, ImageEntry* after) {
  entry->prev = before;
  entry->next = after;
  (before ? before->next : head_) = entry;
  (after ? after->prev : tail_) = entry;
  setCount(count() + 1);
}

void ImageList::append(EntryPtr entry) { linkBetween(entry.release(), tail_, nullptr); }

void ImageList::insertBefore(EntryPtr entry, ImageEntry* before) {
  if (!before) {
    append(std::move(entry));
    return;
  }
  linkBetween(entry.release(), before->prev, before);
}

void ImageList::spliceBack(ImageList& other) {
  if (!other.head_) return;
  other.head_->prev = tail_;
  (tail_ ? tail_->next : head_) = other.head_;
  tail_ = other.tail_;
  setCount(count() + other.count());
  other.head_ = other.tail_ = nullptr;
  other.resume = nullptr;
  other.setCount(0);
}

EntryPtr ImageList::popFront() { return unlink(head_); }

EntryPtr ImageList::unlink(ImageEntry* entry) {
  if (!entry) return nullptr;
  (entry->prev ? entry->prev->next : head_) = entry->next;
  (entry->next ? entry->next->prev : tail_) = entry->prev;
  entry->prev = nullptr;
  entry->next = nullptr;
  if (resume == entry) resume = nullptr;
  setCount(count() - 1);
  return EntryPtr(entry);
}

ImageEntry* ImageList::addEntry(const EntryAttributes* attributes, std::string_view text,
                                bool sorted) {
  EntryPtr entry = ImageEntry::make(attributes, text);
  ImageEntry* made = entry.get();
  ImageEntry* before = nullptr;
  if (sorted && made->shortName[0] != '\0') {
    before = head_;
    while (before && compareNames(before->shortName, made->shortName) <= 0) before = before->next;
  }
  insertBefore(std::move(entry), before);
  return made;
}

ImageEntry* ImageList::replaceText(ImageEntry* entry, std::string_view text) {
  if (!isLocalFile(entry->kind)) return nullptr;
  EntryAttributes attributes{entry->kind, entry->fileSize, entry->nameSignature,
                             entry->contentSignature};
  EntryPtr replacement = ImageEntry::make(&attributes, text);
  ImageEntry* made = replacement.get();
  ImageEntry* after = entry->next;
  bool wasResume = resume == entry;
  unlink(entry);  // frees it
  insertBefore(std::move(replacement), after);
  if (wasResume) resume = made;
  return made;
}

namespace {

// The entries still to be drawn, by their position in the original list: a
// Fenwick tree of 1s and 0s whose prefix sums find the r-th remaining entry
// in O(log n).
class RemainingPositions {
 public:
  explicit RemainingPositions(std::size_t n) : tree_(n + 1, 0) {
    for (std::size_t i = 1; i <= n; ++i) {
      tree_[i] += 1;
      std::size_t parent = i + (i & (~i + 1));
      if (parent <= n) tree_[parent] += tree_[i];
    }
  }

  // Removes and returns the position of the r-th remaining entry (from 0).
  std::size_t take(uint32_t r) {
    std::size_t n = tree_.size() - 1;
    std::size_t pos = 0;
    uint32_t left = r;
    for (std::size_t step = std::bit_floor(n); step > 0; step >>= 1) {
      if (pos + step <= n && tree_[pos + step] <= left) {
        pos += step;
        left -= tree_[pos];
      }
    }
    for (std::size_t i = pos + 1; i <= n; i += i & (~i + 1)) tree_[i] -= 1;
    return pos;  // 0-based position of the entry
  }

 private:
  std::vector<uint32_t> tree_;
};

std::vector<ImageEntry*> entriesOf(const ImageList& list) {
  std::vector<ImageEntry*> entries;
  entries.reserve(list.count());
  for (ImageEntry* e = list.head(); e; e = e->next) entries.push_back(e);
  return entries;
}

}  // namespace

void ImageList::shuffleInto(ImageList& target) {
  std::vector<ImageEntry*> entries = entriesOf(*this);
  RemainingPositions remaining(entries.size());
  // Unlinking from the middle of this list would cost the walk the tree
  // saves; entries are detached wholesale and the count follows each move.
  head_ = tail_ = nullptr;
  resume = nullptr;
  for (uint32_t left = static_cast<uint32_t>(entries.size()); left > 0; --left) {
    ImageEntry* picked = entries[remaining.take(nextRandom() % left)];
    setCount(left - 1);
    picked->prev = picked->next = nullptr;
    target.append(EntryPtr(picked));
  }
}

void ImageList::sortByShortName() {
  std::vector<ImageEntry*> entries = entriesOf(*this);
  std::stable_sort(entries.begin(), entries.end(), [](ImageEntry* a, ImageEntry* b) {
    return compareNames(a->shortName, b->shortName) < 0;
  });
  ImageEntry* prev = nullptr;
  for (ImageEntry* e : entries) {
    e->prev = prev;
    (prev ? prev->next : head_) = e;
    prev = e;
  }
  if (prev) prev->next = nullptr;
  tail_ = prev;
}

}  // namespace lumorel
