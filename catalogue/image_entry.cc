#include "catalogue/image_entry.h"

#include <cstring>
#include <new>

#include "catalogue/text_helpers.h"

namespace lumorel {

static_assert(alignof(ImageEntry) >= alignof(char));

ImageEntry::ImageEntry(const EntryAttributes& attributes, const char* ownText)
    : kind(attributes.kind),
      fileSize(attributes.fileSize),
      nameSignature(attributes.nameSignature),
      contentSignature(attributes.contentSignature),
      path(skipScheme(ownText)),
      shortName(shortNameOf(path)) {}

EntryPtr ImageEntry::make(const EntryAttributes* attributes, std::string_view text) {
  void* memory = ::operator new(sizeof(ImageEntry) + text.size() + 1);
  // The text goes right after the fixed fields, before they are built, since
  // the fields are derived from it.
  char* ownText = static_cast<char*>(memory) + sizeof(ImageEntry);
  std::memcpy(ownText, text.data(), text.size());
  ownText[text.size()] = '\0';
  static const EntryAttributes kNone;
  return EntryPtr(new (memory) ImageEntry(attributes ? *attributes : kNone, ownText));
}

void EntryDeleter::operator()(ImageEntry* entry) const {
  if (!entry) return;
  entry->~ImageEntry();
  ::operator delete(static_cast<void*>(entry));
}

}  // namespace lumorel
