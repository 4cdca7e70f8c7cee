// One picture or folder of a catalogue list.
#ifndef LUMOREL_CATALOGUE_IMAGE_ENTRY_H_
#define LUMOREL_CATALOGUE_IMAGE_ENTRY_H_

#include <cstdint>
#include <memory>
#include <string_view>

namespace lumorel {

// What an entry is; bit 0 set marks a local file.
enum EntryKindValue : uint32_t {
  kFolderEntry = 0,
  kScannedPicture = 1,
  kAddressPicture = 2,
};

inline bool isLocalFile(uint32_t kind) { return (kind & 1u) != 0; }

// The values an entry is made with besides its text.
struct EntryAttributes {
  uint32_t kind = kFolderEntry;
  uint32_t fileSize = 0;
  uint32_t nameSignature = 0;
  uint32_t contentSignature = 0;
};

class ImageEntry;

struct EntryDeleter {
  void operator()(ImageEntry* entry) const;
};

// An entry that belongs to no list; whoever holds it frees it.
using EntryPtr = std::unique_ptr<ImageEntry, EntryDeleter>;

// An entry is one allocation: these fields, then its text. `path` and
// `shortName` point into its own text (or to a static empty text) and are
// derived when the entry is made, never copied from another entry.
//
// Thread safety: the text, `path`, `shortName`, `kind` and `fileSize` never
// change, so any thread that can reach the entry may read them. The links and
// the signatures belong to whoever owns the list that holds the entry.
class ImageEntry {
 public:
  // Makes an entry of `text` with `attributes` (all 0 when null).
  static EntryPtr make(const EntryAttributes* attributes, std::string_view text);

  ImageEntry(const ImageEntry&) = delete;
  ImageEntry& operator=(const ImageEntry&) = delete;

  // For scanned pictures "file://" and the full path; for folders the folder
  // path ending with the separator; for address pictures the address.
  const char* text() const { return reinterpret_cast<const char*>(this + 1); }

  ImageEntry* prev = nullptr;  // null at the head and while in no list
  ImageEntry* next = nullptr;  // null at the tail and while in no list
  const uint32_t kind;
  // The low 32 bits of the file's size as the folder listing told it; 0 for
  // folders and address pictures.
  const uint32_t fileSize;
  uint32_t nameSignature;     // 0 until computed
  uint32_t contentSignature;  // 0 until computed
  // The text after its scheme; empty when the text is longer than kMaxPath.
  const char* const path;
  // The last component of `path`; empty for a folder path.
  const char* const shortName;

 private:
  ImageEntry(const EntryAttributes& attributes, const char* text);
  ~ImageEntry() = default;
  friend struct EntryDeleter;
};

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_IMAGE_ENTRY_H_
