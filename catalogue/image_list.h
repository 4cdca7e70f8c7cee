// A doubly linked list of catalogue entries that owns them.
#ifndef LUMOREL_CATALOGUE_IMAGE_LIST_H_
#define LUMOREL_CATALOGUE_IMAGE_LIST_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "catalogue/image_entry.h"

namespace lumorel {


// Invariants: head.prev and tail.next are null; count is the number of
// entries reachable from head; an empty list has no head, no tail, count 0.
//
// Thread safety: one thread at a time changes a list (the catalogue's worker
// while it runs, else the UI thread). `count`, `progress` and `abort` are
// atomics so that other threads may read them (and set `abort`) meanwhile.
class ImageList {
 public:
  ImageList() = default;
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;
  // Frees every entry still in the list (a long list through ListFreer, so
  // that no one waits on it).
  virtual ~ImageList();

  ImageEntry* head() const { return head_; }
  ImageEntry* tail() const { return tail_; }
  // Relaxed is enough: readers only show the number, they reach no entry by it.
  uint32_t count() const { return count_.load(std::memory_order_relaxed); }

  // Links `entry` after the tail.
  void append(EntryPtr entry);
  // Links `entry` before `before`, an entry of this list; appends when
  // `before` is null.
  void insertBefore(EntryPtr entry, ImageEntry* before);
  // Unlinks and returns the head; null for an empty list.
  EntryPtr popFront();
  // Unlinks `entry`, an entry of this list (or null, which gives null), and
  // clears its links; the caller owns it from then on.
  EntryPtr unlink(ImageEntry* entry);

  // Moves every entry of `other`, in order, to the tail of this list.
  void spliceBack(ImageList& other);

  // Makes an entry of `text` with `attributes` (all 0 when null) and links it:
  // when `sorted` and its short name is not empty, before the first entry
  // from the head whose short name compares greater (compareNames), so equal
  // names keep their order of arrival; else at the tail. Returns the entry.
  ImageEntry* addEntry(const EntryAttributes* attributes, std::string_view text, bool sorted);

  // For a local-file entry (bit 0 of kind): puts a new entry with the same
  // attributes and `text` in its place, frees it, and returns the new entry.
  // For any other entry changes nothing and returns null.
  ImageEntry* replaceText(ImageEntry* entry, std::string_view text);

  // Empties this list into `target` in random order: while entries remain,
  // r = nextRandom() modulo the count, and the r-th remaining entry (from the
  // head, counted from 0) is moved to the tail of `target`. Costs
  // O(n log n), not a walk per entry.
  void shuffleInto(ImageList& target);

  // Orders the list by short name (compareNames), keeping equal names in
  // list order. When every short name is non-empty this is the order that
  // sorted addEntry gives for the same arrivals, at O(n log n).
  void sortByShortName();

  // Set by the control's stop request; never cleared. Long jobs on this list
  // end as soon as they see it.
  std::atomic<bool> abort{false};
  // How many entries the duplicate finder has taken as its anchor.
  std::atomic<uint32_t> progress{0};
  // Where the organizer's next grouping pass starts; null means the head.
  // Cleared whenever its entry leaves the list.
  ImageEntry* resume = nullptr;

 private:
  void linkBetween(ImageEntry* entry, ImageEntry* before, ImageEntry* after);
  void setCount(uint32_t n) { count_.store(n, std::memory_order_relaxed); }

  ImageEntry* head_ = nullptr;
  ImageEntry* tail_ = nullptr;
  std::atomic<uint32_t> count_{0};
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_IMAGE_LIST_H_
